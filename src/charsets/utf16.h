// DecodeUtf16Be, DecodeUtf16Le: UTF-16 to UTF-8, as the standard's shared UTF-16 decoder
// reads it.
//
// The text is read in code units of two bytes, in the function's byte order unless it starts
// with a byte order mark: FE FF (big-endian) or FF FE (little-endian) picks the order and is
// dropped. A lead surrogate (D800..DBFF) followed by a trail surrogate (DC00..DFFF) is one
// supplementary character; every other unit is its own BMP character. Each error is one
// U+FFFD: a lead surrogate followed by a unit that is no trail (that unit is then read as if
// nothing came before it), a trail surrogate on its own, and at the end of the text a lead
// surrogate still waiting or an odd last byte (both together make one U+FFFD, not two).
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Append the UTF-8 text of [data, data + size) to output.
void DecodeUtf16Be(const char* data, std::size_t size, std::string& output);
void DecodeUtf16Le(const char* data, std::size_t size, std::string& output);

}  // namespace quillet
