// FindHeaderValue: the value of a named header field in one mail.
#pragma once

#include <cstddef>
#include <string_view>

#include "mail/mail_list.h"

namespace quillet {

// Looks for the first line whose field name (the bytes before its first ": ") agrees with the
// first bytes of name, ASCII case ignored, where the end of name counts as a byte of its own:
// "subject: x" and "Subj: x" answer "Subject", "Subjects: x", "Subject:x" and "Subject : x" do
// not, and a line that begins with ": " answers every name. On a match sets value to the bytes
// after that ": " (a view into the mail, not trimmed) and returns the line's index; otherwise
// returns -1 and leaves value as it was.
int FindHeaderValue(const Mail& mail, const char* name, std::string_view& value);

// The same with the length of name given (name still ends in a NUL byte).
int FindHeaderValue(const Mail& mail, const char* name, std::size_t nameLength,
                    std::string_view& value);

}  // namespace quillet
