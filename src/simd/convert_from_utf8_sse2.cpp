// The conversion runs out of UTF-8 of kernels.h with SSE2, 64 bytes a step in four 16-byte
// vectors. A block of ASCII is copied whole. Any other block is classified at once in 64-bit
// masks, as the AVX-512 runs classify it: the ASCII bytes, the two- and three-byte leads and the
// bytes that must follow them, and where the run of usual characters stops (a byte that is none
// of these, or a lead without its continuation bytes, with an overlong form or a surrogate).
// Every byte's page and low byte, and where a character led by it would end, are reckoned in the
// vectors. Then the characters of two and three bytes are written one by one along the mask of
// their leads, with no branch on their kind: the page's block and the code are two loads, the
// target's bytes two more loads (Shift_JIS) or a few operations (EUC-JP); the ASCII bytes up to
// the next lead are copied after each by one 16-byte load and store. What the run stops at is
// the scalar code's, and so is a range too short for one block.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <cstdint>
#include <cstring>

#include "jtext/code_pairs.h"
#include "simd/sse2_masks.h"
#include "simd/targets.h"
#include "simd/utf8_marks.h"

namespace quillet {
namespace simd {
namespace {

constexpr std::ptrdiff_t kBlock = 64;
// A block reads two bytes past it (the rest of a character at its end) and 16-byte stretches of
// ASCII from within it; it writes at most a byte for each byte it takes, and 16 bytes more.
constexpr std::ptrdiff_t kReach = kBlock + 32;

// The Shift_JIS bytes of a code of the reverse table, first byte low, in two looks: the first
// byte by the row (0 for a code below 0x100), the rest by the low nine bits, the column and the
// row's parity (a code below 0x100 is a half-width katakana byte, which stands for itself).
struct SjisTables {
  std::uint16_t first[256];
  std::uint16_t rest[512];
};

constexpr SjisTables MakeSjisTables() {
  SjisTables tables{};
  for (unsigned j1 = 1; j1 < 256; ++j1) {
    tables.first[j1] = static_cast<std::uint16_t>(pairs::JisToSjis(j1, 0x21) >> 8);
  }
  for (unsigned x = 0; x < 512; ++x) {
    // Rows 0x23 and 0x24 stand for the odd and the even rows: their first byte 0x82 has its low
    // bit clear, so the carry out of the second byte reads back whole.
    const std::uint32_t t = pairs::JisToSjis(x >> 8 ? 0x23 : 0x24, x & 0xFF) - 0x8200;
    tables.rest[x] = static_cast<std::uint16_t>((t >> 8) | (t & 0xFF) << 8);
  }
  for (unsigned kana = 0xA1; kana <= 0xDF; ++kana)
    tables.rest[kana] = static_cast<std::uint16_t>(kana);
  return tables;
}

constexpr SjisTables kSjisTables = MakeSjisTables();

enum class Target { kSjis, kEuc };

// The target's bytes of a code, first byte low, and their count.
template <Target target>
inline unsigned Encode(unsigned code, unsigned& count) {
  if (target == Target::kSjis) {
    const unsigned bytes = kSjisTables.first[code >> 8] | kSjisTables.rest[code & 0x1FF];
    count = 1 + ((bytes + 0xFF00) >> 16);  // two bytes from 0x100 on
    return bytes;
  }
  // The row and column with their top bits set; 0x8E (0x80 ^ 0x0E) before a katakana byte (a
  // code below 0x100).
  count = 2;
  const unsigned kana = (code - 0x100) >> 31;
  return (((code >> 8) | (code & 0xFF) << 8) | 0x8080) ^ (kana * 0x0E);
}

// Copies the length bytes of ASCII at from to o (a 16-byte store at least) and moves o past them.
QUILLET_SSE2 inline void CopyStretch(unsigned char*& o, const unsigned char* from,
                                     std::size_t length) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), Load(from));
  if (length > 16) {  // seldom between Japanese characters
    for (std::size_t k = 16; k < length; k += 16) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + k), Load(from + k));
    }
  }
  o += length;
}

// The page (bits 8..15 of the code point) and the low byte of the characters that would start
// at the 16 bytes of v (next and after: the bytes after each), stored at pages and lows, and
// where they would end, counted from the block's start (at: the first byte's place), at ends.
// 16-bit shifts serve for bytes, each masked so that nothing crosses from one byte into another.
// A block without two-byte characters (two: false) reckons the three-byte ones' alone.
template <bool two>
QUILLET_SSE2 inline void PagesAndLows(__m128i v, __m128i next, __m128i after, int at,
                                      unsigned char* pages, unsigned char* lows,
                                      unsigned char* ends) {
  // 1110xxxx 10xxxxxx 10xxxxxx: page xxxx xxxx from the first two, low xx xxxxxx.
  __m128i page = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, Set(0x0F)), 4),
                              _mm_and_si128(_mm_srli_epi16(next, 2), Set(0x0F)));
  __m128i low = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(next, Set(0x03)), 6),
                             _mm_and_si128(after, Set(0x3F)));
  __m128i ending =
      _mm_add_epi8(_mm_setr_epi8(3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18), Set(at));
  if (two) {
    // 110xxxxx 10xxxxxx: page xxx, low xx xxxxxx.
    const __m128i page2 = _mm_and_si128(_mm_srli_epi16(v, 2), Set(0x07));
    const __m128i low2 = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, Set(0x03)), 6),
                                      _mm_and_si128(next, Set(0x3F)));
    // 0xC0..0xDF (signed, below 0xE0): a two-byte lead.
    const __m128i twoLead = _mm_cmplt_epi8(v, _mm_set1_epi8(-32));
    page = _mm_or_si128(_mm_and_si128(twoLead, page2), _mm_andnot_si128(twoLead, page));
    low = _mm_or_si128(_mm_and_si128(twoLead, low2), _mm_andnot_si128(twoLead, low));
    ending = _mm_add_epi8(ending, twoLead);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pages), page);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lows), low);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(ends), ending);
}

