// DecodeHzGb2312: HZ (RFC 1843) to UTF-8, GB 2312 through the gb18030 table.
//
// The text starts in ASCII, where bytes are themselves but "~": "~~" is "~", "~{" switches to
// GB 2312, and "~" with a line feed is a line continuation (both bytes are dropped). In GB 2312
// two bytes 0x21..0x7E are one character (the gb18030 code of both bytes | 0x80), and "~}"
// switches back to ASCII; a CR or LF there is itself and switches back to ASCII too, so a
// broken line ending cannot carry GB 2312 into the next header. Each of these is one U+FFFD,
// and the bytes after it are read again: a "~" that none of its sequences follows, a byte of
// 0x80 and up, in GB 2312 any other byte out of range, the first byte of a pair whose second is
// out of range or missing, and a pair the table lacks (both bytes).
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Appends the UTF-8 text of [data, data + size) to output.
void DecodeHzGb2312(const char* data, std::size_t size, std::string& output);

}  // namespace quillet
