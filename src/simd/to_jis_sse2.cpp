// Shift_JIS and EUC-JP to ISO-2022-JP, 64 bytes a block in four 16-byte vectors. Bit masks
// mark where the double-byte characters lie (pair_marks.h); every byte is converted at once,
// and the block is copied out stretch by stretch, ESC $ B before each stretch of characters
// and ESC ( B before each stretch of ASCII that follows one. A block with anything else stops
// the kernel at its start; a character that crosses the block's end starts the next block.
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

QUILLET_SSE2 inline void Store(unsigned char* o, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
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

QUILLET_SSE2 inline __m128i EvenRow(__m128i s) {
  return _mm_cmpeq_epi8(_mm_max_epu8(s, Set(0x9F)), s);
}

// The JIS X 0208 bytes of Shift_JIS bytes s (next: the byte after each), ASCII kept: the row
// 2 * s1 - 0xE1 (s1 <= 0x9F) or 2 * s1 - 0x161, one more for the even row; the column s2 less
// one from 0x80 on, less 0x7D in the even row and 0x1F in the odd one.
QUILLET_SSE2 __m128i SjisToJis(__m128i s, __m128i next, std::uint64_t trailBits) {
  const __m128i low = _mm_cmplt_epi8(s, Set(0xA0));
  const __m128i row =
      _mm_add_epi8(_mm_add_epi8(s, s), _mm_add_epi8(Set(0x9F), _mm_and_si128(low, Set(0x80))));
  const __m128i first = _mm_sub_epi8(row, EvenRow(next));
  const __m128i u = _mm_add_epi8(s, _mm_cmplt_epi8(s, _mm_setzero_si128()));
  const __m128i minus = _mm_add_epi8(Set(0x1F), _mm_and_si128(EvenRow(s), Set(0x5E)));
  const __m128i second = _mm_sub_epi8(u, minus);
  // In a block taken every byte of 0x80 and up is a first or a second byte.
  const __m128i trails = ByteMask(static_cast<unsigned>(trailBits));
  const __m128i leads = _mm_andnot_si128(trails, _mm_cmplt_epi8(s, _mm_setzero_si128()));
  const __m128i kept = _mm_andnot_si128(_mm_or_si128(leads, trails), s);
  return _mm_or_si128(kept,
                      _mm_or_si128(_mm_and_si128(leads, first), _mm_and_si128(trails, second)));
}

template <bool kSjis>
QUILLET_SSE2 std::size_t ToJisRun(const unsigned char* in, std::size_t size, unsigned char*& out,
                                  bool& twoByte) {
  std::size_t done = 0;
  unsigned char* o = out;
  bool pairs = twoByte;
  while (size - done > kBlock) {  // the byte after the block is read too
    const unsigned char* const p = in + done;
    alignas(16) unsigned char converted[2 * kBlock];
    __m128i v[4];
    std::uint64_t lead = 0, trail = 0, high = 0;
    for (int k = 0; k < 4; ++k) {
      v[k] = Load(p + 16 * k);
      if (kSjis) {
        lead |= Bits(_mm_or_si128(InRange(v[k], 0x81, 0x9F), InRange(v[k], 0xE0, 0xFF)), k);
        trail |= Bits(_mm_or_si128(InRange(v[k], 0x40, 0x7E), InRange(v[k], 0x80, 0xFC)), k);
      } else {
        lead |= Bits(InRange(v[k], 0xA1, 0xFE), k);
      }
      high |= Bits(v[k], k);
    }
    std::uint64_t carry = 0;
    const PairBlock block = MarkPairs(lead, kSjis ? trail : lead, ~high, carry);
    if (!block.whole) break;
    const unsigned taken = static_cast<unsigned>(kBlock - carry);  // a cut character waits
    std::uint64_t inPairs = (block.leads | block.trails) & ~(carry << 63);
    for (int k = 0; k < 4; ++k) {
      // EUC-JP loses bit 7 of every byte, and ASCII has none.
      Store(converted + 16 * k,
            kSjis ? SjisToJis(v[k], Load(p + 16 * k + 1), block.trails >> (16 * k))
                  : _mm_and_si128(v[k], Set(0x7F)));
    }
    // Where the kind of character changes from the byte before (the mode in force before the
    // block's first byte).
    std::uint64_t changes = (inPairs ^ ((inPairs << 1) | (pairs ? 1 : 0)));
    if (taken < kBlock) changes &= ~(std::uint64_t{1} << 63);
    unsigned from = 0;
    for (;;) {
      const unsigned to = changes != 0 ? static_cast<unsigned>(__builtin_ctzll(changes)) : taken;
      for (unsigned i = 0; i < kBlock; i += 16) Store(o + i, Load(converted + from + i));
      o += to - from;
      if (changes == 0) break;
      pairs = (inPairs >> to & 1) != 0;
      o[0] = 0x1B;
      o[1] = pairs ? '$' : '(';
      o[2] = 'B';
      o += 3;
      changes &= changes - 1;
      from = to;
    }
    done += taken;
  }
  out = o;
  twoByte = pairs;
  return done;
}

}  // namespace

QUILLET_SSE2 std::size_t SjisToJisRunSse2(const unsigned char* in, std::size_t size,
                                          unsigned char*& out, bool& twoByte) {
  return ToJisRun<true>(in, size, out, twoByte);
}

QUILLET_SSE2 std::size_t EucToJisRunSse2(const unsigned char* in, std::size_t size,
                                         unsigned char*& out, bool& twoByte) {
  return ToJisRun<false>(in, size, out, twoByte);
}

}  // namespace simd
}  // namespace quillet

#endif
