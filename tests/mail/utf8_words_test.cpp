// Mail read into UTF-8: encoded words as mail programs write them, split words joined, white
// space between words dropped, every other byte run cleaned to valid UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "common/charset_code_of.h"
#include "mail/decode_encoded_word.h"
#include "mail/parse_mail_list.h"
#include "mail/word_charset.h"
#include "mail_test_support.h"

namespace quillet {
namespace {

using namespace std::string_literals;
using testing_support::FlushBytes;
using testing_support::Lines;
using testing_support::Mails;
using testing_support::MailsOf;

const std::string kFffd = "\xEF\xBF\xBD";  // U+FFFD
const std::string kHiraganaA = "\xE3\x81\x82";
const std::string kNichi = "\xE6\x97\xA5";  // the kanji "sun", E6 97 A5

TEST(MailWord, Shapes) {
  struct Case {
    const char* label;
    std::string input;
    std::size_t taken;  // 0: no word
    int charset;
  };
  const Case cases[] = {
      {"Q text may start with =", "=?ISO-8859-1?Q?=41?=", 20, kWordLatin1},
      {"B word", "=?UTF-8?B?5pel?=", 16, kWordUtf8},
      {"lower-case q, language cut", "=?utf-8*ja?q?a?=", 16, kWordUtf8},
      {"a family by a leading part", "=?utf?b?QUJD?=", 14, kWordUtf8},
      {"ISO-2022-JP", "=?iso-2022-jp?B?QUJD?=", 22, kWordJis},
      {"US-ASCII read as code 0", "=?US-ASCII?Q?a?=", 16, kWordJis},
      {"Windows-1252", "=?windows-1252?Q?=80?=", 22, kWordWindows1252},
      {"empty text", "=?UTF-8?Q?\?=", 12, kWordUtf8},
      {"? inside the text", "=?UTF-8?Q?a?b?=", 15, kWordUtf8},
      {"no fields", "=?QUJD?=", 0, 0},
      {"no encoding field", "=?UTF-8?QUJD?=", 0, 0},
      {"empty encoding field", "=?UTF-8??QUJD?=", 0, 0},
      {"encoding not B or Q", "=?UTF-8?X?QUJD?=", 0, 0},
      {"two-letter encoding", "=?UTF-8?BB?QUJD?=", 0, 0},
      {"unknown charset", "=?GB2312?B?xOO6ww==?=", 0, 0},
      {"Latin names are whole", "=?ISO-8859-15?Q?a?=", 0, 0},
      {"separator in the text", "=?UTF-8?Q?a\x01z?=", 0, 0},
      {"separator in the charset", "=?UT\x02-8?Q?a?=", 0, 0},
      {"never closed", "=?UTF-8?Q?abc", 0, 0},
      {"ends after the encoding", "=?UTF-8?Q?", 0, 0},
      {"ends at the encoding", "=?UTF-8?Q", 0, 0},
  };
  for (const Case& c : cases) {
    const FlushBytes bytes(c.input);
    EncodedWordScanner scanner(bytes.end());
    EncodedWordScanner::Word word;
    const bool found = scanner.findMailWord(bytes.begin(), word);
    EXPECT_EQ(found ? word.length : 0, c.taken) << c.label;
    if (found) {
      EXPECT_EQ(word.code, c.charset) << c.label;
    }
  }
}

Mails ParseUtf8(const std::string& text) {
  const FlushBytes bytes(text);
  MailList list;
  ParseMailList(bytes.begin(), bytes.size(), kCharsetUtf8, list);
  return MailsOf(list);
}

// Only lines that hold ": " are stored: every line gets the field name "S: " in front, and the
// lines come back without it, so that a table shows the text of each line as it was decoded.
Mails ParseUtf8Lines(const std::string& text) {
  std::string named = "S: ";
  for (const char c : text) {
    named += c;
    if (c == '\x01' || c == '\x02') named += "S: ";
  }
  Mails mails = ParseUtf8(named);
  for (Lines& lines : mails) {
    for (std::string& line : lines) line.erase(0, 3);
  }
  return mails;
}

TEST(MailListUtf8, Table) {
  struct Case {
    const char* label;
    std::string input;  // one mail; its lines
    Mails expected;
  };
  const Case cases[] = {
      {"UTF-8 B word", "=?UTF-8?B?5pel?= x\x02", {{kNichi + " x"}}},
      {"Q: _ and =XX", "=?UTF-8?Q?a_=E6=97=A5?=\x02", {{"a " + kNichi}}},
      {"character split over two words", "=?UTF-8?Q?=E6=97?= =?UTF-8?B?pQ==?=\x02", {{kNichi}}},
      {"SP TAB CR LF between words go", "=?UTF-8?Q?a?= \t\r\n =?UTF-8?Q?b?=\x02", {{"ab"}}},
      {"words side by side", "=?UTF-8?Q?a?==?UTF-8?Q?b?=\x02", {{"ab"}}},
      {"other text between words stays", "=?UTF-8?Q?a?= - =?UTF-8?Q?b?=\x02", {{"a - b"}}},
      {"space before plain text stays", "=?UTF-8?Q?a?= b\x02", {{"a b"}}},
      {"charsets differ: not joined, space still goes",
       "=?UTF-8?Q?=E6=97?= =?ISO-8859-1?Q?=A5?=\x02",
       {{kFffd + "\xC2\xA5"}}},
      {"Shift_JIS and CP932 are one code: joined",
       "=?Shift_JIS?B?gg==?= =?CP932?B?oA==?=\x02",
       {{kHiraganaA}}},
      {"ISO-2022-JP word", "=?ISO-2022-JP?B?GyRCJCIbKEI=?=\x02", {{kHiraganaA}}},
      {"EUC-JP word", "=?EUC-JP?B?pKI=?=\x02", {{kHiraganaA}}},
      {"ISO-8859-1 Q", "=?ISO-8859-1?Q?Caf=E9?=\x02", {{"Caf\xC3\xA9"}}},
      {"US-ASCII", "=?US-ASCII?Q?a_b?=\x02", {{"a b"}}},
      {"unknown charset stays with its white space",
       "=?UTF-8?Q?a?= =?GB2312?B?xOO6ww==?= =?UTF-8?Q?b?=\x02",
       {{"a =?GB2312?B?xOO6ww==?= b"}}},
      {"a word without fields stays", "=?QUJD?= =?SJIS?gqA=?=\x02", {{"=?QUJD?= =?SJIS?gqA=?="}}},
      {"invalid UTF-8 in text", "caf\xE9 =?UTF-8?Q?ok?=\x02", {{"caf" + kFffd + " ok"}}},
      {"invalid UTF-8 in a UTF-8 word", "=?UTF-8?Q?=FF?=\x02", {{kFffd}}},
      {"a run of words ends with its line",
       "=?UTF-8?Q?=E6=97?=\x01=?UTF-8?Q?=A5?=\x02",
       {{kFffd, kFffd}}},
      {"a word never spans a separator", "=?UTF-8?Q?a\x01z?=\x02", {{"=?UTF-8?Q?a", "z?="}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseUtf8Lines(c.input), c.expected) << c.label;
  EXPECT_EQ(ParseUtf8(" \tS: =?UTF-8?Q?a?=\x02"), Mails{{"S: a"}}) << "leading white space";
}

TEST(MailListUtf8, SingleWordEntryPoint) {
  const FlushBytes bytes("=?ISO-8859-1?Q?=41=E9?= rest");
  std::string out;
  EXPECT_EQ(DecodeEncodedWord(bytes.begin(), bytes.end(), kCharsetUtf8, out), 23u);
  EXPECT_EQ(out, "A\xC3\xA9");
}

// Requests in the three other encodings keep the B-only rules, and a UTF-8 word among them is
// read as UTF-8 (hiragana a, E3 81 82 = "44GC").
TEST(MailListUtf8, Utf8WordInOtherTargets) {
  struct Case {
    int target;
    std::string out;
  };
  const Case cases[] = {
      {kCharsetSjis, "\x82\xA0"}, {kCharsetEuc, "\xA4\xA2"}, {kCharsetJis, "\x1B$B$\"\x1B(B"}};
  for (const Case& c : cases) {
    const FlushBytes bytes("=?UTF-8?B?44GC?=");
    std::string out;
    EXPECT_EQ(DecodeEncodedWord(bytes.begin(), bytes.end(), c.target, out), 16u) << c.target;
    EXPECT_EQ(out, c.out) << c.target;
  }
}

std::string Repeat(const std::string& unit, std::size_t count) {
  std::string out;
  out.reserve(unit.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += unit;
  return out;
}

// Hostile shapes of a few MiB: each must come out in one pass (a scan per start would not end
// in any reasonable time) and as the rules say.
TEST(MailListUtf8, HostileShapes) {
  const std::size_t count = 1u << 20;
  struct Case {
    const char* label;
    std::string list;
    std::string line;
  };
  const Case cases[] = {
      {"=? repeated: no word", Repeat("=?", count), Repeat("=?", count)},
      {"=?a repeated: no word", Repeat("=?a", count), Repeat("=?a", count)},
      {"starts that never close", Repeat("=?UTF-8?Q?a", count), Repeat("=?UTF-8?Q?a", count)},
      {"fields that close as the text begins", Repeat("=?a=?B?=", count),
       Repeat("=?a=?B?=", count)},
      {"words with = after the encoding", Repeat("=?UTF-8?Q?=", 2 * count),
       Repeat("==?UTF-8?Q", count)},
  };
  for (const Case& c : cases) {
    const Mails mails = ParseUtf8Lines(c.list + "\x02");
    ASSERT_EQ(mails.size(), 1u) << c.label;
    ASSERT_EQ(mails[0].size(), 1u) << c.label;
    EXPECT_TRUE(mails[0][0] == c.line) << c.label;
  }
}

}  // namespace
}  // namespace quillet
