// FindHeaderValue: the value of a named header field in one mail.
#pragma once

#include <cstddef>
#include <string_view>

#include "mail/mail_list.h"

namespace quillet {

// Looks for the first line that carries the header name (MatchHeaderName). On a match sets
// value to the line's value (HeaderValueAt: a view into the mail) and returns the line's place
// in its mail; otherwise returns -1 and leaves value as it was.
int FindHeaderValue(const Mail& mail, const char* name, std::string_view& value);

// The same with the length of name given (name still ends in a NUL byte).
int FindHeaderValue(const Mail& mail, const char* name, std::size_t nameLength,
                    std::string_view& value);

// The longest name FindHeaderValues takes, and how many at once.
constexpr std::size_t kLongestHeaderName = 30;
constexpr std::size_t kMostHeaderNames = 8;

// FindHeaderValue for several names in one pass over the mail's lines: for each i below count
// whose bit is set in `wanted`, values[i] is set to what FindHeaderValue(mail, names[i], ...)
// gives, or left as it was when no line carries names[i]. Each name is 1 to
// kLongestHeaderName bytes, none of them zero; count is at most kMostHeaderNames.
void FindHeaderValues(const Mail& mail, const std::string_view* names, std::size_t count,
                      unsigned wanted, std::string_view* values);

}  // namespace quillet
