// Shift_JIS <-> EUC-JP, 64 bytes a block in four 16-byte vectors: bit masks of the bytes that
// may start or end a character mark where the characters lie (pair_marks.h), then every byte
// is converted both as a first and as a second byte, and the masks pick which it is. The byte
// after a vector (or before it) is loaded at an offset of one, so each character's other half
// lines up with it.
//
// ISO-2022-JP to Shift_JIS and EUC-JP: bit masks mark the escape sequences ESC $ B and ESC ( B, the
// text bytes and the bytes of JIS X 0208 pairs; every byte is converted at once (for Shift_JIS both
// as a first and as a second byte), and then each stretch between two sequences is copied out whole
// from the bytes it needs, which drops the sequences. Anything else (another sequence, a byte the
// set in force has no place for, a pair cut by a sequence) stops the kernel where it stands, for
// the scalar code.
//
// Shift_JIS and EUC-JP to ISO-2022-JP: bit masks mark where the double-byte characters lie;
// every byte is converted at once, and the block is copied out stretch by stretch, ESC $ B before
// each stretch of characters and ESC ( B before each stretch of ASCII that follows one. A block
// with anything else stops the kernel at its start; a character that crosses the block's end starts
// the next block.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "simd/jis_blocks.h"
#include "simd/pair_marks.h"
#include "simd/sse2_masks.h"
#include "simd/targets.h"

