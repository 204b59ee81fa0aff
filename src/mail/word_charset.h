// How the bytes of an encoded word are read: by the Japanese converters, one word at a time, or
// as mail programs read them, adjacent words of one encoding joined first.
#pragma once

#include <cstddef>
#include <string>

#include "charsets/encoding.h"
#include "common/charset_code_of.h"

namespace quillet {

// The reading of a word in a Shift_JIS, EUC-JP or ISO-2022-JP request, whose charset field
// (already cut at "*") [name, name + size) has the code CharsetCodeOf gives it. UTF-8 words, and
// words whose code is 0 but whose name labels an encoding beyond the Japanese ones and UTF-8
// ("GB2312", "ISO-8859-1", "KOI8-R", ...), are read as mail programs read them: their Encoding.
// Every other word is read by its code (0 as ISO-2022-JP): kNone.
Encoding MailReadingOf(CharsetCode code, const char* name, std::size_t size);

// Appends the raw bytes of a word, or of adjacent words of one encoding joined, converted from
// encoding (not kNone) into the target CharsetCode, to out: decoded to UTF-8 as mail programs
// decode them, and from there through Windows-31J into a Japanese target (a character the
// target lacks becomes the geta mark). A U+0000 in the text goes. scratch holds the UTF-8 text
// on the way.
void ConvertMailText(Encoding encoding, const std::string& bytes, int target, std::string& out,
                     std::string& scratch);

// Appends [data, data + size) to out with every invalid UTF-8 sequence replaced by U+FFFD.
void AppendCleanUtf8(const char* data, std::size_t size, std::string& out);

}  // namespace quillet
