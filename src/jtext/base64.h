// DecodeMailBase64: the payload of a B-encoded word to raw bytes in the word's own charset.
#pragma once

#include <cstddef>
#include <string>

#include "simd/kernels.h"

namespace quillet {

// Appends the decoded bytes of [data, data + size) to output (its earlier content kept) and
// returns 0. Only alphabet characters and "=" count toward the groups of four; other bytes are
// skipped. Decoding is group by group, as mail programs read it: a group yields only the whole
// bytes carried by its characters before its first "=" ("QR==" gives 0x41), and decoding goes
// on with the next group; a short last group yields only the whole bytes its characters carry. A
// 0x00 is kept like any other byte (UTF-16 needs it): the caller removes U+0000 once the bytes are
// read in their charset.
int DecodeMailBase64(const char* data, std::size_t size, std::string& output);

// The most bytes DecodeMailBase64 writes for a payload of size bytes: three per four characters,
// and a final short group.
constexpr std::size_t Base64Room(std::size_t size) {
  return size / 4 * 3 + 3;
}

// DecodeMailBase64 below for text that the vector kernel does not take whole.
std::size_t DecodeMailBase64Text(const char* data, std::size_t size, unsigned char* out);

// The same decoding into memory the caller gives, with Base64Room(size) bytes writable at out
// (some past the decoded bytes may be written too); returns the number of decoded bytes. A
// word's text mostly goes to the vector kernel whole, straight from the caller.
inline std::size_t DecodeMailBase64(const char* data, std::size_t size, unsigned char* out) {
  const auto word = simd::ActiveKernels().decodeBase64Word;
  std::size_t written;
  if (size >= 16 && word != nullptr &&
      word(reinterpret_cast<const unsigned char*>(data), size, out, written)) {
    return written;
  }
  return DecodeMailBase64Text(data, size, out);
}

inline int DecodeMailBase64(const std::string& input, std::string& output) {
  return DecodeMailBase64(input.data(), input.size(), output);
}

}  // namespace quillet
