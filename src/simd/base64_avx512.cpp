// The base64 run of kernels.h, 64 characters a step with AVX-512 VBMI: one two-table byte
// permute gives every character's value (0x80 for a byte outside the alphabet; a byte of 0x80
// and up shows by its own high bit), the packing is that of base64_avx2.cpp, and a byte permute
// lays the 48 bytes out in order. Masked loads and stores take the last, shorter block exactly,
// so there is no tail and nothing is read or written outside the range.
#include "simd/kernel_list.h"
#include "simd/targets.h"

#if defined(QUILLET_SIMD_AVX512)
#include <immintrin.h>

#include <array>
#include <cstdint>

namespace quillet {
namespace simd {
namespace {

constexpr std::size_t kWidth = 64;

// The values of the characters 0x00..0x7F, two 64-byte tables; X (0x80) marks a byte with none.
constexpr std::uint8_t X = 0x80;
// clang-format off
constexpr std::uint8_t kValues[128] = {
    /* 0x00 */ X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,
    /* 0x10 */ X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,
    /* 0x20 */ X, X, X, X, X, X, X, X, X, X, X, 62, X, X, X, 63,
    /* 0x30 */ 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, X, X, X, X, X, X,
    /* 0x40 */ X, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,
    /* 0x50 */ 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, X, X, X, X, X,
    /* 0x60 */ X, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40,
    /* 0x70 */ 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, X, X, X, X, X,
};
// clang-format on

// Output byte k comes from byte 2 - k % 3 of the 32-bit group k / 3.
constexpr std::array<std::uint8_t, 64> MakeOrder() {
  std::array<std::uint8_t, 64> order{};
  for (int k = 0; k < 48; ++k) order[k] = static_cast<std::uint8_t>(k / 3 * 4 + 2 - k % 3);
  return order;
}
constexpr std::array<std::uint8_t, 64> kOrder = MakeOrder();

}  // namespace

QUILLET_VBMI std::size_t DecodeBase64RunAvx512Vbmi(const unsigned char* in, std::size_t size,
                                                   unsigned char* out, std::size_t room) {
  // A masked store that a load of the converter reads at once cannot be forwarded to it, and
  // a word of a mail is mostly shorter than two blocks: such text goes 32 characters a step.
  if (size < 2 * kWidth) return DecodeBase64RunAvx2(in, size, out, room);
  const __m512i low = _mm512_loadu_si512(kValues);
  const __m512i high = _mm512_loadu_si512(kValues + 64);
  const __m512i order = _mm512_loadu_si512(kOrder.data());
  std::size_t done = 0;  // characters decoded, a multiple of four
  while (size - done >= 4) {
    const std::size_t n = size - done >= kWidth ? kWidth : (size - done) & ~std::size_t{3};
    const std::uint64_t within = n == kWidth ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
    const __m512i text = _mm512_maskz_loadu_epi8(within, in + done);
    const __m512i values = _mm512_permutex2var_epi8(low, text, high);
    const std::uint64_t bad = _mm512_movepi8_mask(_mm512_or_si512(values, text)) & within;
    const std::size_t good = bad != 0 ? (__builtin_ctzll(bad) & ~3u) : n;
    const std::size_t bytes = good / 4 * 3;  // at most 48
    if (bytes > room - done / 4 * 3) return done;
    const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
    const __m512i groups = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
    _mm512_mask_storeu_epi8(out + done / 4 * 3, (std::uint64_t{1} << bytes) - 1,
                            _mm512_permutex2var_epi8(groups, order, groups));
    done += good;
    if (good < n) break;
  }
  return done;
}

}  // namespace simd
}  // namespace quillet

#endif
