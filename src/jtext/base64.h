// DecodeBase64 and DecodeMailBase64: the payload of a B-encoded word to raw bytes in the word's
// own charset.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Both append the decoded bytes of [data, data + size) to output (its earlier content kept)
// and return 0. Only alphabet characters and "=" count toward the groups of four; other bytes
// are skipped. Decoding is group by group. A short last group yields only the whole bytes its
// characters carry.
//
// DecodeBase64 takes "=" as the value 0 wherever it stands, so stray bits under a padding
// show ("QR==" gives 0x41 0x10), and a group's output stops at its first 0x00 byte, so that a
// word can never cut the header value it stands in.
int DecodeBase64(const char* data, std::size_t size, std::string& output);

// DecodeMailBase64 reads text as mail programs do: a group yields only the whole bytes carried
// by its characters before its first "=" ("QR==" gives 0x41), and decoding goes on with the
// next group. A 0x00 is kept like any other byte (UTF-16 needs it): the caller removes U+0000
// once the bytes are read in their charset.
int DecodeMailBase64(const char* data, std::size_t size, std::string& output);

inline int DecodeBase64(const std::string& input, std::string& output) {
  return DecodeBase64(input.data(), input.size(), output);
}

inline int DecodeMailBase64(const std::string& input, std::string& output) {
  return DecodeMailBase64(input.data(), input.size(), output);
}

}  // namespace quillet
