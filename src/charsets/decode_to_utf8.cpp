#include "charsets/decode_to_utf8.h"

namespace quillet {

void DecodeToUtf8(Encoding, const char*, std::size_t, std::string&) {}

}  // namespace quillet
