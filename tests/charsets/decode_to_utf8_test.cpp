// The dispatcher: the Japanese encodings and UTF-8 through the plug-in's converters, the UTF-8
// byte order mark, kNone, and the CharsetCode of each encoding.
#include <gtest/gtest.h>

#include <string>

#include "charsets/decode_to_utf8.h"
#include "jtext/exact_bytes.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using namespace std::string_literals;
using testing_bytes::Hex;

struct DecodeCase {
  Encoding encoding;
  std::string input;
  std::string expected;
};

TEST(DecodeToUtf8, EachFamilyAppendsItsText) {
  const std::string hiragana = "\xE3\x81\x82";  // hiragana a, U+3042
  const DecodeCase cases[] = {
      {Encoding::kShiftJis, "\x82\xA0", hiragana},
      {Encoding::kEucJp, "\xA4\xA2", hiragana},
      {Encoding::kIso2022Jp, "\x1B$B\x24\x22\x1B(B", hiragana},
      {Encoding::kIso2022Jp, "\x1B$(C>H\x1B(B", "\xEC\x95\x88"},  // ISO-2022-JP-2: hangul an
      {Encoding::kUtf8, "\xE3\x81\x82", hiragana},
      {Encoding::kUtf8, "\xC3(", "\xEF\xBF\xBD("},  // ill-formed: U+FFFD
      {Encoding::kUtf8,
       "\xEF\xBB\xBF"
       "a",
       "a"},  // the mark is dropped
      {Encoding::kUtf8, "\xEF\xBB\xBF", ""},
      {Encoding::kUtf8, "\xEF\xBB\xBF\xEF\xBB\xBF", "\xEF\xBB\xBF"},  // only at the start
      {Encoding::kUtf8, "a\xEF\xBB\xBF", "a\xEF\xBB\xBF"},
      {Encoding::kUtf8, "\xEF\xBB", "\xEF\xBF\xBD"},  // a cut mark is an error
      {Encoding::kShiftJis,
       "\xEF\xBB\xBF"
       "a",
       "\xEF\xBF\xBD\xEF\xBD\xBF"
       "a"},  // not a mark
      {Encoding::kUtf16Be, "\x00\x61"s, "a"},
      {Encoding::kUtf16Le, "\x61\x00"s, "a"},
      {Encoding::kWindows1251, "\xC0", "\xD0\x90"},  // Cyrillic capital a
      {Encoding::kXUserDefined, "\x80", "\xEF\x9E\x80"},
      {Encoding::kGbk, "\xD6\xD0", "\xE4\xB8\xAD"},               // the kanji "middle"
      {Encoding::kGb18030, "\x81\x30\x81\x30", "\xC2\x80"},       // four bytes: U+0080
      {Encoding::kBig5, "\xA4\xA4", "\xE4\xB8\xAD"},              // the kanji "middle"
      {Encoding::kEucKr, "\xB0\xA1", "\xEA\xB0\x80"},             // hangul ga
      {Encoding::kNone, "abc", ""},
  };
  for (const DecodeCase& c : cases) {
    const ExactBytes input(c.input);
    std::string output = "<";
    DecodeToUtf8(c.encoding, input.data(), input.size(), output);
    EXPECT_EQ(output, "<" + c.expected) << Hex(c.input);
  }
}

TEST(DecodeToUtf8, JapaneseCharsetCodeOfEachEncoding) {
  EXPECT_EQ(JapaneseCharsetCode(Encoding::kIso2022Jp), kCharsetJis);
  EXPECT_EQ(JapaneseCharsetCode(Encoding::kShiftJis), kCharsetSjis);
  EXPECT_EQ(JapaneseCharsetCode(Encoding::kEucJp), kCharsetEuc);
  EXPECT_EQ(JapaneseCharsetCode(Encoding::kUtf8), kCharsetUtf8);
  for (const Encoding other : {Encoding::kNone, Encoding::kWindows1252, Encoding::kGbk,
                               Encoding::kEucKr, Encoding::kUtf16Le, Encoding::kXUserDefined}) {
    EXPECT_EQ(JapaneseCharsetCode(other), kNoCharsetCode) << static_cast<int>(other);
  }
}

}  // namespace
}  // namespace quillet
