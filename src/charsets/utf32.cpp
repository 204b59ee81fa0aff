#include "charsets/utf32.h"

#include <cstdint>

#include "codec/decode_loop.h"
#include "codec/utf8_support.h"

namespace quillet {
namespace {

std::uint32_t UnitAt(const unsigned char* p, bool bigEndian) {
  return bigEndian ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                      std::uint32_t{p[2]} << 8 | p[3])
                   : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                      std::uint32_t{p[1]} << 8 | p[0]);
}

// Units of four bytes; chunks are a multiple of four bytes, so only the last can end in the
// middle of one, which is one U+FFFD.
struct Decoder : codec::Stateless {
  // A unit of four bytes makes at most four out.
  static constexpr std::size_t kPerByte = 1;
  static constexpr bool kAsciiRuns = false;
  bool bigEndian;

  const unsigned char* Step(const unsigned char* p, const unsigned char*, const unsigned char* end,
                            unsigned char*& o) const {
    if (end - p < 4) {
      o = utf8::PutReplacement(o);
      return end;
    }
    const std::uint32_t unit = UnitAt(p, bigEndian);
    if (unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF)) {
      o = utf8::PutReplacement(o);
    } else {
      o = utf8::Put(o, unit);
    }
    return p + 4;
  }
};

void Decode(const char* data, std::size_t size, bool bigEndian, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  if (size >= 4) {
    const std::uint32_t mark = UnitAt(p, true);
    if (mark == 0x0000FEFF || mark == 0xFFFE0000) {
      bigEndian = mark == 0x0000FEFF;
      p += 4;
    }
  }
  Decoder decoder{{}, bigEndian};
  codec::DecodeLoop(p, end, decoder, output);
}

}  // namespace

void DecodeUtf32Be(const char* data, std::size_t size, std::string& output) {
  Decode(data, size, true, output);
}

void DecodeUtf32Le(const char* data, std::size_t size, std::string& output) {
  Decode(data, size, false, output);
}

}  // namespace quillet
