// ZeroBytes: the word-at-a-time byte test behind every scan that reads eight bytes at a time.
#pragma once

#include <cstdint>

namespace quillet {

// 0x80 in each byte of x that is 0x00, and 0 in every other bit. Exact: no carry crosses from
// one byte into the next, so a mark stands for its own byte and the first one can be located.
// To find bytes equal to c, test x ^ (0x0101010101010101 * c).
inline std::uint64_t ZeroBytes(std::uint64_t x) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

}  // namespace quillet
