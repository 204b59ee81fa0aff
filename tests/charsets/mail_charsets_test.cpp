// The charsets mail reads beyond the standard's: UTF-16/32 (big-endian without a mark), UTF-7
// (RFC 2152's examples) and HZ (RFC 1843's), each error one U+FFFD.
#include <gtest/gtest.h>

#include <string>

#include "charsets/decode_to_utf8.h"
#include "jtext/exact_bytes.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;
using namespace std::string_literals;

const std::string kFffd = "\xEF\xBF\xBD";
const std::string kGrin = "\xF0\x9F\x98\x80";  // U+1F600, beyond the BMP

TEST(DecodeToUtf8, MailCharsets) {
  const struct {
    const char* label;
    Encoding encoding;
    std::string input;
    std::string expected;
  } cases[] = {
      {"UTF-16 without a mark is big-endian", Encoding::kUtf16, "\x00\x41"s, "A"},
      {"UTF-16 with a little-endian mark", Encoding::kUtf16, "\xFF\xFE\x41\x00"s, "A"},
      {"UTF-32 without a mark is big-endian", Encoding::kUtf32, "\x00\x00\x00\x41"s, "A"},
      {"UTF-32 with a little-endian mark", Encoding::kUtf32, "\xFF\xFE\x00\x00\x41\x00\x00\x00"s,
       "A"},
      {"UTF-32LE beyond the BMP", Encoding::kUtf32Le, "\x00\xF6\x01\x00"s, kGrin},
      {"UTF-32BE past U+10FFFF, a surrogate, U+0000, a cut unit", Encoding::kUtf32Be,
       "\x00\x11\x00\x00\x00\x00\xD8\x00\x00\x00\x00\x00\x00\x41"s, kFffd + kFffd + "\0"s + kFffd},
      {"UTF-7 smiley and a closing -", Encoding::kUtf7, "Hi Mom -+Jjo--!",
       "Hi Mom -\xE2\x98\xBA-!"},
      {"UTF-7 run ended by a direct character", Encoding::kUtf7, "A+ImIDkQ.",
       "A\xE2\x89\xA2\xCE\x91."},  // not identical to, capital alpha
      {"UTF-7 Japanese", Encoding::kUtf7, "+ZeVnLIqe-", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
      {"UTF-7 +- is +", Encoding::kUtf7, "1 +- 1", "1 + 1"},
      {"UTF-7 surrogate pair", Encoding::kUtf7, "+2D3eAA-x", kGrin + "x"},
      {"UTF-7 lone lead surrogates", Encoding::kUtf7, "+2D0-x+2D0AYQ-", kFffd + "x" + kFffd + "a"},
      {"UTF-7 + before no base64, at the end", Encoding::kUtf7, "+!a+", kFffd + "!a" + kFffd},
      {"UTF-7 bits left over: not zero, six, 8-bit byte", Encoding::kUtf7, "+AGF-+AGEA-\xE9",
       "a" + kFffd + "a" + kFffd + kFffd},
      {"HZ (RFC 1843's example)", Encoding::kHzGb2312, "~{<:Ky2;S{#,NpJ)l6HK!#~}Bye.",
       "\xE5\xB7\xB1\xE6\x89\x80\xE4\xB8\x8D\xE6\xAC\xB2\xEF\xBC\x8C\xE5\x8B\xBF\xE6\x96\xBD"
       "\xE6\x96\xBC\xE4\xBA\xBA\xE3\x80\x82"
       "Bye."},
      {"HZ ~~, ~ newline, ~ before anything else", Encoding::kHzGb2312, "a~~b~\nc~x",
       "a~bc" + kFffd + "x"},
      {"HZ a newline ends GB 2312", Encoding::kHzGb2312, "~{\n<:", "\n<:"},
      {"HZ broken pair, 8-bit byte, cut pair", Encoding::kHzGb2312, "~{< \xB0<",
       kFffd + kFffd + kFffd + kFffd},
  };
  for (const auto& c : cases) {
    const ExactBytes input(c.input);
    std::string output = "<";
    DecodeToUtf8(c.encoding, input.data(), input.size(), output);
    EXPECT_EQ(Hex(output), Hex("<" + c.expected)) << c.label;
  }
}

}  // namespace
}  // namespace quillet
