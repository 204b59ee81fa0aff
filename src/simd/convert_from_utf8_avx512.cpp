// The conversion runs out of UTF-8 of kernels.h with AVX-512 VBMI2, 64 bytes a step. A block
// of ASCII is copied whole. Any other block is classified at once in 64-bit masks: the ASCII
// bytes, the two- and three-byte leads and the bytes that must follow them, and where the run
// of usual characters stops (a byte that is none of these, or a lead without its continuation
// bytes, with an overlong form or a surrogate). A character at the block's end takes its last
// bytes from the next block, which then starts past them. Three byte compresses gather each
// character's bytes; its table index (page block and low byte) is reckoned in bytes, the
// page's block looked up among 256 by two byte permutes; gathers fetch the codes sixteen at a
// time (into Shift_JIS from a table of the Shift_JIS bytes themselves, so nothing is reckoned
// after the gathers; into EUC-JP a rotate and two byte operations make the bytes), and one byte
// compress packs the one- and two-byte results of 32 characters. What the run stops at is the
// scalar code's, and so is a range too short for one block.
#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_AVX512)
#include <immintrin.h>

#include <cstdint>

#include "simd/kernels.h"
#include "simd/targets.h"
#include "simd/utf8_marks.h"

namespace quillet {
namespace simd {
namespace {

constexpr std::ptrdiff_t kBlock = 64;
// A block reads two bytes past it (the rest of a character at its end), and each store of 32
// characters, the last of which may start at its last byte, is 64 bytes: at most one byte out
// per byte in, so 64 bytes in past that start keep it within what the run may write.
constexpr std::ptrdiff_t kReach = 2 * kBlock;

constexpr __mmask64 kAll = ~__mmask64{0};

QUILLET_VBMI2 inline __m256i Half(__m512i v, int half) {
  return half != 0 ? _mm512_maskz_extracti64x4_epi64(0xFF, v, 1)
                   : _mm512_maskz_extracti64x4_epi64(0xFF, v, 0);
}

QUILLET_VBMI2 inline __m512i Widen(__m256i bytes) {
  return _mm512_maskz_cvtepu8_epi16(~__mmask32{0}, bytes);
}

enum class Target { kSjis, kEuc };

// Byte 4k of the indexes of characters 16g.. is character 16g + k's low byte, byte 4k + 1 its
// block (the other two bytes cleared); lows picks the low 16 bits of two gathers' 32-bit lanes,
// in order.
struct Tables {
  alignas(64) unsigned char indexes[4][64];
  alignas(64) unsigned short lows[32];
};

constexpr Tables MakeTables() {
  Tables tables{};
  for (int g = 0; g < 4; ++g) {
    for (int k = 0; k < 16; ++k) {
      tables.indexes[g][4 * k] = static_cast<unsigned char>(16 * g + k);
      tables.indexes[g][4 * k + 1] = static_cast<unsigned char>(64 + 16 * g + k);
    }
  }
  for (int k = 0; k < 32; ++k) tables.lows[k] = static_cast<unsigned short>(2 * k);
  return tables;
}

constexpr Tables kTables = MakeTables();

// v, which the compiler must then take as unknown: the loop's constants are made once before it
// (left to itself, the compiler makes some of them again in every block from a general
// register, each a micro-op on the port that the permutes and compresses need).
QUILLET_VBMI2 inline __m512i Opaque(__m512i v) {
  __asm__("" : "+v"(v));
  return v;
}

QUILLET_VBMI2 inline __m512i Bytes(unsigned char c) {
  return Opaque(_mm512_set1_epi8(static_cast<char>(c)));
}

QUILLET_VBMI2 inline __m512i Words(unsigned short w) {
  return Opaque(_mm512_set1_epi16(static_cast<short>(w)));
}

struct Constants {
  QUILLET_VBMI2 Constants()
      : xFE(Bytes(0xFE)),
        xC0(Bytes(0xC0)),
        xE0(Bytes(0xE0)),
        xED(Bytes(0xED)),
        x0F(Bytes(0x0F)),
        x3C(Bytes(0x3C)),
        x1C(Bytes(0x1C)),
        x03(Bytes(0x03)),
        x3F(Bytes(0x3F)),
        firstTwoByte(Words(0x100)),
        topBits(Words(0x8080)),
        kanaMark(Words(0x808E)) {}
  __m512i xFE, xC0, xE0, xED, x0F, x3C, x1C, x03, x3F;
  __m512i firstTwoByte;  // the least code of two bytes
  __m512i topBits;       // of both bytes
  __m512i kanaMark;      // 0x8E low, 0x80 high
};

// The target's bytes of 32 codes in 16-bit lanes, first byte low, and which take two bytes
// (the others one).
template <Target target>
QUILLET_VBMI2 inline __m512i Encode(__m512i code, __mmask32& two, const Constants& k) {
  if (target == Target::kSjis) {
    // The codes are the Shift_JIS bytes already; below 0x100, a half-width katakana byte.
    two = _mm512_cmpge_epu16_mask(code, k.firstTwoByte);
    return code;
  }
  two = ~__mmask32{0};
  // The row and column swapped, with their top bits set; a katakana byte (0xA1..0xDF) becomes
  // 0x80 and the byte, and the 0x80 then rises to 0x8E, below every row byte.
  return _mm512_max_epu8(_mm512_or_si512(_mm512_shldi_epi16(code, code, 8), k.topBits), k.kanaMark);
}

template <Target target>
QUILLET_VBMI2 const unsigned char* FromUtf8Run(const unsigned char* p, const unsigned char* end,
                                               unsigned char*& out, const std::uint8_t* blockOf,
                                               const std::uint16_t* codes) {
  unsigned char* o = out;
  const __m512i blocks[4] = {_mm512_loadu_si512(blockOf), _mm512_loadu_si512(blockOf + 64),
                             _mm512_loadu_si512(blockOf + 128), _mm512_loadu_si512(blockOf + 192)};
  const __m512i lowWords = _mm512_load_si512(kTables.lows);
  const Constants k;
  // The continuation bytes at the block's start that the last block's characters took.
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
    const __m512i after = _mm512_loadu_si512(p + 2);
    // Bits 6, 5 and 4 of each byte as masks (a 16-bit shift moves each byte's own bit into
    // its top bit), with the two bytes after the block above them.
    const std::uint64_t b6 = _mm512_movepi8_mask(_mm512_slli_epi16(v, 1));
    const std::uint64_t b5 = _mm512_movepi8_mask(_mm512_slli_epi16(v, 2));
    const std::uint64_t b4 = _mm512_movepi8_mask(_mm512_slli_epi16(v, 3));
    const std::uint64_t overlong = _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, k.xFE), k.xC0);
    const Utf8Block marks = MarkUtf8(high, b6, b5, b4, overlong, _mm512_cmpeq_epi8_mask(v, k.xE0),
                                     _mm512_cmpeq_epi8_mask(v, k.xED), p[64], p[65], carry);
    const int usable = marks.usable;
    std::uint64_t starts = ~marks.follow;
    if (usable < 64) starts &= (std::uint64_t{1} << usable) - 1;
    const int count = __builtin_popcountll(starts);
    const __m512i b0 = _mm512_maskz_compress_epi8(starts, v);
    const __m512i b1 = _mm512_maskz_compress_epi8(starts, next);
    const __m512i b2 = _mm512_maskz_compress_epi8(starts, after);
    // Each character's page (bits 8..15 of its code point) and low byte; the 16-bit shifts
    // carry nothing across bytes, whose other bits are clear.
    const __mmask64 twoByte = _mm512_cmplt_epu8_mask(b0, k.xE0);
    const __m512i page =
        _mm512_mask_blend_epi8(twoByte,
                               _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(b0, k.x0F), 4),
                                               _mm512_srli_epi16(_mm512_and_si512(b1, k.x3C), 2)),
                               _mm512_srli_epi16(_mm512_and_si512(b0, k.x1C), 2));
    const __m512i low = _mm512_or_si512(
        _mm512_slli_epi16(_mm512_and_si512(_mm512_mask_blend_epi8(twoByte, b1, b0), k.x03), 6),
        _mm512_and_si512(_mm512_mask_blend_epi8(twoByte, b2, b1), k.x3F));
    const __m512i block = _mm512_mask_blend_epi8(
        _mm512_movepi8_mask(page), _mm512_permutex2var_epi8(blocks[0], page, blocks[1]),
        _mm512_permutex2var_epi8(blocks[2], page, blocks[3]));
    const std::uint64_t lanes = count < 64 ? (std::uint64_t{1} << count) - 1 : kAll;
    const std::uint64_t wide = _mm512_movepi8_mask(b0) & lanes;
    for (int half = 0; half * 32 < count; ++half) {
      const std::uint32_t wideHalf = static_cast<std::uint32_t>(wide >> (32 * half));
      constexpr __mmask64 kIndexBytes = 0x3333333333333333ull;
      const __m512i found0 = _mm512_mask_i32gather_epi32(
          _mm512_setzero_si512(), static_cast<__mmask16>(wideHalf),
          _mm512_maskz_permutex2var_epi8(kIndexBytes, low,
                                         _mm512_load_si512(kTables.indexes[2 * half]), block),
          codes, 2);
      const __m512i found1 = _mm512_mask_i32gather_epi32(
          _mm512_setzero_si512(), static_cast<__mmask16>(wideHalf >> 16),
          _mm512_maskz_permutex2var_epi8(kIndexBytes, low,
                                         _mm512_load_si512(kTables.indexes[2 * half + 1]), block),
          codes, 2);
      const __m512i code = _mm512_permutex2var_epi16(found0, lowWords, found1);
      __mmask32 two;
      const __m512i encoded = Encode<target>(code, two, k);
      const __m512i bytes = _mm512_mask_mov_epi16(Widen(Half(b0, half)), wideHalf, encoded);
      const __mmask32 taken = static_cast<__mmask32>(lanes >> (32 * half));
      // Each character's first byte, and its second where it has one.
      const __mmask64 keep = _pdep_u64(taken, 0x5555555555555555ull) |
                             _pdep_u64(taken & two & wideHalf, 0xAAAAAAAAAAAAAAAAull);
      _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, bytes));
      o += __builtin_popcountll(keep);
    }
    if (usable < 64) {
      p += usable;
      carry = 0;
      break;
    }
    // Not p += usable: the next block's loads need not wait for this one's classification.
    p += kBlock;
    carry = Utf8Carry(marks);
  }
  out = o;
  return p + __builtin_popcountll(carry);
}

}  // namespace

QUILLET_VBMI2 const unsigned char* Utf8ToSjisBytesRunVbmi2(const unsigned char* p,
                                                           const unsigned char* end,
                                                           unsigned char*& out,
                                                           const std::uint8_t* blockOf,
                                                           const std::uint16_t* sjisCodes) {
  return FromUtf8Run<Target::kSjis>(p, end, out, blockOf, sjisCodes);
}

QUILLET_VBMI2 const unsigned char* Utf8ToEucRunVbmi2(const unsigned char* p,
                                                     const unsigned char* end, unsigned char*& out,
                                                     const std::uint8_t* blockOf,
                                                     const std::uint16_t* codes) {
  return FromUtf8Run<Target::kEuc>(p, end, out, blockOf, codes);
}

}  // namespace simd
}  // namespace quillet

#endif
