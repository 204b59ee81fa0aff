// When the converters into and out of UTF-8 hand their text to the vector runs of
// simd::Kernels.
#pragma once

#include <cstddef>

namespace quillet {
namespace convert {

// The vector runs take text longer than this; on shorter text (a mail header's word) the
// scalar code is as fast.
constexpr std::ptrdiff_t kVectorMinimum = 256;

// A vector run that stops within its first block has met unusual text (a kana, an error): the
// scalar code then takes at least the next kVectorPause bytes before a run is tried again, so
// that text full of such bytes costs at most one call per kVectorPause bytes.
constexpr std::ptrdiff_t kVectorPause = 64;

// Where a run may next be tried, after one that started at from stopped at p, before end.
inline const unsigned char* NextTry(const unsigned char* from, const unsigned char* p,
                                    const unsigned char* end) {
  if (p - from >= kVectorPause) return p;
  return end - p > kVectorPause ? p + kVectorPause : end;
}

}  // namespace convert
}  // namespace quillet
