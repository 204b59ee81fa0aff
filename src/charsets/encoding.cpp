#include "charsets/encoding.h"

namespace quillet {

Encoding EncodingOfLabel(const char*, std::size_t) { return Encoding::kNone; }

}  // namespace quillet
