// UTF-8 reading and writing shared by the converters from and into UTF-8.
//
// A character is read as Unicode's table of well-formed byte sequences has it: the lead byte
// fixes the length and the range of the second byte; every later byte is 0x80..0xBF. An
// ill-formed sequence is replaced by maximal subparts: the longest start of a well-formed
// sequence found at a position counts as one replaced character, and a byte that starts none
// counts alone. So E3 81 41 is one replacement and then "A"; ED A0 80 (a surrogate) is three.
#pragma once

#include <array>
#include <cstdint>

#include "common/byte_at.h"

namespace quillet {
namespace utf8 {

constexpr std::uint32_t kReplacement = 0xFFFD;

struct LeadByte {
  unsigned char length;  // 0 for a byte that starts no character
  unsigned char low;     // range of the second byte
  unsigned char high;
};

constexpr std::array<LeadByte, 256> MakeLeadTable() {
  std::array<LeadByte, 256> table{};
  for (unsigned b = 0xC2; b <= 0xDF; ++b) table[b] = {2, 0x80, 0xBF};
  for (unsigned b = 0xE0; b <= 0xEF; ++b) table[b] = {3, 0x80, 0xBF};
  table[0xE0].low = 0xA0;   // no overlong forms
  table[0xED].high = 0x9F;  // no surrogates
  for (unsigned b = 0xF0; b <= 0xF4; ++b) table[b] = {4, 0x80, 0xBF};
  table[0xF0].low = 0x90;   // no overlong forms
  table[0xF4].high = 0x8F;  // nothing above U+10FFFF
  return table;
}

inline constexpr std::array<LeadByte, 256> leadBytes = MakeLeadTable();

inline bool IsContinuation(unsigned b) {
  return (b & 0xC0) == 0x80;
}

// The character that starts at p (p < end; bytes past end read as 0x00). A well-formed one
// gives its length, 1..4, with its code point in u; an ill-formed one gives minus the length
// of its maximal subpart, -1..-3, and leaves u alone.
inline int Decode(const unsigned char* p, const unsigned char* end, std::uint32_t& u) {
  const unsigned b0 = p[0];
  if (b0 < 0x80) {
    u = b0;
    return 1;
  }
  const LeadByte lead = leadBytes[b0];
  const unsigned b1 = ByteAt(p + 1, end);
  if (lead.length == 0 || b1 < lead.low || b1 > lead.high) return -1;
  if (lead.length == 2) {
    u = ((b0 & 0x1F) << 6) | (b1 & 0x3F);
    return 2;
  }
  const unsigned b2 = ByteAt(p + 2, end);
  if (!IsContinuation(b2)) return -2;
  if (lead.length == 3) {
    u = ((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
    return 3;
  }
  const unsigned b3 = ByteAt(p + 3, end);
  if (!IsContinuation(b3)) return -3;
  u = ((b0 & 0x07) << 18) | ((b1 & 0x3F) << 12) | ((b2 & 0x3F) << 6) | (b3 & 0x3F);
  return 4;
}

// Writes the character u (a code point below U+10000 that is no surrogate) in 1 to 3 bytes.
inline unsigned char* PutBmp(unsigned char* o, std::uint32_t u) {
  if (u < 0x80) {
    o[0] = static_cast<unsigned char>(u);
    return o + 1;
  }
  if (u < 0x800) {
    o[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
    o[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
    return o + 2;
  }
  o[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
  o[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
  o[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
  return o + 3;
}

// Writes any scalar value u (no surrogate, at most U+10FFFF) in 1 to 4 bytes.
inline unsigned char* Put(unsigned char* o, std::uint32_t u) {
  if (u < 0x10000) return PutBmp(o, u);
  o[0] = static_cast<unsigned char>(0xF0 | (u >> 18));
  o[1] = static_cast<unsigned char>(0x80 | ((u >> 12) & 0x3F));
  o[2] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
  o[3] = static_cast<unsigned char>(0x80 | (u & 0x3F));
  return o + 4;
}

// Put for text whose characters mostly take three bytes (ideographs, Hangul): that case is
// tested first, in one comparison.
inline unsigned char* PutMostlyThree(unsigned char* o, std::uint32_t u) {
  if (u - 0x800 >= 0xF800) return Put(o, u);
  o[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
  o[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
  o[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
  return o + 3;
}

// The UTF-8 bytes of u (below U+10000, no surrogate) in a word, the first in the low byte, and
// their count: the tables that hold characters ready to store are made of these.
constexpr std::uint32_t BmpLength(std::uint32_t u) {
  return u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
}
constexpr std::uint32_t BmpBytes(std::uint32_t u) {
  if (u < 0x80) return u;
  if (u < 0x800) return (0xC0 | (u >> 6)) | (0x80 | (u & 0x3F)) << 8;
  return (0xE0 | (u >> 12)) | (0x80 | ((u >> 6) & 0x3F)) << 8 | (0x80 | (u & 0x3F)) << 16;
}

inline unsigned char* PutReplacement(unsigned char* o) {
  o[0] = 0xEF;
  o[1] = 0xBF;
  o[2] = 0xBD;
  return o + 3;
}

}  // namespace utf8
}  // namespace quillet
