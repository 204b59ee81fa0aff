// DecodeToUtf8: the bytes of a text in any Encoding, to UTF-8.
#pragma once

#include <cstddef>
#include <string>

#include "charsets/encoding.h"

namespace quillet {

// Appends the UTF-8 text of [data, data + size), read in encoding, to output. Bytes that do
// not decode become U+FFFD, so what is appended is always valid UTF-8; kNone appends nothing.
// The three Japanese encodings and UTF-8 go through the plug-in's own converters.
void DecodeToUtf8(Encoding encoding, const char* data, std::size_t size, std::string& output);

inline void DecodeToUtf8(Encoding encoding, const std::string& input, std::string& output) {
  DecodeToUtf8(encoding, input.data(), input.size(), output);
}

}  // namespace quillet
