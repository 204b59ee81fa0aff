#include "charsets/euc_kr.h"

namespace quillet {

void DecodeEucKr(const char*, std::size_t, std::string&) {}

}  // namespace quillet
