// Shared by the fuzz targets: a property that does not hold ends the run with a message, which
// libFuzzer reports as a crash and saves the input for.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quillet {

inline void Require(bool condition, const char* property) {
  if (condition) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::fflush(stderr);
  std::abort();
}

// The bytes as hex, for the message of a failed property.
inline std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 0x0F];
    out += ' ';
  }
  return out;
}

}  // namespace quillet