template <Target target>
QUILLET_SSE2 const unsigned char* FromUtf8Run(const unsigned char* p, const unsigned char* end,
                                              unsigned char*& out, const std::uint8_t* blockOf,
                                              const std::uint16_t* codes) {
  unsigned char* o = out;
  alignas(16) unsigned char pages[kBlock];
  alignas(16) unsigned char lows[kBlock];
  alignas(16) unsigned char ends[kBlock];
  // The continuation bytes at the block's start that the last block's characters took.
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
    // Bits 6, 5 and 4 of each byte (a 16-bit shift moves each byte's own bit into its top bit),
    // the leads that start only overlong forms (0xC0, 0xC1), and 0xE0 and 0xED, after which
    // only A0..BF and 80..9F may follow.
    std::uint64_t b6 = 0, b5 = 0, b4 = 0, overlong = 0, e0 = 0, ed = 0;
    for (int k = 0; k < 4; ++k) {
      b6 |= Bits(_mm_slli_epi16(v[k], 1), k);
      b5 |= Bits(_mm_slli_epi16(v[k], 2), k);
      b4 |= Bits(_mm_slli_epi16(v[k], 3), k);
      overlong |= Bits(_mm_cmpeq_epi8(_mm_and_si128(v[k], Set(0xFE)), Set(0xC0)), k);
      e0 |= Bits(_mm_cmpeq_epi8(v[k], Set(0xE0)), k);
      ed |= Bits(_mm_cmpeq_epi8(v[k], Set(0xED)), k);
    }
    const Utf8Block marks = MarkUtf8(high, b6, b5, b4, overlong, e0, ed, p[64], p[65], carry);
    // Japanese text seldom holds a two-byte character.
    for (int k = 0; k < 4; ++k) {
      const __m128i next = Load(p + 16 * k + 1);
      const __m128i after = Load(p + 16 * k + 2);
      if (marks.twoLeads != 0) {
        PagesAndLows<true>(v[k], next, after, 16 * k, pages + 16 * k, lows + 16 * k, ends + 16 * k);
      } else {
        PagesAndLows<false>(v[k], next, after, 16 * k, pages + 16 * k, lows + 16 * k,
                            ends + 16 * k);
      }
    }
    const int usable = marks.usable;
    std::uint64_t starts = marks.leads | marks.twoLeads;
    if (usable < 64) starts &= (std::uint64_t{1} << usable) - 1;
    // The ASCII before the first lead, after each lead's character up to the next lead, and
    // after the last up to where the block or the run ends (none when that character crosses
    // the block's end).
    auto from = static_cast<std::size_t>((carry & 1) + (carry >> 1));  // carry: 0, 1 or 3
    for (; starts != 0; starts &= starts - 1) {
      const std::size_t i = LowestBit(starts);
      CopyStretch(o, p + from, i - from);
      unsigned count;
      const unsigned bytes = Encode<target>(codes[blockOf[pages[i]] * 256u + lows[i]], count);
      std::memcpy(o, &bytes, 2);
      o += count;
      from = ends[i];
    }
    const auto stop = static_cast<std::size_t>(usable);
    if (from < stop) CopyStretch(o, p + from, stop - from);
    if (usable < 64) {
      out = o;
      return p + usable;
    }
    // Not p += usable: the next block's loads need not wait for this one's classification.
    p += kBlock;
    carry = Utf8Carry(marks);
  }
  out = o;
  return p + (carry & 1) + (carry >> 1);
}

}  // namespace

QUILLET_SSE2 const unsigned char* Utf8ToSjisRunSse2(const unsigned char* p,
                                                    const unsigned char* end, unsigned char*& out,
                                                    const std::uint8_t* blockOf,
                                                    const std::uint16_t* codes) {
  return FromUtf8Run<Target::kSjis>(p, end, out, blockOf, codes);
}

QUILLET_SSE2 const unsigned char* Utf8ToEucRunSse2(const unsigned char* p, const unsigned char* end,
                                                   unsigned char*& out, const std::uint8_t* blockOf,
                                                   const std::uint16_t* codes) {
  return FromUtf8Run<Target::kEuc>(p, end, out, blockOf, codes);
}

}  // namespace simd
}  // namespace quillet

#endif
