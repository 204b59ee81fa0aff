// The scans of kernels.h, 32 bytes a step (see scan_sse2.cpp for the shape). A range too short
// for one block goes to the 16-byte scans.
#include "simd/kernel_list.h"
#include "simd/targets.h"

#if defined(QUILLET_SIMD_X86)
#include <immintrin.h>

#include <cstdint>

namespace quillet {
namespace simd {
namespace {

constexpr int kWidth = 32;

QUILLET_AVX2 inline __m256i Load(const char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

QUILLET_AVX2 inline std::uint32_t MarkBits(const char* p, __m256i marks) {
  const __m256i v = Load(p);
  const __m256i low = _mm256_cmpeq_epi8(_mm256_min_epu8(v, _mm256_set1_epi8(3)), v);
  return static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_or_si256(low, _mm256_cmpeq_epi8(v, marks))));
}

QUILLET_AVX2 inline std::uint32_t PairBits(const char* p, char first, char second,
                                           bool separators) {
  const __m256i v = Load(p);
  __m256i hits = _mm256_and_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(first)),
                                  _mm256_cmpeq_epi8(Load(p + 1), _mm256_set1_epi8(second)));
  if (separators) {
    hits = _mm256_or_si256(hits, _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(1)),
                                                 _mm256_cmpeq_epi8(v, _mm256_set1_epi8(2))));
  }
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
}

}  // namespace

QUILLET_AVX2 const char* FindMarkAvx2(const char* p, const char* end, unsigned char mark) {
  if (end - p < kWidth) return FindMarkSse2(p, end, mark);
  const __m256i marks = _mm256_set1_epi8(static_cast<char>(mark));
  while (end - p >= kWidth) {
    const std::uint32_t bits = MarkBits(p, marks);
    if (bits != 0) return p + __builtin_ctz(bits);
    p += kWidth;
  }
  if (p == end) return end;
  const char* const q = end - kWidth;
  const std::uint32_t bits = MarkBits(q, marks) >> (p - q);  // p - q is 1..31
  return bits != 0 ? p + __builtin_ctz(bits) : end;
}

QUILLET_AVX2 const char* FindWordEndAvx2(const char* p, const char* end) {
  if (end - p <= kWidth) return FindWordEndSse2(p, end);
  while (end - p > kWidth) {
    const std::uint32_t bits = PairBits(p, '?', '=', true);
    if (bits != 0) return p + __builtin_ctz(bits);
    p += kWidth;
  }
  if (p == end) return end;
  const char* const q = end - kWidth - 1;
  const int seen = static_cast<int>(p - q);  // 1..32
  const std::uint32_t bits = seen < kWidth ? PairBits(q, '?', '=', true) >> seen : 0;
  if (bits != 0) return p + __builtin_ctz(bits);
  return end[-1] == 0x01 || end[-1] == 0x02 ? end - 1 : end;
}

namespace {

QUILLET_AVX2 inline std::uint32_t ZeroBits(const char* p) {
  return static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(Load(p), _mm256_setzero_si256())));
}

}  // namespace

// As FindLineEndSse2, noting zero bytes on the way.
QUILLET_AVX2 const char* FindLineEndAvx2(const char* p, const char* end, bool& zero) {
  if (end - p <= kWidth) return FindLineEndSse2(p, end, zero);
  const __m256i zeros = _mm256_setzero_si256();
  __m256i seen = zeros;  // 0xFF in each byte place where a block held a zero
  // Two blocks a step while no CR LF is in them (the request's one long line); the block that
  // holds one is then found a block at a time.
  while (end - p > 2 * kWidth) {
    const __m256i a = Load(p);
    const __m256i b = Load(p + kWidth);
    const __m256i crs = _mm256_set1_epi8(0x0D);
    const __m256i lfs = _mm256_set1_epi8(0x0A);
    const __m256i hits = _mm256_or_si256(
        _mm256_and_si256(_mm256_cmpeq_epi8(a, crs), _mm256_cmpeq_epi8(Load(p + 1), lfs)),
        _mm256_and_si256(_mm256_cmpeq_epi8(b, crs), _mm256_cmpeq_epi8(Load(p + kWidth + 1), lfs)));
    if (!_mm256_testz_si256(hits, hits)) break;
    seen = _mm256_or_si256(
        seen, _mm256_or_si256(_mm256_cmpeq_epi8(a, zeros), _mm256_cmpeq_epi8(b, zeros)));
    p += 2 * kWidth;
  }
  while (end - p > kWidth) {
    const std::uint32_t bits = PairBits(p, 0x0D, 0x0A, false);
    if (bits != 0) {
      zero = (ZeroBits(p) & (bits - 1) & ~bits) != 0 || !_mm256_testz_si256(seen, seen);
      return p + __builtin_ctz(bits);
    }
    seen = _mm256_or_si256(seen, _mm256_cmpeq_epi8(Load(p), zeros));
    p += kWidth;
  }
  zero = !_mm256_testz_si256(seen, seen);
  if (p == end) return end;
  const char* const q = end - kWidth - 1;
  const int skip = static_cast<int>(p - q);  // 1..32
  if (skip < kWidth) {
    const std::uint32_t bits = PairBits(q, 0x0D, 0x0A, false) >> skip;
    const std::uint32_t nul = ZeroBits(q) >> skip;
    if (bits != 0) {
      zero = zero || (nul & (bits - 1) & ~bits) != 0;
      return p + __builtin_ctz(bits);
    }
    zero = zero || nul != 0;
  }
  zero = zero || end[-1] == 0;
  return end;
}

}  // namespace simd
}  // namespace quillet

#endif