namespace quillet {
namespace simd {
namespace {

constexpr std::size_t kBlock = 64;
// ESC $ B and ESC ( B as the bytes of a little-endian word.
constexpr std::uint32_t kToPairs = 0x1B | '$' << 8 | 'B' << 16;
constexpr std::uint32_t kToText = 0x1B | '(' << 8 | 'B' << 16;

QUILLET_SSE2 inline void Store(unsigned char* o, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
}

// The bytes as they are, with the first and second bytes of characters replaced. In a block
// taken every byte of 0x80 and up is one of the two, so the second bytes tell the first.
QUILLET_SSE2 inline __m128i Pick(__m128i v, __m128i first, __m128i second, const PairBlock& block,
                                 int vector) {
  const __m128i trails = ByteMask(static_cast<unsigned>(block.trails >> (16 * vector)));
  const __m128i halves = _mm_xor_si128(first, _mm_and_si128(_mm_xor_si128(first, second), trails));
  const __m128i pairs = _mm_or_si128(trails, _mm_cmplt_epi8(v, _mm_setzero_si128()));
  return _mm_xor_si128(v, _mm_and_si128(_mm_xor_si128(v, halves), pairs));
}

// s >= 0x9F: a second byte of the even row.
QUILLET_SSE2 inline __m128i EvenRow(__m128i s) {
  return _mm_cmpeq_epi8(_mm_max_epu8(s, Set(0x9F)), s);
}

// The JIS X 0208 bytes of Shift_JIS bytes s (next: the byte after each), as a first byte: the
// row 2 * s1 - 0xE1 for s1 <= 0x9F, 2 * s1 - 0x161 above (mod 256), one more for the even
// row; as a second byte: s2 less one from 0x80 on, less 0x7D in the even row and 0x1F in the
// odd one.
QUILLET_SSE2 inline void SjisHalves(__m128i s, __m128i next, __m128i& first, __m128i& second) {
  const __m128i low = _mm_cmplt_epi8(s, Set(0xA0));
  const __m128i row =
      _mm_add_epi8(_mm_add_epi8(s, s), _mm_add_epi8(Set(0x9F), _mm_and_si128(low, Set(0x80))));
  first = _mm_sub_epi8(row, EvenRow(next));
  const __m128i u = _mm_add_epi8(s, _mm_cmplt_epi8(s, _mm_setzero_si128()));
  const __m128i minus = _mm_add_epi8(Set(0x1F), _mm_and_si128(EvenRow(s), Set(0x5E)));
  second = _mm_sub_epi8(u, minus);
}

// The Shift_JIS bytes of JIS X 0208 bytes j (before: the byte ahead of each), as a first byte
// ((j1 + 1) >> 1) + 0x70, 0x40 more from 0x5F on; as a second byte j2 + 0x7E after an even
// row, j2 + 0x1F after an odd one, one more from 0x60 on. Right for bytes 0x21..0x7E, the only
// ones copied out as pairs.
QUILLET_SSE2 inline void JisHalves(__m128i j, __m128i before, __m128i& first, __m128i& second) {
  const __m128i late = _mm_and_si128(_mm_cmpgt_epi8(j, Set(0x5E)), Set(0x40));
  first = _mm_add_epi8(_mm_add_epi8(_mm_avg_epu8(j, _mm_setzero_si128()), Set(0x70)), late);
  const __m128i evenRow = _mm_cmpeq_epi8(_mm_and_si128(before, Set(1)), _mm_setzero_si128());
  // 0x5E more after an even row; less the mask (so one more) after an even row or from 0x60 on.
  const __m128i less = _mm_or_si128(evenRow, _mm_cmpgt_epi8(j, Set(0x5F)));
  second = _mm_sub_epi8(_mm_add_epi8(_mm_add_epi8(j, Set(0x1F)), _mm_and_si128(evenRow, Set(0x5E))),
                        less);
}

QUILLET_SSE2 __m128i SjisToEuc(__m128i s, __m128i next, const PairBlock& block, int vector) {
  __m128i first, second;
  SjisHalves(s, next, first, second);
  return Pick(s, _mm_or_si128(first, Set(0x80)), _mm_or_si128(second, Set(0x80)), block, vector);
}

QUILLET_SSE2 __m128i EucToSjis(__m128i e, __m128i before, const PairBlock& block, int vector) {
  __m128i first, second;
  JisHalves(_mm_and_si128(e, Set(0x7F)), before, first, second);
  return Pick(e, first, second, block, vector);
}

// Bits 0..n-1 (n <= 64).
inline std::uint64_t Below(unsigned n) {
  return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

inline unsigned Lowest(std::uint64_t m) {
  return static_cast<unsigned>(__builtin_ctzll(m));
}

// The bytes from each bit of into up to the next bit of outOf (a prefix scan that stops at
// outOf, doubling its reach each step).
inline std::uint64_t Spans(std::uint64_t into, std::uint64_t outOf) {
  std::uint64_t spans = into;
  std::uint64_t open = ~outOf;
  for (unsigned shift = 1; shift < 64; shift *= 2) {
    spans |= (spans << shift) & open;
    open &= open << shift;
  }
  return spans;
}

// The first, third, ... byte of each run of set bits (as MarkPairs does).
inline std::uint64_t RunFirsts(std::uint64_t runs) {
  constexpr std::uint64_t kEven = 0x5555555555555555u;
  const std::uint64_t starts = runs & ~(runs << 1);
  const std::uint64_t evenRuns = runs & ~(runs + (starts & kEven));
  return (evenRuns & kEven) | (runs & ~evenRuns & ~kEven);
}

// Copies 32 bytes from from to o.
QUILLET_SSE2 inline void Copy32(const unsigned char* from, unsigned char* o) {
  Store(o, Load(from));
  Store(o + 16, Load(from + 16));
}

// Not inlined into the entry points, so that text left to the scalar code costs only the call.
template <bool kSjis>
__attribute__((noinline)) QUILLET_SSE2 std::size_t FromJisRun(const unsigned char* in,
                                                              std::size_t size, unsigned char*& out,
                                                              bool& twoByte) {
  using Mask = std::uint64_t;
  constexpr Mask kEvenBytes = 0x5555555555555555u;
  unsigned char* o = out;
  JisBlocks blocks{0, twoByte};
  // The two bytes after the block are read too: a sequence may start at its end.
  while (size - blocks.done >= kBlock + 2) {
    const unsigned char* const p = in + blocks.done;
    // starts: ESC $ B and ESC ( B; other: the bytes text has no place for (0x80 and up, SO, SI)
    // and every ESC but that of ESC ( B, so that of the sequences it marks ESC $ B; graphic:
    // 0x21..0x7E.
    Mask starts = 0, other = 0, graphic = 0;
    // The block as text (form 0), and for Shift_JIS as pairs from even offsets (1) and from odd
    // ones (3; for EUC-JP form 1 serves both); each stretch is copied from the one it needs.
    constexpr std::size_t kForm = 2 * kBlock;
    alignas(16) unsigned char forms[(kSjis ? 4 : 2) * kForm];
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
      const __m128i v = Load(p + 16 * k);
      const __m128i b1 = Load(p + 16 * k + 1);
      const __m128i isEsc = _mm_cmpeq_epi8(v, Set(0x1B));
      const __m128i endsB = _mm_and_si128(isEsc, _mm_cmpeq_epi8(Load(p + 16 * k + 2), Set('B')));
      const __m128i toText = _mm_and_si128(endsB, _mm_cmpeq_epi8(b1, Set('(')));
      starts |= Bits(_mm_or_si128(toText, _mm_and_si128(endsB, _mm_cmpeq_epi8(b1, Set('$')))), k);
      // With bits 1 to 3 flipped SO and SI are 0 and 1, and 0x80 and up stay negative.
      const __m128i highOrShift = _mm_cmplt_epi8(_mm_xor_si128(v, Set(0x0E)), Set(2));
      other |= Bits(_mm_or_si128(highOrShift, _mm_andnot_si128(toText, isEsc)), k);
      graphic |= Bits(InRange(v, 0x21, 0x7E), k);
      Store(forms + 16 * k, v);
      if (kSjis) {
        // Nothing is read before the first block, whose first byte is never a second byte.
        const __m128i before =
            (k == 0 && blocks.done == 0) ? _mm_slli_si128(v, 1) : Load(p + 16 * k - 1);
        __m128i first, second;
        JisHalves(v, before, first, second);
        const __m128i swap = _mm_and_si128(_mm_xor_si128(first, second), _mm_set1_epi16(0x00FF));
        Store(forms + kForm + 16 * k, _mm_xor_si128(second, swap));
        Store(forms + 3 * kForm + 16 * k, _mm_xor_si128(first, swap));
      } else {
        Store(forms + kForm + 16 * k, _mm_or_si128(v, Set(0x80)));
      }
    }
    // Pairs from each ESC $ B to the next ESC ( B, and before the first sequence if the block
    // starts in pairs. Where the two alternate (as they nearly always do) the difference of their
    // bits is that span: the mask changes exactly at the sequences, to pairs at each ESC $ B.
    const Mask toPairs = starts & other;
    const Mask inPairs = blocks.pairs ? 1 : 0;
    Mask twoByteMask = (starts & ~toPairs) - toPairs - inPairs;
    if (((twoByteMask ^ (twoByteMask << 1 | inPairs)) != starts) |
        ((twoByteMask & starts) != toPairs)) {
      twoByteMask = Spans(toPairs, starts & ~toPairs) | (((starts & (~starts + 1)) - 1) & -inPairs);
    }
    const Mask sequences = starts | starts << 1 | starts << 2 | Below(blocks.skip);
    Mask pairBytes = twoByteMask & ~sequences;
    const Mask textBytes = ~twoByteMask & ~sequences;
    // The run ends at the first byte the set in force has no place for (an unknown ESC among
    // them); what follows it is not looked at.
    unsigned cut = kBlock;
    bool stop = false;
    const Mask bad = (textBytes & other) | (pairBytes & ~graphic);
    if (bad != 0) {
      cut = Lowest(bad);
      stop = true;
      pairBytes &= Below(cut);
    }
    // A first byte carried from the block before needs its second here: else it is left to
    // the scalar code, as if that block had stopped before it.
    const Mask carried = blocks.carried;
    if ((carried & ~pairBytes) != 0) break;
    // A first byte that ends its run is alone: the run stops before it, unless it is the
    // block's last byte.
    const Mask leads = RunFirsts(pairBytes & ~carried);
    const Mask alone = leads & ~(pairBytes >> 1) & ~(Mask{cut == kBlock} << 63);
    if (alone != 0) {
      cut = Lowest(alone);
      stop = true;
      pairBytes &= Below(cut);
    }
    // The stretches between the sequences, copied out whole. A stretch of pairs starts with a
    // first byte (so after a sequence at an even offset, at an odd one), or with the second of
    // one carried from the block before. The form after the sequence at bit i is bits i and
    // i + 1 of formAfter (bit i + 1 is never a sequence's first byte).
    const Mask formAfter = kSjis ? toPairs | (toPairs & kEvenBytes) << 1 : toPairs;
    unsigned from = blocks.skip;
    const auto first =
        static_cast<unsigned>(inPairs + (kSjis ? 2 * (inPairs & (from ^ carried)) : 0));
    const unsigned char* source = forms + first * kForm + from;
    for (Mask next = starts & Below(cut); next != 0; next &= next - 1) {
      const unsigned to = Lowest(next);
      Copy32(source, o);
      if (to - from > 32) Copy32(source + 32, o + 32);
      o += to - from;
      from = to + 3;
      source = forms + static_cast<unsigned>(formAfter >> to & 3) * kForm + from;
    }
    const unsigned to = cut > from ? cut : from;
    Copy32(source, o);
    if (to - from > 32) Copy32(source + 32, o + 32);
    o += to - from;
    if (stop) {
      blocks.Stop(cut, twoByteMask);
      break;
    }
    blocks.Next(twoByteMask, leads & pairBytes, starts);
  }
  const std::size_t taken = blocks.Finish(o);
  out = o;
  twoByte = blocks.pairs;
  return taken;
}

template <bool kSjis>
__attribute__((noinline)) QUILLET_SSE2 std::size_t ToJisRun(const unsigned char* in,
                                                            std::size_t size, unsigned char*& out,
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
        // 0x81..0x9F and 0xE0..0xFF are 0xA1..0xDF with bit 5 flipped.
        lead |= Bits(InRange(_mm_xor_si128(v[k], Set(0x20)), 0xA1, 0xDF), k);
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
    const std::uint64_t inPairs = (block.leads | block.trails) & ~(carry << 63);
    for (int k = 0; k < 4; ++k) {
      // EUC-JP loses bit 7 of every byte, and ASCII has none.
      __m128i c = _mm_and_si128(v[k], Set(0x7F));
      if (kSjis) {
        __m128i first, second;
        SjisHalves(v[k], Load(p + 16 * k + 1), first, second);
        c = Pick(v[k], first, second, block, k);
      }
      Store(converted + 16 * k, c);
    }
    // Where the kind of character changes from the byte before (the mode in force before the
    // block's first byte); a sequence goes before each.
    std::uint64_t changes = (inPairs ^ ((inPairs << 1) | (pairs ? 1 : 0))) & Below(taken);
    unsigned from = 0;
    for (; changes != 0; changes &= changes - 1) {
      const unsigned to = Lowest(changes);
      Copy32(converted + from, o);
      if (to - from > 32) Copy32(converted + from + 32, o + 32);
      o += to - from;
      // One word for the sequence; its fourth byte is the next stretch's first.
      const std::uint32_t sequence = (inPairs >> to & 1) != 0 ? kToPairs : kToText;
      std::memcpy(o, &sequence, 4);
      o += 3;
      from = to;
    }
    Copy32(converted + from, o);
    if (taken - from > 32) Copy32(converted + from + 32, o + 32);
    o += taken - from;
    pairs = (inPairs >> (taken - 1) & 1) != 0;
    done += taken;
  }
  out = o;
  twoByte = pairs;
  return done;
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

// Into ISO-2022-JP from EUC-JP the scalar code is as fast on text of less than two blocks as
// one block here and the scalar code after it: such text is left to it. (From ISO-2022-JP the
// caller does the same by jisRunShortest.)
constexpr std::size_t kShortest = 2 * kBlock + 2;

QUILLET_SSE2 std::size_t JisToSjisRunSse2(const unsigned char* in, std::size_t size,
                                          unsigned char*& out, bool& twoByte) {
  return FromJisRun<true>(in, size, out, twoByte);
}

QUILLET_SSE2 std::size_t JisToEucRunSse2(const unsigned char* in, std::size_t size,
                                         unsigned char*& out, bool& twoByte) {
  return FromJisRun<false>(in, size, out, twoByte);
}

QUILLET_SSE2 std::size_t SjisToJisRunSse2(const unsigned char* in, std::size_t size,
                                          unsigned char*& out, bool& twoByte) {
  return ToJisRun<true>(in, size, out, twoByte);
}

QUILLET_SSE2 std::size_t EucToJisRunSse2(const unsigned char* in, std::size_t size,
                                         unsigned char*& out, bool& twoByte) {
  return size < kShortest ? 0 : ToJisRun<false>(in, size, out, twoByte);
}

}  // namespace simd
}  // namespace quillet

#endif
