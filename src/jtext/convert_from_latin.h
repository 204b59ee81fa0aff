// ISO-8859-1 and Windows-1252 to UTF-8, for the encoded words of mail read into UTF-8.
//
// ISO-8859-1: every byte is the code point of the same value (0x80..0x9F the C1 controls).
// Windows-1252: the same, except that 0x80..0x9F carry printable characters (euro sign,
// curly quotes, dashes, ...); its five undefined bytes there become U+FFFD.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Append the UTF-8 text of [data, data + size) to output and return 0. The output is always
// valid UTF-8: a code point below 0x80 takes one byte, up to 0x7FF two, the rest three.
int ConvertFromLatin1(const char* data, std::size_t size, std::string& output);
int ConvertFromWindows1252(const char* data, std::size_t size, std::string& output);

}  // namespace quillet
