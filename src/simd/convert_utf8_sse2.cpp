// The conversion runs into UTF-8 of kernels.h with SSE2, 64 bytes a step in four 16-byte vectors. A
// block of ASCII is copied whole. Any other block is classified at once in 64-bit masks (which
// bytes may be leads, where the run of usual characters stops), and every byte's place in a table
// of the runs' own is reckoned as if it started a character: the byte itself and the byte after it
// side by side in 16 bits, so that places take a few byte operations a vector and no multiply. Then
// the characters are written one by one, walking the set bits of the mask of starts: each costs one
// load of its place, one load of its entry and one four-byte store, and the output moves by the
// entry's count, so that no branch depends on the mix of one-, two- and three-byte characters.
// Shift_JIS is read whole by its table (half-width katakana and the bytes that read as nothing
// too), but for a lead whose code is missing before an ASCII byte, where the walk stops. What a run
// stops at is the scalar code's, and so is a range too short for one block.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <cstdint>
#include <cstring>

#include "codec/utf8_support.h"
#include "jtext/cp932_table.h"
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

// The runs look characters up in tables of their own, laid out so that a character's place
// is two bytes of the text side by side: 256 * row + column (Shift_JIS) or 256 * row +
// 2 * column (EUC-JP), where a pair's column is its two bytes xor'd (one operation a vector;
// a row has one lead, so that this only orders its columns anew). Each entry holds the
// character's UTF-8 bytes in memory order and their count in the top byte. The third byte's
// top bit is set in every character's entry (after a shorter character it is written over),
// so that the walk tells a block without stops by one AND a character.
constexpr std::uint32_t kMark = 0x80u << 16;

constexpr std::uint32_t Entry(std::uint32_t u) {
  return utf8::BmpBytes(u) | (utf8::BmpLength(u) < 3 ? kMark : 0) | utf8::BmpLength(u) << 24;
}

// The Windows-31J character of a code of the table (U+FFFD where it has none).
constexpr std::uint32_t CodeEntry(int pointer) {
  const std::uint32_t u = cp932::sjisToUnicode[pointer];
  return Entry(u != 0 ? u : 0xFFFD);
}

// Shift_JIS: row 0 holds the bytes that are characters alone, as the scalar code reads them
// (ASCII; 0x80 is U+0080; 0xA1..0xDF half-width katakana; the rest U+FFFD); rows 1..60 the
// leads 0x81..0x9F, 0xE0..0xFC, by the byte after them (xor the lead). A lead that no mapped code
// follows is U+FFFD with that byte, unless the byte is ASCII, read again as itself: the run stops
// there (kStop) and leaves it to the scalar code.
constexpr std::uint32_t kStop = 0;
constexpr int kSjisRows = 61;

struct SjisTable {
  std::uint32_t entries[kSjisRows * 256];
};

constexpr SjisTable MakeSjisTable() {
  SjisTable table{};
  for (std::uint32_t c = 0; c < 256; ++c) {
    std::uint32_t u = 0xFFFD;
    if (c <= 0x80) u = c;
    if (c - 0xA1 < 0x3F) u = 0xFF61 + (c - 0xA1);
    table.entries[c] = Entry(u);
  }
  for (int row = 1; row < kSjisRows; ++row) {
    const std::uint32_t lead = static_cast<std::uint32_t>(row) + (row < 32 ? 0x80 : 0xC0);
    for (std::uint32_t trail = 0; trail < 256; ++trail) {
      const bool column = (trail >= 0x40 && trail <= 0xFC && trail != 0x7F);
      const int pointer =
          (row - 1) * cp932::kColumns + static_cast<int>(trail) - (trail < 0x7F ? 0x40 : 0x41);
      const bool mapped = column && cp932::sjisToUnicode[pointer] != 0;
      table.entries[row * 256 + (lead ^ trail)] = mapped         ? CodeEntry(pointer)
                                                  : trail < 0x80 ? kStop
                                                                 : Entry(0xFFFD);
    }
  }
  return table;
}

// EUC-JP: row 0 holds ASCII; rows 1..94 the leads 0xA1..0xFE, by the byte after them xor the
// lead (0x00..0x5F). Places of 16 bits hold 256 * row + 2 * column.
constexpr int kEucRows = 95;

struct EucTable {
  std::uint32_t entries[kEucRows * 128];
};

constexpr EucTable MakeEucTable() {
  EucTable table{};
  for (std::uint32_t c = 0; c < 128; ++c) table.entries[c] = Entry(c);
  // JIS X 0208's 94 rows of 94 are the Windows-31J table's first entries, in order.
  for (int row = 1; row < kEucRows; ++row) {
    for (int trail = 0xA1; trail < 0xFF; ++trail) {
      table.entries[row * 128 + ((0xA0 + row) ^ trail)] = CodeEntry((row - 1) * 94 + trail - 0xA1);
    }
  }
  return table;
}

static constexpr SjisTable kSjisTable = MakeSjisTable();
static constexpr EucTable kEucTable = MakeEucTable();

