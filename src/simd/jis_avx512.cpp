// The ISO-2022-JP kernels of kernels.h with AVX-512 VBMI2 and BMI2, a 64-byte block at once
// with no loop over the stretches between escape sequences.
//
// From ISO-2022-JP: bit masks mark the ESC bytes and which of them start ESC $ B, ESC $ @
// (JIS X 0208), ESC ( B or ESC ( J (ASCII, or Roman, whose bytes are the same). Where the set
// changes follows from the kinds of the sequences in turn (pext gathers them, pdep puts each
// change back at its sequence) and a prefix XOR spreads it over the block. Each run of pair
// bytes must have even length (pdep of alternate bits then marks its first bytes), the pairs
// are converted by byte arithmetic, and one byte compress drops the sequences. A sequence cut
// by the block's end, or a pair whose second byte is in the next block, starts the next block;
// anything else (another ESC, a byte the set in force has no place for, a pair cut by a
// sequence) ends the run there, for the scalar code.
//
// Into ISO-2022-JP: the lead and trail masks of pair_marks.h mark the characters, and each
// change between ASCII and characters gets three slots in front of it in the output. The output
// mask of the block's bytes (one bit per byte, three zero bits before each change) comes from
// pext over a nibble per byte; one byte expand per 64 output bytes puts the converted bytes in
// place, and the sequences' bytes fill the slots. A block whose output would pass 128 bytes, or
// that holds anything but ASCII and whole characters, stops the kernel at its start.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_AVX512)
#include <immintrin.h>

#include <cstdint>

#include "simd/jis_blocks.h"
#include "simd/pair_marks.h"
#include "simd/targets.h"

