// The conversion runs into UTF-8 of kernels.h with SSE2, 64 bytes a step in four 16-byte vectors.
// A block of ASCII is copied whole. Any other block is classified at once in 64-bit masks (which
// bytes may be leads and trails, where the run of usual characters stops), as the AVX-512 runs
// classify it, and every byte's table place is reckoned in 16-bit lanes as if it started a
// character: a lead's from the pair it makes with the byte after it, an ASCII byte's from itself.
// Then the characters are written one by one, walking the set bits of the mask of starts: each
// costs one load of its place, one load of its packed entry and one four-byte store, and the
// output moves by the entry's count, so that no branch depends on the mix of one-, two- and
// three-byte characters. What the run stops at is the scalar code's, and so is a range too short
// for one block.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <cstdint>
#include <cstring>

#include "simd/kernels.h"
#include "simd/pair_marks.h"
#include "simd/sse2_masks.h"
#include "simd/targets.h"

namespace quillet {
namespace simd {
namespace {

constexpr std::ptrdiff_t kBlock = 64;
// A block reads the byte after it (the trail of a lead at its end); what it writes, three bytes
// a byte and a four-byte store past the last, stays within what the run may write.
constexpr std::ptrdiff_t kReach = kBlock + 16;

enum class Source { kSjis, kEuc };

// A character's place is its packed entry's byte offset in the table, which fits 16 bits.
constexpr short kCodesPlace = 4 * static_cast<short>(kPackedCodes);

// One multiply, not the five shifts and adds the compiler would make of the constant.
QUILLET_SSE2 inline __m128i Scale(int width) {
  __m128i scale = _mm_set1_epi16(static_cast<short>(4 * width));
  __asm__("" : "+x"(scale));
  return scale;
}

// Stores 4 * (width * row + column) of the 16 rows and columns at places, the rows widened with
// the bytes of rowHigh above them, the columns with zeros.
QUILLET_SSE2 inline void StorePlaces(__m128i row, __m128i rowHigh, __m128i column, int width,
                                     __m128i offset, std::uint16_t* places) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i scale = Scale(width);
  const __m128i low =
      _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(row, rowHigh), scale), offset),
                    _mm_slli_epi16(_mm_unpacklo_epi8(column, zero), 2));
  const __m128i high =
      _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(row, rowHigh), scale), offset),
                    _mm_slli_epi16(_mm_unpackhi_epi8(column, zero), 2));
  _mm_store_si128(reinterpret_cast<__m128i*>(places), low);
  _mm_store_si128(reinterpret_cast<__m128i*>(places + 8), high);
}

// The places of the characters that would start at the 16 bytes of v (next: the byte after
// each), stored at places: 4 * (kPackedCodes + width * row + column).
template <Source source>
QUILLET_SSE2 inline void Places(__m128i v, __m128i next, std::uint16_t* places) {
  const __m128i ascii = _mm_cmpgt_epi8(v, _mm_set1_epi8(-1));
  if (source == Source::kSjis) {
    // Rows: 0x81..0x9F, then 0xE0..0xFC; columns: 0x40..0x7E, then 0x80..0xFC. An ASCII byte's
    // row is -1 (widened with its sign) and its column the byte + 60: 188 * -1 + 60 gives the
    // byte - 128.
    const __m128i upper = _mm_cmpgt_epi8(v, _mm_set1_epi8(-33));  // 0xE0 and up
    const __m128i row = _mm_or_si128(
        _mm_sub_epi8(_mm_sub_epi8(v, Set(0x81)), _mm_and_si128(upper, Set(0x40))), ascii);
    const __m128i column =
        _mm_add_epi8(_mm_sub_epi8(next, Set(0x40)), _mm_cmplt_epi8(next, _mm_setzero_si128()));
    StorePlaces(row, ascii,
                _mm_or_si128(_mm_andnot_si128(ascii, column),
                             _mm_and_si128(ascii, _mm_add_epi8(v, Set(60)))),
                188, _mm_set1_epi16(kCodesPlace), places);
  } else {
    // Rows and columns 0xA1..0xFE, taken as row + 1 and column + 34 (94 + 34 is kPackedCodes),
    // so that an ASCII byte is row 0 (the subtraction saturates) and its column itself.
    static_assert(94 + 34 == kPackedCodes, "the codes follow the 128 ASCII characters");
    const __m128i row = _mm_subs_epu8(v, Set(0xA0));
    const __m128i column = _mm_or_si128(_mm_andnot_si128(ascii, _mm_sub_epi8(next, Set(0x7F))),
                                        _mm_and_si128(ascii, v));
    StorePlaces(row, _mm_setzero_si128(), column, 94, _mm_setzero_si128(), places);
  }
}

