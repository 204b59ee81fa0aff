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
    Encoding encoding;
  };
  const Encoding none = Encoding::kNone;
  const Case cases[] = {
      {"Q text may start with =", "=?ISO-8859-1?Q?=41?=", 20, Encoding::kWindows1252},
      {"B word", "=?UTF-8?B?5pel?=", 16, Encoding::kUtf8},
      {"lower-case q, language cut", "=?utf-8*ja?q?a?=", 16, Encoding::kUtf8},
      {"a leading part of a label is no label", "=?utf?b?QUJD?=", 0, none},
      {"empty label", "=?\?B?QUJD?=", 0, none},
      {"one-letter label", "=?u?B?QUJD?=", 0, none},
      {"a replacement label", "=?ISO-2022-KR?B?QUJD?=", 0, none},
      {"ISO-2022-JP", "=?iso-2022-jp?B?QUJD?=", 22, Encoding::kIso2022Jp},
      {"a mail alias", "=?CP50221?B?QUJD?=", 18, Encoding::kIso2022Jp},
      {"US-ASCII is windows-1252", "=?US-ASCII?Q?a?=", 16, Encoding::kWindows1252},
      {"GB2312 is GBK", "=?GB2312?B?xOO6ww==?=", 21, Encoding::kGbk},
      {"empty text", "=?UTF-8?Q?\?=", 12, Encoding::kUtf8},
      {"? inside the text", "=?UTF-8?Q?a?b?=", 15, Encoding::kUtf8},
      {"no fields", "=?QUJD?=", 0, none},
      {"no encoding field", "=?UTF-8?QUJD?=", 0, none},
      {"empty encoding field", "=?UTF-8??QUJD?=", 0, none},
      {"encoding not B or Q", "=?UTF-8?X?QUJD?=", 0, none},
      {"two-letter encoding", "=?UTF-8?BB?QUJD?=", 0, none},
      {"unknown charset", "=?UTF-9?B?QUJD?=", 0, none},
      {"separator in the text", "=?UTF-8?Q?a\x01z?=", 0, none},
      {"separator in the charset", "=?UT\x02-8?Q?a?=", 0, none},
      {"never closed", "=?UTF-8?Q?abc", 0, none},
      {"ends after the encoding", "=?UTF-8?Q?", 0, none},
      {"ends at the encoding", "=?UTF-8?Q", 0, none},
  };
  for (const Case& c : cases) {
    const FlushBytes bytes(c.input);
    EncodedWordScanner scanner(bytes.end());
    EncodedWordScanner::Word word;
    const bool found = scanner.findMailWord(bytes.begin(), word);
    EXPECT_EQ(found ? word.length : 0, c.taken) << c.label;
    if (found) {
      EXPECT_EQ(word.encoding, c.encoding) << c.label;
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
      {"a start met again, closed right after its letter",
       "=?UTF-8?Q?a?= =?UTF-8?Q?=41?= and text behind\x02",
       {{"aA and text behind"}}},
      {"an unknown charset met again stays text",
       "=?X-UNKNOWN?B?QUJD?= =?X-UNKNOWN?B?QUJD?= and text behind\x02",
       {{"=?X-UNKNOWN?B?QUJD?= =?X-UNKNOWN?B?QUJD?= and text behind"}}},
      {"unknown charset stays with its white space",
       "=?UTF-8?Q?a?= =?X-UNKNOWN?B?xOO6ww==?= =?UTF-8?Q?b?=\x02",
       {{"a =?X-UNKNOWN?B?xOO6ww==?= b"}}},
      {"GB2312 (chinese, D6 D0 CE C4)",
       "=?GB2312?B?1tDOxA==?=\x02",
       {{"\xE4\xB8\xAD\xE6\x96\x87"}}},
      {"KOI8-R split over two words",
       "=?KOI8-R?B?8NLJ?= =?KOI8-R?B?18XU?=\x02",
       {{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"}}},
      {"padding bits carry nothing", "=?UTF-8?B?QR==?=\x02", {{"A"}}},
      {"a byte order mark opening a UTF-8 word goes", "=?UTF-8?B?77u/QQ==?=\x02", {{"A"}}},
      {"UTF-16BE: zero bytes kept until the text is read",
       "=?UTF-16BE?B?AEgAaQAgAOlOLQ==?=\x02",
       {{"Hi \xC3\xA9\xE4\xB8\xAD"}}},
      {"a decoded U+0000 goes, the rest of its group stays",
       "=?ISO-8859-1?B?YWJjAGRlZmdoaQ==?=\x02",
       {{"abcdefghi"}}},
      {"Q =00 goes", "=?UTF-8?Q?a=00b?=\x02", {{"ab"}}},
      {"UTF-7's U+0000, spelled without a zero byte, goes", "=?UTF-7?Q?a+AAA-b?=\x02", {{"ab"}}},
      // L with stroke in ISO-8859-2, then the pound sign in ISO-8859-1.
      {"charset names of one length in turn",
       "=?ISO-8859-2?Q?=A3?= =?ISO-8859-1?Q?=A3?=\x02",
       {{"\xC5\x81\xC2\xA3"}}},
      {"UTF-16LE Q: zero bytes kept until the text is read",
       "=?UTF-16LE?Q?A=00B=00?=\x02",
       {{"AB"}}},
      {"UTF-16 without a mark is big-endian", "=?utf_16?B?AEEAQg==?=\x02", {{"AB"}}},
      {"a word without fields stays", "=?QUJD?= =?SJIS?gqA=?=\x02", {{"=?QUJD?= =?SJIS?gqA=?="}}},
      {"invalid UTF-8 in text", "caf\xE9 =?UTF-8?Q?ok?=\x02", {{"caf" + kFffd + " ok"}}},
      {"invalid UTF-8 at the end of text", "abcdefghi\xE9\x02", {{"abcdefghi" + kFffd}}},
      {"invalid UTF-8 in a UTF-8 word", "=?UTF-8?Q?=FF?=\x02", {{kFffd}}},
      // The stored text outgrows the list: what the line holds already stays as it was.
      {"text that grows when cleaned, after a long ASCII run",
       "S: abcdefghijklmnopqrst\xFF\xFF\xFF\xFF\xFF\xFF\x02",
       {{"S: abcdefghijklmnopqrst" + kFffd + kFffd + kFffd + kFffd + kFffd + kFffd}}},
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

// In the three other encodings a UTF-8 word, or a word in a charset beyond the Japanese ones,
// is read as in UTF-8 and converted through Windows-31J (hiragana a: E3 81 82, Shift_JIS
// 82 A0, EUC-JP A4 A2; the kanji "middle" and "text": GB2312 D6 D0 CE C4, Shift_JIS 92 86 95 B6).
TEST(MailListUtf8, MailWordsInOtherTargets) {
  struct Case {
    const char* label;
    std::string list;
    int target;
    std::string line;
  };
  const Case cases[] = {
      {"UTF-8 B", "S: =?UTF-8?B?44GC?=\x02", kCharsetSjis, "S: \x82\xA0"},
      {"UTF-8 B into EUC-JP", "S: =?UTF-8?B?44GC?=\x02", kCharsetEuc, "S: \xA4\xA2"},
      {"UTF-8 B into ISO-2022-JP", "S: =?UTF-8?B?44GC?=\x02", kCharsetJis, "S: \x1B$B$\"\x1B(B"},
      {"UTF-8 Q starting with =", "S: =?UTF-8?Q?=E3=81=82?=\x02", kCharsetSjis, "S: \x82\xA0"},
      {"split over two words, white space between goes",
       "S: =?UTF-8?Q?=E3=81?= =?UTF-8?Q?=82?=\x02", kCharsetSjis, "S: \x82\xA0"},
      {"GB2312", "S: =?GB2312?B?1tDOxA==?=\x02", kCharsetSjis, "S: \x92\x86\x95\xB6"},
      {"UTF-16LE", "S: =?UTF-16LE?B?QjA=?=\x02", kCharsetEuc, "S: \xA4\xA2"},
      {"a character Windows-31J lacks is geta", "S: =?ISO-8859-1?Q?=E9?=\x02", kCharsetSjis,
       "S: \x81\xAC"},
      {"Shift_JIS character split over two words", "S: =?SJIS?B?gg==?=\t=?SJIS?B?oA==?=\x02",
       kCharsetSjis, "S: \x82\xA0"},
      {"Shift_JIS Q word", "S: =?SJIS?Q?=82=A0?=\x02", kCharsetEuc, "S: \xA4\xA2"},
      {"between a UTF-8 and a Shift_JIS word the space goes",
       "S: =?UTF-8?B?44GC?= =?SJIS?B?gqA=?=\x02", kCharsetSjis, "S: \x82\xA0\x82\xA0"},
      // An ESC of a word's text could switch the reader's mode: it is a geta mark.
      {"ESC in a Shift_JIS word", "S: =?SJIS?B?G0E=?=\x02", kCharsetEuc,
       "S: \xA2\xAE"
       "A"},
      {"ESC in a UTF-8 word", "S: =?UTF-8?Q?=1B(B?=\x02", kCharsetSjis, "S: \x81\xAC(B"},
      {"zero bytes of a Q word read as UTF-16", "S: =?UTF-16LE?Q?A=00B=00?=\x02", kCharsetSjis,
       "S: AB"},
      {"zero byte of an ISO-2022-JP word", "S: =?ISO-2022-JP?Q?A=00B?=\x02", kCharsetEuc, "S: AB"},
      {"zero byte of an EUC-JP word", "S: =?EUC-JP?Q?A=00B?=\x02", kCharsetSjis, "S: AB"},
      {"a ? in the text after a known head", "S: =?EUC-JP?B?pKI=?= =?EUC-JP?B?x?pKI=?=\x02",
       kCharsetSjis, "S: \x82\xA0\x82\xA0"},
      {"ESC in an EUC-JP word", "S: =?EUC-JP?Q?=1BA?=\x02", kCharsetSjis,
       "S: \x81\xAC"
       "A"},
      // The Japanese reader stops at the set and leaves nothing: the text is read again.
      {"ISO-2022-JP-2's GB 2312 in an ISO-2022-JP word", "S: =?ISO-2022-JP?Q?ab=1B$AVP?=\x02",
       kCharsetSjis, "S: ab\x92\x86"},
      {"the same after a long start",
       "S: =?ISO-2022-JP?Q?" + std::string(600, 'a') + "=1B$AVP?=\x02", kCharsetSjis,
       "S: " + std::string(600, 'a') + "\x92\x86"},
  };
  for (const Case& c : cases) {
    const FlushBytes bytes(c.list);
    MailList list;
    ParseMailList(bytes.begin(), bytes.size(), c.target, list);
    EXPECT_EQ(MailsOf(list), Mails{{c.line}}) << c.label;
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
