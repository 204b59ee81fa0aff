// The one loop of the decoders into UTF-8: the text in chunks with room for a chunk's worst
// case made before each (a short text's on the stack: convert::Output); runs of ASCII copied a
// vector block at a time, and every other byte handed to the encoding's step.
//
// A step is an object with
//   static constexpr std::size_t kPerByte;  the most bytes one byte in makes out
//   static constexpr bool kAsciiRuns;       whether a byte below 0x80 is always itself
//   const unsigned char* Step(const unsigned char* p, const unsigned char* limit,
//                             const unsigned char* end, unsigned char*& o);
//       reads at least one byte at p (p < limit), looking no further than end, writes its
//       characters at o and returns where reading goes on (it may pass limit by a character)
//   unsigned char* Finish(unsigned char* o);  what the end of the text leaves (at most kSlack)
// With kAsciiRuns the step sees only bytes of 0x80 and up.
#pragma once

#include <cstddef>
#include <string>

#include "codec/convert_support.h"
#include "simd/kernels.h"

namespace quillet {
namespace codec {

// How much of an ASCII run is copied inline before the vector copy takes the rest, and the
// least rest worth a call to it.
constexpr std::ptrdiff_t kInlineRun = 32;
constexpr std::ptrdiff_t kVectorRun = 16;

// Decodes [p, limit) at o, which has room for its worst case; returns where reading goes on.
template <class Decoder>
const unsigned char* DecodeChunk(const unsigned char* p, const unsigned char* const limit,
                                 const unsigned char* const end, Decoder& decoder,
                                 unsigned char*& cursor) {
  using namespace convert;
  const auto copyAsciiRun = simd::ActiveKernels().copyAsciiRun;
  // A local cursor: the bytes stored through it could otherwise be the caller's pointer, which
  // would then be read and written back around every store.
  unsigned char* o = cursor;
  while (p < limit) {
    if (Decoder::kAsciiRuns && *p < 0x80) {
      // Most runs in mail are a few words long: their first bytes go a word at a time
      // inline, and only a run that goes on further is worth a call to the vector copy.
      const unsigned char* const near = limit - p > kInlineRun ? p + kInlineRun : limit;
      p = CopyAscii(p, near, o);
      if (p == near && copyAsciiRun != nullptr && limit - p >= kVectorRun) {
        const std::size_t n = copyAsciiRun(p, static_cast<std::size_t>(limit - p), o);
        p += n;
        o += n;
      }
      continue;
    }
    p = decoder.Step(p, limit, end, o);
  }
  cursor = o;
  return p;
}

template <class Decoder>
void DecodeLoop(const unsigned char* p, const unsigned char* end, Decoder& decoder,
                std::string& output) {
  using namespace convert;
  constexpr std::size_t kPerByte = Decoder::kPerByte;
  if (p == end) return;
  Output out(output, static_cast<std::size_t>(end - p), kPerByte, kPerByte != 1);
  unsigned char* o = out.Begin();
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = out.Room(o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    p = DecodeChunk(p, limit, end, decoder, o);
  }
  o = out.Room(o, kSlack);
  out.Finish(decoder.Finish(o));
}

// A decoder whose step keeps nothing for the end of the text.
struct Stateless {
  static unsigned char* Finish(unsigned char* o) { return o; }
};

}  // namespace codec
}  // namespace quillet
