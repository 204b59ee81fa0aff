// The charsets an encoded word may name when mail is read into UTF-8, and the conversion of a
// word's raw bytes from its charset into UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// 0..3 are the CharsetCode families; the two Latin charsets have tables of their own.
enum WordCharset : int {
  kWordUnknown = -1,
  kWordJis = 0,
  kWordSjis = 1,
  kWordEuc = 2,
  kWordUtf8 = 3,
  kWordLatin1 = 4,
  kWordWindows1252 = 5,
};

// The charset of a word whose charset field (already cut at "*") is [name, name + size): a
// family that CharsetCodeOf matches, "ISO-2022-JP" and "US-ASCII" (both read as code 0),
// "ISO-8859-1" or "Windows-1252" (whole names, ASCII case ignored); anything else is unknown,
// and such a word is not decoded at all.
WordCharset WordCharsetOf(const char* name, std::size_t size);

// Appends the raw bytes of a word (or of adjacent words joined) in charset, which is not
// kWordUnknown, to out as UTF-8.
void ConvertWordText(WordCharset charset, const std::string& bytes, std::string& out);

// Appends [data, data + size) to out with every invalid UTF-8 sequence replaced by U+FFFD.
void AppendCleanUtf8(const char* data, std::size_t size, std::string& out);

}  // namespace quillet
