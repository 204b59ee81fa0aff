// ParseMailList: the mail header list of an EXECUTE request to its mails and header lines.
//
// The list is a byte string: 0x01 ends a header line, 0x02 ends a header line and then the
// mail. White space at the very start (SP, TAB, or CR LF followed by SP or TAB) is skipped.
// Encoded words are decoded into the target charset where they stand. Bytes after the last 0x02
// belong to no mail and are dropped.
//
// An item that starts with SP or TAB after a 0x01 continues the line before it (a folded
// header): the two are read as one line, with the separator gone and the white space kept as it
// came, and count as one line of the mail. An item that starts so as a mail's first line is a
// line of its own.
//
// Words that follow each other in one encoding are joined before conversion, so a character
// split across two words survives, and a run of only SP, TAB, CR and LF between two words (a
// fold included) is dropped, whatever their encodings. Into UTF-8 the text around words is
// copied with invalid UTF-8 replaced by U+FFFD, so every line is valid UTF-8; into the other
// targets it is kept as it came.
#pragma once

#include <cstddef>

#include "mail/mail_list.h"

namespace quillet {

// Replaces the contents of mails with the mails of [text, text + size).
void ParseMailList(const char* text, std::size_t size, int target, MailList& mails);

}  // namespace quillet
