// The one pass of the two-byte encodings whose lead bytes are 0x81..0xFE (Big5, EUC-KR):
// bytes below 0x80 are themselves, a lead byte and the byte after it are one code.
//
// Errors: 0x80, 0xFF and a lead byte that no code follows are one U+FFFD each. The byte after
// a lead byte goes with it unless it is ASCII: then it is read again on its own, so an ASCII
// delimiter is never hidden behind a stray lead byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/convert_support.h"
#include "codec/utf8_support.h"
#include "common/byte_at.h"

namespace quillet {
namespace lead_trail {

inline bool IsLead(unsigned b) {
  return b - 0x81 < 0x7E;
}

// Reading gives, for a lead byte and the byte after it, CodePoint (0 where its table has
// none) and PutOther, which writes the characters of a code the table holds no cell for and
// tells whether there was one.
template <class Reading>
void Decode(const char* data, std::size_t size, std::string& output) {
  using namespace convert;
  // Every byte in makes at most 3 out: one U+FFFD, or the character of a code (4 bytes at the
  // most, for two bytes in).
  constexpr std::size_t kPerByte = 3;
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
      const std::uint32_t u = Reading::CodePoint(c, n);
      if (u != 0) {
        o = utf8::Put(o, u);
      } else if (!Reading::PutOther(c, n, o)) {
        o = utf8::PutReplacement(o);
        p += n < 0x80 ? 1 : 2;  // past the end reads as 0x00, below 0x80
        continue;
      }
      p += 2;
      // The run of codes goes on without the other tests.
      while (limit - p >= 2 && IsLead(p[0])) {
        const std::uint32_t next = Reading::CodePoint(p[0], p[1]);
        if (next == 0) break;
        o = utf8::Put(o, next);
        p += 2;
      }
    }
  }
  Finish(output, o);
}

}  // namespace lead_trail
}  // namespace quillet
