#include "charsets/gb18030.h"

namespace quillet {

void DecodeGb18030(const char*, std::size_t, std::string&) {}

}  // namespace quillet
