// The ASCII run copy of kernels.h, 32 bytes a step (see ascii_sse2.cpp for the shape). A range
// too short for one block goes to the 16-byte copy.
#include "simd/kernel_list.h"
#include "simd/targets.h"

#if defined(QUILLET_SIMD_X86)
#include <immintrin.h>

namespace quillet {
namespace simd {

QUILLET_AVX2 std::size_t CopyAsciiRunAvx2(const unsigned char* in, std::size_t size,
                                          unsigned char* out) {
  constexpr std::size_t kWidth = 32;
  if (size < kWidth) return CopyAsciiRunSse2(in, size, out);
  std::size_t i = 0;
  for (; size - i >= kWidth; i += kWidth) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
    const unsigned high = static_cast<unsigned>(_mm256_movemask_epi8(v));
    if (high != 0) return i + static_cast<std::size_t>(__builtin_ctz(high));
  }
  if (i == size) return size;
  const std::size_t q = size - kWidth;
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + q));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + q), v);
  const unsigned high = static_cast<unsigned>(_mm256_movemask_epi8(v)) >> (i - q);
  return high != 0 ? i + static_cast<std::size_t>(__builtin_ctz(high)) : size;
}

}  // namespace simd
}  // namespace quillet

#endif
