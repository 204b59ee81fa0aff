#include "jtext/base64.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "common/zero_bytes.h"

namespace quillet {
namespace {

// The alphabet of RFC 2045. A character's value is its index here; "=" counts as 0.
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Marks a byte that has no value (white space, line breaks, other punctuation, 0x80 and up):
// such bytes are skipped and do not count toward a group.
constexpr std::uint8_t kSkip = 0x80;

constexpr std::array<std::uint8_t, 256> MakeValueTable() {
  std::array<std::uint8_t, 256> table{};
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = kSkip;
  for (std::uint8_t v = 0; v < 64; ++v) table[static_cast<unsigned char>(kAlphabet[v])] = v;
  table[static_cast<unsigned char>('=')] = 0;
  return table;
}

constexpr std::array<std::uint8_t, 256> kValue = MakeValueTable();

// For the fast path: four tables, one per place in a group, whose entries hold a
// character's value already shifted into the group's three bytes and laid out in memory order
// (b0 b1 b2, then a fourth byte that is 0x80 for a byte with no value). A group is then four
// lookups ORed together, and two groups go out as one 8-byte store.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndian = true;
#else
constexpr bool kBigEndian = false;
#endif

constexpr std::uint32_t InMemoryOrder(std::uint32_t bits) {  // bits 0..23 = b0 b1 b2
  return kBigEndian ? bits << 8 : ((bits >> 16) & 0xFF) | (bits & 0xFF00) | ((bits & 0xFF) << 16);
}

constexpr std::uint32_t kSkipMark = kBigEndian ? 0x80u : 0x80000000u;

using PlaceTables = std::array<std::array<std::uint32_t, 256>, 4>;

constexpr PlaceTables MakePlaceTables() {
  PlaceTables tables{};
  for (int place = 0; place < 4; ++place) {
    for (std::size_t c = 0; c < 256; ++c) {
      const std::uint32_t v = kValue[c];
      tables[place][c] = (v & kSkip) ? kSkipMark : InMemoryOrder(v << (18 - 6 * place));
    }
  }
  return tables;
}

constexpr PlaceTables kPlaced = MakePlaceTables();

inline std::uint32_t PlacedGroup(const unsigned char* p) {
  return kPlaced[0][p[0]] | kPlaced[1][p[1]] | kPlaced[2][p[2]] | kPlaced[3][p[3]];
}

// Six bytes of two placed groups, in memory order at the start of a word.
inline std::uint64_t TwoGroups(std::uint32_t first, std::uint32_t second) {
  return kBigEndian ? std::uint64_t{first} << 32 | std::uint64_t{second} << 8
                    : std::uint64_t{first} | std::uint64_t{second} << 24;
}

// The marks of ZeroBytes that fall on the six bytes of TwoGroups.
constexpr std::uint64_t kSixBytes = kBigEndian ? 0x8080808080800000u : 0x0000808080808080u;

// Writes the three bytes of the group whose four 6-bit values are packed in bits 0..23 of
// bits, high byte first, and returns how many of them count: those before the first 0x00.
// All three are stored so that the count needs no branch; the caller keeps room for them.
inline unsigned char* PutGroup(std::uint32_t bits, unsigned char* out) {
  const unsigned b0 = (bits >> 16) & 0xFF;
  const unsigned b1 = (bits >> 8) & 0xFF;
  const unsigned b2 = bits & 0xFF;
  out[0] = static_cast<unsigned char>(b0);
  out[1] = static_cast<unsigned char>(b1);
  out[2] = static_cast<unsigned char>(b2);
  const unsigned keep0 = b0 != 0;
  const unsigned keep1 = keep0 & (b1 != 0);
  const unsigned keep2 = keep1 & (b2 != 0);
  return out + keep0 + keep1 + keep2;
}

}  // namespace

int DecodeBase64(const char* data, std::size_t size, std::string& output) {
  if (size == 0) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;

  // At most three bytes per four characters, plus a final short group. (The 8-byte store of
  // two groups stays inside too: at least two more groups' worth of input follow it.)
  const std::size_t start = output.size();
  output.resize(start + size / 4 * 3 + 3);
  auto* const base = reinterpret_cast<unsigned char*>(&output[0]);
  unsigned char* out = base + start;

  std::uint32_t bits = 0;  // values gathered for the group being built, 6 bits each
  int count = 0;           // how many values it holds so far
  while (p < end) {
    if (count == 0) {
      // Whole groups of four plain characters, the usual case, two groups at a time: text
      // never decodes to 0x00, so the six bytes are checked for it at once and stored at a
      // fixed stride. A group with a 0x00 or a skipped byte in reach goes on its own.
      for (;;) {
        while (end - p >= 8) {
          const std::uint32_t first = PlacedGroup(p);
          const std::uint32_t second = PlacedGroup(p + 4);
          if ((first | second) & kSkipMark) break;
          const std::uint64_t six = TwoGroups(first, second);
          if (ZeroBytes(six) & kSixBytes) break;
          std::memcpy(out, &six, sizeof six);
          out += 6;
          p += 8;
        }
        if (end - p < 4) break;
        const std::uint32_t v0 = kValue[p[0]];
        const std::uint32_t v1 = kValue[p[1]];
        const std::uint32_t v2 = kValue[p[2]];
        const std::uint32_t v3 = kValue[p[3]];
        if ((v0 | v1 | v2 | v3) & kSkip) break;
        out = PutGroup(v0 << 18 | v1 << 12 | v2 << 6 | v3, out);
        p += 4;
      }
      if (p == end) break;
    }
    // One character at a time around skipped bytes and at the end.
    const std::uint32_t v = kValue[*p++];
    if (v & kSkip) continue;
    bits = bits << 6 | v;
    if (++count == 4) {
      out = PutGroup(bits, out);
      bits = 0;
      count = 0;
    }
  }
  // A short final group reads as if padded with "=" (value 0) to four characters.
  if (count > 0) out = PutGroup(bits << 6 * (4 - count), out);

  output.resize(static_cast<std::size_t>(out - base));
  return 0;
}

}  // namespace quillet
