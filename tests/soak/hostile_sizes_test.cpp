// Requests of hostile sizes and shapes: a 16 MiB mail header list holding one mail, one holding
// 200 000 mails, lists made of "=?" repeated, a 1 MiB template of placeholders, and the memory
// that requests of every shape take. Otherwise only the results are checked here; that each takes
// time linear in its size is shown by the benchmark program.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "common/charset_code_of.h"
#include "jtext/base64.h"
#include "jtext/convert_charset.h"
#include "module/plugin_module.h"
#include "plugin/entry_points.h"
#include "soak_memory.h"

namespace quillet {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;

std::string Repeat(const std::string& unit, std::size_t times) {
  std::string text;
  text.reserve(unit.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += unit;
  return text;
}

std::string Execute(const std::string& charset, const std::string& templateText,
                    const std::string& separator, const std::string& list) {
  return "EXECUTE SAORI/1.0\r\nCharset: " + charset + "\r\nArgument0: " + templateText +
         "\r\nArgument1: " + separator + "\r\nArgument2: " + list + "\r\n\r\n";
}

std::string Answer(const std::string& result, const std::string& charset) {
  return "SAORI/1.0 200 OK\r\nResult: " + result + "\r\nCharset: " + charset + "\r\n\r\n";
}

// Compares without printing megabytes: the sizes and the first difference only.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  char note[160];
  std::snprintf(note, sizeof note, "%zu bytes where %zu were expected; first difference at %zu",
                actual.size(), expected.size(), i);
  return ::testing::AssertionFailure() << note << ": got \"" << actual.substr(i, 24)
                                       << "\", expected \"" << expected.substr(i, 24) << "\"";
}

std::string Respond(const std::string& requestText) {
  PluginModule module;
  module.load("./");
  std::string response;
  module.request(requestText, response);
  return response;
}

// 16 MiB of text in one Subject line, between two encoded words, through the entry points.
TEST(HostileSizes, SixteenMebibyteListWithOneMail) {
  const std::string filler = Repeat("Lorem ipsum dolor sit amet, ", 16 * kMiB / 28);
  const std::string word = "=?SJIS?B?gqA=?=";  // hiragana a in Shift_JIS
  const std::string list = "Subject: " + word + filler + word + "\x02";
  ASSERT_GE(list.size(), 16 * kMiB);
  const std::string text = Execute("Shift_JIS", "[!Subject!]", ",", list);
  const std::string expected = Answer("[\x82\xA0" + filler + "\x82\xA0]", "Shift_JIS");

  const std::string path = "./";
  ASSERT_EQ(load(HostBlock(path), 2), 1);
  long length = static_cast<long>(text.size());
  HGLOBAL answer = request(HostBlock(text), &length);
  ASSERT_NE(answer, nullptr);
  EXPECT_TRUE(SameBytes(std::string(static_cast<const char*>(answer), length), expected));
  HostRelease(answer);
  EXPECT_EQ(unload(), 1);
}

// One encoded word of 16 MiB: EUC-JP hiragana a, six bytes per eight base64 characters.
TEST(HostileSizes, SixteenMebibyteEncodedWord) {
  const std::size_t units = 16 * kMiB / 8;
  const std::string list = "Subject: =?EUC-JP?B?" + Repeat("pKKkoqSi", units) + "?=\x02";
  EXPECT_TRUE(SameBytes(Respond(Execute("Shift_JIS", "!Subject!", ",", list)),
                        Answer(Repeat("\x82\xA0", 3 * units), "Shift_JIS")));
}

TEST(HostileSizes, TwoHundredThousandMails) {
  constexpr int kMails = 200000;
  std::string list;
  std::string result;
  for (int i = 0; i < kMails; ++i) {
    const std::string user = "user" + std::to_string(i);
    // hiragana a in ISO-2022-JP, and in the EUC-JP output
    list += "From: " + user + "@example.jp\x01Subject: =?ISO-2022-JP?B?GyRCJCIbKEI=?=\x02";
    if (i != 0) result += "|";
    result += user + "@example.jp:\xA4\xA2";
  }
  PluginModule module;
  std::string response;
  module.request(Execute("EUC-JP", "!From!:!Subject!", "|", list), response);
  EXPECT_EQ(module.mails.size(), static_cast<std::size_t>(kMails));
  EXPECT_TRUE(SameBytes(response, Answer(result, "EUC-JP")));
}

// "=?" repeated: every "=?=?=" is a word whose text is "=", so the list reads as words of five
// bytes, each followed by a "?" that stays; at the end "=?=?" stands before the 0x02, and the
// last "?=" pair is missing, so those four bytes stay as they are.
TEST(HostileSizes, OpeningsRepeated) {
  const std::size_t pairs = 8 * kMiB;  // 16 MiB: 2 796 202 words and "?" and then "=?=?"
  std::string word;
  std::string decoded;
  DecodeMailBase64("=", decoded);
  ConvertCharset(kCharsetJis, decoded, kCharsetSjis, word);
  EXPECT_TRUE(SameBytes(
      Respond(Execute("Shift_JIS", "!Subject!", ",", "Subject: " + Repeat("=?", pairs) + "\x02")),
      Answer(Repeat(word + "?", 2 * pairs / 6) + "=?=?", "Shift_JIS")));
}

// A subject folded at every word, 16 MiB: one run of ISO-2022-JP words joined across the
// folds ("GyRCJCI=" is ESC $ B and hiragana a), and words of nothing but ESC runs and escape
// sequences cut by the word's end ("GxsbGyQbKBskKA==" is three ESC, "ESC $", "ESC (",
// "ESC $ ("): each ESC a geta mark, never a quadratic rescan.
TEST(HostileSizes, FoldedWordsAndEscapeRuns) {
  const std::size_t words = 16 * kMiB / 28;
  EXPECT_TRUE(SameBytes(
      Respond(Execute("Shift_JIS", "!Subject!", ",",
                      "Subject: " + Repeat("=?ISO-2022-JP?B?GyRCJCI=?=\x01 ", words) + "\x02")),
      Answer(Repeat("\x82\xA0", words) + " ", "Shift_JIS")));  // hiragana a, the last fold's SP
  const std::size_t runs = 16 * kMiB / 34;
  // Six geta marks and "$", "(", "$(", in EUC-JP.
  EXPECT_TRUE(SameBytes(
      Respond(Execute("EUC-JP", "!Subject!", ",",
                      "Subject: " + Repeat("=?ISO-2022-JP?B?GxsbGyQbKBskKA==?=", runs) + "\x02")),
      Answer(Repeat("\xA2\xAE\xA2\xAE\xA2\xAE\xA2\xAE$\xA2\xAE(\xA2\xAE$(", runs), "EUC-JP")));
}

// "=?a" repeated holds no "?=" at all: no word anywhere, and the text stays as it is, whether the
// 0x02 closes the mail or the list ends first (then the mail is lost, the one before it stays).
TEST(HostileSizes, OpeningsThatNeverClose) {
  const std::string openings = Repeat("=?a", 16 * kMiB / 3);
  EXPECT_TRUE(
      SameBytes(Respond(Execute("Shift_JIS", "!Subject!", ",", "Subject: " + openings + "\x02")),
                Answer(openings, "Shift_JIS")));
  EXPECT_TRUE(SameBytes(
      Respond(Execute("Shift_JIS", "!Subject!", ",", "Subject: a\x02Subject: " + openings)),
      Answer("a", "Shift_JIS")));
}

// Every "=?" finds the same distant "?=", and all but the last but one have an encoding field
// that is not B. The last but one, "=?QUJD=?QUJD?=", has the charset field "QUJD=" and the text
// "QUJD", which decodes to "ABC".
TEST(HostileSizes, OpeningsWithOneDistantClosing) {
  const std::size_t units = 16 * kMiB / 6;
  const std::string list = "Subject: " + Repeat("=?QUJD", units) + "?=\x02";
  EXPECT_TRUE(SameBytes(Respond(Execute("Shift_JIS", "!Subject!", ",", list)),
                        Answer(Repeat("=?QUJD", units - 2) + "ABC", "Shift_JIS")));
}

// Every line a separator of its own: 16 MiB of 0x01 in one mail.
TEST(HostileSizes, SixteenMebibytesOfLineEnds) {
  const std::string list = "From: a" + std::string(16 * kMiB, '\x01') + "\x02";
  EXPECT_TRUE(SameBytes(Respond(Execute("Shift_JIS", "!From!!Subject!", ",", list)),
                        Answer("a", "Shift_JIS")));
}

// Whatever the shape of a request, the plug-in holds no more than four times its size beyond
// the response itself: no copy per word, per header line or per empty line or mail.
TEST(HostileSizes, MemoryBoundedWhateverTheShape) {
  const std::size_t n = 16 * kMiB;
  const std::string arguments = "Argument0: !From!\r\nArgument1: ,\r\nArgument2: From: a\x02";
  const std::string shapes[] = {
      "EXECUTE" + std::string(n, ' ') + "SAORI/1.0\r\n" + arguments + "\r\n\r\n",
      Execute("Shift_JIS", "!From!", ",", std::string(n, '\x02')),
      Execute("Shift_JIS", "!From!", ",", std::string(n, '\x01')),
      "EXECUTE SAORI/1.0\r\n" + arguments + Repeat("\r\nX", n / 3) + "\r\n\r\n",
      Execute("Shift_JIS", "!From!", ",", Repeat("\x01\x02", n / 2)),
  };
  ASSERT_EQ(load(HostBlock("./"), 2), 1);
  for (const std::string& text : shapes) {
    HGLOBAL block = HostBlock(text);
    const std::size_t before = HeapBytesInUse();
    TakeHeapPeak();
    long length = static_cast<long>(text.size());
    HGLOBAL answer = request(block, &length);
    const std::size_t peak = TakeHeapPeak() - before;
    ASSERT_NE(answer, nullptr);
    EXPECT_LE(peak, 4 * text.size() + static_cast<std::size_t>(length))
        << "shape " << &text - shapes << ": " << peak << " bytes at the peak";
    HostRelease(answer);
  }
  EXPECT_EQ(unload(), 1);
}

TEST(HostileSizes, OneMebibyteTemplateOfPlaceholders) {
  const std::string unit = "!From!!subject!!DATE!!Content-Type!";
  const std::size_t times = kMiB / unit.size() + 1;
  const std::string templateText = Repeat(unit, times);
  const std::string list =
      "From: a\x01Subject: =?SJIS?B?gqA=?=\x01"
      "Date: d\x01"
      "Content-Type: t\x02"
      "Subject: s\x02"  // no From, no Date, no Content-Type
      "\x02";           // no fields at all
  const std::string expected = Repeat(
                                   "a\x82\xA0"
                                   "dt",
                                   times) +
                               "," + Repeat("s", times) + ",";
  EXPECT_TRUE(SameBytes(Respond(Execute("Shift_JIS", templateText, ",", list)),
                        Answer(expected, "Shift_JIS")));
}

TEST(HostileSizes, OneMebibyteTemplateOfExclamationMarks) {
  const std::string marks(kMiB, '!');
  EXPECT_TRUE(SameBytes(Respond(Execute("Shift_JIS", marks, "/", "From: a\x02\x02")),
                        Answer(marks + "/" + marks, "Shift_JIS")));
}

}  // namespace
}  // namespace quillet
