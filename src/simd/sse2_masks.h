// What the SSE2 conversion runs share: a 64-byte block is four 16-byte vectors whose byte tests
// become one 64-bit mask, and the masks' set bits are walked one by one.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "simd/targets.h"

namespace quillet {
namespace simd {

QUILLET_SSE2 inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

QUILLET_SSE2 inline __m128i Set(unsigned byte) {
  return _mm_set1_epi8(static_cast<char>(byte));
}

// 0xFF in each byte of 0x80 and up.
QUILLET_SSE2 inline __m128i High(__m128i v) {
  return _mm_cmpgt_epi8(_mm_setzero_si128(), v);
}

// 0xFF in each byte of lo..hi (a span under 128 values).
QUILLET_SSE2 inline __m128i InRange(__m128i v, unsigned lo, unsigned hi) {
  return _mm_cmplt_epi8(_mm_add_epi8(v, Set(0x80 - lo)), Set(0x80 + hi - lo + 1));
}

// The top bits of the bytes of vector number `vector` (0..3) of a block, in their place in the
// block's mask.
QUILLET_SSE2 inline std::uint64_t Bits(__m128i mask, int vector) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(mask)) & 0xFFFF)
         << (16 * vector);
}

// 0xFF in byte i where bit i of bits is set (bits 0..15): the low byte spread over bytes
// 0..7 and the next over 8..15.
QUILLET_SSE2 inline __m128i ByteMask(unsigned bits) {
  const __m128i select = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  __m128i spread = _mm_cvtsi32_si128(static_cast<int>(bits));
  spread = _mm_unpacklo_epi8(spread, spread);
  spread = _mm_shuffle_epi32(_mm_unpacklo_epi16(spread, spread), 0x50);
  return _mm_cmpeq_epi8(_mm_and_si128(spread, select), select);
}

// The place of the lowest set bit of bits (not 0). tzcnt runs as bsf where BMI1 is missing, with
// the same result for a word that is not 0; written out, it takes no instruction to clear its
// output first or to widen it. A 32-bit build counts in halves, as the compiler would otherwise
// call a library routine.
inline std::size_t LowestBit(std::uint64_t bits) {
#if defined(__x86_64__)
  std::uint64_t place;
  __asm__("tzcnt %1, %0" : "=r"(place) : "r"(bits) : "cc");
  return place;
#else
  const auto low = static_cast<std::uint32_t>(bits);
  return low != 0
             ? static_cast<unsigned>(__builtin_ctz(low))
             : 32 + static_cast<unsigned>(__builtin_ctz(static_cast<std::uint32_t>(bits >> 32)));
#endif
}

}  // namespace simd
}  // namespace quillet
