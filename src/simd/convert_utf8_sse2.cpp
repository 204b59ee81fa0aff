// The conversion runs of kernels.h, 16 bytes a step. Each step classifies a block at once: a
// block of ASCII is copied whole; otherwise the run of whole characters the block starts with
// (pairs, or three-byte UTF-8 characters) is found from bit masks, and those characters go
// through the tables in a tight loop whose only test is the rare stop. Whatever the block
// starts with that is not such a character ends the run, for the scalar code.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "jtext/code_pairs.h"
#include "simd/kernels.h"

#define QUILLET_SSE2 __attribute__((target("sse2")))

namespace quillet {
namespace simd {
namespace {

constexpr std::ptrdiff_t kWidth = 16;

QUILLET_SSE2 inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

QUILLET_SSE2 inline void Store(unsigned char* o, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
}

// 0xFF in the bytes of v that lie in [low, high].
QUILLET_SSE2 inline __m128i InRange(__m128i v, unsigned char low, unsigned char high) {
  const __m128i shifted = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(low)));
  const __m128i span = _mm_set1_epi8(static_cast<char>(high - low));
  return _mm_cmpeq_epi8(_mm_min_epu8(shifted, span), shifted);
}

// Given which bytes may start and which may end a pair, the number of whole pairs the block
// starts with.
inline int LeadingPairs(unsigned firsts, unsigned seconds) {
  const unsigned bad = ~(firsts & (seconds >> 1)) & 0x5555u;
  return bad != 0 ? __builtin_ctz(bad) / 2 : 8;
}

}  // namespace

QUILLET_SSE2 const unsigned char* SjisToUtf8RunSse2(const unsigned char* p,
                                                    const unsigned char* end, unsigned char*& out,
                                                    const std::uint32_t* packed) {
  unsigned char* o = out;
  while (end - p >= kWidth) {
    const __m128i v = Load(p);
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if ((high & 1) == 0) {
      Store(o, v);  // whole; only the ASCII part counts
      const int n = high != 0 ? __builtin_ctz(high) : kWidth;
      o += n;
      p += n;
      continue;
    }
    const __m128i leads = _mm_or_si128(InRange(v, 0x81, 0x9F), InRange(v, 0xE0, 0xFC));
    const __m128i trails = _mm_or_si128(InRange(v, 0x40, 0x7E), InRange(v, 0x80, 0xFC));
    const int pairs = LeadingPairs(static_cast<unsigned>(_mm_movemask_epi8(leads)),
                                   static_cast<unsigned>(_mm_movemask_epi8(trails)));
    if (pairs == 0) break;
    // Lead in the low byte of each 16-bit lane, trail in the high byte: row * 188 + column.
    const __m128i lead = _mm_and_si128(v, _mm_set1_epi16(0xFF));
    const __m128i trail = _mm_srli_epi16(v, 8);
    const __m128i row = _mm_sub_epi16(
        _mm_sub_epi16(lead, _mm_set1_epi16(0x81)),
        _mm_and_si128(_mm_cmpgt_epi16(lead, _mm_set1_epi16(0xDF)), _mm_set1_epi16(0x40)));
    const __m128i column = _mm_add_epi16(_mm_sub_epi16(trail, _mm_set1_epi16(0x40)),
                                         _mm_cmpgt_epi16(trail, _mm_set1_epi16(0x7F)));
    const __m128i index = _mm_add_epi16(_mm_mullo_epi16(row, _mm_set1_epi16(188)), column);
    std::uint16_t indices[8];
    std::memcpy(indices, &index, sizeof indices);
    int i = 0;
    for (; i < pairs; ++i) {
      const std::uint32_t entry = packed[indices[i]];
      if (entry == kPackedReplacement) break;  // a code the table lacks: the scalar code's
      std::memcpy(o, &entry, sizeof entry);
      o += entry >> 24;
    }
    p += 2 * i;
    if (i < pairs) break;
  }
  out = o;
  return p;
}

