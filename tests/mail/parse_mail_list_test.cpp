#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/charset_code_of.h"
#include "mail/parse_mail_list.h"
#include "mail_test_support.h"
#include "reference_mail_list.h"

namespace quillet {
namespace {

using namespace std::string_literals;
using testing_support::FlushBytes;
using testing_support::Mails;
using testing_support::MailsOf;
using testing_support::Stored;

Mails Parse(const std::string& text, int target = kCharsetSjis) {
  const FlushBytes bytes(text);
  MailList list;
  ParseMailList(bytes.begin(), bytes.size(), target, list);
  return MailsOf(list);
}

struct ListCase {
  const char* label;
  std::string input;
  Mails expected;
};

TEST(ParseMailList, Table) {
  const ListCase cases[] = {
      {"empty list", "", {}},
      {"no 0x02", "From: A\x01Subject: B", {}},
      {"one mail, two lines", "From: A\x01Subject: Hello\x02", {{"From: A", "Subject: Hello"}}},
      {"two mails",
       "From: A\x02"
       "From: B\x02",
       {{"From: A"}, {"From: B"}}},
      {"0x02 0x02", "\x02\x02", {{""}, {""}}},
      {"empty mails around stored ones",
       "\x02"
       "From: a\x02\x02x\x01: b\x02\x02",
       {{""}, {"From: a"}, {""}, {"x", ": b"}, {""}}},
      {"0x01 0x02 ends with an empty line", "From: A\x01\x02", {{"From: A", ""}}},
      {"0x01 0x01 is an empty line",
       "a\x01\x01"
       "b\x02",
       {{"a", "", "b"}}},
      {"bytes after the last 0x02 are dropped",
       "a\x02"
       "b\x01"
       "c",
       {{"a"}}},
      {"SP TAB SP skipped", " \t From: A\x02", {{"From: A"}}},
      {"CR LF SP skipped", "\r\n From: A\x02", {{"From: A"}}},
      {"SP CR LF TAB skipped", " \r\n\tFrom: A\x02", {{"From: A"}}},
      {"LF SP kept", "\n From: A\x02", {{"\n From: A"}}},
      {"CR LF kept", "\r\nFrom: A\x02", {{"\r\nFrom: A"}}},
      {"SP LF: only the SP goes", " \nFrom: A\x02", {{"\nFrom: A"}}},
      // A line that starts with white space continues a folded header; as a mail's first
      // line it stands alone.
      {"folded lines join",
       "S: a\x01 b\x01\tc\x01"
       "d: e\x02",
       {{"S: a b\tc", "d: e"}}},
      {"a mail's first line does not fold", "a: 1\x02 b: 2\x02", {{"a: 1"}, {" b: 2"}}},
      {"a word on the folded line, the fold between words goes",
       "S: =?SJIS?B?gg==?=\x01 =?SJIS?B?oA==?= =?EUC-JP?B?pKI=?=\x01 x\x02",
       {{"S: \x82\xA0\x82\xA0 x"}}},  // hiragana a split over two words, then a in EUC-JP
      {"CR and LF inside a line stay", "Subject: a\r\n b\x02", {{"Subject: a\r\n b"}}},
      {"= before other bytes", "a=b\x02", {{"a=b"}}},
      {"= right before 0x02", "a=\x02", {{"a="}}},
      {"=? right before 0x02", "a=?\x02", {{"a=?"}}},
      {"word decoded in place", "Subject: [=?SJIS?B?QUJD?=]\x02", {{"Subject: [ABC]"}}},
      {"word in the field name", "=?SJIS?B?RnJvbQ==?=: x\x02", {{"From: x"}}},
      {"space between words goes", "=?SJIS?B?QQ==?= =?SJIS?B?Qg==?=\x02", {{"AB"}}},
      {"lower-case b decoded", "=?SJIS?b?QUJD?=\x02", {{"ABC"}}},
      {"Q word decoded", "S: =?ISO-8859-1?Q?a_c?=\x02", {{"S: a c"}}},
      {"charsets in turn, each read as itself",
       "S: =?EUC-JP?B?pKI=?=,=?cp1252?Q?=A4=A2?=,=?EUC-JP?B?pKI=?=\x02",
       // hiragana a; the currency sign, which Shift_JIS lacks (geta mark), and the cent sign
       {{"S: \x82\xA0,\x81\xAC\x81\x91,\x82\xA0"}}},
      {"encoding X copied", "S: =?ISO-8859-1?X?abc?=\x02", {{"S: =?ISO-8859-1?X?abc?="}}},
      // A start read before, met again: its fields are known, but not where the word closes.
      {"a start met again, closed right after its letter",
       "S: =?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?=41?= and text behind\x02",
       {{"S: aA and text behind"}}},
      {"a start met again, a ? in the text",
       "S: =?SJIS?B?QUJD?= =?SJIS?B?x?QUJD?= and text behind\x02",
       {{"S: ABCABC and text behind"}}},
      // An encoded word that never closes is left as text.
      {"unterminated word at the end of a mail",
       "Subject: =?SJIS?B?abc\x02",
       {{"Subject: =?SJIS?B?abc"}}},
      {"unterminated word does not cross 0x01",
       "=?SJIS?B?ab\x01"
       "cd?=\x02",
       {{"=?SJIS?B?ab", "cd?="}}},
      {"unterminated word does not cross 0x02",
       "S: =?SJIS?B?ab\x02"
       "cd?=\x02",
       {{"S: =?SJIS?B?ab"}, {"cd?="}}},
      {"a later word still decodes",
       "=?SJIS?B?ab\x01=?SJIS?B?QUJD?=\x02",
       {{"=?SJIS?B?ab", "ABC"}}},
      {"unterminated then a word in the same line",
       "=?SJIS?B?a =?SJIS?B?QUJD?=\x02",
       {{"ABC"}}},  // the first start closes at the second word's "?="; its payload is QUJD
      {"last mail's unterminated word, earlier mails kept", "a\x02=?SJIS?B?QUJD", {{"a"}}},
      {"starts that are no word, then a word they hold",
       "S: =?a=?b=?SJIS?B?QUJD?=\x02",
       {{"S: =?a=?bABC"}}},
      // Very short words of no fields, as in a hostile run, among other words and text.
      {"very short words in a run, the last with fields", "S: =?=?=?=?=x=?a?=y\x02", {{"S: ?y"}}},
      {"short words of no fields joined across white space and a fold",
       "S: =?QUJD?= =?RA==?=\x01 =?RQ==?=!\x02",
       {{"S: ABCDE!"}}},
      {"a short word of no fields, then one of another charset",
       "S: =?QUJD?= =?SJIS?B?gqA=?=\x02",
       {{"S: ABC\x82\xA0"}}},  // hiragana a
  };
  for (const ListCase& c : cases) {
    EXPECT_EQ(Parse(c.input), Stored(c.expected)) << c.label;
    EXPECT_EQ(reference::ParseList(c.input, kCharsetSjis), c.expected) << c.label;
  }
}

TEST(ParseMailList, WordsFollowTheTarget) {
  const std::string list = "Subject: =?Shift_JIS?B?gqA=?=\x02";  // hiragana a
  EXPECT_EQ(Parse(list, kCharsetSjis), (Mails{{"Subject: \x82\xA0"}}));
  EXPECT_EQ(Parse(list, kCharsetEuc), (Mails{{"Subject: \xA4\xA2"}}));
  EXPECT_EQ(Parse(list, kCharsetJis), (Mails{{"Subject: \x1B$B$\"\x1B(B"}}));
  // Raw bytes outside words are never converted.
  EXPECT_EQ(Parse("S: \x82\xA0 =?SJIS?B?gqA=?=\x02", kCharsetEuc),
            (Mails{{"S: \x82\xA0 \xA4\xA2"}}));
  // An ESC that starts no sequence is a geta mark ("\x81\xAC" in Shift_JIS, "\xA2\xAE" in
  // EUC-JP), and reading goes on in the set in force: ESC $ B, hiragana a, ESC, a, ESC ( B.
  EXPECT_EQ(Parse("S: =?ISO-2022-JP?B?GyRCJCIbJCIbKEI=?=\x02", kCharsetSjis),
            (Mails{{"S: \x82\xA0\x81\xAC\x82\xA0"}}));
  // ESCs alone and sequences cut short by the word's end.
  EXPECT_EQ(Parse("S: =?ISO-2022-JP?B?GxsbGyQbKBskKA==?=\x02", kCharsetEuc),
            (Mails{{"S: \xA2\xAE\xA2\xAE\xA2\xAE\xA2\xAE$\xA2\xAE(\xA2\xAE$("}}));
  // Thirty ESCs: text longer once converted than the word, at the list's end.
  std::string escapes;
  std::string getas;
  for (int i = 0; i < 10; ++i) escapes += "Gxsb";
  for (int i = 0; i < 30; ++i) getas += "\x81\xAC";
  for (const char* label : {"ISO-2022-JP", "SJIS"}) {
    EXPECT_EQ(Parse(std::string("S: =?") + label + "?B?" + escapes + "?=\x02", kCharsetSjis),
              (Mails{{"S: " + getas}}))
        << label;
  }
}

TEST(ParseMailList, ReplacesEarlierContents) {
  MailList list;
  const FlushBytes first(
      "a: 1\x02"
      "b: 2\x02");
  ParseMailList(first.begin(), first.size(), kCharsetSjis, list);
  ASSERT_EQ(list.size(), 2u);
  const FlushBytes second("c: 3\x02");
  ParseMailList(second.begin(), second.size(), kCharsetSjis, list);
  EXPECT_EQ(MailsOf(list), (Mails{{"c: 3"}}));
  ParseMailList(nullptr, 0, kCharsetSjis, list);
  EXPECT_TRUE(list.empty());
}

// A list is zero-free only when none of its text holds a zero byte, however the text was
// passed over: byte by byte, or with a run of starts that are no word.
TEST(ParseMailList, ZeroFreeOnlyWithoutZeroBytes) {
  const struct {
    const char* label;
    std::string input;
    bool zeroFree;
  } cases[] = {
      {"starts passed together", "S: =?a=?b=?c=?d?=\x02", true},
      {"a zero among them", "S: =?a=?b\0=?c=?d?=\x02"s, false},
      {"a zero between very short words", "S: =?=?=\0=?=?=\x02"s, false},
      {"a zero in text", "S: a\0b\x02"s, false},
  };
  for (const auto& c : cases) {
    const FlushBytes bytes(c.input);
    MailList list;
    ParseMailList(bytes.begin(), bytes.size(), kCharsetSjis, list);
    ASSERT_EQ(list.size(), 1u) << c.label;
    EXPECT_EQ(list[0].zeroFree(), c.zeroFree) << c.label;
  }
}

// Shapes that make a rescan from every "=?" quadratic. Compared with the plain reading where
// it is quick enough, and checked by hand at a size where a quadratic pass would not finish.
TEST(ParseMailList, HostileShapesAgreeWithReference) {
  std::string starts = "S: ";
  std::string unclosed = "S: ";
  std::string distantClose = "S: ";
  for (int i = 0; i < 500; ++i) {
    starts += "=?";
    unclosed += "=?x";
    distantClose += "=?x";
  }
  distantClose += "?=";
  for (const std::string& body : {starts, unclosed, distantClose}) {
    for (const std::string& text : {body + "\x02", body + "\x01" + body + "\x02", body}) {
      EXPECT_EQ(Parse(text), Stored(reference::ParseList(text, kCharsetSjis))) << text.size();
    }
  }
}

TEST(ParseMailList, HostileShapesAtSize) {
  const int n = 300000;
  std::string unclosed = "S: ";
  for (int i = 0; i < n; ++i) unclosed += "=?x";
  // No start closes before the 0x02: the whole line stays as text.
  EXPECT_EQ(Parse(unclosed + "\x02"), (Mails{{unclosed}}));
  // Every start finds the one distant close; all but the last have the encoding "x=", which
  // is not B. The last word decodes to ABC.
  const std::string tail = "?B?QUJD?=";
  const Mails distant = Parse(unclosed + tail + "\x02");
  ASSERT_EQ(distant.size(), 1u);
  ASSERT_EQ(distant[0].size(), 1u);
  EXPECT_EQ(distant[0][0], unclosed.substr(0, unclosed.size() - 3) + "ABC");

  std::string starts;
  for (int i = 0; i < n; ++i) starts += "=?";
  const std::string text = starts + "\x02";
  EXPECT_EQ(Parse(text), Stored(reference::ParseList(text, kCharsetSjis)));  // closes are near
}

// Random lists over the bytes that matter, against the plain reading.
TEST(ParseMailList, RandomListsAgreeWithReference) {
  static const char alphabet[] = "=?=?BbQqxU \r\n\t\x01\x02QUJDgqA::=41";
  std::mt19937 random(12345);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 2);
  std::uniform_int_distribution<int> length(0, 60);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int i = length(random); i > 0; --i) text += alphabet[pick(random)];
    const int target = round % 3;
    ASSERT_EQ(Parse(text, target), Stored(reference::ParseList(text, target))) << text;
  }
}

}  // namespace
}  // namespace quillet
