// DecodeUtf32Be, DecodeUtf32Le: UTF-32 to UTF-8.
//
// The text is read in code units of four bytes, in the function's byte order unless it starts
// with a byte order mark: 00 00 FE FF (big-endian) or FF FE 00 00 (little-endian) picks the
// order and is dropped. A unit is its character, U+0000 included; a surrogate (D800..DFFF) or
// a value past U+10FFFF is one U+FFFD, and so are the one to three bytes of an unfinished unit
// at the end.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Append the UTF-8 text of [data, data + size) to output.
void DecodeUtf32Be(const char* data, std::size_t size, std::string& output);
void DecodeUtf32Le(const char* data, std::size_t size, std::string& output);

}  // namespace quillet
