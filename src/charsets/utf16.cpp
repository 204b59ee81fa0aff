#include "charsets/utf16.h"

#include <cstdint>

#include "codec/decode_loop.h"
#include "codec/utf8_support.h"

namespace quillet {
namespace {

constexpr bool IsLeadSurrogate(std::uint32_t unit) {
  return unit - 0xD800 < 0x400;
}

constexpr bool IsTrailSurrogate(std::uint32_t unit) {
  return unit - 0xDC00 < 0x400;
}

// Units of two bytes; chunks are of even size, so only the last can end in the middle of one.
template <bool kBigEndian>
struct Decoder {
  // A unit makes at most 3 bytes out, or 6 when it follows a lead surrogate that found no
  // trail (two U+FFFD, or one and a BMP character); the lead surrogate itself made none. So the
  // bytes of a chunk make at most twice as many out, with one U+FFFD carried in from the chunk
  // before.
  static constexpr std::size_t kPerByte = 2;
  static constexpr bool kAsciiRuns = false;
  std::uint32_t lead = 0;  // a lead surrogate waiting for its trail, or 0
  bool cut = false;        // the text ends in the middle of a unit

  const unsigned char* Step(const unsigned char* p, const unsigned char*, const unsigned char* end,
                            unsigned char*& o) {
    if (end - p < 2) {
      cut = true;
      return end;
    }
    const std::uint32_t unit =
        kBigEndian ? (std::uint32_t{p[0]} << 8 | p[1]) : (std::uint32_t{p[1]} << 8 | p[0]);
    if (lead != 0) {
      if (IsTrailSurrogate(unit)) {
        o = utf8::Put(o, 0x10000 + ((lead - 0xD800) << 10) + (unit - 0xDC00));
        lead = 0;
        return p + 2;
      }
      o = utf8::PutReplacement(o);
      lead = 0;
    }
    if (IsLeadSurrogate(unit)) {
      lead = unit;
    } else if (IsTrailSurrogate(unit)) {
      o = utf8::PutReplacement(o);
    } else {
      o = utf8::PutBmp(o, unit);
    }
    return p + 2;
  }

  // A lead surrogate without its trail, and a cut unit, are one U+FFFD together.
  unsigned char* Finish(unsigned char* o) const {
    return lead != 0 || cut ? utf8::PutReplacement(o) : o;
  }
};

template <bool kBigEndian>
void DecodeUnits(const unsigned char* p, const unsigned char* end, std::string& output) {
  Decoder<kBigEndian> decoder;
  codec::DecodeLoop(p, end, decoder, output);
}

void Decode(const char* data, std::size_t size, bool bigEndian, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  if (size >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    bigEndian = true;
    p += 2;
  } else if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    bigEndian = false;
    p += 2;
  }
  if (bigEndian) {
    DecodeUnits<true>(p, end, output);
  } else {
    DecodeUnits<false>(p, end, output);
  }
}

}  // namespace

void DecodeUtf16Be(const char* data, std::size_t size, std::string& output) {
  Decode(data, size, true, output);
}

void DecodeUtf16Le(const char* data, std::size_t size, std::string& output) {
  Decode(data, size, false, output);
}

}  // namespace quillet
