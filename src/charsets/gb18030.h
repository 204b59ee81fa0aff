// DecodeGb18030: gb18030 (and GBK, whose decoder is the same) to UTF-8, as the Encoding Standard's
// decoder reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

// Appends the UTF-8 text of [data, data + size) to output; every error becomes U+FFFD.
void DecodeGb18030(const char* data, std::size_t size, std::string& output);

// The code point of the two-byte code lead trail (lead 0x81..0xFE, trail any byte), or 0 where
// it has none: the table for the readers of a set that is coded in it (GB 2312, bytes | 0x80).
std::uint32_t Gb18030TwoByteCodePoint(unsigned lead, unsigned trail);

}  // namespace quillet
