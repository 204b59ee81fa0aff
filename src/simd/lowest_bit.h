// The place of a word's lowest set bit, for the kernels that walk the set bits of a 64-bit mask
// one by one and have no BMI1 to count on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet {
namespace simd {

// The place of the lowest set bit of bits (not 0). tzcnt runs as bsf where BMI1 is missing, with
// the same result for a word that is not 0; written out, it takes no instruction to clear its
// output first or to widen it. A 32-bit build counts in halves, as the compiler would otherwise
// call a library routine.
inline std::size_t LowestBit(std::uint64_t bits) {
#if defined(__x86_64__)
  std::uint64_t place;
  __asm__("tzcnt %1, %0" : "=r"(place) : "r"(bits) : "cc");
  return place;
#else
  const auto low = static_cast<std::uint32_t>(bits);
  return low != 0
             ? static_cast<unsigned>(__builtin_ctz(low))
             : 32 + static_cast<unsigned>(__builtin_ctz(static_cast<std::uint32_t>(bits >> 32)));
#endif
}

}  // namespace simd
}  // namespace quillet
