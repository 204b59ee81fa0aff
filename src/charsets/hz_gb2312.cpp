#include "charsets/hz_gb2312.h"

#include <cstdint>

#include "charsets/gb18030.h"
#include "codec/decode_loop.h"
#include "codec/utf8_support.h"
#include "common/byte_at.h"

namespace quillet {
namespace {

inline bool IsGraphic(unsigned b) {
  return b - 0x21 < 0x5E;
}

// The two modes: in ASCII, runs of bytes that are themselves are copied at once.
struct Decoder : codec::Stateless {
  // A byte makes at most one U+FFFD; a pair of GB 2312, one character of 3 bytes.
  static constexpr std::size_t kPerByte = 3;
  static constexpr bool kAsciiRuns = false;
  bool gb = false;

  const unsigned char* Step(const unsigned char* p, const unsigned char* limit,
                            const unsigned char* end, unsigned char*& o) {
    const unsigned c = *p;
    if (!gb && c < 0x80 && c != '~') {
      do {
        *o++ = *p++;
      } while (p < limit && *p < 0x80 && *p != '~');
      return p;
    }
    const unsigned n = ByteAt(p + 1, end);
    if (c == '~') {
      if (!gb && n == '~') {
        *o++ = '~';
      } else if (!gb && n == '{') {
        gb = true;
      } else if (gb && n == '}') {
        gb = false;
      } else if (gb || n != '\n') {
        o = utf8::PutReplacement(o);
        return p + 1;
      }
      return p + 2;
    }
    if (gb && (c == '\r' || c == '\n')) {
      *o++ = static_cast<unsigned char>(c);
      gb = false;
      return p + 1;
    }
    if (gb && IsGraphic(c) && p + 1 < end && IsGraphic(n)) {
      const std::uint32_t u = Gb18030TwoByteCodePoint(c | 0x80, n | 0x80);
      o = u != 0 ? utf8::Put(o, u) : utf8::PutReplacement(o);
      return p + 2;
    }
    o = utf8::PutReplacement(o);
    return p + 1;
  }
};

}  // namespace

void DecodeHzGb2312(const char* data, std::size_t size, std::string& output) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  Decoder decoder;
  codec::DecodeLoop(p, p + size, decoder, output);
}

}  // namespace quillet
