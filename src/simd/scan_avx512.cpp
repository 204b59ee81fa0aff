// The scans of kernels.h, 64 bytes a step with AVX-512BW's byte compares into mask registers
// (see scan_sse2.cpp for the shape), after a first 32-byte step. A range too short for both goes
// to the 32-byte scans.
#include "simd/kernel_list.h"
#include "simd/targets.h"

#if defined(QUILLET_SIMD_AVX512)
#include <immintrin.h>

#include <cstdint>

namespace quillet {
namespace simd {
namespace {

constexpr int kWidth = 64;

QUILLET_AVX512 inline __m512i Load(const char* p) {
  return _mm512_loadu_si512(p);
}

QUILLET_AVX512 inline std::uint64_t MarkBits(const char* p, __m512i marks) {
  const __m512i v = Load(p);
  return _mm512_cmple_epu8_mask(v, _mm512_set1_epi8(3)) | _mm512_cmpeq_epi8_mask(v, marks);
}

QUILLET_AVX512 inline std::uint64_t PairBits(const char* p, char first, char second,
                                             bool separators) {
  const __m512i v = Load(p);
  std::uint64_t hits = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(first)) &
                       _mm512_cmpeq_epi8_mask(Load(p + 1), _mm512_set1_epi8(second));
  if (separators) {
    hits |= _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(1)) |
            _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(2));
  }
  return hits;
}

// The first step is 32 bytes wide: most hits are near, and a narrower block is found sooner.
QUILLET_AVX512 inline std::uint32_t NearMarkBits(const char* p, unsigned char mark) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return _mm256_cmple_epu8_mask(v, _mm256_set1_epi8(3)) |
         _mm256_cmpeq_epi8_mask(v, _mm256_set1_epi8(static_cast<char>(mark)));
}

QUILLET_AVX512 inline std::uint32_t NearPairBits(const char* p, char first, char second,
                                                 bool separators) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
  std::uint32_t hits = _mm256_cmpeq_epi8_mask(v, _mm256_set1_epi8(first)) &
                       _mm256_cmpeq_epi8_mask(next, _mm256_set1_epi8(second));
  if (separators) {
    hits |= _mm256_cmpeq_epi8_mask(v, _mm256_set1_epi8(1)) |
            _mm256_cmpeq_epi8_mask(v, _mm256_set1_epi8(2));
  }
  return hits;
}

}  // namespace

QUILLET_AVX512 const char* FindMarkAvx512(const char* p, const char* end, unsigned char mark) {
  if (end - p < kWidth + 32) return FindMarkAvx2(p, end, mark);
  if (const std::uint32_t near = NearMarkBits(p, mark)) return p + __builtin_ctz(near);
  p += 32;
  const __m512i marks = _mm512_set1_epi8(static_cast<char>(mark));
  while (end - p >= kWidth) {
    const std::uint64_t bits = MarkBits(p, marks);
    if (bits != 0) return p + __builtin_ctzll(bits);
    p += kWidth;
  }
  if (p == end) return end;
  const char* const q = end - kWidth;
  const std::uint64_t bits = MarkBits(q, marks) >> (p - q);  // p - q is 1..63
  return bits != 0 ? p + __builtin_ctzll(bits) : end;
}

QUILLET_AVX512 const char* FindWordEndAvx512(const char* p, const char* end) {
  if (end - p <= kWidth + 32) return FindWordEndAvx2(p, end);
  if (const std::uint32_t near = NearPairBits(p, '?', '=', true)) return p + __builtin_ctz(near);
  p += 32;
  while (end - p > kWidth) {
    const std::uint64_t bits = PairBits(p, '?', '=', true);
    if (bits != 0) return p + __builtin_ctzll(bits);
    p += kWidth;
  }
  if (p == end) return end;
  const char* const q = end - kWidth - 1;
  const int seen = static_cast<int>(p - q);  // 1..64
  const std::uint64_t bits = seen < kWidth ? PairBits(q, '?', '=', true) >> seen : 0;
  if (bits != 0) return p + __builtin_ctzll(bits);
  return end[-1] == 0x01 || end[-1] == 0x02 ? end - 1 : end;
}

namespace {

QUILLET_AVX512 inline std::uint64_t ZeroBits(const char* p) {
  return _mm512_cmpeq_epi8_mask(Load(p), _mm512_setzero_si512());
}

}  // namespace

// As FindLineEndSse2, noting zero bytes on the way.
QUILLET_AVX512 const char* FindLineEndAvx512(const char* p, const char* end, bool& zero) {
  if (end - p <= kWidth + 32) return FindLineEndAvx2(p, end, zero);
  const __m256i near = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const std::uint32_t nearZeros = _mm256_cmpeq_epi8_mask(near, _mm256_setzero_si256());
  if (const std::uint32_t bits = NearPairBits(p, 0x0D, 0x0A, false)) {
    zero = (nearZeros & (bits - 1) & ~bits) != 0;
    return p + __builtin_ctz(bits);
  }
  std::uint64_t seen = nearZeros;  // a bit for each byte place where a block held a zero
  p += 32;
  while (end - p > kWidth) {
    const std::uint64_t bits = PairBits(p, 0x0D, 0x0A, false);
    const std::uint64_t nul = ZeroBits(p);
    if (bits != 0) {
      zero = seen != 0 || (nul & (bits - 1) & ~bits) != 0;
      return p + __builtin_ctzll(bits);
    }
    seen |= nul;
    p += kWidth;
  }
  zero = seen != 0;
  if (p == end) return end;
  const char* const q = end - kWidth - 1;
  const int skip = static_cast<int>(p - q);  // 1..64
  if (skip < kWidth) {
    const std::uint64_t bits = PairBits(q, 0x0D, 0x0A, false) >> skip;
    const std::uint64_t nul = ZeroBits(q) >> skip;
    if (bits != 0) {
      zero = zero || (nul & (bits - 1) & ~bits) != 0;
      return p + __builtin_ctzll(bits);
    }
    zero = zero || nul != 0;
  }
  zero = zero || end[-1] == 0;
  return end;
}

}  // namespace simd
}  // namespace quillet

#endif
