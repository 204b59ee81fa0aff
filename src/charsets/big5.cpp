#include "charsets/big5.h"

namespace quillet {

void DecodeBig5(const char*, std::size_t, std::string&) {}

}  // namespace quillet
