// DecodeUtf7: UTF-7 (RFC 2152) to UTF-8.
//
// Bytes below 0x80 are themselves, but "+": "+-" is "+", and "+" followed by base64
// characters (A-Z a-z 0-9 + /) starts a run of UTF-16 code units in big-endian order, 16 bits
// each, that ends before the first byte that is no base64 character; a "-" there is taken with
// the run. A lead surrogate (D800..DBFF) followed by a trail surrogate (DC00..DFFF) is one
// supplementary character. Each of these is one U+FFFD: a byte of 0x80 and up; a "+" that
// neither "-" nor a base64 character follows; a surrogate that has no partner in its run (the
// unit after an unpartnered lead is read on its own); the bits left over at the end of a run
// when they are six or more, or not all zero.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Appends the UTF-8 text of [data, data + size) to output.
void DecodeUtf7(const char* data, std::size_t size, std::string& output);

}  // namespace quillet
