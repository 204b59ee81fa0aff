// DecodeSingleByte: the standard's single-byte encodings, and x-user-defined, to UTF-8.
//
// A byte below 0x80 is itself. A byte 0x80..0xFF is the code point that its encoding's index
// gives for byte - 0x80, or U+FFFD where the index has none. x-user-defined has no index: it
// reads such a byte as U+F780 + (byte - 0x80), in the private use area. All these code points
// lie in the BMP, so one byte makes at most three of UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "charsets/encoding.h"

namespace quillet {

// True for the 28 encodings from IBM866 to x-mac-cyrillic, each read through its own index
// (ISO-8859-8-I through that of ISO-8859-8).
bool IsSingleByte(Encoding encoding);

// Append the UTF-8 text of [data, data + size) to output. DecodeSingleByte appends nothing
// for an encoding that is not single-byte.
void DecodeSingleByte(Encoding encoding, const char* data, std::size_t size, std::string& output);
void DecodeXUserDefined(const char* data, std::size_t size, std::string& output);

// The code point of the byte 0x80..0xFF in an encoding that IsSingleByte, U+FFFD where its
// index has none: the table for the readers of a set that is coded in it (a G2 set of
// ISO-2022-JP-2).
std::uint32_t SingleByteCodePoint(Encoding encoding, unsigned byte);

}  // namespace quillet
