// ParseMailList: the mail header list of an EXECUTE request to its mails and header lines.
//
// The list is a byte string: 0x01 ends a header line, 0x02 ends a header line and then the
// mail. White space at the very start (SP, TAB, or CR LF followed by SP or TAB) is skipped.
// Encoded words are decoded into the target charset where they stand; every other byte is
// kept as it came. Bytes after the last 0x02 belong to no mail and are dropped.
#pragma once

#include <cstddef>

#include "mail/mail_list.h"

namespace quillet {

// Replaces the contents of mails with the mails of [text, text + size).
void ParseMailList(const char* text, std::size_t size, int target, MailList& mails);

}  // namespace quillet