namespace quillet {
namespace simd {
namespace {

constexpr std::size_t kBlock = 64;
constexpr std::uint64_t kEven = 0x5555555555555555u;
using Mask = std::uint64_t;

QUILLET_VBMI2 inline __m512i Load(const unsigned char* p) {
  return _mm512_loadu_si512(p);
}

QUILLET_VBMI2 inline __m512i Set(unsigned byte) {
  return _mm512_set1_epi8(static_cast<char>(byte));
}

QUILLET_VBMI2 inline Mask Equal(__m512i v, unsigned byte) {
  return _mm512_cmpeq_epi8_mask(v, Set(byte));
}

// Bytes of lo..hi.
QUILLET_VBMI2 inline Mask InRange(__m512i v, unsigned lo, unsigned hi) {
  return _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, Set(lo)), Set(hi - lo));
}

// Byte i of v is byte index[i] of table (the masked form: the plain one trips a warning of
// GCC 12's header).
QUILLET_VBMI2 inline __m512i Permute(__m512i index, __m512i table) {
  return _mm512_maskz_permutexvar_epi8(~Mask{0}, index, table);
}

// Bits 0..n-1 (n <= 64).
inline Mask Below(unsigned n) {
  return n >= 64 ? ~Mask{0} : (Mask{1} << n) - 1;
}

inline unsigned Lowest(Mask m) {
  return static_cast<unsigned>(__builtin_ctzll(m));
}

QUILLET_VBMI2 inline unsigned Count(Mask m) {
  return static_cast<unsigned>(__builtin_popcountll(m));
}

// Byte i - 1 of a vector in byte i (byte 0 in byte 0).
QUILLET_VBMI2 inline __m512i ShiftUp() {
  return _mm512_set_epi8(62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44,
                         43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25,
                         24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5,
                         4, 3, 2, 1, 0, 0);
}

// The Shift_JIS bytes of JIS X 0208 bytes j (0x21..0x7E), by j: as first bytes
// ((j - 0x21) >> 1) + 0x81, 0x40 more past 0x9F; as second bytes after an odd row j + 0x1F,
// one more from 0x7F on (after an even row j + 0x7E, by arithmetic).
struct SjisHalves {
  unsigned char first[128];
  unsigned char oddSecond[128];
};

constexpr SjisHalves MakeSjisHalves() {
  SjisHalves halves{};
  for (unsigned j = 0x21; j <= 0x7E; ++j) {
    const unsigned first = ((j - 0x21) >> 1) + 0x81;
    halves.first[j] = static_cast<unsigned char>(first < 0xA0 ? first : first + 0x40);
    const unsigned second = j + 0x1F;
    halves.oddSecond[j] = static_cast<unsigned char>(second < 0x7F ? second : second + 1);
  }
  return halves;
}

alignas(64) constexpr SjisHalves kSjisHalves = MakeSjisHalves();

// Byte j of the 128-byte table at each byte j (bit 7 ignored).
QUILLET_VBMI2 inline __m512i LookUp(const unsigned char* table, __m512i j) {
  return _mm512_permutex2var_epi8(Load(table), j, Load(table + 64));
}

// before: the byte ahead of each.
QUILLET_VBMI2 inline __m512i PairsToSjis(__m512i v, __m512i before, Mask leads, Mask trails) {
  const __m512i first = LookUp(kSjisHalves.first, v);
  const Mask evenRow = _mm512_testn_epi8_mask(before, Set(1));
  const __m512i second =
      _mm512_mask_add_epi8(LookUp(kSjisHalves.oddSecond, v), evenRow, v, Set(0x7E));
  return _mm512_mask_mov_epi8(_mm512_mask_mov_epi8(v, leads, first), trails, second);
}

template <bool kSjis>
QUILLET_VBMI2 std::size_t FromJisRun(const unsigned char* in, std::size_t size, unsigned char*& out,
                                     bool& twoByte) {
  unsigned char* o = out;
  JisBlocks blocks{0, twoByte};
  // The two bytes after the block are read too: a sequence may start at its end.
  while (size - blocks.done >= kBlock + 2) {
    const unsigned char* const p = in + blocks.done;
    const __m512i v = Load(p);
    const __m512i b1 = Load(p + 1);
    const __m512i b2 = Load(p + 2);
    const Mask esc = Equal(v, 0x1B);
    const Mask toPairs = esc & Equal(b1, '$') & (Equal(b2, 'B') | Equal(b2, '@'));
    const Mask toText = esc & Equal(b1, '(') & (Equal(b2, 'B') | Equal(b2, 'J'));
    // Any other ESC ends the run there.
    unsigned cut = kBlock;
    bool stop = false;
    const Mask other = esc & ~(toPairs | toText);
    if (other != 0) {
      cut = Lowest(other);
      stop = true;
    }
    const Mask within = Below(cut);
    const Mask starts = (toPairs | toText) & within;
    // The set after each sequence in turn, and where it differs from the set before (taking
    // ASCII before the first). The changes then alternate into and out of pairs, and the bytes
    // in pairs are the sum of the spans from each change into pairs to the next, out: the
    // changes out less those in. The set in force before the block then counts up to the
    // first sequence.
    const Mask kinds = _pext_u64(toPairs, starts);
    const Mask changes = _pdep_u64(kinds ^ (kinds << 1), starts);
    const Mask twoByteMask = ((changes & ~toPairs) - (changes & toPairs)) ^
                             (((starts & (~starts + 1)) - 1) & (blocks.pairs ? ~Mask{0} : 0));
    const Mask sequences = starts | starts << 1 | starts << 2 | Below(blocks.skip);
    Mask pairBytes = twoByteMask & ~sequences & within;
    Mask textBytes = ~twoByteMask & ~sequences & within;
    const Mask text =
        _mm512_cmplt_epu8_mask(v, Set(0x80)) & ~esc & ~Equal(_mm512_or_si512(v, Set(1)), 0x0F);
    const Mask bad = (textBytes & ~text) | (pairBytes & ~InRange(v, 0x21, 0x7E));
    if (bad != 0) {
      cut = Lowest(bad);
      stop = true;
      pairBytes &= Below(cut);
      textBytes &= Below(cut);
    }
    // A first byte carried from the block before needs its second here: else it is left to
    // the scalar code, as if that block had stopped before it.
    if (blocks.carried && (pairBytes & 1) == 0) break;
    // With runs of even length these are the first bytes of the pairs; a first byte that ends
    // its run is the first odd run's last, and the run stops before it, unless it is the
    // block's last byte.
    const Mask leads = _pdep_u64(kEven, pairBytes & ~Mask{blocks.carried});
    const Mask alone = leads & ~(pairBytes >> 1) & ~(Mask{cut == kBlock} << 63);
    if (alone != 0) {
      cut = Lowest(alone);
      stop = true;
      pairBytes &= Below(cut);
    }
    const Mask kept = (textBytes & Below(cut)) | pairBytes;
    __m512i converted;
    if (kSjis) {
      // Nothing is read before the first block, whose first byte is never a second byte.
      const __m512i before = blocks.done == 0 ? Permute(ShiftUp(), v) : Load(p - 1);
      converted = PairsToSjis(v, before, leads & pairBytes, pairBytes & ~leads);
    } else {
      converted = _mm512_mask_mov_epi8(v, pairBytes, _mm512_or_si512(v, Set(0x80)));
    }
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(kept, converted));
    o += Count(kept);
    if (stop) {
      blocks.Stop(cut, twoByteMask);
      break;
    }
    blocks.Next(twoByteMask, leads, starts);
  }
  const std::size_t taken = blocks.Finish(o);
  out = o;
  twoByte = blocks.pairs;
  return taken;
}

