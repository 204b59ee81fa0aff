// Bounded lookahead shared by every parser and converter: a position at or past the end of
// the range reads as 0x00, and nothing outside [begin, end) is ever touched.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace quillet {

inline unsigned char ByteAt(const unsigned char* p, const unsigned char* end) {
  return p < end ? *p : 0x00;
}

inline unsigned char ByteAt(const char* p, const char* end) {
  return p < end ? static_cast<unsigned char>(*p) : 0x00;
}

// The byte `ahead` places after p (p at or before end), or 0x00 when that is at or past end.
// The position is clamped to end before it is formed, so no pointer beyond the range is made.
inline unsigned char Lookahead(const char* p, const char* end, std::ptrdiff_t ahead) {
  return ByteAt(p + std::min(ahead, end - p), end);
}

}  // namespace quillet
