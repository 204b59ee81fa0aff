// Where the double-byte characters of a 64-byte block lie, from bit masks of the block's bytes
// (bit i for byte i), for the vector kernels of the Japanese conversions. Blocks follow each
// other at a fixed stride; a character that crosses a block's end is carried into the next, so
// each block is known to start either at a character or at the second byte of one. After that,
// in each run of bytes that may start a character the first, third, ... do, as in each run of
// backslashes the first, third, ... escape the byte after them.
#pragma once

#include <cstdint>

namespace quillet {
namespace simd {

struct PairBlock {
  std::uint64_t leads;   // first bytes of characters
  std::uint64_t trails;  // second bytes (byte 0 when the character before the block crosses)
  bool whole;            // every byte is ASCII or one half of a character
};

// lead: bytes that may start a character; trail: bytes that may end one; ascii: bytes below
// 0x80. carry is 1 when the block before ended with a first byte; it is set for the next block.
inline PairBlock MarkPairs(std::uint64_t lead, std::uint64_t trail, std::uint64_t ascii,
                           std::uint64_t& carry) {
  constexpr std::uint64_t kEven = 0x5555555555555555u;
  lead &= ~carry;
  const std::uint64_t starts = lead & ~(lead << 1);
  // Adding a run's first bit carries through the run: the runs that start at an even byte
  // are the lead bytes the sum clears.
  const std::uint64_t evenRuns = lead & ~(lead + (starts & kEven));
  const std::uint64_t leads = (evenRuns & kEven) | (lead & ~evenRuns & ~kEven);
  const std::uint64_t trails = (leads << 1) | carry;
  carry = leads >> 63;
  return {leads, trails, ((trails & ~trail) | (~(leads | trails) & ~ascii)) == 0};
}

// The bytes that follow a lead, given which bytes may be leads: in a run of such bytes the
// first is a lead, the second its trail, and so on; a run may start anywhere, since the byte
// before it ends a character whatever it is. A trail past the block is dropped.
inline std::uint64_t Trails(std::uint64_t leads) {
  constexpr std::uint64_t kOdd = 0xAAAAAAAAAAAAAAAAull;
  return (((leads << 1) | kOdd) - leads) ^ kOdd ^ leads;
}

}  // namespace simd
}  // namespace quillet
