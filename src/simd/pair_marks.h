// Where the double-byte characters of a 64-byte block lie, from bit masks of the block's bytes
// (bit i for byte i), for the vector kernels of the Japanese conversions. The block starts at a
// character boundary, so in each run of bytes that may start a character the first, third, ...
// do, as in each run of backslashes the first, third, ... escape the byte after them.
#pragma once

#include <cstdint>

namespace quillet {
namespace simd {

struct PairBlock {
  std::uint64_t leads;   // first bytes of the characters taken
  std::uint64_t trails;  // their second bytes
  unsigned taken;        // bytes taken: 64, 63 (a character crosses the block's end), or 0
};

// lead: bytes that may start a character; trail: bytes that may end one; ascii: bytes below
// 0x80. The block is taken only if every byte is ASCII or one half of a whole character.
inline PairBlock MarkPairs(std::uint64_t lead, std::uint64_t trail, std::uint64_t ascii) {
  constexpr std::uint64_t kEven = 0x5555555555555555u;
  const std::uint64_t starts = lead & ~(lead << 1);
  // Adding a run's first bit carries through the run: the runs that start at an even byte
  // are the lead bytes the sum clears.
  const std::uint64_t evenRuns = lead & ~(lead + (starts & kEven));
  std::uint64_t leads = (evenRuns & kEven) | (lead & ~evenRuns & ~kEven);
  std::uint64_t range = ~std::uint64_t{0};
  unsigned taken = 64;
  if (leads >> 63 != 0) {  // its second byte is the next block's: that block starts with it
    leads &= range >> 1;
    range >>= 1;
    taken = 63;
  }
  const std::uint64_t trails = leads << 1;
  if (((trails & ~trail) | (~(leads | trails) & ~ascii & range)) != 0) taken = 0;
  return {leads, trails, taken};
}

}  // namespace simd
}  // namespace quillet
