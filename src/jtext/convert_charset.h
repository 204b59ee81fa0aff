// Conversion between ISO-2022-JP (code 0), Shift_JIS (1), EUC-JP (2) and UTF-8 (3), in every
// direction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

// The pair functions: two bytes in, bits 8..15 and 0..7 of the result are the two bytes out.
std::uint32_t JisToSjis(std::uint32_t j1, std::uint32_t j2);
std::uint32_t JisToEuc(std::uint32_t j1, std::uint32_t j2);
std::uint32_t SjisToJis(std::uint32_t s1, std::uint32_t s2);
std::uint32_t SjisToEuc(std::uint32_t s1, std::uint32_t s2);
std::uint32_t EucToJis(std::uint32_t e1, std::uint32_t e2);
std::uint32_t EucToSjis(std::uint32_t e1, std::uint32_t e2);

// One converter per source encoding; target is one of the two other codes. Append, return 0.
int ConvertFromJis(const char* data, std::size_t size, int target, std::string& output);
int ConvertFromSjis(const char* data, std::size_t size, int target, std::string& output);
int ConvertFromEuc(const char* data, std::size_t size, int target, std::string& output);

// UTF-8 into any of the four codes (into UTF-8 itself: ill-formed sequences replaced), and
// the three others into UTF-8. Append, return 0.
int ConvertFromUtf8(const char* data, std::size_t size, int target, std::string& output);
int ConvertToUtf8(int source, const char* data, std::size_t size, std::string& output);

// 0 converted; 1 source not 0..3; 2 target not 0..3; 3 same code 0..2, input appended
// unchanged (UTF-8 to UTF-8 is a conversion: ill-formed sequences become U+FFFD).
// Nothing is appended for results 1 and 2.
int ConvertCharset(int source, const char* data, std::size_t size, int target, std::string& output);

inline int ConvertCharset(int source, const std::string& input, int target, std::string& output) {
  return ConvertCharset(source, input.data(), input.size(), target, output);
}

}  // namespace quillet
