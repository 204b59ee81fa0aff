#include "common/header_value_of.h"

namespace quillet {

bool HeaderValueOf(const std::string& text, std::string& value) {
  std::string_view found;
  if (!HeaderValueOf(std::string_view(text), found)) {
    value.clear();
    return false;
  }
  value.assign(found.data(), found.size());
  return true;
}

bool HeaderValueOf(std::string_view text, std::string_view& value) {
  value = std::string_view();
  text = text.substr(0, text.find('\0'));
  const std::size_t colon = text.find(": ");
  if (colon == std::string_view::npos) return false;
  value = text.substr(colon + 2);
  return true;
}

}  // namespace quillet
