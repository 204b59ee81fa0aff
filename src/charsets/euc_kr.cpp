// EUC-KR to UTF-8.
//
// Bytes below 0x80 are themselves. A lead byte 0x81..0xFE with a trail byte t in 0x41..0xFE
// is one code, in column t - 0x41 of the lead byte's row:
//   pointer = (lead - 0x81) * 190 + (t - 0x41).
// The table keeps of each row only the span from its first mapped column to its last.
//
// Errors: 0x80, 0xFF and a lead byte that no code follows are one U+FFFD each. The byte after
// a lead byte goes with it unless it is ASCII: then it is read again on its own, so an ASCII
// delimiter is never hidden behind a stray lead byte.
#include "charsets/euc_kr.h"

#include <cstdint>

#include "charsets/euc_kr_table.h"
#include "common/byte_at.h"
#include "jtext/convert_support.h"
#include "jtext/utf8_support.h"

namespace quillet {
namespace {

using namespace convert;

inline bool IsLead(unsigned b) {
  return b - 0x81 < 0x7E;
}

// The code point of a lead and a byte after it, or 0 where the table has none.
inline std::uint32_t CodePoint(unsigned lead, unsigned trail) {
  const euc_kr::Row row = euc_kr::kRows[lead - 0x81];
  // Below the span (trail bytes under 0x41 included) wraps round to a large value.
  const unsigned inSpan = trail - 0x41u - row.first;
  return inSpan < row.count ? euc_kr::kCells[row.start + inSpan] : 0;
}

// Every byte in makes at most 3 out: one U+FFFD, or a code's character.
constexpr std::size_t kPerByte = 3;

}  // namespace

std::uint32_t EucKrCodePoint(unsigned lead, unsigned trail) {
  return CodePoint(lead, trail);
}

void DecodeEucKr(const char* data, std::size_t size, std::string& output) {
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
      const unsigned n = ByteAt(p + 1, end);
      const std::uint32_t u = IsLead(c) ? CodePoint(c, n) : 0;
      if (u == 0) {
        o = utf8::PutReplacement(o);
        // The byte after a lead goes with it unless it is ASCII (read again; past the end it
        // reads as 0x00).
        p += IsLead(c) && n >= 0x80 ? 2 : 1;
        continue;
      }
      o = utf8::PutBmp(o, u);
      p += 2;
      // The run of codes goes on without the other tests.
      while (limit - p >= 2 && IsLead(p[0])) {
        const std::uint32_t next = CodePoint(p[0], p[1]);
        if (next == 0) break;
        o = utf8::PutBmp(o, next);
        p += 2;
      }
    }
  }
  Finish(output, o);
}

}  // namespace quillet
