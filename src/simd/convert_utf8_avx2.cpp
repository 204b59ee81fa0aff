// The conversion runs into UTF-8 of kernels.h, 32 bytes a step (see convert_utf8_sse2.cpp for
// the shape): sixteen pairs give sixteen table indices at once, two gathers fetch their packed
// characters, and when all sixteen are three bytes long (kana and kanji always are) one byte
// shuffle per lane packs them, 48 bytes out. A range too short for one block goes to the
// 16-byte kernels.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "simd/kernels.h"

#define QUILLET_AVX2 __attribute__((target("avx2")))

namespace quillet {
namespace simd {
namespace {

constexpr std::ptrdiff_t kWidth = 32;

QUILLET_AVX2 inline __m256i Load(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

QUILLET_AVX2 inline __m256i InRange(__m256i v, unsigned char low, unsigned char high) {
  const __m256i shifted = _mm256_sub_epi8(v, _mm256_set1_epi8(static_cast<char>(low)));
  const __m256i span = _mm256_set1_epi8(static_cast<char>(high - low));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(shifted, span), shifted);
}

inline std::uint32_t Bits(__m256i v) __attribute__((target("avx2")));
inline std::uint32_t Bits(__m256i v) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
}

inline int LeadingPairs(std::uint32_t firsts, std::uint32_t seconds) {
  const std::uint32_t bad = ~(firsts & (seconds >> 1)) & 0x55555555u;
  return bad != 0 ? __builtin_ctz(bad) / 2 : 16;
}

// Copies the ASCII the block starts with (all of it stored) and returns how many bytes that
// is, 0 when the block starts with a byte of 0x80 or more.
QUILLET_AVX2 inline int AsciiPrefix(__m256i v, unsigned char* o) {
  const std::uint32_t high = Bits(v);
  if ((high & 1) != 0) return 0;
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), v);
  return high != 0 ? __builtin_ctz(high) : kWidth;
}

// The packed characters of sixteen 16-bit indices, in pair order.
QUILLET_AVX2 inline void Gather(__m256i index, const std::uint32_t* packed, __m256i& first,
                                __m256i& second) {
  const int* const base = reinterpret_cast<const int*>(packed);
  first = _mm256_i32gather_epi32(base, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(index)), 4);
  second =
      _mm256_i32gather_epi32(base, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(index, 1)), 4);
}

// Writes the first `count` characters of the sixteen, stopping before an entry equal to stop
// when stopAtReplacement; returns how many it wrote.
QUILLET_AVX2 inline int Put(__m256i first, __m256i second, int count, bool stopAtReplacement,
                            unsigned char*& o) {
  const __m256i lengthBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i three = _mm256_set1_epi32(0x03000000);
  const std::uint32_t threes =
      Bits(_mm256_cmpeq_epi32(_mm256_and_si256(first, lengthBytes), three)) &
      Bits(_mm256_cmpeq_epi32(_mm256_and_si256(second, lengthBytes), three));
  if (count == 16 && threes == 0xFFFFFFFFu) {
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i a = _mm256_shuffle_epi8(first, pack);
    const __m256i b = _mm256_shuffle_epi8(second, pack);
    // Replacement characters are three bytes too, so without them the whole block goes here.
    const __m256i replacement = _mm256_set1_epi32(static_cast<int>(kPackedReplacement));
    const bool clean = !stopAtReplacement || (Bits(_mm256_cmpeq_epi32(first, replacement)) |
                                              Bits(_mm256_cmpeq_epi32(second, replacement))) == 0;
    if (clean) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(a));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 12), _mm256_extracti128_si256(a, 1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 24), _mm256_castsi256_si128(b));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 36), _mm256_extracti128_si256(b, 1));
      o += 48;
      return 16;
    }
  }
  std::uint32_t entries[16];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(entries), first);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(entries + 8), second);
  int i = 0;
  for (; i < count; ++i) {
    const std::uint32_t entry = entries[i];
    if (stopAtReplacement && entry == kPackedReplacement) break;
    std::memcpy(o, &entry, sizeof entry);
    o += entry >> 24;
  }
  return i;
}

}  // namespace

