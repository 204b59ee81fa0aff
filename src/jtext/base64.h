// DecodeBase64: the payload of a B-encoded word to raw bytes in the word's own charset.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Appends the decoded bytes of [data, data + size) to output (its earlier content kept) and
// returns 0. Decoding is group by group; a group's output stops at its first 0x00 byte.
int DecodeBase64(const char* data, std::size_t size, std::string& output);

inline int DecodeBase64(const std::string& input, std::string& output) {
  return DecodeBase64(input.data(), input.size(), output);
}

}  // namespace quillet
