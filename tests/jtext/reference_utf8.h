// Plain conversions from and into UTF-8, one character at a time: Shift_JIS and the way back
// from UTF-8 written from the rules (the legacy encodings through Shift_JIS), EUC-JP and
// ISO-2022-JP as state machines that follow the Encoding Standard's decoders byte by byte.
// The tests hold the fused converters to them.
#pragma once

#include <string>

namespace quillet {

// source 0..2 to UTF-8.
std::string ReferenceToUtf8(int source, const std::string& input);

// UTF-8 to target 0..3.
std::string ReferenceFromUtf8(const std::string& input, int target);

}  // namespace quillet