// Writes the characters that start at the bytes marked in starts, as their places say. The
// places of Shift_JIS codes the table lacks stop the writing (check): returns the byte where it
// stopped, or -1.
template <bool check>
QUILLET_SSE2 inline int Emit(std::uint64_t starts, const std::uint16_t* places,
                             const unsigned char* table, unsigned char*& out) {
  unsigned char* o = out;
  int stopped = -1;
  while (starts != 0) {
    const std::size_t i = LowestBit(starts);
    starts &= starts - 1;
    std::uint32_t entry;
    std::memcpy(&entry, table + places[i], sizeof entry);
    // A Shift_JIS code the table lacks is left to the scalar code, which reads an ASCII
    // trail again as itself.
    if (check && entry == kPackedReplacement) {
      stopped = static_cast<int>(i);
      break;
    }
    std::memcpy(o, &entry, sizeof entry);
    o += entry >> 24;
  }
  out = o;
  return stopped;
}

template <Source source>
QUILLET_SSE2 const unsigned char* ToUtf8Run(const unsigned char* p, const unsigned char* end,
                                            unsigned char*& out, const std::uint32_t* packed) {
  unsigned char* o = out;
  const unsigned char* const table = reinterpret_cast<const unsigned char*>(packed);
  alignas(16) std::uint16_t places[kBlock];
  // 1 when the block's first byte is the trail of the last block's last byte.
  std::uint64_t carry = 0;
  while (end - p >= kReach) {
    __m128i v[4];
    std::uint64_t high = 0;
    for (int k = 0; k < 4; ++k) {
      v[k] = Load(p + 16 * k);
      high |= Bits(v[k], k);
    }
    if ((high | carry) == 0) {
      for (int k = 0; k < 4; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16 * k), v[k]);
      o += kBlock;
      p += kBlock;
      continue;
    }
    // Which bytes may be trails, then each byte's bit moved to the byte before it, with the
    // byte after the block's: whose trail is in range.
    std::uint64_t mayLead = 0;
    std::uint64_t mayTrail = 0;
    const unsigned after = p[kBlock];
    for (int k = 0; k < 4; ++k) {
      if (source == Source::kSjis) {
        mayLead |= Bits(_mm_or_si128(InRange(v[k], 0x81, 0x9F), InRange(v[k], 0xE0, 0xFC)), k);
        mayTrail |= Bits(_mm_or_si128(InRange(v[k], 0x40, 0x7E), InRange(v[k], 0x80, 0xFC)), k);
      } else {
        mayLead |= Bits(InRange(v[k], 0xA1, 0xFE), k);
      }
      Places<source>(v[k], Load(p + 16 * k + 1), places + 16 * k);
    }
    const bool afterOk = source == Source::kSjis ? (after - 0x40 < 0x3F || after - 0x80 < 0x7D)
                                                 : after - 0xA1 < 0x5E;
    const std::uint64_t trailOk =
        ((source == Source::kSjis ? mayTrail : mayLead) >> 1) | std::uint64_t{afterOk} << 63;
    mayLead &= ~carry;
    const std::uint64_t trails = Trails(mayLead) | carry;
    const std::uint64_t leads = mayLead & ~trails;
    // ASCII that is a trail counts as the trail.
    const std::uint64_t stops = ~(leads | trails | ~high) | (leads & ~trailOk);
    const int usable = stops != 0 ? static_cast<int>(LowestBit(stops)) : 64;
    std::uint64_t starts = ~trails;
    if (usable < 64) starts &= (std::uint64_t{1} << usable) - 1;
    const int stopped = Emit<source == Source::kSjis>(starts, places, table, o);
    if (stopped >= 0) {
      out = o;
      return p + stopped;
    }
    if (usable < 64) {
      out = o;
      return p + usable;
    }
    // Not p += usable: the next block's loads need not wait for this one's classification.
    p += kBlock;
    carry = leads >> 63;
  }
  out = o;
  return p + carry;
}

