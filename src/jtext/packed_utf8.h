// The Windows-31J table with each character in its UTF-8 bytes, and the writing of JIS X 0208
// characters from it: shared by the converter into UTF-8 and the ISO-2022-JP-2 reader, which
// write those characters alike.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/convert_support.h"
#include "jtext/cp932_table.h"
#include "simd/kernels.h"

namespace quillet {
namespace packed_utf8 {

// Each entry holds a character's UTF-8 bytes in memory order and their count in the top byte
// (U+FFFD where the table has none), so that a character costs one load and one store of four
// bytes (the fourth falls in the room of what follows, or in the slack). The 128 ASCII
// characters come first, so that the vector runs fetch a character of either kind by one index
// (a byte, or simd::kPackedCodes plus the code's pointer).
struct PackedTable {
  std::uint32_t entries[simd::kPackedCodes + cp932::kRows * cp932::kColumns];
};

extern const PackedTable kPacked;  // made in convert_to_utf8.cpp

inline unsigned char* PutEntry(unsigned char* o, std::uint32_t w) {
  if (convert::kLittleEndian) {
    std::memcpy(o, &w, sizeof w);
  } else {
    o[0] = static_cast<unsigned char>(w);
    o[1] = static_cast<unsigned char>(w >> 8);
    o[2] = static_cast<unsigned char>(w >> 16);
  }
  return o + (w >> 24);
}

// Pointer of a JIS code whose row and column bytes are 0x21..0x7E or 0xA1..0xFE.
inline unsigned JisPointer(unsigned j1, unsigned j2) {
  return (j1 & 0x7F) * 94 + (j2 & 0x7F) - (0x21 * 94 + 0x21);
}

// The rows of JIS X 0208 are the table's first 94 * 94 entries in order (two rows per lead
// byte, 94 columns each), so a pointer indexes it directly.
inline unsigned char* PutJisX0208(unsigned char* o, unsigned j1, unsigned j2) {
  return PutEntry(o, kPacked.entries[simd::kPackedCodes + JisPointer(j1, j2)]);
}

// A run of JIS X 0208 characters four at a time, while all eight bytes of a word are row and
// column bytes: 0xA1..0xFE (flip 0), or 0x21..0x7E (flip kHighBits). Returns the new p.
inline const unsigned char* PutJisX0208Words(const unsigned char* p, const unsigned char* limit,
                                             convert::Word flip, unsigned char*& o) {
  using namespace convert;
  while (limit - p >= 8 && HighGraphicBytes(LoadWord(p) ^ flip) == kHighBits) {
    o = PutJisX0208(o, p[0], p[1]);
    o = PutJisX0208(o, p[2], p[3]);
    o = PutJisX0208(o, p[4], p[5]);
    o = PutJisX0208(o, p[6], p[7]);
    p += 8;
  }
  return p;
}

// The run of JIS X 0208 pairs (both bytes 0x21..0x7E) at p, before limit, written at o (room
// for 3 bytes per byte in, and the slack). Returns where the run ends; o moves along.
inline const unsigned char* PutJisX0208Run(const unsigned char* p, const unsigned char* limit,
                                           unsigned char*& o) {
  p = PutJisX0208Words(p, limit, convert::kHighBits, o);
  while (limit - p >= 2 && ((p[0] - 0x21u < 0x5E) & (p[1] - 0x21u < 0x5E))) {
    o = PutJisX0208(o, p[0], p[1]);
    p += 2;
  }
  return p;
}

}  // namespace packed_utf8
}  // namespace quillet