QUILLET_AVX2 const unsigned char* SjisToUtf8RunAvx2(const unsigned char* p,
                                                    const unsigned char* end, unsigned char*& out,
                                                    const std::uint32_t* packed) {
  if (end - p < kWidth) return SjisToUtf8RunSse2(p, end, out, packed);
  unsigned char* o = out;
  while (end - p >= kWidth) {
    const __m256i v = Load(p);
    const int ascii = AsciiPrefix(v, o);
    if (ascii != 0) {
      o += ascii;
      p += ascii;
      continue;
    }
    const __m256i leads = _mm256_or_si256(InRange(v, 0x81, 0x9F), InRange(v, 0xE0, 0xFC));
    const __m256i trails = _mm256_or_si256(InRange(v, 0x40, 0x7E), InRange(v, 0x80, 0xFC));
    const int pairs = LeadingPairs(Bits(leads), Bits(trails));
    if (pairs == 0) {
      out = o;
      return p;
    }
    const __m256i lead = _mm256_and_si256(v, _mm256_set1_epi16(0xFF));
    const __m256i trail = _mm256_srli_epi16(v, 8);
    const __m256i row =
        _mm256_sub_epi16(_mm256_sub_epi16(lead, _mm256_set1_epi16(0x81)),
                         _mm256_and_si256(_mm256_cmpgt_epi16(lead, _mm256_set1_epi16(0xDF)),
                                          _mm256_set1_epi16(0x40)));
    const __m256i column = _mm256_add_epi16(_mm256_sub_epi16(trail, _mm256_set1_epi16(0x40)),
                                            _mm256_cmpgt_epi16(trail, _mm256_set1_epi16(0x7F)));
    // Bytes past the run give indices outside the table: only the run's lanes are fetched.
    const __m256i keep =
        _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(pairs)),
                           _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    const __m256i index = _mm256_and_si256(
        _mm256_add_epi16(_mm256_mullo_epi16(row, _mm256_set1_epi16(188)), column), keep);
    __m256i first, second;
    Gather(index, packed, first, second);
    const int written = Put(first, second, pairs, true, o);
    p += 2 * written;
    if (written < pairs) {
      out = o;
      return p;
    }
  }
  out = o;
  return end - p >= 16 ? SjisToUtf8RunSse2(p, end, out, packed) : p;
}

QUILLET_AVX2 const unsigned char* EucToUtf8RunAvx2(const unsigned char* p, const unsigned char* end,
                                                   unsigned char*& out, const std::uint32_t* packed,
                                                   bool jis) {
  if (end - p < kWidth) return EucToUtf8RunSse2(p, end, out, packed, jis);
  unsigned char* o = out;
  const __m256i flip = _mm256_set1_epi8(jis ? static_cast<char>(0x80) : 0);
  while (end - p >= kWidth) {
    const __m256i raw = Load(p);
    if (!jis) {
      const int ascii = AsciiPrefix(raw, o);
      if (ascii != 0) {
        o += ascii;
        p += ascii;
        continue;
      }
    }
    const __m256i v = _mm256_xor_si256(raw, flip);
    const std::uint32_t graphic = Bits(InRange(v, 0xA1, 0xFE));
    const int pairs = LeadingPairs(graphic, graphic);
    if (pairs == 0) {
      out = o;
      return p;
    }
    const __m256i row = _mm256_and_si256(v, _mm256_set1_epi16(0x7F));
    const __m256i column = _mm256_and_si256(_mm256_srli_epi16(v, 8), _mm256_set1_epi16(0x7F));
    const __m256i keep =
        _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(pairs)),
                           _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    const __m256i index = _mm256_and_si256(
        _mm256_sub_epi16(_mm256_add_epi16(_mm256_mullo_epi16(row, _mm256_set1_epi16(94)), column),
                         _mm256_set1_epi16(0x21 * 94 + 0x21)),
        keep);
    __m256i first, second;
    Gather(index, packed, first, second);
    p += 2 * Put(first, second, pairs, false, o);
  }
  out = o;
  return end - p >= 16 ? EucToUtf8RunSse2(p, end, out, packed, jis) : p;
}

}  // namespace simd
}  // namespace quillet

#endif
