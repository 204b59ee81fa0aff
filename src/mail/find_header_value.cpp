#include "mail/find_header_value.h"

#include <cstring>

#include "common/compare_no_case.h"
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
    // A field name longer than name never matches (even when a zero byte inside it would stop
    // the comparison at the end of name), so only the first nameLength + 2 bytes can hold the
    // ": " that matters: a long line without one costs no more than a short one.
    const std::size_t k = line.substr(0, nameLength + 2).find(": ");
    if (k == std::string_view::npos) continue;
    if (CompareNoCaseN(line.data(), name, k) == 0) {
      HeaderValueOf(line, value);
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace quillet
