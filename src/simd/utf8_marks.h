// Where the characters of a 64-byte block of UTF-8 lie, from bit masks of the block's bytes
// (bit i for byte i), for the vector runs out of UTF-8. Only ASCII and the two- and three-byte
// characters without overlong form or surrogate belong to a run; a character that crosses the
// block's end takes its continuation bytes from the next block, whose first bytes the carry
// then marks.
#pragma once

#include <cstdint>

namespace quillet {
namespace simd {

struct Utf8Block {
  std::uint64_t leads;     // leads of three-byte characters, 0xE0..0xEF
  std::uint64_t twoLeads;  // leads of two-byte characters, 0xC2..0xDF
  std::uint64_t follow;    // the continuation bytes of the block's characters
  int usable;              // bytes before the first that stops the run (64: none)
};

// high: bytes 0x80 and up; b6, b5, b4: bytes with bit 6, 5 or 4 set; overlong: 0xC0 and 0xC1;
// e0, ed: 0xE0 and 0xED, after which only A0..BF and 80..9F may follow; next0, next1: the two
// bytes after the block; carry: what the block before left (0, 1 or 3: its character's bytes at
// this block's start).
inline Utf8Block MarkUtf8(std::uint64_t high, std::uint64_t b6, std::uint64_t b5, std::uint64_t b4,
                          std::uint64_t overlong, std::uint64_t e0, std::uint64_t ed,
                          unsigned char next0, unsigned char next1, std::uint64_t carry) {
  const std::uint64_t follows = high & ~b6;  // 0x80..0xBF
  const std::uint64_t follows64 = (next0 & 0xC0) == 0x80;
  const std::uint64_t follows65 = (next1 & 0xC0) == 0x80;
  const std::uint64_t nextFollows = (follows >> 1) | follows64 << 63;
  const std::uint64_t afterFollows = (follows >> 2) | follows64 << 62 | follows65 << 63;
  const std::uint64_t nextHigh = (b5 >> 1) | std::uint64_t{(next0 & 0x20) != 0} << 63;
  const std::uint64_t leads = high & b6 & b5 & ~b4;
  const std::uint64_t twoLeads = high & b6 & ~b5 & ~overlong;
  const std::uint64_t bad = (e0 & ~nextHigh) | (ed & nextHigh);
  const std::uint64_t whole = nextFollows & afterFollows & ~bad;
  const std::uint64_t follow = ((leads | twoLeads) << 1) | (leads << 2) | carry;
  const std::uint64_t stops =
      ~(~high | leads | twoLeads | follow) | (leads & ~whole) | (twoLeads & ~nextFollows);
  // Counted in halves: a 32-bit build would call a library routine for a 64-bit count.
  const auto low = static_cast<std::uint32_t>(stops);
  const auto upper = static_cast<std::uint32_t>(stops >> 32);
  const int usable = low != 0 ? __builtin_ctz(low) : upper != 0 ? 32 + __builtin_ctz(upper) : 64;
  return {leads, twoLeads, follow, usable};
}

// The carry into the next block: a three-byte lead at byte 62 or a two-byte lead at byte 63
// takes the next block's first byte, a three-byte lead at byte 63 its first two.
inline std::uint64_t Utf8Carry(const Utf8Block& block) {
  return (((block.leads >> 62) | (block.twoLeads >> 63)) & 1) | (block.leads >> 63) * 3;
}

}  // namespace simd
}  // namespace quillet
