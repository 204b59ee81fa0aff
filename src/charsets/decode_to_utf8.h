// DecodeToUtf8: the bytes of a text in any Encoding, to UTF-8; JapaneseCharsetCode: which
// encodings the plug-in's own converters read and write.
#pragma once

#include <cstddef>
#include <string>

#include "charsets/encoding.h"
#include "common/charset_code_of.h"

namespace quillet {

// What JapaneseCharsetCode gives for an encoding that has no CharsetCode.
constexpr int kNoCharsetCode = -1;

// The CharsetCode of ISO-2022-JP (0), Shift_JIS (1), EUC-JP (2) and UTF-8 (3), the encodings
// that ConvertCharset takes, or kNoCharsetCode for every other encoding, kNone included. The
// result can go to ConvertCharset as it is: it refuses kNoCharsetCode as an unknown source.
int JapaneseCharsetCode(Encoding encoding);

// Appends the UTF-8 text of [data, data + size), read in encoding, to output. Bytes that do
// not decode become U+FFFD, so what is appended is always valid UTF-8; kNone appends nothing.
// The three Japanese encodings and UTF-8 go through the plug-in's own converters (ConvertCharset
// into UTF-8); a UTF-8 text loses a byte order mark at its start first. ISO-2022-JP is read as
// ISO-2022-JP-2, its Chinese, Korean and G2 sets included (DecodeIso2022Jp2). UTF-16 and
// UTF-32 without a byte order mark are big-endian, as mail writes them.
void DecodeToUtf8(Encoding encoding, const char* data, std::size_t size, std::string& output);

inline void DecodeToUtf8(Encoding encoding, const std::string& input, std::string& output) {
  DecodeToUtf8(encoding, input.data(), input.size(), output);
}

}  // namespace quillet
