// ParseMailList: the mail header list of an EXECUTE request to its mails and header lines.
//
// The list is a byte string: 0x01 ends a header line, 0x02 ends a header line and then the
// mail. White space at the very start (SP, TAB, or CR LF followed by SP or TAB) is skipped.
// Encoded words are decoded into the target charset where they stand. Bytes after the last 0x02
// belong to no mail and are dropped.
//
// Words read by the Japanese converters (in a Shift_JIS, EUC-JP or ISO-2022-JP request, those
// in the three Japanese families and in charsets the plug-in does not know) are converted one
// by one, and the text between them stays. Words read as mail programs read them (every word
// of a UTF-8 request; UTF-8 words and words in the other charsets the plug-in knows in the
// others) are joined when they follow each other in one encoding, before conversion, so a
// character split across two words survives, and a run of only SP, TAB, CR and LF between two
// such words is dropped. Into UTF-8 the text around words is copied with invalid UTF-8
// replaced by U+FFFD, so every line is valid UTF-8; into the other targets it is kept as it
// came.
#pragma once

#include <cstddef>

#include "mail/mail_list.h"

namespace quillet {

// Replaces the contents of mails with the mails of [text, text + size).
void ParseMailList(const char* text, std::size_t size, int target, MailList& mails);

}  // namespace quillet
