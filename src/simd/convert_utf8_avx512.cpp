// The conversion runs into UTF-8 of kernels.h with AVX-512 VBMI2, 64 bytes a step. A block of
// ASCII is copied whole. Any other block is classified at once in 64-bit masks: which bytes
// are leads, trails and ASCII, and where the run of usual characters stops (the first byte that
// is none of them, or a lead whose trail is out of range). A lead at the block's last byte takes
// its trail from the next block, which then starts past it, so the blocks follow one another
// without waiting for the classification. Two byte compresses gather the bytes that start
// characters and the bytes after them; each start's table index (the byte itself for ASCII,
// kPackedCodes plus the code's pointer for a lead) is reckoned in 16-bit lanes; then sixteen
// starts at a time one gather fetches the entries, each entry's UTF-8 bytes are kept (by
// comparing their place with its length in the packed table; Shift_JIS's own entries are their
// nonzero bytes), and one byte compress packs them, whatever mix of one-, two- and three-byte
// characters the block holds. What the run stops at is the scalar code's, and so is a range
// too short for one block.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_AVX512)
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "codec/utf8_support.h"
#include "jtext/cp932_table.h"
#include "simd/kernels.h"
#include "simd/pair_marks.h"
#include "simd/targets.h"

namespace quillet {
namespace simd {
namespace {

constexpr std::ptrdiff_t kBlock = 64;
// A block reads the byte after it (the trail of a lead at its end), and its last group of
// sixteen characters, which may start at its last byte, stores 64 bytes: 3 * 16 of room past
// that start is within what the run may write.
constexpr std::ptrdiff_t kReach = kBlock + 32;

constexpr __mmask64 kAll = ~__mmask64{0};

// The bytes of v that lie in [low, high].
QUILLET_VBMI2 inline __mmask64 InRange(__m512i v, unsigned char low, unsigned char high) {
  return _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8(static_cast<char>(low))),
                                _mm512_set1_epi8(static_cast<char>(high - low)));
}

enum class Source { kSjis, kEuc };

// Shift_JIS's entries, the run's own: each character's UTF-8 bytes, the first low, with nothing
// above them (its bytes are the entry's nonzero bytes, and always the first, which NUL's is not),
// ASCII at the byte itself and the pairs after it as in the packed table. Where Windows-31J has
// no character the entry is U+FFFD, with the trail after it when that is ASCII (which is then
// read as itself), so that the run goes on past such a pair.
struct SjisEntries {
  alignas(64) std::uint32_t entries[kPackedCodes + cp932::kRows * cp932::kColumns];
};

constexpr SjisEntries MakeSjisEntries() {
  SjisEntries table{};
  for (std::uint32_t c = 0; c < kPackedCodes; ++c) table.entries[c] = c;
  for (int i = 0; i < cp932::kRows * cp932::kColumns; ++i) {
    const std::uint32_t u = cp932::sjisToUnicode[i];
    const int column = i % cp932::kColumns;
    const std::uint32_t trail =
        static_cast<std::uint32_t>(column < 0x3F ? 0x40 + column : 0x41 + column);
    table.entries[kPackedCodes + i] =
        u != 0 ? utf8::BmpBytes(u)
               : utf8::BmpBytes(utf8::kReplacement) | (trail < 0x80 ? trail << 24 : 0);
  }
  return table;
}

constexpr SjisEntries kSjisEntries = MakeSjisEntries();

// The table indexes, in 16-bit lanes, of the characters whose first bytes are lead (ASCII or a
// lead byte) and whose second bytes are trail.
template <Source source>
QUILLET_VBMI2 inline __m512i Index(__m256i leadBytes, __m256i trailBytes) {
  const __m512i lead = _mm512_maskz_cvtepu8_epi16(~__mmask32{0}, leadBytes);
  const __m512i trail = _mm512_maskz_cvtepu8_epi16(~__mmask32{0}, trailBytes);
  const __mmask32 isLead = _mm256_movepi8_mask(leadBytes);
  __m512i pair;
  if (source == Source::kSjis) {
    // Rows: 0x81..0x9F, then 0xE0..0xFC; columns: 0x40..0x7E, then 0x80..0xFC.
    const __m512i row0 = _mm512_sub_epi16(lead, _mm512_set1_epi16(0x81));
    const __m512i row =
        _mm512_mask_sub_epi16(row0, _mm512_cmpgt_epu16_mask(lead, _mm512_set1_epi16(0xDF)), row0,
                              _mm512_set1_epi16(0x40));
    const __m512i column0 =
        _mm512_sub_epi16(trail, _mm512_set1_epi16(0x40 - static_cast<short>(kPackedCodes)));
    const __m512i column =
        _mm512_mask_sub_epi16(column0, _mm512_cmpgt_epu16_mask(trail, _mm512_set1_epi16(0x7F)),
                              column0, _mm512_set1_epi16(1));
    pair = _mm512_add_epi16(_mm512_mullo_epi16(row, _mm512_set1_epi16(188)), column);
  } else {
    const __m512i row = _mm512_and_si512(lead, _mm512_set1_epi16(0x7F));
    const __m512i column = _mm512_and_si512(trail, _mm512_set1_epi16(0x7F));
    pair = _mm512_add_epi16(
        _mm512_mullo_epi16(row, _mm512_set1_epi16(94)),
        _mm512_sub_epi16(column,
                         _mm512_set1_epi16(0x21 * 94 + 0x21 - static_cast<short>(kPackedCodes))));
  }
  return _mm512_mask_blend_epi16(isLead, lead, pair);
}

// Writes the characters that start at the bytes marked in starts (the bytes of v, each
// followed by the same byte of next): the byte itself for ASCII (below 0x80), else a pair, by
// the entries at base (Shift_JIS's own, else the packed table).
template <Source source>
QUILLET_VBMI2 inline void Emit(std::uint64_t starts, __m512i v, __m512i next, unsigned char*& o,
                               const int* base) {
  // Bytes 0..3 of each lane, and each lane's top byte (the entry's length) in all four.
  const __m512i place = _mm512_set1_epi32(0x03020100);
  const __m512i lengthBytes = _mm512_set4_epi32(0x0F0F0F0F, 0x0B0B0B0B, 0x07070707, 0x03030303);
  const int count = __builtin_popcountll(starts);
  const __m512i leadBytes = _mm512_maskz_compress_epi8(starts, v);
  const __m512i trailBytes = _mm512_maskz_compress_epi8(starts, next);
  const __m512i index[2] = {Index<source>(_mm512_maskz_extracti64x4_epi64(0xFF, leadBytes, 0),
                                          _mm512_maskz_extracti64x4_epi64(0xFF, trailBytes, 0)),
                            Index<source>(_mm512_maskz_extracti64x4_epi64(0xFF, leadBytes, 1),
                                          _mm512_maskz_extracti64x4_epi64(0xFF, trailBytes, 1))};
  const std::uint64_t lanes = count < 64 ? (std::uint64_t{1} << count) - 1 : kAll;
  for (int group = 0; group * 16 < count; ++group) {
    const __m256i half = group & 1 ? _mm512_maskz_extracti64x4_epi64(0xFF, index[group >> 1], 1)
                                   : _mm512_maskz_extracti64x4_epi64(0xFF, index[group >> 1], 0);
    const __mmask16 take = static_cast<__mmask16>(lanes >> (group * 16));
    const __m512i entries = _mm512_mask_i32gather_epi32(
        _mm512_setzero_si512(), take, _mm512_maskz_cvtepu16_epi32(0xFFFF, half), base, 4);
    const __mmask64 keep =
        source == Source::kSjis
            ? _mm512_test_epi8_mask(entries, entries) | _pdep_u64(take, 0x1111111111111111ull)
            : _mm512_cmplt_epu8_mask(place, _mm512_shuffle_epi8(entries, lengthBytes));
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, entries));
    o += __builtin_popcountll(keep);
  }
}

