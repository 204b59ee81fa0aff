// Arithmetic between the three Japanese encodings, shared by the pair functions and the
// converters (inline here so that the converters' inner loops need no call per character).
//
// A JIS X 0208 character is a row byte j1 and a column byte j2, each 0x21..0x7E; it is handled
// as the 16-bit value j1 * 256 + j2, written high byte first.
//
//   ISO-2022-JP  j1 j2, between ESC $ B and ESC ( B
//   EUC-JP       e1 = j1 | 0x80, e2 = j2 | 0x80            (both 0xA1..0xFE)
//   Shift_JIS    s1 = 0x81..0x9F, 0xE0..0xEF (two rows per lead byte)
//                s2 = 0x40..0x7E, 0x80..0x9E  for the odd row   (column j2 = s2 - 0x1F below
//                                                                0x7F, s2 - 0x20 above it)
//                     0x9F..0xFC              for the even row  (column j2 = s2 - 0x7E)
//
// JIS to Shift_JIS:
//   s1 = ((j1 - 0x21) >> 1) + 0x81, plus 0x40 if that exceeds 0x9F
//   s2 = j2 + 0x1F (odd j1) or j2 + 0x7D (even j1), plus 1 if that is 0x7F or more
// Shift_JIS to JIS:
//   r  = 2 * (s1 - 0x71) + 1 for s1 <= 0x9F, else 2 * (s1 - 0xB1) + 1     (the odd row)
//   u  = s2 - 1 for s2 >= 0x80, else s2
//   j1 j2 = r + 1, u - 0x7D when u >= 0x9E; else r, u - 0x1F
//
// All arithmetic is unsigned 32-bit with no range checks, so bytes outside the ranges above
// give defined (if meaningless) results. In JisToSjis a column byte of 0x80 or more can carry
// into bit 8; the carry then shows in the first byte.
#pragma once

#include <array>
#include <cstdint>

namespace quillet {
namespace pairs {

constexpr std::uint32_t JisToSjis(std::uint32_t j1, std::uint32_t j2) {
  std::uint32_t f = ((j1 - 0x21) >> 1) + 0x81;
  f += (f > 0x9F) ? 0x40 : 0;
  std::uint32_t t = j2 + ((j1 & 1) ? 0x1F : 0x7D);
  t += (t >= 0x7F) ? 1 : 0;
  return (f << 8) | t;
}

constexpr std::uint32_t JisToEuc(std::uint32_t j1, std::uint32_t j2) {
  return (j1 << 8) | j2 | 0x8080;
}

constexpr std::uint32_t SjisToJis(std::uint32_t s1, std::uint32_t s2) {
  const std::uint32_t r = (s1 <= 0x9F) ? 2 * (s1 - 0x71) + 1 : 2 * (s1 - 0xB1) + 1;
  const std::uint32_t u = (s2 >= 0x80) ? s2 - 1 : s2;
  return (u >= 0x9E) ? ((r + 1) << 8) | (u - 0x7D) : (r << 8) | (u - 0x1F);
}

constexpr std::uint32_t SjisToEuc(std::uint32_t s1, std::uint32_t s2) {
  return SjisToJis(s1, s2) | 0x8080;
}

constexpr std::uint32_t EucToJis(std::uint32_t e1, std::uint32_t e2) {
  return ((e1 & 0x7F) << 8) | (e2 & 0x7F);
}

constexpr std::uint32_t EucToSjis(std::uint32_t e1, std::uint32_t e2) {
  return JisToSjis(e1 & 0x7F, e2 & 0x7F);
}

// The two halves of SjisToJis, so that a character costs two lookups and an add:
// code = kRowOf[c] + kColumnOf[n]. A zero entry marks a byte that cannot stand in that place
// (every real entry is nonzero), so the same lookups classify the pair.
constexpr std::array<std::uint16_t, 256> MakeSjisRowTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned c = 0x81; c <= 0xFF; ++c) {
    if (c <= 0x9F || c >= 0xE0) {
      table[c] = static_cast<std::uint16_t>(SjisToJis(c, 0x40) & 0xFF00);
    }
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> MakeSjisColumnTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned n = 0x40; n <= 0xFC; ++n) {
    // 0x81 starts row 0x21; what lies above it is the column plus 0x100 for the even row.
    if (n != 0x7F) table[n] = static_cast<std::uint16_t>(SjisToJis(0x81, n) - 0x2100);
  }
  return table;
}

inline constexpr std::array<std::uint16_t, 256> kRowOf = MakeSjisRowTable();
inline constexpr std::array<std::uint16_t, 256> kColumnOf = MakeSjisColumnTable();

// JisToSjis split by byte, so that a character costs three lookups: the first byte appended
// is kFirstOf[j1] | (t >> 8) and the second t & 0xFF, with t = kTrailOf[j1 & 1][j2] (t keeps
// the carry into bit 8 that bytes of 0x80 and above can cause). Built from JisToSjis itself;
// rows 0x23 and 0x24 have the first byte 0x82, whose low bit is clear, so t reads back whole.
constexpr std::array<std::uint8_t, 256> MakeJisFirstTable() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned j1 = 0; j1 < 256; ++j1) {
    table[j1] = static_cast<std::uint8_t>(JisToSjis(j1, 0x21) >> 8);
  }
  return table;
}

constexpr std::array<std::array<std::uint16_t, 256>, 2> MakeJisTrailTable() {
  std::array<std::array<std::uint16_t, 256>, 2> table{};
  for (unsigned j2 = 0; j2 < 256; ++j2) {
    table[0][j2] = static_cast<std::uint16_t>(JisToSjis(0x24, j2) - 0x8200);  // even
    table[1][j2] = static_cast<std::uint16_t>(JisToSjis(0x23, j2) - 0x8200);  // odd
  }
  return table;
}

inline constexpr std::array<std::uint8_t, 256> kFirstOf = MakeJisFirstTable();
inline constexpr std::array<std::array<std::uint16_t, 256>, 2> kTrailOf = MakeJisTrailTable();

}  // namespace pairs
}  // namespace quillet
