// DecodeMailQ: the payload of a Q-encoded word to raw bytes in the word's own charset.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Appends the decoded bytes of [data, data + size) to output (its earlier content kept) and
// returns 0. "_" becomes SPACE; "=" followed by two hex digits (either case) becomes that byte,
// "=00" a 0x00 like any other (UTF-16 needs it; the caller removes U+0000 once the bytes are
// read in their charset); any other "=" and every other byte stay as they are. White space
// (SP, TAB, CR, LF) between "=" and its two hex digits is skipped: a mailer folded the line
// inside the word.
int DecodeMailQ(const char* data, std::size_t size, std::string& output);

// The same decoding into memory the caller gives, with size bytes writable at out (a byte of
// text never decodes to more than one); returns the number of decoded bytes.
std::size_t DecodeMailQ(const char* data, std::size_t size, char* out);

}  // namespace quillet
