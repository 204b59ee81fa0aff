// The base64 run of kernels.h, 16 characters a step: the same look-ups and packing as
// base64_avx2.cpp (see there), on one 128-bit lane. An input shorter than a block is left to
// the scalar code, which is as fast on so few characters.
#include "simd/kernel_list.h"
#include "simd/targets.h"

#if defined(QUILLET_SIMD_X86)
#include <tmmintrin.h>

#include <cstdint>
#include <cstring>

namespace quillet {
namespace simd {
namespace {

constexpr std::size_t kWidth = 16;
constexpr std::size_t kOut = 12;

QUILLET_SSSE3 inline __m128i Values(__m128i text, std::uint32_t& bad) {
  const __m128i lowTable = _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                         0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m128i highTable = _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10,
                                          0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m128i addTable = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i x2F = _mm_set1_epi8(0x2F);
  const __m128i high = _mm_and_si128(_mm_srli_epi32(text, 4), x2F);
  const __m128i low = _mm_and_si128(text, x2F);
  const __m128i shared =
      _mm_and_si128(_mm_shuffle_epi8(highTable, high), _mm_shuffle_epi8(lowTable, low));
  bad =
      ~static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(shared, _mm_setzero_si128()))) &
      0xFFFFu;
  const __m128i slash = _mm_cmpeq_epi8(text, x2F);
  return _mm_add_epi8(text, _mm_shuffle_epi8(addTable, _mm_add_epi8(slash, high)));
}

// The 12 bytes of 16 values, in order, in the low 12 bytes.
QUILLET_SSSE3 inline __m128i Pack(__m128i values) {
  const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
  const __m128i groups = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
  return _mm_shuffle_epi8(groups,
                          _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
}

QUILLET_SSSE3 inline void Store12(unsigned char* out, __m128i bytes) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
  const std::uint32_t last =
      static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
  std::memcpy(out + 8, &last, sizeof last);
}

QUILLET_SSSE3 inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

QUILLET_SSSE3 std::size_t DecodeBase64RunSsse3(const unsigned char* in, std::size_t size,
                                               unsigned char* out, std::size_t room) {
  std::size_t done = 0;  // characters decoded, a multiple of four
  std::uint32_t bad = 0;
  while (size - done >= kWidth && room - done / 4 * 3 >= kOut) {
    const __m128i bytes = Pack(Values(Load(in + done), bad));
    Store12(out + done / 4 * 3, bytes);
    if (bad != 0) return done + (__builtin_ctz(bad) & ~3u);
    done += kWidth;
  }
  const std::size_t rest = (size - done) & ~std::size_t{3};
  if (rest == 0 || rest >= kWidth || done == 0 || (done + rest) / 4 * 3 > room) return done;
  const std::size_t start = done + rest - kWidth;
  Store12(out + start / 4 * 3, Pack(Values(Load(in + start), bad)));
  return bad != 0 ? start + (__builtin_ctz(bad) & ~3u) : done + rest;
}

// A word's text: a block, or two overlapping ones (the groups in both decode to the same bytes
// twice). A last "=" or "==" is allowed in the last block's last lanes, whose values then carry
// no bits past their own (only bytes before the padding are counted).
QUILLET_SSSE3 bool DecodeBase64WordSsse3(const unsigned char* in, std::size_t size,
                                         unsigned char* out, std::size_t& written) {
  if (size < kWidth || size > 2 * kWidth || size % 4 != 0) return false;
  const unsigned pad = in[size - 1] != '=' ? 0 : in[size - 2] != '=' ? 1 : 2;
  const auto padLanes =
      static_cast<std::uint32_t>(((std::uint64_t{1} << pad) - 1) << (kWidth - pad));
  std::uint32_t bad = 0;
  if (size > kWidth) {
    const __m128i bytes = Pack(Values(Load(in), bad));
    if (bad != 0) return false;
    Store12(out, bytes);
  }
  const std::size_t start = size - kWidth;
  const __m128i values = Values(Load(in + start), bad);
  if (bad != padLanes) return false;
  Store12(out + start / 4 * 3, Pack(_mm_and_si128(values, _mm_set1_epi8(0x3F))));
  written = size / 4 * 3 - pad;
  return true;
}

}  // namespace simd
}  // namespace quillet

#endif
