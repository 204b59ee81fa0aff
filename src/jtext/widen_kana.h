// WidenKana: half-width katakana (with a following sound mark merged where JIS X 0208 has the
// combined form) to its full-width JIS X 0208 code, for ISO-2022-JP output.
#pragma once

#include <cstdint>

namespace quillet {

// text points into [text, end); the byte after the last one reads as 0x00. Returns 0 when the
// byte at text is not 0xA0..0xDF (code untouched), 1 when one byte was used, 2 when the byte
// and the sound mark after it were merged.
int WidenKana(const unsigned char* text, const unsigned char* end, std::uint16_t& code);

}  // namespace quillet
