#include "common/header_value_of.h"

namespace quillet {

bool HeaderValueOf(const std::string& text, std::string& value) {
  value.clear();
  const std::size_t colon = text.find(": ");
  if (colon == std::string::npos) return false;
  value.assign(text, colon + 2, std::string::npos);
  return true;
}

}  // namespace quillet
