#include "charsets/utf32.h"

#include <cstdint>

#include "codec/convert_support.h"
#include "codec/utf8_support.h"

namespace quillet {
namespace {

using namespace convert;

// A unit of four bytes makes at most four out.
constexpr std::size_t kPerByte = 1;

std::uint32_t UnitAt(const unsigned char* p, bool bigEndian) {
  return bigEndian ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                      std::uint32_t{p[2]} << 8 | p[3])
                   : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                      std::uint32_t{p[1]} << 8 | p[0]);
}

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
  unsigned char* o = AppendCursor(output, static_cast<std::size_t>(end - p), kPerByte);
  while (end - p >= 4) {
    // Chunks are a multiple of four bytes, so only the last can end in the middle of a unit.
    const unsigned char* const limit = ChunkEnd(p, end);
    o = MakeRoom(output, o, static_cast<std::size_t>(limit - p) + kSlack);
    for (; limit - p >= 4; p += 4) {
      const std::uint32_t unit = UnitAt(p, bigEndian);
      if (unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF)) {
        o = utf8::PutReplacement(o);
      } else {
        o = utf8::Put(o, unit);
      }
    }
  }
  if (p < end) {
    o = MakeRoom(output, o, 3);
    o = utf8::PutReplacement(o);
  }
  Finish(output, o);
}

}  // namespace

void DecodeUtf32Be(const char* data, std::size_t size, std::string& output) {
  Decode(data, size, true, output);
}

void DecodeUtf32Le(const char* data, std::size_t size, std::string& output) {
  Decode(data, size, false, output);
}

}  // namespace quillet
