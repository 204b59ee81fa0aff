// AddProduct: size arithmetic that saturates instead of wrapping around.
#pragma once

#include <cstddef>
#include <limits>

namespace quillet {

// a + b * c, or the largest size when that does not fit.
inline std::size_t AddProduct(std::size_t a, std::size_t b, std::size_t c) {
  const std::size_t most = std::numeric_limits<std::size_t>::max();
  if (c != 0 && b > (most - a) / c) return most;
  return a + b * c;
}

}  // namespace quillet
