// Big5 to UTF-8.
//
// Bytes below 0x80 are themselves. A lead byte 0x81..0xFE with a trail byte t in 0x40..0x7E
// or 0xA1..0xFE is one code:
//   pointer = (lead - 0x81) * 157 + (t - (t < 0x7F ? 0x40 : 0x62)),
// a cell of kCells from kFirstPointer (lead 0x87) on; no lower pointer has a code point. Four
// pointers stand for a letter and a combining mark, two code points, and are not in the table.
// Errors are read as in lead_trail_decoder.h.
#include "charsets/big5.h"

#include <array>
#include <cstdint>

#include "charsets/big5_table.h"
#include "charsets/lead_trail_decoder.h"
#include "codec/utf8_support.h"

namespace quillet {
namespace {

constexpr unsigned kNoColumn = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeColumns() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned t = 0; t < 256; ++t) table[t] = kNoColumn;
  for (unsigned t = 0x40; t <= 0x7E; ++t) table[t] = static_cast<std::uint8_t>(t - 0x40);
  for (unsigned t = 0xA1; t <= 0xFE; ++t) table[t] = static_cast<std::uint8_t>(t - 0x62);
  return table;
}

constexpr std::array<std::uint8_t, 256> kColumn = MakeColumns();

constexpr unsigned kFirstLead = 0x81 + big5::kFirstPointer / big5::kColumns;
static_assert(big5::kFirstPointer % big5::kColumns == 0, "the table starts a row");
static_assert((0xFE - kFirstLead + 1) * big5::kColumns ==
                  sizeof big5::kCells / sizeof big5::kCells[0],
              "a row per lead byte");

// The code point of a lead and a byte after it, or 0 where the table has none.
inline std::uint32_t TableCodePoint(unsigned lead, unsigned trail) {
  const unsigned column = kColumn[trail];
  if (lead < kFirstLead || column == kNoColumn) return 0;
  const std::size_t cell = (lead - kFirstLead) * big5::kColumns + column;
  const std::uint32_t low = big5::kCells[cell];
  const bool supplementary = (big5::kSupplementary[cell / 8] >> (cell % 8)) & 1;
  return supplementary ? 0x20000 | low : low;
}

// The pointers of a letter and a combining mark: E and e with a circumflex, then a macron or
// a caron.
struct TwoCodePoints {
  unsigned pointer;
  std::uint32_t letter;
  std::uint32_t mark;
};

constexpr TwoCodePoints kTwoCodePoints[] = {
    {1133, 0x00CA, 0x0304},
    {1135, 0x00CA, 0x030C},
    {1164, 0x00EA, 0x0304},
    {1166, 0x00EA, 0x030C},
};

// Writes the two code points of a lead and trail byte that stand for a letter and a mark;
// false for any other pair.
bool PutTwoCodePoints(unsigned lead, unsigned trail, unsigned char*& o) {
  const unsigned column = kColumn[trail];
  if (column == kNoColumn) return false;
  const unsigned pointer = (lead - 0x81) * big5::kColumns + column;
  for (const TwoCodePoints& entry : kTwoCodePoints) {
    if (entry.pointer == pointer) {
      o = utf8::PutBmp(utf8::PutBmp(o, entry.letter), entry.mark);
      return true;
    }
  }
  return false;
}

struct Big5Reading : lead_trail::TwoByteCodes {
  static std::uint32_t CodePoint(unsigned lead, unsigned trail) {
    return TableCodePoint(lead, trail);
  }
  static bool PutOther(unsigned lead, unsigned trail, unsigned char*& o) {
    return PutTwoCodePoints(lead, trail, o);
  }
};

}  // namespace

void DecodeBig5(const char* data, std::size_t size, std::string& output) {
  lead_trail::Decode<Big5Reading>(data, size, output);
}

}  // namespace quillet
