// How the bytes of an encoded word are read: adjacent words of one encoding joined first, then
// converted into the target as a whole.
#pragma once

#include <cstddef>
#include <string>

#include "charsets/encoding.h"
#include "common/charset_code_of.h"

namespace quillet {

// The encoding of a word in a Shift_JIS, EUC-JP or ISO-2022-JP request, whose charset field
// (already cut at "*") [name, name + size) has the code CharsetCodeOf gives it: Shift_JIS,
// EUC-JP and UTF-8 by that code; a name of code 0 is looked up as a label, so that "x-sjis",
// "eucJP-ms" or "GB2312" read as what they name, and only a name that labels nothing is read
// as ISO-2022-JP.
Encoding WordEncodingOf(CharsetCode code, const char* name, std::size_t size);

// Appends the raw bytes of a word, or of adjacent words of one encoding joined, converted from
// encoding (not kNone) into the target CharsetCode, to out. Into UTF-8 they are decoded as mail
// programs decode them. Into the Japanese targets, Shift_JIS, EUC-JP and ISO-2022-JP (but for
// text in ISO-2022-JP-2's own sets) go through the direct converters, so valid text keeps its
// bytes; every other encoding is decoded to UTF-8 and goes from there through Windows-31J (a
// character the target lacks becomes the geta mark). A zero byte in the text goes once the text
// is read, and an ESC of the text becomes the geta mark in the Japanese targets, so that it can
// change no mode of the output. scratch holds the text on the way where it must change first.
void ConvertMailText(Encoding encoding, const char* data, std::size_t size, int target,
                     std::string& out, std::string& scratch);

// ConvertMailText for text that WritePlainMailText (below) did not take: the same result,
// without trying that path again.
void ConvertOtherMailText(Encoding encoding, const char* data, std::size_t size, int target,
                          std::string& out, std::string& scratch);

inline void ConvertMailText(Encoding encoding, const std::string& bytes, int target,
                            std::string& out, std::string& scratch) {
  ConvertMailText(encoding, bytes.data(), bytes.size(), target, out, scratch);
}

// ConvertMailText's paths for the text nearly every mail holds, writing at out, which has room
// for twice size bytes: the end of what they wrote, or null (the room's bytes left undefined)
// for text that needs ConvertOtherMailText. They take ISO-2022-JP into Shift_JIS or EUC-JP,
// EUC-JP into Shift_JIS, and text already in the target (UTF-8, Shift_JIS, EUC-JP): HasPlainPath
// rules out, without a call, the encodings that never go this way.
char* WritePlainMailText(Encoding encoding, const char* data, std::size_t size, int target,
                         char* out);
inline bool HasPlainPath(Encoding encoding, bool intoUtf8) {
  static_assert(static_cast<int>(Encoding::kIso2022Jp) == static_cast<int>(Encoding::kEucJp) + 1 &&
                    static_cast<int>(Encoding::kShiftJis) == static_cast<int>(Encoding::kEucJp) + 2,
                "the Japanese encodings are neighbours");
  return intoUtf8 ? encoding == Encoding::kUtf8
                  : static_cast<unsigned>(encoding) - static_cast<unsigned>(Encoding::kEucJp) < 3;
}

// Appends [data, data + size) to out with every invalid UTF-8 sequence replaced by U+FFFD.
void AppendCleanUtf8(const char* data, std::size_t size, std::string& out);

}  // namespace quillet
