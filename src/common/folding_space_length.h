// FoldingSpaceLength: the white-space unit skipped at the start of a request text and of a
// mail header list. CR LF counts only when a SP or TAB follows it (a folded line).
#pragma once

#include <cstddef>

#include "common/byte_at.h"

namespace quillet {

// 3 for CR LF followed by SP or TAB, 1 for SP or TAB, 0 for anything else.
inline std::size_t FoldingSpaceLength(unsigned char b0, unsigned char b1, unsigned char b2) {
  if (b0 == 0x0D) return (b1 == 0x0A && (b2 == 0x20 || b2 == 0x09)) ? 3 : 0;
  return (b0 == 0x20 || b0 == 0x09) ? 1 : 0;
}

// The first position at or after p (up to end) where no folding-space unit starts.
inline const char* SkipFoldingSpace(const char* p, const char* end) {
  while (p < end) {
    const std::size_t n =
        FoldingSpaceLength(ByteAt(p, end), Lookahead(p, end, 1), Lookahead(p, end, 2));
    if (n == 0) break;
    p += static_cast<std::ptrdiff_t>(n);
  }
  return p;
}

}  // namespace quillet
