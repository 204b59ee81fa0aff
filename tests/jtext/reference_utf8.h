// Plain conversions from and into UTF-8, written from the rules in two passes through
// Shift_JIS, one character at a time. The tests hold the fused converters to them.
#pragma once

#include <string>

namespace quillet {

// source 0..2 to UTF-8.
std::string ReferenceToUtf8(int source, const std::string& input);

// UTF-8 to target 0..3.
std::string ReferenceFromUtf8(const std::string& input, int target);

}  // namespace quillet
