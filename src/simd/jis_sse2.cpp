// ISO-2022-JP to Shift_JIS and EUC-JP, 64 bytes a block in four 16-byte vectors. Bit masks
// mark the escape sequences ESC $ B and ESC ( B, the text bytes and the bytes of JIS X 0208
// pairs; every byte is converted at once (for Shift_JIS both as a first and as a second byte),
// and then each stretch between two sequences is copied out whole from the bytes it needs,
// which drops the sequences. Anything else (another sequence, a byte the set in force has no
// place for, a pair cut by a sequence) stops the kernel where it stands, for the scalar code.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <emmintrin.h>

#include <cstdint>

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

QUILLET_SSE2 inline std::uint64_t Bits(__m128i mask, int vector) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(mask)) & 0xFFFF)
         << (16 * vector);
}

// Bits from..to-1 (from <= to <= 64, from < 64).
inline std::uint64_t Span(unsigned from, unsigned to) {
  const std::uint64_t below = to == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << to) - 1;
  return below & ~((std::uint64_t{1} << from) - 1);
}

// The Shift_JIS bytes of JIS X 0208 bytes j with before the byte ahead of each: as a first
// byte ((j1 - 0x21) >> 1) + 0x81, 0x40 more past 0x9F; as a second byte j2 + 0x1F after an odd
// row, + 0x7D after an even one, one more from 0x7F on. even: the bytes at even offsets are
// first bytes (the rest second), odd: the other way round.
QUILLET_SSE2 inline void JisToSjis(__m128i j, __m128i before, __m128i& even, __m128i& odd) {
  const __m128i half = _mm_and_si128(_mm_srli_epi16(_mm_sub_epi8(j, Set(0x21)), 1), Set(0x7F));
  const __m128i f = _mm_add_epi8(half, Set(0x81));
  const __m128i first = _mm_add_epi8(f, _mm_andnot_si128(_mm_cmplt_epi8(f, Set(0xA0)), Set(0x40)));
  const __m128i oddRow = _mm_cmpeq_epi8(_mm_and_si128(before, Set(1)), Set(1));
  const __m128i t = _mm_add_epi8(j, _mm_sub_epi8(Set(0x7D), _mm_and_si128(oddRow, Set(0x5E))));
  const __m128i second = _mm_sub_epi8(t, _mm_cmpeq_epi8(_mm_max_epu8(t, Set(0x7F)), t));
  const __m128i evenBytes = _mm_set1_epi16(0x00FF);
  even = _mm_or_si128(_mm_and_si128(evenBytes, first), _mm_andnot_si128(evenBytes, second));
  odd = _mm_or_si128(_mm_and_si128(evenBytes, second), _mm_andnot_si128(evenBytes, first));
}

// Copies the 64 bytes at from to o: a stretch whole, whatever its length, with no branch on
// it (the cursor then moves by the stretch's length).
QUILLET_SSE2 inline void Copy64(const unsigned char* from, unsigned char* o) {
  for (int i = 0; i < 64; i += 16) Store(o + i, Load(from + i));
}

template <bool kSjis>
QUILLET_SSE2 std::size_t JisRun(const unsigned char* in, std::size_t size, unsigned char*& out,
                                bool& twoByte) {
  std::size_t done = 0;
  unsigned char* o = out;
  bool pairs = twoByte;
  // The two bytes after the block are read too: an escape sequence may start at its end.
  while (size - done >= kBlock + 2) {
    const unsigned char* const p = in + done;
    alignas(16) unsigned char text[2 * kBlock];
    alignas(16) unsigned char even[2 * kBlock];
    alignas(16) unsigned char odd[2 * kBlock];
    std::uint64_t esc = 0, toPairs = 0, toText = 0, plain = 0, graphic = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i v = Load(p + 16 * k);
      const __m128i isEsc = _mm_cmpeq_epi8(v, Set(0x1B));
      const __m128i next = Load(p + 16 * k + 1);
      const __m128i sequence = _mm_and_si128(isEsc, _mm_cmpeq_epi8(Load(p + 16 * k + 2), Set('B')));
      esc |= Bits(isEsc, k);
      toPairs |= Bits(_mm_and_si128(sequence, _mm_cmpeq_epi8(next, Set('$'))), k);
      toText |= Bits(_mm_and_si128(sequence, _mm_cmpeq_epi8(next, Set('('))), k);
      // Text: below 0x80 and neither ESC (taken apart above) nor SO nor SI.
      const __m128i shift = _mm_cmpeq_epi8(_mm_or_si128(v, Set(1)), Set(0x0F));
      plain |= Bits(_mm_or_si128(_mm_cmplt_epi8(v, _mm_setzero_si128()), shift), k);
      graphic |= Bits(_mm_cmplt_epi8(_mm_add_epi8(v, Set(0x80 - 0x21)), Set(0x80 + 0x5E)), k);
      Store(text + 16 * k, v);
      if (kSjis) {
        // Nothing is read before the first block: a pair never starts a stretch there as a
        // second byte.
        const __m128i before = (k == 0 && done == 0) ? _mm_slli_si128(v, 1) : Load(p + 16 * k - 1);
        __m128i e, d;
        JisToSjis(v, before, e, d);
        Store(even + 16 * k, e);
        Store(odd + 16 * k, d);
      } else {
        Store(even + 16 * k, _mm_or_si128(v, Set(0x80)));
      }
    }
    plain = ~plain;
    std::uint64_t sequences = toPairs | toText;
    if ((esc & ~sequences) != 0) sequences |= esc;  // an ESC of another kind ends the run there
    unsigned from = 0;                              // start of the stretch
    bool stop = false;
    for (;;) {
      unsigned to = sequences != 0 ? static_cast<unsigned>(__builtin_ctzll(sequences)) : 64;
      // Another kind of ESC ends the run at it; a sequence the block's end cuts ends the block.
      bool last = sequences == 0 || to > kBlock - 3;
      if (to < 64 && ((toPairs | toText) >> to & 1) == 0) stop = true;
      const std::uint64_t bad = Span(from, to) & ~(pairs ? graphic : plain);
      if (bad != 0) {
        to = static_cast<unsigned>(__builtin_ctzll(bad));
        stop = true;
      }
      // A pair cut by the block's end waits for the next block; one cut by anything else is
      // left to the scalar code.
      if (pairs && (to - from) % 2 != 0) {
        --to;
        if (to != kBlock - 1) stop = true;
      }
      const unsigned char* const source = !pairs ? text : (!kSjis || from % 2 == 0) ? even : odd;
      Copy64(source + from, o);
      o += to - from;
      if (stop || last) {
        done += to;
        break;
      }
      pairs = (toPairs >> to & 1) != 0;
      sequences &= sequences - 1;
      from = to + 3;
      if (from == kBlock) {
        done += from;
        break;
      }
    }
    if (stop) break;
  }
  out = o;
  twoByte = pairs;
  return done;
}

}  // namespace

QUILLET_SSE2 std::size_t JisToSjisRunSse2(const unsigned char* in, std::size_t size,
                                          unsigned char*& out, bool& twoByte) {
  return JisRun<true>(in, size, out, twoByte);
}

QUILLET_SSE2 std::size_t JisToEucRunSse2(const unsigned char* in, std::size_t size,
                                         unsigned char*& out, bool& twoByte) {
  return JisRun<false>(in, size, out, twoByte);
}

}  // namespace simd
}  // namespace quillet

#endif
