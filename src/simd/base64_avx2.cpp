// The base64 run of kernels.h, 32 characters a step. A block's characters are checked and
// turned into their 6-bit values by three nibble look-ups (which bits of the low nibble are
// allowed with each high nibble, and what to add to a character of each high nibble), then
// packed: 4 values -> 24 bits -> 3 bytes. A block with anything outside the alphabet is
// decoded up to its last whole group before that byte. The tail is one more block ending at
// the run's last whole group, loaded over the end of the block before it (those groups decode
// to the same bytes again). An input shorter than a block goes to the 16-byte kernel.
#include "simd/kernel_list.h"
#include "simd/targets.h"

#if defined(QUILLET_SIMD_X86)
#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace quillet {
namespace simd {
namespace {

constexpr std::size_t kWidth = 32;
constexpr std::size_t kOut = 24;

// Per high nibble, one bit; per low nibble, the bits of the high nibbles it is not allowed
// with. A character is in the alphabet when the two share no bit:
//   2: "+" (B) and "/" (F)   3: "0".."9" (0..9)   4, 6: 1..F   5, 7: 0..A   others: none.
// Per high nibble (one less for "/"), what to add to get the value.
#define QUILLET_LANE(...) __VA_ARGS__, __VA_ARGS__
QUILLET_AVX2 inline __m256i Values(__m256i text, std::uint32_t& bad) {
  const __m256i lowTable =
      _mm256_setr_epi8(QUILLET_LANE(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                    0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A));
  const __m256i highTable =
      _mm256_setr_epi8(QUILLET_LANE(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10,
                                    0x10, 0x10, 0x10, 0x10, 0x10, 0x10));
  const __m256i addTable =
      _mm256_setr_epi8(QUILLET_LANE(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0));
  const __m256i x2F = _mm256_set1_epi8(0x2F);
  const __m256i high = _mm256_and_si256(_mm256_srli_epi32(text, 4), x2F);
  const __m256i low = _mm256_and_si256(text, x2F);
  const __m256i shared =
      _mm256_and_si256(_mm256_shuffle_epi8(highTable, high), _mm256_shuffle_epi8(lowTable, low));
  bad = ~static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(shared, _mm256_setzero_si256())));
  const __m256i slash = _mm256_cmpeq_epi8(text, x2F);
  return _mm256_add_epi8(text, _mm256_shuffle_epi8(addTable, _mm256_add_epi8(slash, high)));
}
#undef QUILLET_LANE

// The 12 bytes of each lane's 16 values, in order, in the lane's low 12 bytes.
QUILLET_AVX2 inline __m256i PackLanes(__m256i values) {
  const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
  const __m256i groups = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
  return _mm256_shuffle_epi8(
      groups, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6,
                               5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
}

// The 24 bytes of 32 values, in order, in the low 24 bytes.
QUILLET_AVX2 inline __m256i Pack(__m256i values) {
  return _mm256_permutevar8x32_epi32(PackLanes(values), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
}

QUILLET_AVX2 inline void Store12(unsigned char* out, __m128i bytes) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
  const auto last = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
  std::memcpy(out + 8, &last, sizeof last);
}

QUILLET_AVX2 inline void Store24(unsigned char* out, __m256i bytes) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(bytes, 1));
}

QUILLET_AVX2 inline __m256i Load(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

}  // namespace

// As DecodeBase64WordSsse3, with 32-byte blocks; below 32 characters the two 16-byte blocks go
// in one register.
QUILLET_AVX2 bool DecodeBase64WordAvx2(const unsigned char* in, std::size_t size,
                                       unsigned char* out, std::size_t& written) {
  if (size < 16 || size > 2 * kWidth || size % 4 != 0) return false;
  const unsigned pad = in[size - 1] != '=' ? 0 : in[size - 2] != '=' ? 1 : 2;
  if (size < kWidth) {
    // The first and the last 16 characters, one to a lane (the same block twice at 16).
    const std::size_t start = size - 16;
    const __m256i text = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + start)), 1);
    const std::uint32_t padLanes = ((1u << pad) - 1) << (16 - pad);
    std::uint32_t bad = 0;
    const __m256i values = Values(text, bad);
    if (bad != (padLanes << 16 | (start == 0 ? padLanes : 0))) return false;
    const __m256i bytes = PackLanes(_mm256_and_si256(values, _mm256_set1_epi8(0x3F)));
    Store12(out, _mm256_castsi256_si128(bytes));
    Store12(out + start / 4 * 3, _mm256_extracti128_si256(bytes, 1));
    written = size / 4 * 3 - pad;
    return true;
  }
  const auto padLanes =
      static_cast<std::uint32_t>(((std::uint64_t{1} << pad) - 1) << (kWidth - pad));
  std::uint32_t bad = 0;
  if (size > kWidth) {
    const __m256i bytes = Pack(Values(Load(in), bad));
    if (bad != 0) return false;
    Store24(out, bytes);
  }
  const std::size_t start = size - kWidth;
  const __m256i values = Values(Load(in + start), bad);
  if (bad != padLanes) return false;
  Store24(out + start / 4 * 3, Pack(_mm256_and_si256(values, _mm256_set1_epi8(0x3F))));
  written = size / 4 * 3 - pad;
  return true;
}

QUILLET_AVX2 std::size_t DecodeBase64RunAvx2(const unsigned char* in, std::size_t size,
                                             unsigned char* out, std::size_t room) {
  if (size < kWidth) return DecodeBase64RunSsse3(in, size, out, room);
  std::size_t done = 0;  // characters decoded, a multiple of four
  std::uint32_t bad = 0;
  while (size - done >= kWidth && room - done / 4 * 3 >= kOut) {
    const __m256i bytes = Pack(Values(Load(in + done), bad));
    Store24(out + done / 4 * 3, bytes);
    if (bad != 0) return done + (__builtin_ctz(bad) & ~3u);
    done += kWidth;
  }
  const std::size_t rest = (size - done) & ~std::size_t{3};
  if (rest == 0 || rest >= kWidth || done == 0 || (done + rest) / 4 * 3 > room) return done;
  const std::size_t start = done + rest - kWidth;
  Store24(out + start / 4 * 3, Pack(Values(Load(in + start), bad)));
  return bad != 0 ? start + (__builtin_ctz(bad) & ~3u) : done + rest;
}

}  // namespace simd
}  // namespace quillet

#endif
