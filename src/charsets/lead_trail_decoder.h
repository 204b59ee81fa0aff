// The step of the encodings whose lead bytes are 0x81..0xFE (Big5, EUC-KR, gb18030): bytes
// below 0x80 are themselves, a lead byte and the byte after it are one code.
//
// Errors: 0x80, 0xFF and a lead byte that no code follows are one U+FFFD each (unless the
// reading gives a single byte a character of its own). The byte after a lead byte goes with it
// unless it is ASCII: then it is read again on its own, so an ASCII delimiter is never hidden
// behind a stray lead byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/decode_loop.h"
#include "codec/utf8_support.h"
#include "common/byte_at.h"

namespace quillet {
namespace lead_trail {

inline bool IsLead(unsigned b) {
  return b - 0x81 < 0x7E;
}

// What a reading of two-byte codes alone gives: no character for a single byte, no longer
// codes, no code beyond its table.
struct TwoByteCodes {
  static unsigned char* PutSingle(unsigned, unsigned char* o) { return utf8::PutReplacement(o); }
  static bool IsLong(unsigned) { return false; }
  static const unsigned char* PutLong(const unsigned char* p, const unsigned char*,
                                      unsigned char*&) {
    return p + 1;
  }
  static bool PutOther(unsigned, unsigned, unsigned char*&) { return false; }
};

// Reading gives, for a lead byte and the byte after it, CodePoint (0 where its table has
// none); PutSingle, the character of a byte 0x80 or 0xFF; IsLong, whether the byte after a lead
// starts a longer code, which PutLong reads (returning where reading goes on); and PutOther,
// which writes the characters of a code the table holds no cell for and tells whether there
// was one.
template <class Reading>
struct Decoder : codec::Stateless {
  // Every byte in makes at most 3 out: one U+FFFD, or the character of a code (4 bytes at the
  // most, for two bytes in or more).
  static constexpr std::size_t kPerByte = 3;
  static constexpr bool kAsciiRuns = true;

  static const unsigned char* Step(const unsigned char* p, const unsigned char* limit,
                                   const unsigned char* end, unsigned char*& o) {
    const unsigned c = *p;
    if (!IsLead(c)) {
      o = Reading::PutSingle(c, o);
      return p + 1;
    }
    const unsigned n = ByteAt(p + 1, end);
    if (Reading::IsLong(n)) return Reading::PutLong(p, end, o);
    const std::uint32_t u = Reading::CodePoint(c, n);
    if (u != 0) {
      o = utf8::Put(o, u);
    } else if (!Reading::PutOther(c, n, o)) {
      o = utf8::PutReplacement(o);
      return p + (n < 0x80 ? 1 : 2);  // past the end reads as 0x00, below 0x80
    }
    p += 2;
    // The run of codes goes on without the other tests, a lone ASCII byte between codes (the
    // space between words) included.
    const unsigned char* const last = limit - 1;  // p < limit here
    while (p < last) {
      if (IsLead(p[0])) {
        const std::uint32_t next = Reading::CodePoint(p[0], p[1]);
        if (next == 0) break;
        o = utf8::PutMostlyThree(o, next);
        p += 2;
      } else if (p[0] < 0x80 && IsLead(p[1])) {
        *o++ = *p++;
      } else {
        break;
      }
    }
    return p;
  }
};

template <class Reading>
void Decode(const char* data, std::size_t size, std::string& output) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  Decoder<Reading> decoder;
  codec::DecodeLoop(p, p + size, decoder, output);
}

}  // namespace lead_trail
}  // namespace quillet
