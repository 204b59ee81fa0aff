// Shift_JIS <-> EUC-JP, 64 bytes a block in two 32-byte vectors (see jconv_sse2.cpp for the
// shape).
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <immintrin.h>

#include <cstdint>

#include "simd/pair_marks.h"
#include "simd/targets.h"

namespace quillet {
namespace simd {
namespace {

constexpr std::size_t kBlock = 64;

QUILLET_AVX2 inline __m256i Load(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

QUILLET_AVX2 inline __m256i Set(unsigned byte) {
  return _mm256_set1_epi8(static_cast<char>(byte));
}

// 0xFF in each byte of lo..hi (a span under 128 values).
QUILLET_AVX2 inline __m256i InRange(__m256i v, unsigned lo, unsigned hi) {
  return _mm256_cmpgt_epi8(Set(0x80 + hi - lo + 1), _mm256_add_epi8(v, Set(0x80 - lo)));
}

QUILLET_AVX2 inline std::uint64_t Bits(__m256i mask, int vector) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(mask)))
         << (32 * vector);
}

// 0xFF in byte i where bit i of bits is set.
QUILLET_AVX2 inline __m256i ByteMask(std::uint32_t bits) {
  const __m256i spread =
      _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(bits)),
                          _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2,
                                           2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
  const __m256i select = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201u));
  return _mm256_cmpeq_epi8(_mm256_and_si256(spread, select), select);
}

// In a block taken every byte of 0x80 and up is a first or a second byte: blendv picks by the
// top bit, so the byte itself marks where the first byte goes, and the second bytes override.
QUILLET_AVX2 inline __m256i Pick(__m256i v, __m256i first, __m256i second, const PairBlock& block,
                                 int vector) {
  const __m256i trails = ByteMask(static_cast<std::uint32_t>(block.trails >> (32 * vector)));
  return _mm256_blendv_epi8(_mm256_blendv_epi8(v, first, v), second, trails);
}

QUILLET_AVX2 inline __m256i EvenRow(__m256i s) {
  return _mm256_cmpeq_epi8(_mm256_max_epu8(s, Set(0x9F)), s);
}

QUILLET_AVX2 __m256i SjisToEuc(__m256i s, __m256i next, const PairBlock& block, int vector) {
  const __m256i low = _mm256_cmpgt_epi8(Set(0xA0), s);
  const __m256i row = _mm256_add_epi8(_mm256_add_epi8(s, s),
                                      _mm256_add_epi8(Set(0x9F), _mm256_and_si256(low, Set(0x80))));
  const __m256i first = _mm256_or_si256(_mm256_sub_epi8(row, EvenRow(next)), Set(0x80));
  const __m256i u = _mm256_add_epi8(s, _mm256_cmpgt_epi8(_mm256_setzero_si256(), s));
  const __m256i minus = _mm256_add_epi8(Set(0x1F), _mm256_and_si256(EvenRow(s), Set(0x5E)));
  const __m256i second = _mm256_or_si256(_mm256_sub_epi8(u, minus), Set(0x80));
  return Pick(s, first, second, block, vector);
}

QUILLET_AVX2 __m256i EucToSjis(__m256i e, __m256i before, const PairBlock& block, int vector) {
  const __m256i half =
      _mm256_and_si256(_mm256_srli_epi16(_mm256_sub_epi8(e, Set(0xA1)), 1), Set(0x7F));
  const __m256i f = _mm256_add_epi8(half, Set(0x81));
  const __m256i first =
      _mm256_add_epi8(f, _mm256_andnot_si256(_mm256_cmpgt_epi8(Set(0xA0), f), Set(0x40)));
  const __m256i odd = _mm256_cmpeq_epi8(_mm256_and_si256(before, Set(1)), Set(1));
  const __m256i plus = _mm256_sub_epi8(Set(0x7D), _mm256_and_si256(odd, Set(0x5E)));
  const __m256i t = _mm256_add_epi8(_mm256_and_si256(e, Set(0x7F)), plus);
  const __m256i second = _mm256_sub_epi8(t, _mm256_cmpeq_epi8(_mm256_max_epu8(t, Set(0x7F)), t));
  return Pick(e, first, second, block, vector);
}

}  // namespace

QUILLET_AVX2 std::size_t SjisToEucRunAvx2(const unsigned char* in, std::size_t size,
                                          unsigned char* out) {
  std::size_t done = 0;
  std::uint64_t carry = 0;        // the block before ended with a first byte
  while (size - done > kBlock) {  // the byte after the block is read too
    const unsigned char* const p = in + done;
    const __m256i v[2] = {Load(p), Load(p + 32)};
    std::uint64_t lead = 0, trail = 0, high = 0;
    for (int k = 0; k < 2; ++k) {
      lead |= Bits(_mm256_or_si256(InRange(v[k], 0x81, 0x9F), InRange(v[k], 0xE0, 0xFF)), k);
      trail |= Bits(_mm256_or_si256(InRange(v[k], 0x40, 0x7E), InRange(v[k], 0x80, 0xFC)), k);
      high |= Bits(v[k], k);
    }
    const std::uint64_t carried = carry;
    const PairBlock block = MarkPairs(lead, trail, ~high, carry);
    if (!block.whole) {
      carry = carried;
      break;
    }
    for (int k = 0; k < 2; ++k) {
      const __m256i converted = SjisToEuc(v[k], Load(p + 32 * k + 1), block, k);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + done + 32 * k), converted);
    }
    done += kBlock;
  }
  // A first byte whose second was not taken is left to the caller.
  return done - static_cast<std::size_t>(carry);
}

QUILLET_AVX2 std::size_t EucToSjisRunAvx2(const unsigned char* in, std::size_t size,
                                          unsigned char* out) {
  std::size_t done = 0;
  std::uint64_t carry = 0;  // the block before ended with a first byte
  while (size - done > kBlock) {
    const unsigned char* const p = in + done;
    const __m256i v[2] = {Load(p), Load(p + 32)};
    std::uint64_t pairByte = 0, high = 0;
    for (int k = 0; k < 2; ++k) {
      pairByte |= Bits(InRange(v[k], 0xA1, 0xFE), k);
      high |= Bits(v[k], k);
    }
    const std::uint64_t carried = carry;
    const PairBlock block = MarkPairs(pairByte, pairByte, ~high, carry);
    if (!block.whole) {
      carry = carried;
      break;
    }
    // Before the first block nothing is read: its byte 0 starts a character, and the first
    // vector's bytes moved up by one, across the lane boundary, stand in.
    const __m256i before[2] = {
        done == 0 ? _mm256_alignr_epi8(v[0], _mm256_permute2x128_si256(v[0], v[0], 0x08), 15)
                  : Load(p - 1),
        Load(p + 31)};
    for (int k = 0; k < 2; ++k) {
      const __m256i converted = EucToSjis(v[k], before[k], block, k);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + done + 32 * k), converted);
    }
    done += kBlock;
  }
  // A first byte whose second was not taken is left to the caller.
  return done - static_cast<std::size_t>(carry);
}

}  // namespace simd
}  // namespace quillet

#endif
