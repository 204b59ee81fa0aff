// gb18030 to UTF-8.
//
// Bytes below 0x80 are themselves and 0x80 is U+20AC; 0xFF is an error. A lead byte
// 0x81..0xFE starts either
//   - a two-byte code with a trail byte t in 0x40..0x7E or 0x80..0xFE:
//       pointer = (lead - 0x81) * 190 + (t - (t < 0x7F ? 0x40 : 0x41)), a cell of kTwoByte;
//   - or a four-byte code b1 b2 b3 b4, b2 and b4 in 0x30..0x39, b3 in 0x81..0xFE:
//       pointer = (b1 - 0x81) * 12600 + (b2 - 0x30) * 1260 + (b3 - 0x81) * 10 + (b4 - 0x30),
//     whose code point counts on from the last range of kRanges that starts at or before it.
//     Pointer 7457 is U+E7C7; pointers 39420..188999 and above 1237575 are errors.
//
// Errors: a lead byte followed by a byte that is neither trail nor digit is one U+FFFD, and
// that byte is read again on its own if it is ASCII (so an ASCII delimiter is never hidden
// behind a stray lead byte). A four-byte code broken at its third or fourth byte is one
// U+FFFD for the lead byte; the bytes after the lead are read again. A code cut short by the
// end of the text is one U+FFFD, whatever it holds.
#include "charsets/gb18030.h"

#include <array>
#include <cstdint>

#include "charsets/gb18030_table.h"
#include "charsets/lead_trail_decoder.h"
#include "codec/utf8_support.h"
#include "common/byte_at.h"

namespace quillet {
namespace {

using lead_trail::IsLead;

constexpr unsigned kNoColumn = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeColumns() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned t = 0; t < 256; ++t) table[t] = kNoColumn;
  for (unsigned t = 0x40; t <= 0x7E; ++t) table[t] = static_cast<std::uint8_t>(t - 0x40);
  for (unsigned t = 0x80; t <= 0xFE; ++t) table[t] = static_cast<std::uint8_t>(t - 0x41);
  return table;
}

constexpr std::array<std::uint8_t, 256> kColumn = MakeColumns();

inline bool IsDigit(unsigned b) {
  return b - 0x30 < 10;
}

// The code point of a four-byte pointer, or 0 where it has none.
std::uint32_t RangesCodePoint(std::uint32_t pointer) {
  if ((pointer > 39419 && pointer < 189000) || pointer > 1237575) return 0;
  if (pointer == 7457) return 0xE7C7;
  // The last range that starts at or before pointer; the first starts at 0.
  std::size_t low = 0;
  std::size_t high = sizeof gb18030::kRanges / sizeof gb18030::kRanges[0];
  while (high - low > 1) {
    const std::size_t middle = low + (high - low) / 2;
    if (gb18030::kRanges[middle].pointer <= pointer) {
      low = middle;
    } else {
      high = middle;
    }
  }
  return gb18030::kRanges[low].codePoint + (pointer - gb18030::kRanges[low].pointer);
}

// A lead byte at p whose next byte is a digit. Returns where reading goes on.
const unsigned char* PutFourByte(const unsigned char* p, const unsigned char* end,
                                 unsigned char*& o) {
  if (end - p < 3) {
    o = utf8::PutReplacement(o);
    return end;
  }
  if (!IsLead(p[2])) {
    o = utf8::PutReplacement(o);
    return p + 1;
  }
  if (end - p < 4) {
    o = utf8::PutReplacement(o);
    return end;
  }
  if (!IsDigit(p[3])) {
    o = utf8::PutReplacement(o);
    return p + 1;
  }
  const std::uint32_t pointer =
      (p[0] - 0x81u) * 12600 + (p[1] - 0x30u) * 1260 + (p[2] - 0x81u) * 10 + (p[3] - 0x30u);
  const std::uint32_t u = RangesCodePoint(pointer);
  o = u != 0 ? utf8::Put(o, u) : utf8::PutReplacement(o);
  return p + 4;
}

// The code point of a lead and a byte after it (0 where the pair has none).
inline std::uint32_t TwoByte(unsigned lead, unsigned trail) {
  const unsigned column = kColumn[trail];
  if (column == kNoColumn) return 0;
  return gb18030::kTwoByte[(lead - 0x81) * gb18030::kColumns + column];
}

struct Gb18030Reading : lead_trail::TwoByteCodes {
  static std::uint32_t CodePoint(unsigned lead, unsigned trail) { return TwoByte(lead, trail); }
  static unsigned char* PutSingle(unsigned c, unsigned char* o) {
    return c == 0x80 ? utf8::PutBmp(o, 0x20AC) : utf8::PutReplacement(o);
  }
  static bool IsLong(unsigned next) { return IsDigit(next); }
  static const unsigned char* PutLong(const unsigned char* p, const unsigned char* end,
                                      unsigned char*& o) {
    return PutFourByte(p, end, o);
  }
};

}  // namespace

std::uint32_t Gb18030TwoByteCodePoint(unsigned lead, unsigned trail) {
  return TwoByte(lead, trail);
}

void DecodeGb18030(const char* data, std::size_t size, std::string& output) {
  lead_trail::Decode<Gb18030Reading>(data, size, output);
}

}  // namespace quillet
