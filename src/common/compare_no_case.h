// CompareNoCaseN: strncasecmp over ASCII only, the one comparison behind every name match
// (charset names, commands, header names, status codes, template placeholders).
#pragma once

#include <cstddef>

namespace quillet {

// "A".."Z" folded to "a".."z"; every other byte, 0x80 and above included, stays as it is.
constexpr unsigned char FoldAsciiCase(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Compares at most n bytes of two NUL-terminated byte strings after folding "A".."Z" to lower
// case (no other byte changes). The first differing pair decides as signed bytes: -1 when a's
// byte is smaller, 1 when greater. 0 when n bytes compared equal, n is 0, or both strings end
// at the same position. With n = length of a, 0 means a is b or a leading part of b.
int CompareNoCaseN(const char* a, const char* b, std::size_t n);

// Whether the n bytes at a and at b are the same once ASCII case is folded. Zero bytes are
// bytes like any other here; both ranges must hold n bytes.
bool EqualNoCase(const char* a, const char* b, std::size_t n);

}  // namespace quillet
