// The scans of kernels.h, 16 bytes a step: each block gives a bit mask of the bytes sought, and
// the first set bit is the answer. The last block of a range of 16 bytes or more is loaded
// again over the end of the one before it (its bytes already seen are masked off), so only a
// range shorter than a block goes byte by byte.
#include "simd/kernel_list.h"
#include "simd/targets.h"

#if defined(QUILLET_SIMD_X86)
#include <emmintrin.h>

namespace quillet {
namespace simd {
namespace {

constexpr int kWidth = 16;

QUILLET_SSE2 inline __m128i Load(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Bytes of 0..3 or equal to mark.
QUILLET_SSE2 inline unsigned MarkBits(const char* p, __m128i marks) {
  const __m128i v = Load(p);
  const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(3)), v);
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low, _mm_cmpeq_epi8(v, marks))));
}

// Bytes equal to first that second follows (reads p[0..16]); with separators, also 0x01, 0x02.
QUILLET_SSE2 inline unsigned PairBits(const char* p, char first, char second, bool separators) {
  const __m128i v = Load(p);
  __m128i hits = _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(first)),
                               _mm_cmpeq_epi8(Load(p + 1), _mm_set1_epi8(second)));
  if (separators) {
    hits = _mm_or_si128(hits, _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(1)),
                                           _mm_cmpeq_epi8(v, _mm_set1_epi8(2))));
  }
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
}

// The pair scans: blocks while 17 bytes are in reach, then one block ending one byte before
// end, then the last byte, which is a hit only as a separator.
QUILLET_SSE2 const char* FindPair(const char* p, const char* end, char first, char second,
                                  bool separators) {
  const char* const begin = p;
  while (end - p > kWidth) {
    const unsigned bits = PairBits(p, first, second, separators);
    if (bits != 0) return p + __builtin_ctz(bits);
    p += kWidth;
  }
  if (p == end) return end;
  if (end - begin > kWidth) {
    const char* const q = end - kWidth - 1;
    const int seen = static_cast<int>(p - q);  // 1..16
    const unsigned bits = seen < kWidth ? PairBits(q, first, second, separators) >> seen : 0;
    if (bits != 0) return p + __builtin_ctz(bits);
    p = end - 1;
  }
  for (; p < end; ++p) {
    const char c = *p;
    if (separators && (c == 0x01 || c == 0x02)) return p;
    if (c == first && end - p >= 2 && p[1] == second) return p;
  }
  return end;
}

}  // namespace

QUILLET_SSE2 const char* FindMarkSse2(const char* p, const char* end, unsigned char mark) {
  const char* const begin = p;
  const __m128i marks = _mm_set1_epi8(static_cast<char>(mark));
  while (end - p >= kWidth) {
    const unsigned bits = MarkBits(p, marks);
    if (bits != 0) return p + __builtin_ctz(bits);
    p += kWidth;
  }
  if (p == end) return end;
  if (end - begin >= kWidth) {
    const char* const q = end - kWidth;
    const unsigned bits = MarkBits(q, marks) >> (p - q);  // p - q is 1..15
    return bits != 0 ? p + __builtin_ctz(bits) : end;
  }
  for (; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c <= 0x03 || c == mark) return p;
  }
  return end;
}

QUILLET_SSE2 const char* FindWordEndSse2(const char* p, const char* end) {
  return FindPair(p, end, '?', '=', true);
}

// The CR LF scan notes the zero bytes on its way: a line's value then needs no second pass to
// know that none cuts it short.
QUILLET_SSE2 const char* FindLineEndSse2(const char* p, const char* end, bool& zero) {
  const char* const begin = p;
  const __m128i zeros = _mm_setzero_si128();
  __m128i seen = zeros;  // 0xFF in each byte place where a block passed held a zero
  while (end - p > kWidth) {
    const unsigned bits = PairBits(p, 0x0D, 0x0A, false);
    const __m128i nul = _mm_cmpeq_epi8(Load(p), zeros);
    if (bits != 0) {
      const unsigned before = static_cast<unsigned>(_mm_movemask_epi8(nul)) & (bits - 1) & ~bits;
      zero = before != 0 || _mm_movemask_epi8(seen) != 0;
      return p + __builtin_ctz(bits);
    }
    seen = _mm_or_si128(seen, nul);
    p += kWidth;
  }
  zero = _mm_movemask_epi8(seen) != 0;
  if (p == end) return end;
  if (end - begin > kWidth) {
    const char* const q = end - kWidth - 1;
    const int skip = static_cast<int>(p - q);  // 1..16
    if (skip < kWidth) {
      const unsigned bits = PairBits(q, 0x0D, 0x0A, false) >> skip;
      const unsigned nul =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(Load(q), zeros))) >> skip;
      if (bits != 0) {
        zero = zero || (nul & (bits - 1) & ~bits) != 0;
        return p + __builtin_ctz(bits);
      }
      zero = zero || nul != 0;
    }
    zero = zero || end[-1] == 0;
    return end;
  }
  for (; p < end; ++p) {
    if (*p == 0x0D && end - p >= 2 && p[1] == 0x0A) return p;
    zero = zero || *p == 0;
  }
  return end;
}

}  // namespace simd
}  // namespace quillet

#endif