// The JIS X 0208 bytes of Shift_JIS characters: as first bytes the row 2 * s1 - 0xE1 for s1 <=
// 0x9F, 2 * s1 - 0x161 above (mod 256), one more for the even row (second byte 0x9F and up);
// as second bytes s2 less one from 0x80 on, less 0x7D in the even row and 0x1F in the odd one.
QUILLET_VBMI2 inline __m512i SjisToPairs(__m512i s, __m512i next, Mask leads, Mask trails) {
  const Mask low = _mm512_cmplt_epu8_mask(s, Set(0xA0));
  const __m512i doubled = _mm512_add_epi8(s, s);
  const __m512i row = _mm512_add_epi8(doubled, Set(0x9F));
  const __m512i rowLow = _mm512_mask_add_epi8(row, low, row, Set(0x80));
  const Mask evenNext = _mm512_cmpge_epu8_mask(next, Set(0x9F));
  const __m512i first = _mm512_mask_add_epi8(rowLow, evenNext, rowLow, Set(1));
  const __m512i u = _mm512_mask_sub_epi8(s, _mm512_movepi8_mask(s), s, Set(1));
  const Mask even = _mm512_cmpge_epu8_mask(s, Set(0x9F));
  const __m512i second = _mm512_sub_epi8(u, _mm512_mask_mov_epi8(Set(0x1F), even, Set(0x7D)));
  return _mm512_mask_mov_epi8(_mm512_mask_mov_epi8(s, leads, first), trails, second);
}

// Where the 32 bytes of a half block go in its output, one bit per output byte: each byte
// takes one bit, a byte where the kind changes four (three slots for the sequence, then the
// byte), so at most ten changes fit in 64 bits.
QUILLET_VBMI2 inline Mask PlaceHalf(Mask changes) {
  constexpr Mask kNibbles = 0x1111111111111111u;
  constexpr Mask kLast = 0x8888888888888888u;
  const Mask low = changes & 0xFFFF;
  const Mask lowBytes = _pext_u64(kLast, _pdep_u64(low, kNibbles) * 7 | kLast);
  const Mask highBytes = _pext_u64(kLast, _pdep_u64(changes >> 16, kNibbles) * 7 | kLast);
  return lowBytes | highBytes << (16 + 3 * Count(low));
}

// Writes the 32 bytes at the bottom of converted with their changes (bits 0..31) at o, 64
// bytes, the sequences included; toPairs: the first change goes into pairs. Returns the
// length of the output.
QUILLET_VBMI2 inline unsigned PutHalf(__m512i converted, Mask changes, bool toPairs,
                                      unsigned char* o) {
  const unsigned length = 32 + 3 * Count(changes);
  const Mask bytes = PlaceHalf(changes);
  // The slots come in threes, each before a byte: a sequence starts at a slot after a byte.
  const Mask starts = ~bytes & (bytes << 1 | 1) & Below(length);
  // The changes alternate.
  const Mask first = _pdep_u64(kEven, starts);
  const Mask intoPairs = toPairs ? first : starts ^ first;
  const __m512i fill = _mm512_mask_mov_epi8(Set('B'), starts << 1, Set('('));
  const __m512i sequences =
      _mm512_mask_mov_epi8(_mm512_mask_mov_epi8(fill, intoPairs << 1, Set('$')), starts, Set(0x1B));
  _mm512_storeu_si512(o, _mm512_mask_expand_epi8(sequences, bytes, converted));
  return length;
}

