// HeaderValueOf: the value of one "Name: value" line, shared by the message layer and the
// mail header lookup.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Empties value; when text holds ":" directly followed by " ", sets value to every byte after
// the first such pair (to the end of the text, nothing trimmed) and returns true. Otherwise
// returns false with value empty. The text is a byte string with its own length: a zero byte
// inside it is data like any other.
bool HeaderValueOf(const std::string& text, std::string& value);

// The same rule without a copy: value views the bytes of text (empty when there is no ": ").
bool HeaderValueOf(std::string_view text, std::string_view& value);

}  // namespace quillet
