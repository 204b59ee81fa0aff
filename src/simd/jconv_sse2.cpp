// Shift_JIS <-> EUC-JP, 64 bytes a block in four 16-byte vectors: bit masks of the bytes that
// may start or end a character mark where the characters lie (pair_marks.h), then every byte
// is converted both as a first and as a second byte, and the masks pick which it is. The byte
// after a vector (or before it) is loaded at an offset of one, so each character's other half
// lines up with it.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <emmintrin.h>

#include <cstdint>

#include "simd/pair_marks.h"

#define QUILLET_SSE2 __attribute__((target("sse2")))

namespace quillet {
namespace simd {
namespace {

constexpr std::size_t kBlock = 64;

QUILLET_SSE2 inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

QUILLET_SSE2 inline __m128i Set(unsigned byte) {
  return _mm_set1_epi8(static_cast<char>(byte));
}

// 0xFF in each byte of lo..hi (a span under 128 values).
QUILLET_SSE2 inline __m128i InRange(__m128i v, unsigned lo, unsigned hi) {
  return _mm_cmplt_epi8(_mm_add_epi8(v, Set(0x80 - lo)), Set(0x80 + hi - lo + 1));
}

QUILLET_SSE2 inline std::uint64_t Bits(__m128i mask, int vector) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(mask)) & 0xFFFF)
         << (16 * vector);
}

// 0xFF in byte i where bit i of bits is set.
QUILLET_SSE2 inline __m128i ByteMask(unsigned bits) {
  const __m128i select = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m128i spread = _mm_unpacklo_epi64(Set(bits), Set(bits >> 8));
  return _mm_cmpeq_epi8(_mm_and_si128(spread, select), select);
}

// The bytes as they are, with the first and second bytes of characters replaced. In a block
// taken every byte of 0x80 and up is one of the two, so the second bytes tell the first.
QUILLET_SSE2 inline __m128i Pick(__m128i v, __m128i first, __m128i second, const PairBlock& block,
                                 int vector) {
  const __m128i trails = ByteMask(static_cast<unsigned>(block.trails >> (16 * vector)));
  const __m128i leads = _mm_andnot_si128(trails, _mm_cmplt_epi8(v, _mm_setzero_si128()));
  const __m128i kept = _mm_andnot_si128(_mm_or_si128(leads, trails), v);
  return _mm_or_si128(kept,
                      _mm_or_si128(_mm_and_si128(leads, first), _mm_and_si128(trails, second)));
}

// s >= 0x9F: a second byte of the even row.
QUILLET_SSE2 inline __m128i EvenRow(__m128i s) {
  return _mm_cmpeq_epi8(_mm_max_epu8(s, Set(0x9F)), s);
}

QUILLET_SSE2 __m128i SjisToEuc(__m128i s, __m128i next, const PairBlock& block, int vector) {
  // Row 2 * s1 - 0xE1 for s1 <= 0x9F, 2 * s1 - 0x161 above (mod 256), one more for the even row.
  const __m128i low = _mm_cmplt_epi8(s, Set(0xA0));
  const __m128i row =
      _mm_add_epi8(_mm_add_epi8(s, s), _mm_add_epi8(Set(0x9F), _mm_and_si128(low, Set(0x80))));
  const __m128i first = _mm_or_si128(_mm_sub_epi8(row, EvenRow(next)), Set(0x80));
  // Column: s2 less one from 0x80 on, less 0x7D in the even row and 0x1F in the odd one.
  const __m128i u = _mm_add_epi8(s, _mm_cmplt_epi8(s, _mm_setzero_si128()));
  const __m128i minus = _mm_add_epi8(Set(0x1F), _mm_and_si128(EvenRow(s), Set(0x5E)));
  const __m128i second = _mm_or_si128(_mm_sub_epi8(u, minus), Set(0x80));
  return Pick(s, first, second, block, vector);
}

