// The ASCII run copy of kernels.h, 64 bytes a step with AVX-512BW (see ascii_sse2.cpp for the
// shape); the last part of a block is loaded and stored under a mask, so nothing goes byte by
// byte.
#include "simd/kernel_list.h"
#include "simd/targets.h"

#if defined(QUILLET_SIMD_AVX512)
#include <immintrin.h>

#include <cstdint>

namespace quillet {
namespace simd {

QUILLET_AVX512 std::size_t CopyAsciiRunAvx512(const unsigned char* in, std::size_t size,
                                              unsigned char* out) {
  constexpr std::size_t kWidth = 64;
  // Short text is the AVX2 kernel's: a masked store read at once cannot be forwarded.
  if (size < kWidth) return CopyAsciiRunAvx2(in, size, out);
  std::size_t i = 0;
  for (; size - i >= kWidth; i += kWidth) {
    const __m512i v = _mm512_loadu_si512(in + i);
    _mm512_storeu_si512(out + i, v);
    const std::uint64_t high = _mm512_movepi8_mask(v);
    if (high != 0) return i + static_cast<std::size_t>(__builtin_ctzll(high));
  }
  if (i == size) return size;
  const __mmask64 part = (std::uint64_t{1} << (size - i)) - 1;  // size - i is 1..63
  const __m512i v = _mm512_maskz_loadu_epi8(part, in + i);
  _mm512_mask_storeu_epi8(out + i, part, v);
  const std::uint64_t high = _mm512_movepi8_mask(v) & part;
  return high != 0 ? i + static_cast<std::size_t>(__builtin_ctzll(high)) : size;
}

}  // namespace simd
}  // namespace quillet

#endif