QUILLET_SSE2 const unsigned char* EucToUtf8RunSse2(const unsigned char* p, const unsigned char* end,
                                                   unsigned char*& out, const std::uint32_t* packed,
                                                   bool jis) {
  unsigned char* o = out;
  const __m128i flip = _mm_set1_epi8(jis ? static_cast<char>(0x80) : 0);
  while (end - p >= kWidth) {
    const __m128i raw = Load(p);
    if (!jis) {
      const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(raw));
      if ((high & 1) == 0) {
        Store(o, raw);
        const int n = high != 0 ? __builtin_ctz(high) : kWidth;
        o += n;
        p += n;
        continue;
      }
    }
    const __m128i v = _mm_xor_si128(raw, flip);
    const unsigned graphic = static_cast<unsigned>(_mm_movemask_epi8(InRange(v, 0xA1, 0xFE)));
    const int pairs = LeadingPairs(graphic, graphic);
    if (pairs == 0) break;
    // JIS pointer: (row - 0x21) * 94 + (column - 0x21), from the low seven bits of each byte.
    const __m128i row = _mm_and_si128(v, _mm_set1_epi16(0x7F));
    const __m128i column = _mm_and_si128(_mm_srli_epi16(v, 8), _mm_set1_epi16(0x7F));
    const __m128i index =
        _mm_sub_epi16(_mm_add_epi16(_mm_mullo_epi16(row, _mm_set1_epi16(94)), column),
                      _mm_set1_epi16(0x21 * 94 + 0x21));
    std::uint16_t indices[8];
    std::memcpy(indices, &index, sizeof indices);
    for (int i = 0; i < pairs; ++i) {
      const std::uint32_t entry = packed[indices[i]];
      std::memcpy(o, &entry, sizeof entry);
      o += entry >> 24;
    }
    p += 2 * pairs;
  }
  out = o;
  return p;
}

QUILLET_SSE2 const unsigned char* Utf8ToTwoByteRunSse2(const unsigned char* p,
                                                       const unsigned char* end,
                                                       unsigned char*& out,
                                                       const std::uint8_t* blockOf,
                                                       const std::uint16_t* codes, bool euc) {
  unsigned char* o = out;
  // Five three-byte characters: 1110xxxx 10xxxxxx 10xxxxxx; the block's last byte is not read.
  const __m128i shape =
      _mm_setr_epi8(-16, -64, -64, -16, -64, -64, -16, -64, -64, -16, -64, -64, -16, -64, -64, 0);
  const __m128i want = _mm_setr_epi8(-32, -128, -128, -32, -128, -128, -32, -128, -128, -32, -128,
                                     -128, -32, -128, -128, 0);
  while (end - p >= kWidth) {
    const __m128i v = Load(p);
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if ((high & 1) == 0) {
      Store(o, v);
      const int n = high != 0 ? __builtin_ctz(high) : kWidth;
      o += n;
      p += n;
      continue;
    }
    const unsigned bad =
        ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, shape), want))) &
        0x7FFFu;
    const int characters = bad != 0 ? __builtin_ctz(bad) / 3 : 5;
    int i = 0;
    for (; i < characters; ++i) {
      const unsigned char* const c = p + 3 * i;
      const std::uint32_t u = (c[0] & 0x0Fu) << 12 | (c[1] & 0x3Fu) << 6 | (c[2] & 0x3Fu);
      const std::uint32_t code = codes[blockOf[u >> 8] * 256u + (u & 0xFF)];
      // An overlong form, a surrogate, or a half-width kana: the scalar code's.
      if ((u < 0x800) | (code < 0x100)) break;
      if (euc) {
        o[0] = static_cast<unsigned char>(code >> 8 | 0x80);
        o[1] = static_cast<unsigned char>(code | 0x80);
      } else {
        const std::uint32_t sjis = pairs::JisToSjis(code >> 8, code & 0xFF);
        o[0] = static_cast<unsigned char>(sjis >> 8);
        o[1] = static_cast<unsigned char>(sjis);
      }
      o += 2;
    }
    p += 3 * i;
    if (i == 0 || i < characters) break;
  }
  out = o;
  return p;
}

}  // namespace simd
}  // namespace quillet

#endif