template <Source source>
QUILLET_VBMI2 const unsigned char* ToUtf8Run(const unsigned char* p, const unsigned char* end,
                                             unsigned char*& out, const std::uint32_t* packed) {
  unsigned char* o = out;
  const int* const base = reinterpret_cast<const int*>(packed);
  // 1 when the block's first byte is the trail of the last block's last byte.
  std::uint64_t carry = 0;
  while (end - p >= kReach) {
    const __m512i v = _mm512_loadu_si512(p);
    const std::uint64_t high = _mm512_movepi8_mask(v);
    if ((high | carry) == 0) {
      _mm512_storeu_si512(o, v);
      o += kBlock;
      p += kBlock;
      continue;
    }
    const __m512i next = _mm512_loadu_si512(p + 1);
    std::uint64_t mayLead;
    std::uint64_t trailOk;
    if (source == Source::kSjis) {
      mayLead = InRange(v, 0x81, 0x9F) | InRange(v, 0xE0, 0xFC);
      trailOk = InRange(next, 0x40, 0x7E) | InRange(next, 0x80, 0xFC);
    } else {
      mayLead = InRange(v, 0xA1, 0xFE);
      trailOk = InRange(next, 0xA1, 0xFE);
    }
    mayLead &= ~carry;
    const std::uint64_t trails = Trails(mayLead) | carry;
    const std::uint64_t leads = mayLead & ~trails;
    // ASCII that is a trail counts as the trail.
    const std::uint64_t stops = ~(leads | trails | ~high) | (leads & ~trailOk);
    const int usable = stops != 0 ? __builtin_ctzll(stops) : 64;
    std::uint64_t starts = ~trails;
    if (usable < 64) starts &= (std::uint64_t{1} << usable) - 1;
    Emit<source>(starts, v, next, o, base);
    if (usable < 64) {
      p += usable;
      carry = 0;
      break;
    }
    // Not p += usable: the next block's loads need not wait for this one's classification.
    p += kBlock;
    carry = leads >> 63;
  }
  out = o;
  return p + carry;
}

