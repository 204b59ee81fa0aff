#include "common/header_value_of.h"

#include <cstring>

namespace quillet {

bool HeaderValueOf(const std::string& text, std::string& value) {
  std::string_view found;
  const bool has = HeaderValueOf(std::string_view(text), found);
  value.assign(found.data(), found.size());
  return has;
}

bool HeaderValueOf(std::string_view text, std::string_view& value) {
  value = std::string_view();
  const std::size_t colon = text.find(": ");
  if (colon == std::string_view::npos || std::memchr(text.data(), 0, colon) != nullptr) {
    return false;
  }
  value = HeaderValueAt(text, colon);
  return true;
}

}  // namespace quillet
