// Bounded lookahead shared by every parser and converter: a position at or past the end of
// the range reads as 0x00, and nothing outside [begin, end) is ever touched.
#pragma once

#include <cstdint>

namespace quillet {

inline unsigned char ByteAt(const unsigned char* p, const unsigned char* end) {
  return p < end ? *p : 0x00;
}

inline unsigned char ByteAt(const char* p, const char* end) {
  return p < end ? static_cast<unsigned char>(*p) : 0x00;
}

}  // namespace quillet
