// Big5 to UTF-8.
//
// Bytes below 0x80 are themselves. A lead byte 0x81..0xFE with a trail byte t in 0x40..0x7E
// or 0xA1..0xFE is one code:
//   pointer = (lead - 0x81) * 157 + (t - (t < 0x7F ? 0x40 : 0x62)),
// a cell of kCells from kFirstPointer (lead 0x87) on; no lower pointer has a code point. Four
// pointers stand for a letter and a combining mark, two code points, and are not in the table.
//
// Errors: 0x80, 0xFF and a lead byte that no code follows are one U+FFFD each. The byte after
// a lead byte goes with it unless it is ASCII: then it is read again on its own, so an ASCII
// delimiter is never hidden behind a stray lead byte.
#include "charsets/big5.h"

#include <array>
#include <cstdint>

#include "charsets/big5_table.h"
#include "common/byte_at.h"
#include "jtext/convert_support.h"
#include "jtext/utf8_support.h"

namespace quillet {
namespace {

using namespace convert;

constexpr unsigned kNoColumn = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeColumns() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned t = 0; t < 256; ++t) table[t] = kNoColumn;
  for (unsigned t = 0x40; t <= 0x7E; ++t) table[t] = static_cast<std::uint8_t>(t - 0x40);
  for (unsigned t = 0xA1; t <= 0xFE; ++t) table[t] = static_cast<std::uint8_t>(t - 0x62);
  return table;
}

constexpr std::array<std::uint8_t, 256> kColumn = MakeColumns();

inline bool IsLead(unsigned b) {
  return b - 0x81 < 0x7E;
}

constexpr unsigned kFirstLead = 0x81 + big5::kFirstPointer / big5::kColumns;
static_assert(big5::kFirstPointer % big5::kColumns == 0, "the table starts a row");
static_assert((0xFE - kFirstLead + 1) * big5::kColumns ==
                  sizeof big5::kCells / sizeof big5::kCells[0],
              "a row per lead byte");

// The code point of a lead and a byte after it, or 0 where the table has none.
inline std::uint32_t CodePoint(unsigned lead, unsigned trail) {
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

// Every byte in makes at most 3 out: one U+FFFD, or a code's character (4 bytes at most, for
// two bytes in).
constexpr std::size_t kPerByte = 3;

}  // namespace

void DecodeBig5(const char* data, std::size_t size, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  unsigned char* o = AppendCursor(output, size, kPerByte);
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = MakeRoom(output, o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      const unsigned c = *p;
      if (c < 0x80) {
        p = CopyAscii(p, limit, o);
        continue;
      }
      if (!IsLead(c)) {
        o = utf8::PutReplacement(o);
        ++p;
        continue;
      }
      const unsigned n = ByteAt(p + 1, end);
      const std::uint32_t u = CodePoint(c, n);
      if (u == 0) {
        if (!PutTwoCodePoints(c, n, o)) {
          o = utf8::PutReplacement(o);
          p += n < 0x80 ? 1 : 2;  // an ASCII byte is read again; past the end reads as 0x00
          continue;
        }
      } else {
        o = utf8::Put(o, u);
      }
      p += 2;
      // The run of codes goes on without the other tests.
      while (limit - p >= 2 && IsLead(p[0])) {
        const std::uint32_t next = CodePoint(p[0], p[1]);
        if (next == 0) break;
        o = utf8::Put(o, next);
        p += 2;
      }
    }
  }
  Finish(output, o);
}

}  // namespace quillet