// ISO-2022-JP: ASCII text (below 0x80 but ESC, SO and SI) and JIS X 0208 pairs, changing between
// them at ESC ( B and ESC $ B (or ESC $ @). A block's sequences are found at once, and the bytes
// read as pairs follow from them by one subtraction: taking each sequence into ASCII as a set
// bit, and from it each sequence into pairs, borrows through every byte from the latter to the
// next of the former (a sequence of the set in force changes nothing). Pairs then start where
// the EUC-JP runs' pairs do, and a pair with the top bits of its bytes set is placed as EUC-JP's.
QUILLET_SSE2 const unsigned char* JisRun(const unsigned char* p, const unsigned char* end,
                                         unsigned char*& out, const std::uint32_t* packed,
                                         bool& twoByte) {
  unsigned char* o = out;
  const unsigned char* const table = reinterpret_cast<const unsigned char*>(packed);
  alignas(16) std::uint16_t places[kBlock];
  bool inPairsNow = twoByte;  // the set in force at the block's start
  // Bytes at the block's start that the last block's last sequence took, and a pair's second
  // byte.
  std::uint64_t sequenceTail = 0;
  std::uint64_t trailCarry = 0;
  while (end - p >= kReach) {
    __m128i v[4];
    std::uint64_t high = 0;
    std::uint64_t escapes = 0;
    std::uint64_t shifts = 0;
    for (int k = 0; k < 4; ++k) {
      v[k] = Load(p + 16 * k);
      high |= Bits(v[k], k);
      escapes |= Bits(_mm_cmpeq_epi8(v[k], Set(0x1B)), k);
      // SO and SI; (c | 1) turns SO into SI and no other byte into either.
      shifts |= Bits(_mm_cmpeq_epi8(_mm_or_si128(v[k], Set(1)), Set(0x0F)), k);
    }
    if ((high | escapes | shifts | sequenceTail) == 0 && !inPairsNow) {
      for (int k = 0; k < 4; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16 * k), v[k]);
      o += kBlock;
      p += kBlock;
      continue;
    }
    std::uint64_t toPairs = 0;
    std::uint64_t toAscii = 0;
    std::uint64_t graphic = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i next = Load(p + 16 * k + 1);
      const __m128i after = Load(p + 16 * k + 2);
      const __m128i escape = _mm_cmpeq_epi8(v[k], Set(0x1B));
      const __m128i b = _mm_cmpeq_epi8(after, Set('B'));
      toPairs |= Bits(_mm_and_si128(_mm_and_si128(escape, _mm_cmpeq_epi8(next, Set('$'))),
                                    _mm_or_si128(b, _mm_cmpeq_epi8(after, Set('@')))),
                      k);
      toAscii |= Bits(_mm_and_si128(_mm_and_si128(escape, _mm_cmpeq_epi8(next, Set('('))), b), k);
      graphic |= Bits(InRange(v[k], 0x21, 0x7E), k);
    }
    const std::uint64_t sequences = toPairs | toAscii;
    // The set in force at the start counts as a sequence at byte 0, unless one is there.
    const std::uint64_t into = toPairs | (inPairsNow && (sequences & 1) == 0 ? 1 : 0);
    const std::uint64_t pairs = (((toAscii - into) ^ toAscii) | into) & ~toAscii;
    const std::uint64_t taken = sequences | sequences << 1 | sequences << 2 | sequenceTail;
    const unsigned last = p[kBlock];
    const std::uint64_t nextGraphic = (graphic >> 1) | std::uint64_t{last - 0x21 < 0x5E} << 63;
    const std::uint64_t inPairs = pairs & ~taken;
    const std::uint64_t text = ~pairs & ~taken;
    const std::uint64_t mayLead = inPairs & graphic & ~trailCarry;
    const std::uint64_t trails = Trails(mayLead) | trailCarry;
    const std::uint64_t leads = mayLead & ~trails;
    const std::uint64_t stops =
        (text & (high | escapes | shifts)) | (inPairs & ~(leads | trails)) | (leads & ~nextGraphic);
    const int usable = stops != 0 ? static_cast<int>(LowestBit(stops)) : 64;
    for (int k = 0; k < 4; ++k) {
      const __m128i lead = ByteMask(static_cast<unsigned>(leads >> (16 * k)) & 0xFFFF);
      Places<Source::kEuc>(_mm_or_si128(v[k], _mm_and_si128(lead, Set(0x80))),
                           _mm_or_si128(Load(p + 16 * k + 1), Set(0x80)), places + 16 * k);
    }
    std::uint64_t starts = text | leads;
    if (usable < 64) starts &= (std::uint64_t{1} << usable) - 1;
    Emit<false>(starts, places, table, o);
    if (usable < 64) {
      twoByte = (pairs >> usable & 1) != 0;
      out = o;
      return p + usable;
    }
    p += kBlock;
    inPairsNow = (pairs >> 63) != 0;
    trailCarry = leads >> 63;
    // A sequence at byte 62 takes the next block's first byte, one at byte 63 its first two.
    sequenceTail = ((sequences >> 62) & 1) | (sequences >> 63) * 3;
  }
  twoByte = inPairsNow;
  out = o;
  // The bytes the last block's sequence or character took from the next (bits 0 and 1; SSE2
  // has no popcnt).
  const std::uint64_t taken = sequenceTail | trailCarry;
  return p + (taken & 1) + (taken >> 1);
}

}  // namespace

QUILLET_SSE2 const unsigned char* JisToUtf8RunSse2(const unsigned char* p, const unsigned char* end,
                                                   unsigned char*& out, const std::uint32_t* packed,
                                                   bool& twoByte) {
  return JisRun(p, end, out, packed, twoByte);
}

QUILLET_SSE2 const unsigned char* SjisToUtf8RunSse2(const unsigned char* p,
                                                    const unsigned char* end, unsigned char*& out,
                                                    const std::uint32_t* packed) {
  return ToUtf8Run<Source::kSjis>(p, end, out, packed);
}

QUILLET_SSE2 const unsigned char* EucToUtf8RunSse2(const unsigned char* p, const unsigned char* end,
                                                   unsigned char*& out,
                                                   const std::uint32_t* packed) {
  return ToUtf8Run<Source::kEuc>(p, end, out, packed);
}

}  // namespace simd
}  // namespace quillet

#endif
