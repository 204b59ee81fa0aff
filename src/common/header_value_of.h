// HeaderValueOf: the value of one "Name: value" line, shared by the message layer and the
// mail header lookup.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Empties value; when text holds ":" directly followed by " ", sets value to every byte after
// the first such pair (nothing trimmed) and returns true. Otherwise returns false with value
// empty. The text reads as a NUL-terminated string: a zero byte ends it, so neither the ": "
// nor the value goes past one. A zero byte in one mail's field thus cuts that field alone,
// and no zero byte reaches a value that ends up in a response line.
bool HeaderValueOf(const std::string& text, std::string& value);

// The same rule without a copy: value views the bytes of text (empty when there is no ": ").
bool HeaderValueOf(std::string_view text, std::string_view& value);

}  // namespace quillet
