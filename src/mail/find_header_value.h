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

}  // namespace quillet