QUILLET_SSE2 __m128i EucToSjis(__m128i e, __m128i before, const PairBlock& block, int vector) {
  // First byte ((j1 - 0x21) >> 1) + 0x81, 0x40 more past 0x9F.
  const __m128i half = _mm_and_si128(_mm_srli_epi16(_mm_sub_epi8(e, Set(0xA1)), 1), Set(0x7F));
  const __m128i f = _mm_add_epi8(half, Set(0x81));
  const __m128i first = _mm_add_epi8(f, _mm_andnot_si128(_mm_cmplt_epi8(f, Set(0xA0)), Set(0x40)));
  // Second byte j2 + 0x1F after an odd row, + 0x7D after an even one, one more from 0x7F on.
  const __m128i odd = _mm_cmpeq_epi8(_mm_and_si128(before, Set(1)), Set(1));
  const __m128i plus = _mm_sub_epi8(Set(0x7D), _mm_and_si128(odd, Set(0x5E)));
  const __m128i t = _mm_add_epi8(_mm_and_si128(e, Set(0x7F)), plus);
  const __m128i second = _mm_sub_epi8(t, _mm_cmpeq_epi8(_mm_max_epu8(t, Set(0x7F)), t));
  return Pick(e, first, second, block, vector);
}

}  // namespace

QUILLET_SSE2 std::size_t SjisToEucRunSse2(const unsigned char* in, std::size_t size,
                                          unsigned char* out) {
  std::size_t done = 0;
  std::uint64_t carry = 0;        // the block before ended with a first byte
  while (size - done > kBlock) {  // the byte after the block is read too
    const unsigned char* const p = in + done;
    __m128i v[4];
    std::uint64_t lead = 0, trail = 0, high = 0;
    for (int k = 0; k < 4; ++k) {
      v[k] = Load(p + 16 * k);
      lead |= Bits(_mm_or_si128(InRange(v[k], 0x81, 0x9F), InRange(v[k], 0xE0, 0xFF)), k);
      trail |= Bits(_mm_or_si128(InRange(v[k], 0x40, 0x7E), InRange(v[k], 0x80, 0xFC)), k);
      high |= Bits(v[k], k);
    }
    const std::uint64_t carried = carry;
    const PairBlock block = MarkPairs(lead, trail, ~high, carry);
    if (!block.whole) {
      carry = carried;
      break;
    }
    for (int k = 0; k < 4; ++k) {
      const __m128i converted = SjisToEuc(v[k], Load(p + 16 * k + 1), block, k);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done + 16 * k), converted);
    }
    done += kBlock;
  }
  // A first byte whose second was not taken is left to the caller.
  return done - static_cast<std::size_t>(carry);
}

QUILLET_SSE2 std::size_t EucToSjisRunSse2(const unsigned char* in, std::size_t size,
                                          unsigned char* out) {
  std::size_t done = 0;
  std::uint64_t carry = 0;  // the block before ended with a first byte
  while (size - done > kBlock) {
    const unsigned char* const p = in + done;
    __m128i v[4];
    std::uint64_t pairByte = 0, high = 0;
    for (int k = 0; k < 4; ++k) {
      v[k] = Load(p + 16 * k);
      pairByte |= Bits(InRange(v[k], 0xA1, 0xFE), k);
      high |= Bits(v[k], k);
    }
    const std::uint64_t carried = carry;
    const PairBlock block = MarkPairs(pairByte, pairByte, ~high, carry);
    if (!block.whole) {
      carry = carried;
      break;
    }
    for (int k = 0; k < 4; ++k) {
      // Before the first block nothing is read: its byte 0 starts a character.
      const __m128i before = (k == 0 && done == 0) ? _mm_slli_si128(v[0], 1) : Load(p + 16 * k - 1);
      const __m128i converted = EucToSjis(v[k], before, block, k);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done + 16 * k), converted);
    }
    done += kBlock;
  }
  // A first byte whose second was not taken is left to the caller.
  return done - static_cast<std::size_t>(carry);
}

}  // namespace simd
}  // namespace quillet

#endif