// Stores the 16 places 256 * row + column.
QUILLET_SSE2 inline void StorePlaces(__m128i column, __m128i row, std::uint16_t* places) {
  _mm_store_si128(reinterpret_cast<__m128i*>(places), _mm_unpacklo_epi8(column, row));
  _mm_store_si128(reinterpret_cast<__m128i*>(places + 8), _mm_unpackhi_epi8(column, row));
}

// The places of the characters that would start at the 16 bytes of v (next: the byte after
// each), stored at places. Returns which bytes are leads (the bytes that pair with the next).
template <Source source>
QUILLET_SSE2 inline __m128i Places(__m128i v, __m128i next, std::uint16_t* places) {
  __m128i lead;
  __m128i row;
  if (source == Source::kSjis) {
    // Rows 1..31 for 0x81..0x9F, 32..60 for 0xE0..0xFC; a lead's column is the next byte,
    // any other byte's itself. Flipping bit 5 makes the leads one range, 0xA1..0xDC, in their
    // order, so that one compare finds them and one subtraction gives their rows.
    const __m128i shifted = _mm_add_epi8(_mm_xor_si128(v, Set(0x20)), Set(0x100 - 0x21));
    lead = _mm_cmplt_epi8(shifted, Set(0x80 + kSjisRows - 1));
    row = _mm_and_si128(lead, _mm_sub_epi8(shifted, Set(0x7F)));
    StorePlaces(_mm_xor_si128(v, _mm_and_si128(lead, next)), row, places);
  } else {
    // Row 0 for ASCII (the subtraction saturates) with the byte as its column.
    lead = InRange(v, 0xA1, 0xFE);
    row = _mm_subs_epu8(v, Set(0xA0));
    const __m128i column = _mm_xor_si128(v, _mm_and_si128(High(v), next));
    StorePlaces(_mm_add_epi8(column, column), row, places);
  }
  return lead;
}

// Writes the characters that start at the bytes marked in starts, as their places say: an
// entry at table + scale * place. A stop entry (check) ends the writing before it: returns the
// byte where it stopped, or -1.
template <std::size_t scale, bool check>
QUILLET_SSE2 inline int Emit(std::uint64_t starts, const std::uint16_t* places,
                             const unsigned char* table, unsigned char*& out) {
  unsigned char* o = out;
  int stopped = -1;
  // The bit is cleared after the check, so that the loop's test reads the flags it sets.
  while (starts != 0) {
    const std::size_t i = LowestBit(starts);
    std::uint32_t entry;
    std::memcpy(&entry, table + scale * places[i], sizeof entry);
    if (check && entry == kStop) {
      stopped = static_cast<int>(i);
      break;
    }
    std::memcpy(o, &entry, sizeof entry);
    o += entry >> 24;
    starts &= starts - 1;
  }
  out = o;
  return stopped;
}

// Writes the characters as Emit does, without stopping: returns whether every entry was a
// character's (a stop entry lacks the mark), and otherwise what it wrote is to be written again.
QUILLET_SSE2 inline bool EmitMarked(std::uint64_t starts, const std::uint16_t* places,
                                    const unsigned char* table, unsigned char*& out) {
  unsigned char* o = out;
  std::uint32_t all = kMark;
  while (starts != 0) {
    const std::size_t i = LowestBit(starts);
    std::uint32_t entry;
    std::memcpy(&entry, table + std::size_t{4} * places[i], sizeof entry);
    all &= entry;
    std::memcpy(o, &entry, sizeof entry);
    o += entry >> 24;
    starts &= starts - 1;
  }
  out = o;
  return all != 0;
}

template <Source source>
QUILLET_SSE2 const unsigned char* ToUtf8Run(const unsigned char* p, const unsigned char* end,
                                            unsigned char*& out) {
  unsigned char* o = out;
  const auto* const table = reinterpret_cast<const unsigned char*>(
      source == Source::kSjis ? kSjisTable.entries : kEucTable.entries);
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
    std::uint64_t mayLead = 0;
    for (int k = 0; k < 4; ++k) {
      mayLead |= Bits(Places<source>(v[k], Load(p + 16 * k + 1), places + 16 * k), k);
    }
    mayLead &= ~carry;
    const std::uint64_t trails = Trails(mayLead) | carry;
    const std::uint64_t leads = mayLead & ~trails;
    std::uint64_t starts = ~trails;
    int usable = 64;
    if (source == Source::kEuc) {
      // Where the run stops: a byte that is neither ASCII nor half of a pair (ASCII that is a
      // trail counts as the trail), or a lead whose trail is out of range.
      const unsigned after = p[kBlock];
      const std::uint64_t trailOk = (mayLead >> 1) | std::uint64_t{after - 0xA1 < 0x5E} << 63;
      const std::uint64_t stops = ~(leads | trails | ~high) | (leads & ~trailOk);
      if (stops != 0) {
        usable = static_cast<int>(LowestBit(stops));
        starts &= (std::uint64_t{1} << usable) - 1;
      }
    }
    // Shift_JIS reads every byte as the scalar code does but where a lead's code is missing
    // with an ASCII byte after it: the run stops there.
    // A block with a stop (rare) is written again, stopping there.
    unsigned char* const blockOut = o;
    int stopped = -1;
    if (source == Source::kSjis) {
      if (!EmitMarked(starts, places, table, o)) {
        o = blockOut;
        stopped = Emit<4, true>(starts, places, table, o);
      }
    } else {
      Emit<2, false>(starts, places, table, o);
    }
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

// 0xFF in byte i of vector i / 16 where bit i of bits is set: the mask's bytes spread eight
// times over at once, rather than each 16 bits on its own.
QUILLET_SSE2 inline void ByteMasks(std::uint64_t bits, __m128i masks[4]) {
  const __m128i select = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  __m128i spread = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&bits));
  spread = _mm_unpacklo_epi8(spread, spread);
  const __m128i low = _mm_unpacklo_epi16(spread, spread);
  const __m128i high = _mm_unpackhi_epi16(spread, spread);
  masks[0] = _mm_unpacklo_epi32(low, low);
  masks[1] = _mm_unpackhi_epi32(low, low);
  masks[2] = _mm_unpacklo_epi32(high, high);
  masks[3] = _mm_unpackhi_epi32(high, high);
  for (int k = 0; k < 4; ++k) masks[k] = _mm_cmpeq_epi8(_mm_and_si128(masks[k], select), select);
}