template <bool kSjis>
__attribute__((noinline)) QUILLET_VBMI2 std::size_t ToJisRun(const unsigned char* in,
                                                             std::size_t size, unsigned char*& out,
                                                             bool& twoByte) {
  std::size_t done = 0;
  unsigned char* o = out;
  bool pairs = twoByte;
  // Blocks follow each other every 64 bytes, so the next block's loads never wait for this
  // one: a character that crosses the block's end is written with this block, and taken back
  // if the next block is not taken.
  std::uint64_t carry = 0;
  unsigned back = 0;              // the bytes written for the carried first byte
  bool backPairs = false;         // and the mode before it
  while (size - done > kBlock) {  // the byte after the block is read too
    const unsigned char* const p = in + done;
    const __m512i v = Load(p);
    Mask lead, trail;
    if (kSjis) {
      lead = InRange(v, 0x81, 0x9F) | InRange(v, 0xE0, 0xFF);
      trail = InRange(v, 0x40, 0x7E) | InRange(v, 0x80, 0xFC);
    } else {
      lead = trail = InRange(v, 0xA1, 0xFE);
    }
    const std::uint64_t carried = carry;
    const PairBlock block = MarkPairs(lead, trail, ~_mm512_movepi8_mask(v), carry);
    const Mask inPairs = block.leads | block.trails;
    const Mask changes = inPairs ^ ((inPairs << 1) | (pairs ? 1 : 0));
    constexpr unsigned kFit = (64 - 32) / 3;  // changes a half's 64 output bytes hold
    if (!block.whole || Count(changes & 0xFFFFFFFF) > kFit || Count(changes >> 32) > kFit) {
      carry = carried;
      break;
    }
    // EUC-JP loses bit 7 of every byte, and ASCII has none.
    const __m512i converted = kSjis ? SjisToPairs(v, Load(p + 1), block.leads, block.trails)
                                    : _mm512_and_si512(v, Set(0x7F));
    o += PutHalf(converted, changes & 0xFFFFFFFF, !pairs, o);
    o += PutHalf(_mm512_maskz_shuffle_i64x2(0xFF, converted, converted, 0xEE), changes >> 32,
                 (inPairs >> 31 & 1) == 0, o);
    back = 1 + 3 * static_cast<unsigned>(changes >> 63);
    backPairs = (inPairs >> 62 & 1) != 0;
    pairs = (inPairs >> 63) != 0;
    done += kBlock;
  }
  if (carry != 0) {
    o -= back;
    pairs = backPairs;
    --done;
  }
  out = o;
  twoByte = pairs;
  return done;
}

}  // namespace

QUILLET_VBMI2 std::size_t JisToSjisRunVbmi2(const unsigned char* in, std::size_t size,
                                            unsigned char*& out, bool& twoByte) {
  return FromJisRun<true>(in, size, out, twoByte);
}

QUILLET_VBMI2 std::size_t JisToEucRunVbmi2(const unsigned char* in, std::size_t size,
                                           unsigned char*& out, bool& twoByte) {
  return FromJisRun<false>(in, size, out, twoByte);
}

QUILLET_VBMI2 std::size_t SjisToJisRunVbmi2(const unsigned char* in, std::size_t size,
                                            unsigned char*& out, bool& twoByte) {
  return ToJisRun<true>(in, size, out, twoByte);
}

QUILLET_VBMI2 std::size_t EucToJisRunVbmi2(const unsigned char* in, std::size_t size,
                                           unsigned char*& out, bool& twoByte) {
  // The scalar code is as fast from EUC-JP on text of less than two blocks.
  return size <= 2 * kBlock ? 0 : ToJisRun<false>(in, size, out, twoByte);
}

}  // namespace simd
}  // namespace quillet

#endif
