#include "common/header_value_of.h"

#include <cstring>

#include "common/compare_no_case.h"

namespace quillet {

std::size_t MatchHeaderName(std::string_view line, const char* name, std::size_t nameLength) {
  const std::size_t size = line.size();
  for (std::size_t k = 0;; ++k) {
    if (k + 1 < size && line[k] == ':' && line[k + 1] == ' ') return k;
    if (k == nameLength || k >= size) return std::string_view::npos;
    if (FoldAsciiCase(static_cast<unsigned char>(line[k])) !=
        FoldAsciiCase(static_cast<unsigned char>(name[k]))) {
      return std::string_view::npos;
    }
  }
}

std::string_view HeaderValueAt(std::string_view line, std::size_t k) {
  const std::string_view value = line.substr(k + 2);
  return value.substr(0, value.find('\0'));
}

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
