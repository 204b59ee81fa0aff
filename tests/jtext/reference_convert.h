// A deliberately plain converter, written from the rules one character at a time with a
// pending kana run held apart, as the library's converters were before they were made fast.
// The tests hold the fast converters (word-at-a-time runs, tables, chunked output) to it.
#pragma once

#include <string>

namespace quillet {

std::string ReferenceConvert(int source, const std::string& input, int target);

}  // namespace quillet