// ISO-2022-JP: ASCII text (below 0x80 but ESC, SO and SI) and JIS X 0208 pairs, changing between
// them at ESC ( B and ESC $ B (or ESC $ @). A block's sequences are found at once, and the bytes
// read as pairs follow from them by one subtraction: taking each sequence into ASCII as a set
// bit, and from it each sequence into pairs, borrows through every byte from the latter to the
// next of the former (a sequence of the set in force changes nothing). Pairs then start where
// the EUC-JP runs' pairs do, and a pair with the top bits of its bytes set is placed as EUC-JP's.
QUILLET_SSE2 const unsigned char* JisRun(const unsigned char* p, const unsigned char* end,
                                         unsigned char*& out, bool& twoByte) {
  unsigned char* o = out;
  const auto* const table = reinterpret_cast<const unsigned char*>(kEucTable.entries);
  alignas(16) std::uint16_t places[kBlock];
  bool inPairsNow = twoByte;  // the set in force at the block's start
  // Bytes at the block's start that the last block's last sequence took, and a pair's second
  // byte.
  std::uint64_t sequenceTail = 0;
  std::uint64_t trailCarry = 0;
  while (end - p >= kReach) {
    __m128i v[4];
    // The bytes text has no place for: 0x80 and up (their own top bit), ESC, SO and SI.
    std::uint64_t special = 0;
    for (int k = 0; k < 4; ++k) {
      v[k] = Load(p + 16 * k);
      // (c | 1) turns SO into SI and no other byte into either.
      special |= Bits(_mm_or_si128(_mm_or_si128(v[k], _mm_cmpeq_epi8(v[k], Set(0x1B))),
                                   _mm_cmpeq_epi8(_mm_or_si128(v[k], Set(1)), Set(0x0F))),
                      k);
    }
    if ((special | sequenceTail) == 0 && !inPairsNow) {
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
        (text & special) | (inPairs & ~(leads | trails)) | (leads & ~nextGraphic);
    const int usable = stops != 0 ? static_cast<int>(LowestBit(stops)) : 64;
    __m128i leadMasks[4];
    ByteMasks(leads, leadMasks);
    for (int k = 0; k < 4; ++k) {
      // A pair 0x21..0x7E is placed as EUC-JP's with the top bits set: row v - 0x20, column
      // its two bytes xor'd, as the top bits cancel; text is row 0.
      const __m128i lead = leadMasks[k];
      const __m128i row = _mm_and_si128(lead, _mm_sub_epi8(v[k], Set(0x20)));
      __m128i column = _mm_xor_si128(v[k], _mm_and_si128(lead, Load(p + 16 * k + 1)));
      column = _mm_add_epi8(column, column);
      StorePlaces(column, row, places + 16 * k);
    }
    std::uint64_t starts = text | leads;
    if (usable < 64) starts &= (std::uint64_t{1} << usable) - 1;
    Emit<2, false>(starts, places, table, o);
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
  static_cast<void>(packed);
  return JisRun(p, end, out, twoByte);
}

QUILLET_SSE2 const unsigned char* SjisToUtf8RunSse2(const unsigned char* p,
                                                    const unsigned char* end, unsigned char*& out,
                                                    const std::uint32_t* packed) {
  static_cast<void>(packed);  // the run's own table
  return ToUtf8Run<Source::kSjis>(p, end, out);
}

QUILLET_SSE2 const unsigned char* EucToUtf8RunSse2(const unsigned char* p, const unsigned char* end,
                                                   unsigned char*& out,
                                                   const std::uint32_t* packed) {
  static_cast<void>(packed);
  return ToUtf8Run<Source::kEuc>(p, end, out);
}

}  // namespace simd
}  // namespace quillet

#endif
