#include "common/compare_no_case.h"

namespace quillet {

int CompareNoCaseN(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    // Folded as unsigned bytes, compared as signed ones, as a C library's comparison does.
    const auto x = static_cast<signed char>(FoldAsciiCase(static_cast<unsigned char>(a[i])));
    const auto y = static_cast<signed char>(FoldAsciiCase(static_cast<unsigned char>(b[i])));
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;  // both end here
  }
  return 0;
}

bool EqualNoCase(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (FoldAsciiCase(static_cast<unsigned char>(a[i])) !=
        FoldAsciiCase(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace quillet
