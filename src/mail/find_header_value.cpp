#include "mail/find_header_value.h"

#include <cstring>

#include "common/compare_no_case.h"

namespace quillet {
namespace {

// Where the line's field name ends (the position of its first ": ") when that name agrees
// with the first bytes of name, ASCII case ignored; std::string_view::npos otherwise. A field
// name longer than name never matches (even when a zero byte inside it would stop a
// comparison at the end of name), so at most nameLength + 2 bytes of the line are read: a long
// line without ": " costs no more than a short one.
std::size_t MatchingNameLength(std::string_view line, const char* name, std::size_t nameLength) {
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

}  // namespace

int FindHeaderValue(const Mail& mail, const char* name, std::string_view& value) {
  if (name == nullptr) return -1;
  return FindHeaderValue(mail, name, std::strlen(name), value);
}

int FindHeaderValue(const Mail& mail, const char* name, std::size_t nameLength,
                    std::string_view& value) {
  for (std::size_t i = 0; i < mail.size(); ++i) {
    const std::string_view line = mail[i];
    const std::size_t k = MatchingNameLength(line, name, nameLength);
    if (k != std::string_view::npos) {
      // The name holds no zero byte, so the line has none before k: the value is cut at its
      // first zero byte as HeaderValueOf cuts it.
      value = line.substr(k + 2);
      value = value.substr(0, value.find('\0'));
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace quillet
