// The conversion runs into UTF-8 of kernels.h with AVX-512 VBMI2, 16 bytes a step. A block
// of ASCII is copied whole. Any other block is classified at once: which bytes are leads,
// trails and ASCII, and where the run of usual characters stops (the first byte that is none
// of them, or a lead whose trail is out of range or past the block). One gather then fetches
// the packed entries of the bytes that start characters (the byte itself indexes ASCII, a
// lead and its trail the code), each entry's UTF-8 bytes are kept by a byte mask made from its
// length, and one byte compress packs them, whatever mix of one-, two- and three-byte
// characters the block holds. What the run stops at is the scalar code's, and so is a range
// too short for one block.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_AVX512)
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "simd/kernels.h"

#define QUILLET_VBMI2 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi2")))

namespace quillet {
namespace simd {
namespace {

constexpr std::ptrdiff_t kWidth = 16;

// Every lane: the masked forms, whose unmasked twins leave GCC seeing an undefined source.
constexpr __mmask16 kAll = 0xFFFF;

// 0xFF in the bytes of v that lie in [low, high].
QUILLET_VBMI2 inline __m128i InRange(__m128i v, unsigned char low, unsigned char high) {
  const __m128i shifted = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(low)));
  const __m128i span = _mm_set1_epi8(static_cast<char>(high - low));
  return _mm_cmpeq_epi8(_mm_min_epu8(shifted, span), shifted);
}

// The bytes that follow a lead, given which bytes may be leads: in a run of such bytes the
// first is a lead, the second its trail, and so on; a run may start anywhere, since the byte
// before it ends a character whatever it is. Bit 16 is a trail past the block.
inline unsigned Trails(unsigned leads) {
  constexpr unsigned kOdd = 0xAAAAAAAAu;
  return ((((leads << 1) | kOdd) - leads) ^ kOdd ^ leads) & 0x1FFFFu;
}

enum class Source { kSjis, kEuc };

// A block of 16 bytes classified: the bytes that start characters before usable (the
// first byte that is no part of a usual character: a stop), and which of them are leads.
struct Block {
  __m128i bytes;
  unsigned starts;
  unsigned leads;
  int usable;
};

template <Source source>
QUILLET_VBMI2 inline void Classify(__m128i v, Block& block) {
  const unsigned ascii = ~static_cast<unsigned>(_mm_movemask_epi8(v)) & 0xFFFFu;
  __m128i leadRange;
  __m128i trailRange;
  if (source == Source::kSjis) {
    leadRange = _mm_or_si128(InRange(v, 0x81, 0x9F), InRange(v, 0xE0, 0xFC));
    trailRange = _mm_or_si128(InRange(v, 0x40, 0x7E), InRange(v, 0x80, 0xFC));
  } else {
    leadRange = InRange(v, 0xA1, 0xFE);
    trailRange = leadRange;
  }
  const unsigned mayLead = static_cast<unsigned>(_mm_movemask_epi8(leadRange));
  const unsigned trails = Trails(mayLead);
  const unsigned leads = mayLead & ~trails;
  const unsigned badTrails = trails & ~static_cast<unsigned>(_mm_movemask_epi8(trailRange));
  // ASCII that is a trail counts as the trail. A lead at the block's last byte stops too: its
  // trail, bit 16, is out of range.
  const unsigned stops = (~(leads | trails | ascii) & 0xFFFFu) | (badTrails >> 1);
  block.usable = __builtin_ctz(stops | 0x10000u);
  const unsigned taken = (1u << block.usable) - 1;
  block.bytes = v;
  block.starts = ~trails & taken;
  block.leads = leads & taken;
}

// The table index of the character at each byte of a block, in sixteen 32-bit lanes: the
// byte itself for ASCII, kPackedCodes plus the code's pointer for a lead.
template <Source source>
QUILLET_VBMI2 inline __m512i Index(const Block& block) {
  const __m512i lead = _mm512_maskz_cvtepu8_epi32(kAll, block.bytes);
  const __m512i trail = _mm512_maskz_cvtepu8_epi32(kAll, _mm_srli_si128(block.bytes, 1));
  __m512i pair;
  if (source == Source::kSjis) {
    const __m512i row = _mm512_mask_sub_epi32(
        _mm512_sub_epi32(lead, _mm512_set1_epi32(0x81)),
        _mm512_cmpgt_epi32_mask(lead, _mm512_set1_epi32(0xDF)),
        _mm512_sub_epi32(lead, _mm512_set1_epi32(0x81)), _mm512_set1_epi32(0x40));
    const __m512i column = _mm512_mask_sub_epi32(
        _mm512_sub_epi32(trail, _mm512_set1_epi32(0x40 - static_cast<int>(kPackedCodes))),
        _mm512_cmpgt_epi32_mask(trail, _mm512_set1_epi32(0x7F)),
        _mm512_sub_epi32(trail, _mm512_set1_epi32(0x40 - static_cast<int>(kPackedCodes))),
        _mm512_set1_epi32(1));
    pair = _mm512_add_epi32(_mm512_mullo_epi32(row, _mm512_set1_epi32(188)), column);
  } else {
    const __m512i row = _mm512_and_si512(lead, _mm512_set1_epi32(0x7F));
    const __m512i column = _mm512_and_si512(trail, _mm512_set1_epi32(0x7F));
    pair = _mm512_add_epi32(
        _mm512_mullo_epi32(row, _mm512_set1_epi32(94)),
        _mm512_sub_epi32(column,
                         _mm512_set1_epi32(0x21 * 94 + 0x21 - static_cast<int>(kPackedCodes))));
  }
  return _mm512_mask_blend_epi32(static_cast<__mmask16>(block.leads), lead, pair);
}

template <Source source>
QUILLET_VBMI2 const unsigned char* ToUtf8Run(const unsigned char* p, const unsigned char* end,
                                             unsigned char*& out, const std::uint32_t* packed) {
  unsigned char* o = out;
  const int* const base = reinterpret_cast<const int*>(packed);
  while (end - p >= kWidth) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (_mm_movemask_epi8(v) == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
      o += kWidth;
      p += kWidth;
      continue;
    }
    Block block;
    Classify<source>(v, block);
    if (block.usable == 0) break;
    __mmask16 starts = static_cast<__mmask16>(block.starts);
    // Lanes that start no character stay 0: no bytes.
    __m512i entries =
        _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), starts, Index<source>(block), base, 4);
    int taken = block.usable;
    if (source == Source::kSjis) {
      const __mmask16 lacking = _mm512_mask_cmpeq_epi32_mask(
          starts, entries, _mm512_set1_epi32(static_cast<int>(kPackedReplacement)));
      if (lacking != 0) {
        // A code the table lacks: the characters before it, then the scalar code (which
        // reads the trail again when it is ASCII).
        taken = __builtin_ctz(lacking);
        starts = static_cast<__mmask16>(starts & ((1u << taken) - 1));
        entries = _mm512_maskz_mov_epi32(starts, entries);
      }
    }
    // Bytes 0 .. length - 1 of each lane: all ones shifted right by 32 - 8 * length (a shift
    // of 32 gives 0).
    const __m512i lengths = _mm512_maskz_srli_epi32(kAll, entries, 24);
    const __m512i keep = _mm512_maskz_srlv_epi32(
        kAll, _mm512_set1_epi32(-1),
        _mm512_sub_epi32(_mm512_set1_epi32(32), _mm512_maskz_slli_epi32(kAll, lengths, 3)));
    const __mmask64 bytes = _mm512_movepi8_mask(keep);
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(bytes, entries));
    o += __builtin_popcountll(bytes);
    p += taken;
    if (taken < block.usable) break;
  }
  out = o;
  return p;
}

}  // namespace

QUILLET_VBMI2 const unsigned char* SjisToUtf8RunVbmi2(const unsigned char* p,
                                                      const unsigned char* end, unsigned char*& out,
                                                      const std::uint32_t* packed) {
  return ToUtf8Run<Source::kSjis>(p, end, out, packed);
}

QUILLET_VBMI2 const unsigned char* EucToUtf8RunVbmi2(const unsigned char* p,
                                                     const unsigned char* end, unsigned char*& out,
                                                     const std::uint32_t* packed) {
  return ToUtf8Run<Source::kEuc>(p, end, out, packed);
}

}  // namespace simd
}  // namespace quillet

#endif
