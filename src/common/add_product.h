// AddProduct: size arithmetic that saturates instead of wrapping around.
#pragma once

#include <cstddef>
#include <limits>

namespace quillet {

// a + b * c, or the largest size when that does not fit.
// Checked with the compiler's overflow builtins rather than a division: sizes are summed once a
// mail, and a division there costs more than the rest of the sum.
inline std::size_t AddProduct(std::size_t a, std::size_t b, std::size_t c) {
  std::size_t product;
  std::size_t sum;
  if (__builtin_mul_overflow(b, c, &product) || __builtin_add_overflow(a, product, &sum)) {
    return std::numeric_limits<std::size_t>::max();
  }
  return sum;
}

}  // namespace quillet
