// A plain check of UTF-8 for the fuzz targets, written from the definition (Unicode's table of
// well-formed byte sequences), independent of the converters.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

inline bool IsWellFormedUtf8(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto at = [&](std::size_t k) -> unsigned char {
    return k < n ? static_cast<unsigned char>(text[k]) : 0x00;
  };
  auto tail = [&](std::size_t k) { return at(k) >= 0x80 && at(k) <= 0xBF; };
  while (i < n) {
    const unsigned char c = at(i);
    if (c < 0x80) {
      i += 1;
    } else if (c >= 0xC2 && c <= 0xDF && tail(i + 1)) {
      i += 2;
    } else if (c >= 0xE0 && c <= 0xEF && tail(i + 1) && tail(i + 2) &&
               !(c == 0xE0 && at(i + 1) < 0xA0) && !(c == 0xED && at(i + 1) > 0x9F)) {
      i += 3;
    } else if (c >= 0xF0 && c <= 0xF4 && tail(i + 1) && tail(i + 2) && tail(i + 3) &&
               !(c == 0xF0 && at(i + 1) < 0x90) && !(c == 0xF4 && at(i + 1) > 0x8F)) {
      i += 4;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace quillet
