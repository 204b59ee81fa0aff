// DecodeEucKr: EUC-KR to UTF-8, as the Encoding Standard's decoder reads it.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Appends the UTF-8 text of [data, data + size) to output; every error becomes U+FFFD.
void DecodeEucKr(const char* data, std::size_t size, std::string& output);

}  // namespace quillet
