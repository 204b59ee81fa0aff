// The rules of one "Name: value" header line, shared by the message layer and the mail header
// lookup: which name a line carries, and what its value is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/compare_no_case.h"

namespace quillet {

// Whether the line carries the header `name` (nameLength bytes, none of them zero): its name
// is what stands before its first ": ", and it must agree with the first bytes of `name`, ASCII
// case ignored, where the end of `name` differs from every byte. So "subject: x" and "Subj: x"
// carry "Subject", "Subjects: x", "Subject:x" and "Subject : x" do not, and a line that begins
// with ": " carries every name. Returns the length of the line's name, or
// std::string_view::npos. At most nameLength + 2 bytes of the line are read, so a long line
// without ": " costs no more than a short one.
inline std::size_t MatchHeaderName(std::string_view line, const char* name,
                                   std::size_t nameLength) {
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

// The value of a line whose first ": " stands at k: every byte after it (nothing trimmed), up
// to the first zero byte. A line reads as a NUL-terminated string, so a zero byte in one mail's
// field cuts that field alone, and no zero byte reaches a value that ends up in a response.
inline std::string_view HeaderValueAt(std::string_view line, std::size_t k) {
  const std::string_view value = line.substr(k + 2);
  return value.substr(0, value.find('\0'));
}

// Empties value; when text holds ":" directly followed by " " before any zero byte, sets value
// to HeaderValueAt that first pair and returns true. Otherwise returns false with value empty.
bool HeaderValueOf(const std::string& text, std::string& value);

// The same rule without a copy: value views the bytes of text (empty when there is no ": ").
bool HeaderValueOf(std::string_view text, std::string_view& value);

}  // namespace quillet
