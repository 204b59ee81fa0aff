// The ASCII run copy of kernels.h, 16 bytes a step: each block is stored whole and its high bits
// say where the run ends. The last block of a range of 16 bytes or more is loaded again over the
// end of the one before it (its bytes already seen are masked off), so only a range shorter than
// a block goes byte by byte.
#include "simd/kernel_list.h"
#include "simd/targets.h"

#if defined(QUILLET_SIMD_X86)
#include <emmintrin.h>

namespace quillet {
namespace simd {

QUILLET_SSE2 std::size_t CopyAsciiRunSse2(const unsigned char* in, std::size_t size,
                                          unsigned char* out) {
  constexpr std::size_t kWidth = 16;
  std::size_t i = 0;
  for (; size - i >= kWidth; i += kWidth) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), v);
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (high != 0) return i + static_cast<std::size_t>(__builtin_ctz(high));
  }
  if (i == size) return size;
  if (size >= kWidth) {
    const std::size_t q = size - kWidth;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + q));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + q), v);
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v)) >> (i - q);
    return high != 0 ? i + static_cast<std::size_t>(__builtin_ctz(high)) : size;
  }
  for (; i < size && in[i] < 0x80; ++i) out[i] = in[i];
  return i;
}

}  // namespace simd
}  // namespace quillet

#endif
