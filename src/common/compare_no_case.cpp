#include "common/compare_no_case.h"

namespace quillet {
namespace {

signed char FoldAsciiCase(char c) {
  const signed char s = static_cast<signed char>(c);
  return (s >= 'A' && s <= 'Z') ? static_cast<signed char>(s - 'A' + 'a') : s;
}

}  // namespace

int CompareNoCaseN(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const signed char x = FoldAsciiCase(a[i]);
    const signed char y = FoldAsciiCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;  // both end here
  }
  return 0;
}

}  // namespace quillet