// Each bit the XOR of itself and every bit below it.
inline std::uint64_t PrefixXor(std::uint64_t bits) {
  for (int shift = 1; shift < 64; shift *= 2) bits ^= bits << shift;
  return bits;
}

// ISO-2022-JP: ASCII text (below 0x80 but ESC, SO and SI) and JIS X 0208 pairs, changing
// between them at ESC ( B and ESC $ B (or ESC $ @). The sequences of a block are found at once
// and the set in force at each byte follows from the sequences before it: the changes of set
// are the sequences whose set differs from the one before (pext puts the sequences' sets side
// by side, pdep the changes back in place), and a running XOR of the changes marks the bytes
// read as pairs. Pairs then start where the EUC-JP runs' pairs do, and a pair's first byte with
// its top bit set indexes the table as EUC-JP's does.
QUILLET_VBMI2 const unsigned char* JisRun(const unsigned char* p, const unsigned char* end,
                                          unsigned char*& out, const std::uint32_t* packed,
                                          bool& twoByte) {
  unsigned char* o = out;
  const int* const base = reinterpret_cast<const int*>(packed);
  std::uint64_t pairs = twoByte ? kAll : 0;  // the set in force at the block's start, as a mask
  // Bytes at the block's start that the last block's last sequence took, and a pair's second
  // byte.
  std::uint64_t sequenceTail = 0;
  std::uint64_t trailCarry = 0;
  while (end - p >= kReach) {
    const __m512i v = _mm512_loadu_si512(p);
    const std::uint64_t high = _mm512_movepi8_mask(v);
    const std::uint64_t escapes = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x1B));
    // SO and SI; (c | 1) turns SO into SI and no other byte into either.
    const std::uint64_t shifts =
        _mm512_cmpeq_epi8_mask(_mm512_or_si512(v, _mm512_set1_epi8(1)), _mm512_set1_epi8(0x0F));
    if ((high | escapes | shifts | pairs | sequenceTail) == 0) {
      _mm512_storeu_si512(o, v);
      o += kBlock;
      p += kBlock;
      continue;
    }
    const __m512i next = _mm512_loadu_si512(p + 1);
    const __m512i after = _mm512_loadu_si512(p + 2);
    const std::uint64_t toPairs = escapes & _mm512_cmpeq_epi8_mask(next, _mm512_set1_epi8('$')) &
                                  (_mm512_cmpeq_epi8_mask(after, _mm512_set1_epi8('B')) |
                                   _mm512_cmpeq_epi8_mask(after, _mm512_set1_epi8('@')));
    const std::uint64_t toAscii = escapes & _mm512_cmpeq_epi8_mask(next, _mm512_set1_epi8('(')) &
                                  _mm512_cmpeq_epi8_mask(after, _mm512_set1_epi8('B'));
    const std::uint64_t sequences = toPairs | toAscii;
    const std::uint64_t sets = _pext_u64(toPairs, sequences);
    const std::uint64_t before = (sets << 1) | (pairs & 1);
    pairs = PrefixXor(_pdep_u64(sets ^ before, sequences)) ^ (pairs & 1 ? kAll : 0);
    const std::uint64_t taken = sequences | sequences << 1 | sequences << 2 | sequenceTail;
    const std::uint64_t graphic = InRange(v, 0x21, 0x7E);
    const std::uint64_t nextGraphic = InRange(next, 0x21, 0x7E);
    const std::uint64_t inPairs = pairs & ~taken;
    const std::uint64_t text = ~pairs & ~taken;
    const std::uint64_t mayLead = inPairs & graphic & ~trailCarry;
    const std::uint64_t trails = Trails(mayLead) | trailCarry;
    const std::uint64_t leads = mayLead & ~trails;
    const std::uint64_t stops =
        (text & (high | escapes | shifts)) | (inPairs & ~(leads | trails)) | (leads & ~nextGraphic);
    const int usable = stops != 0 ? __builtin_ctzll(stops) : 64;
    std::uint64_t starts = text | leads;
    if (usable < 64) starts &= (std::uint64_t{1} << usable) - 1;
    Emit<Source::kEuc>(starts,
                       _mm512_or_si512(v, _mm512_maskz_set1_epi8(leads, static_cast<char>(0x80))),
                       next, o, base);
    if (usable < 64) {
      p += usable;
      twoByte = (pairs >> usable & 1) != 0;
      out = o;
      return p;
    }
    p += kBlock;
    pairs = pairs >> 63 ? kAll : 0;
    trailCarry = leads >> 63;
    // A sequence at byte 62 takes the next block's first byte, one at byte 63 its first two.
    sequenceTail = ((sequences >> 62) & 1) | (sequences >> 63) * 3;
  }
  twoByte = pairs != 0;
  out = o;
  return p + __builtin_popcountll(sequenceTail | trailCarry);
}

}  // namespace

QUILLET_VBMI2 const unsigned char* SjisToUtf8RunVbmi2(const unsigned char* p,
                                                      const unsigned char* end, unsigned char*& out,
                                                      const std::uint32_t* packed) {
  // Its own entries, which go on past a code that Windows-31J lacks.
  static_cast<void>(packed);
  return ToUtf8Run<Source::kSjis>(p, end, out, kSjisEntries.entries);
}

QUILLET_VBMI2 const unsigned char* EucToUtf8RunVbmi2(const unsigned char* p,
                                                     const unsigned char* end, unsigned char*& out,
                                                     const std::uint32_t* packed) {
  return ToUtf8Run<Source::kEuc>(p, end, out, packed);
}

QUILLET_VBMI2 const unsigned char* JisToUtf8RunVbmi2(const unsigned char* p,
                                                     const unsigned char* end, unsigned char*& out,
                                                     const std::uint32_t* packed, bool& twoByte) {
  return JisRun(p, end, out, packed, twoByte);
}

}  // namespace simd
}  // namespace quillet

#endif
