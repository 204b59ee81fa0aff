#include "mail/find_header_value.h"

#include <cstring>

#include "common/header_value_of.h"

namespace quillet {

int FindHeaderValue(const Mail& mail, const char* name, std::string_view& value) {
  if (name == nullptr) return -1;
  return FindHeaderValue(mail, name, std::strlen(name), value);
}

int FindHeaderValue(const Mail& mail, const char* name, std::size_t nameLength,
                    std::string_view& value) {
  for (std::size_t i = 0; i < mail.size(); ++i) {
    const std::string_view line = mail[i];
    const std::size_t k = MatchHeaderName(line, name, nameLength);
    if (k != std::string_view::npos) {
      value = HeaderValueAt(line, k);
      return static_cast<int>(mail.place(i));
    }
  }
  return -1;
}

}  // namespace quillet
