// The loop that Shift_JIS and EUC-JP text share on the way to another Japanese encoding: ASCII
// runs copied a word at a time, everything else one character at a time by the source's own
// step, and (where the processor has one) a vector kernel over blocks of ASCII and double-byte
// characters whose output is as long as its input.
#pragma once

#include <cstddef>
#include <string>

#include "codec/convert_support.h"

namespace quillet {
namespace convert {

// The kernels of simd::Kernels: output as long as the input, or into ISO-2022-JP (output
// cursor and mode moved along).
using PairRun = std::size_t (*)(const unsigned char* in, std::size_t size, unsigned char* out);
using ModeRun = std::size_t (*)(const unsigned char* in, std::size_t size, unsigned char*& out,
                                bool& twoByte);

// After the kernel stops at a block it refuses, the characters step on this far before it is
// tried again, so that a block of other bytes costs one try, not one per character.
constexpr std::size_t kRunRetry = 64;
// The kernels take nothing from less than a block and the two bytes they read after it, so
// shorter text goes straight to the scalar steps.
constexpr std::size_t kRunMinimum = 66;

// Target writes the converted text: kPerByte (the most bytes out per byte in), kernel (null
// for none) and Run(p, size, o) that calls it, Ascii(o) before a run of ASCII, Step(p, limit, end,
// o) for one character that is not ASCII, reading up to end (returns the new p; o moves along; word
// runs stop at limit), and End(o) after the last one. run is used only where Target's output of
// ASCII and double-byte characters is as long as the input.
template <typename Target>
void ConvertPairText(const unsigned char* p, const unsigned char* end, std::string& output,
                     Target target) {
  Output out(output, static_cast<std::size_t>(end - p), Target::kPerByte, Target::kPerByte != 1);
  unsigned char* o = out.Begin();
  // Where the kernel is tried next: one comparison a step, so that short text costs no more
  // than with no kernel.
  const unsigned char* tryAt = target.kernel != nullptr ? p : end;
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = out.Room(o, Target::kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (p >= tryAt) {
        if (static_cast<std::size_t>(limit - p) < kRunMinimum) {
          tryAt = limit;  // the next chunk's start
        } else {
          // A copy of the cursor goes to the kernel, so that the steps keep theirs in a
          // register.
          unsigned char* runOut = o;
          p += target.Run(p, static_cast<std::size_t>(limit - p), runOut);
          o = runOut;
          tryAt = static_cast<std::size_t>(end - p) > kRunRetry ? p + kRunRetry : end;
          if (p == limit) break;
        }
      }
      if (*p < 0x80) {
        o = target.Ascii(o);
        p = CopyAscii(p, limit, o);
      } else {
        p = target.Step(p, limit, end, o);
      }
    }
  }
  out.Finish(target.End(o));
}

// For ISO-2022-JP targets: the output mode, switched with ESC $ B / ESC ( B only where the kind
// of character changes, and ASCII at the end.
struct JisMode {
  bool twoByte = false;
  ModeRun kernel = nullptr;
  std::size_t Run(const unsigned char* p, std::size_t size, unsigned char*& o) {
    return kernel(p, size, o, twoByte);
  }
  unsigned char* Ascii(unsigned char* o) { return SwitchToSingle(o, twoByte); }
  unsigned char* Double(unsigned char* o) { return SwitchToDouble(o, twoByte); }
  unsigned char* End(unsigned char* o) { return SwitchToSingle(o, twoByte); }
};

// For the other targets: no modes.
struct NoMode {
  PairRun kernel = nullptr;
  std::size_t Run(const unsigned char* p, std::size_t size, unsigned char*& o) const {
    const std::size_t taken = kernel(p, size, o);
    o += taken;
    return taken;
  }
  static unsigned char* Ascii(unsigned char* o) { return o; }
  static unsigned char* End(unsigned char* o) { return o; }
};

}  // namespace convert
}  // namespace quillet
