// UTF-16 in both byte orders: surrogate pairs and each of the standard's errors, the byte
// order mark, and a pair split by the converters' chunk edge.
#include <gtest/gtest.h>

#include <string>

#include "charsets/decode_to_utf8.h"
#include "jtext/exact_bytes.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;
using namespace std::string_literals;

std::string Decode(Encoding encoding, const std::string& bytes) {
  const ExactBytes input(bytes);
  std::string output = "<";  // what is there stays in front
  DecodeToUtf8(encoding, input.data(), input.size(), output);
  EXPECT_EQ(output.substr(0, 1), "<");
  return output.substr(1);
}

// The same text in the other byte order: each whole pair of bytes swapped.
std::string Swapped(std::string bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  return bytes;
}

struct Utf16Case {
  const char* what;
  std::string bigEndian;  // the little-endian input is the same swapped
  std::string expected;
};

const std::string kFffd = "\xEF\xBF\xBD";

TEST(Utf16, SurrogatesErrorsAndByteOrderMarks) {
  const Utf16Case cases[] = {
      {"empty", "", ""},
      {"BMP", "\x00\x41\x30\x42\xFF\xFF"s, "A\xE3\x81\x82\xEF\xBF\xBF"},
      {"pair", "\xD8\x3D\xDE\x00"s, "\xF0\x9F\x98\x80"},         // U+1F600
      {"highest pair", "\xDB\xFF\xDF\xFF", "\xF4\x8F\xBF\xBF"},  // U+10FFFF
      {"lead at end", "\x00\x41\xD8\x00"s, "A" + kFffd},
      {"lead then BMP", "\xD8\x00\x00\x41"s, kFffd + "A"},
      {"lead then lead then trail", "\xD8\x00\xD8\x00\xDC\x00"s,
       kFffd + "\xF0\x90\x80\x80"},  // U+10000
      {"lone trail", "\xDC\x00\x00\x41"s, kFffd + "A"},
      {"trail then lead at end", "\xDF\xFF\xDB\xFF", kFffd + kFffd},
      {"odd byte", "\x00\x41\x00"s, "A" + kFffd},
      {"only one byte", "\x00"s, kFffd},
      {"lead and odd byte: one error", "\xD8\x00\xDC"s, kFffd},
      {"mark of this order", "\xFE\xFF\x00\x41"s, "A"},
      {"mark of the other order", "\xFF\xFE\x41\x00"s, "A"},
      {"mark alone", "\xFE\xFF", ""},
      {"mark then odd byte", "\xFE\xFF\xFE", kFffd},
      {"half a mark", "\xFE", kFffd},
      {"second mark kept", "\xFE\xFF\xFE\xFF", "\xEF\xBB\xBF"},  // U+FEFF
      {"mark not at the start", "\x00\x41\xFE\xFF"s, "A\xEF\xBB\xBF"},
  };
  for (const Utf16Case& c : cases) {
    EXPECT_EQ(Decode(Encoding::kUtf16Be, c.bigEndian), c.expected)
        << c.what << ": " << Hex(c.bigEndian);
    EXPECT_EQ(Decode(Encoding::kUtf16Le, Swapped(c.bigEndian)), c.expected)
        << c.what << " (LE): " << Hex(Swapped(c.bigEndian));
  }
}

// 16 KiB is a chunk: the pair's two units lie on both sides of that edge, with and without
// a byte order mark before the text.
TEST(Utf16, PairAcrossChunkEdge) {
  std::string text;
  for (int i = 0; i < 8191; ++i) text += "\x00\x61"s;
  text += "\xD8\x3D\xDE\x00"s;
  const std::string expected = std::string(8191, 'a') + "\xF0\x9F\x98\x80";
  EXPECT_EQ(Decode(Encoding::kUtf16Be, text), expected);
  EXPECT_EQ(Decode(Encoding::kUtf16Le, Swapped(text)), expected);
  EXPECT_EQ(Decode(Encoding::kUtf16Le, "\xFE\xFF" + text), expected);
}

}  // namespace
}  // namespace quillet
