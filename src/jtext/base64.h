// DecodeMailBase64: the payload of a B-encoded word to raw bytes in the word's own charset.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Appends the decoded bytes of [data, data + size) to output (its earlier content kept) and
// returns 0. Only alphabet characters and "=" count toward the groups of four; other bytes are
// skipped. Decoding is group by group, as mail programs read it: a group yields only the whole
// bytes carried by its characters before its first "=" ("QR==" gives 0x41), and decoding goes
// on with the next group; a short last group yields only the whole bytes its characters carry. A
// 0x00 is kept like any other byte (UTF-16 needs it): the caller removes U+0000 once the bytes are
// read in their charset.
int DecodeMailBase64(const char* data, std::size_t size, std::string& output);

inline int DecodeMailBase64(const std::string& input, std::string& output) {
  return DecodeMailBase64(input.data(), input.size(), output);
}

}  // namespace quillet
