// DecodeIso2022Jp2: ISO-2022-JP-2, and with it every text labelled ISO-2022-JP, to UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Appends the UTF-8 text of [data, data + size) to output; every error becomes U+FFFD. A text
// that holds none of the sets ISO-2022-JP-2 adds to ISO-2022-JP reads exactly as the Japanese
// converter reads it (ConvertCharset from ISO-2022-JP into UTF-8).
void DecodeIso2022Jp2(const char* data, std::size_t size, std::string& output);

}  // namespace quillet
