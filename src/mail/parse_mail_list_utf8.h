// ParseMailListUtf8: the mail header list read into UTF-8, as mail programs read headers.
//
// The same lines and mails as ParseMailList, with these differences: encoded words are taken
// as mail programs write them, in B or Q encoding and in any charset WordCharsetOf knows;
// the decoded bytes of adjacent words in the same charset are joined before conversion (a
// character split across two words is kept); a run of only SP, TAB, CR and LF between two
// words that are taken is dropped; and every other byte run is copied with invalid UTF-8
// replaced by U+FFFD, so every line is valid UTF-8.
#pragma once

#include "mail/mail_list.h"

namespace quillet {

// Appends the mails of [p, end) to mails (white space at the start of the list already
// skipped), then drops the mail left open at the end.
void ParseMailListUtf8(const char* p, const char* end, MailList& mails);

}  // namespace quillet
