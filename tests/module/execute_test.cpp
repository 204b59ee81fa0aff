#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/plugin_module.h"

namespace quillet {
namespace {

// An EXECUTE request with the given header lines, each without its CR LF.
std::string Execute(const std::vector<std::string>& headers) {
  std::string text = "EXECUTE SAORI/1.0\r\n";
  for (const std::string& line : headers) text += line + "\r\n";
  return text + "\r\n";
}

std::string Answer(PluginModule& module, const std::string& request) {
  std::string response;
  EXPECT_TRUE(module.request(request, response));
  return response;
}

std::string Answer(const std::vector<std::string>& headers) {
  PluginModule module;
  return Answer(module, Execute(headers));
}

std::string Ok(const std::string& result, const std::string& charset) {
  return "SAORI/1.0 200 OK\r\nResult: " + result + "\r\nCharset: " + charset + "\r\n\r\n";
}

const char kBadRequest[] = "SAORI/1.0 400 Bad Request\r\n\r\n";

// One mail whose Subject is the encoded word for hiragana "a" in Shift_JIS (82 A0 = "gqA=").
const std::string kSubjectA = "Argument2: Subject: =?Shift_JIS?B?gqA=?=\x02";
const std::string kTemplate = "Argument0: [!Subject!]";
const std::string kSeparator = "Argument1: ,";

TEST(Execute, Charsets) {
  struct Case {
    const char* label;
    std::vector<std::string> charset;  // no line, or the Charset line
    std::string result;
    std::string charsetAnswer;
  };
  const Case cases[] = {
      {"no Charset: Shift_JIS", {}, "[\x82\xA0]", "Shift_JIS"},
      {"euc-jp, spelled as sent", {"Charset: euc-jp"}, "[\xA4\xA2]", "euc-jp"},
      {"ISO-2022-JP", {"Charset: ISO-2022-JP"}, "[\x1B$B$\"\x1B(B]", "ISO-2022-JP"},
      {"unknown name is ISO-2022-JP", {"Charset: UTF-16"}, "[\x1B$B$\"\x1B(B]", "UTF-16"},
      {"empty Charset: Shift_JIS, answered empty", {"Charset: "}, "[\x82\xA0]", ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> headers = {kTemplate, kSeparator, kSubjectA};
    headers.insert(headers.end(), c.charset.begin(), c.charset.end());
    EXPECT_EQ(Answer(headers), Ok(c.result, c.charsetAnswer)) << c.label;
  }
}

TEST(Execute, MissingArguments) {
  EXPECT_EQ(Answer({kTemplate, kSeparator, "Charset: EUC-JP"}), kBadRequest);
  EXPECT_EQ(Answer({kSeparator, kSubjectA}), kBadRequest);
  EXPECT_EQ(Answer({kTemplate, kSubjectA}), kBadRequest);
  EXPECT_EQ(Answer({}), kBadRequest);
}

TEST(Execute, MailsReplacedEvenWhenAnswered400) {
  PluginModule module;
  Answer(module, Execute({kTemplate, kSeparator,
                          "Argument2: a\x02"
                          "b\x02"}));
  ASSERT_EQ(module.mails.size(), 2u);

  // Argument2 without Argument0: 400, but the list is the new one.
  EXPECT_EQ(Answer(module, Execute({kSeparator,
                                    "Argument2: c: 1\x01"
                                    "d: 2\x02"})),
            kBadRequest);
  ASSERT_EQ(module.mails.size(), 1u);
  ASSERT_EQ(module.mails[0].size(), 2u);
  EXPECT_EQ(module.mails[0][1], "d: 2");

  // No Argument2: the list stays as it was.
  EXPECT_EQ(Answer(module, Execute({kTemplate, kSeparator})), kBadRequest);
  EXPECT_EQ(module.mails.size(), 1u);

  // An empty Argument2 is present: no mails.
  EXPECT_EQ(Answer(module, Execute({kTemplate, kSeparator, "Argument2: "})), Ok("", "Shift_JIS"));
  EXPECT_TRUE(module.mails.empty());
}

TEST(Execute, MailCounts) {
  const std::string three = "Argument2: Subject: 1\x02Subject: 2\x02Subject: 3\x02";
  struct Case {
    const char* label;
    std::vector<std::string> headers;
    std::string result;
  };
  const Case cases[] = {
      {"zero mails", {kTemplate, kSeparator, "Argument2: Subject: x"}, ""},
      {"one mail, no separator", {kTemplate, kSeparator, "Argument2: Subject: 1\x02"}, "[1]"},
      {"three mails, two separators", {kTemplate, kSeparator, three}, "[1],[2],[3]"},
      {"empty template", {"Argument0: ", kSeparator, three}, ",,"},
      {"separator of several bytes", {kTemplate, "Argument1:  | ", three}, "[1] | [2] | [3]"},
      {"template and separator used as sent",
       {"Argument0: \x82\xA0!subject!", kSeparator, three},
       "\x82\xA0"
       "1,\x82\xA0"
       "2,\x82\xA0"
       "3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Answer(c.headers), Ok(c.result, "Shift_JIS")) << c.label;
  }
}

// Counts the header lines of a response: the lines between the status line and the blank one.
int HeaderLineCount(const std::string& response) {
  int lines = 0;
  std::size_t at = response.find("\r\n");
  while (at != std::string::npos && at + 2 < response.size()) {
    const std::size_t next = response.find("\r\n", at + 2);
    if (next == at + 2) break;  // the blank line
    ++lines;
    at = next;
  }
  return lines;
}

// A line break out of a mail must not split the Result line: each CR LF goes.
TEST(Execute, MailTextCannotForgeResponseLines) {
  struct Case {
    const char* label;
    std::string list;
    std::string templateText;
    std::string result;
  };
  const Case cases[] = {
      // "Hi" CR LF "X-Forged: 1" CR LF
      {"CR LF from a decoded word", "Subject: =?SJIS?B?SGkNClgtRm9yZ2VkOiAxDQo=?=\x02", "!Subject!",
       "HiX-Forged: 1"},
      // "a" CR LF " b": an unfolded header
      {"folded value", "Subject: =?SJIS?B?YQ0KIGI=?=\x02", "!Subject!", "a b"},
      // CR CR LF LF
      {"pair formed by a removal", "Subject: =?SJIS?B?DQ0KCg==?=\x02", "<!Subject!>", "<>"},
      {"CR from the mail, LF from the template", "Subject: x\r\x02", "!Subject!\n", "x"},
      {"lone CR and lone LF stay", "Subject: x\ry\x02", "!Subject!\n", "x\ry\n"},
      // The answer is looked at for a CR a block at a time, as it is written.
      {"pair far into a long answer",
       "Subject: " + std::string(70000, 'a') + "\x02Subject: x\r\x02", "!Subject!\n",
       std::string(70000, 'a') + "\n,x"},
  };
  for (const Case& c : cases) {
    const std::string response =
        Answer({"Argument0: " + c.templateText, kSeparator, "Argument2: " + c.list});
    EXPECT_EQ(response, Ok(c.result, "Shift_JIS")) << c.label;
    EXPECT_EQ(HeaderLineCount(response), 2) << c.label;
  }
}

// A line named "Argument" answers the search for every argument: the list, the template and the
// separator may stand in one line, and the list's text must outlast its parsing then.
TEST(Execute, ArgumentsSharingALine) {
  EXPECT_EQ(Answer({"Argument: Subject: 1\x02"}), Ok("Subject: 1\x02", "Shift_JIS"));
  EXPECT_EQ(Answer({"Argument0: [!Subject!]", "Argument: x\x02y\x02"}),
            Ok("[]x\x02y\x02[]", "Shift_JIS"));
  EXPECT_EQ(Answer({"Argument: <!Subject!>\x02", "Argument1: ,"}), Ok("<>\x02", "Shift_JIS"));
}

// The Result value ends at its first zero byte, wherever that comes from.
// A zero byte ends the value it stands in, as in a NUL-terminated header line, and nothing
// more: the other mails and the rest of the template still reach Result, which never holds a
// zero byte itself.
TEST(Execute, ZeroByteEndsItsValueOnly) {
  using namespace std::string_literals;
  const std::string three = "Argument2: Subject: 1\x02Subject: 2\x02Subject: 3\x02";
  EXPECT_EQ(Answer({"Argument0: [!Subject!]\0tail"s, kSeparator, three}),
            Ok("[1],[2],[3]", "Shift_JIS"));
  EXPECT_EQ(Answer({kTemplate, kSeparator, "Argument2: Subject: 1\x02Subject: a\0b\x02"s}),
            Ok("[1]", "Shift_JIS"));
  // A word leaves no zero byte: ESC $ B 0x21 0xE0 ESC ( B is a broken pair, one geta mark.
  EXPECT_EQ(Answer({kTemplate, kSeparator,
                    "Argument2: Subject: =?ISO-2022-JP?B?GyRCIeAbKEI=?=z\x02Subject: 2\x02"}),
            Ok("[\x81\xACz],[2]", "Shift_JIS"));
}

// Mails of growing and of shrinking size: however the room for the result is guessed, the
// joined text is the same.
TEST(Execute, ResultOfUnevenMails) {
  for (const bool growing : {true, false}) {
    std::string list = "Argument2: ";
    std::string expected;
    for (int i = 0; i < 300; ++i) {
      const std::string subject(static_cast<std::size_t>(growing ? i * 7 : (299 - i) * 7),
                                static_cast<char>('a' + i % 26));
      list += "Subject: " + subject + "\x02";
      if (i != 0) expected += "; ";
      expected += "<" + subject + ">";
    }
    EXPECT_EQ(Answer({"Argument0: <!Subject!>", "Argument1: ; ", list}), Ok(expected, "Shift_JIS"))
        << growing;
  }
}

TEST(PluginModuleMembers, ThinOverTheMailUnits) {
  PluginModule module;
  const std::string text = "=?SJIS?B?QUJD?=rest";
  std::string out;
  EXPECT_EQ(module.decodeEncodedWord(text.data(), text.data() + text.size(), 1, out), 15u);
  EXPECT_EQ(out, "ABC");

  const std::string list = "From: A\x01Subject: B\x02";
  EXPECT_TRUE(module.parseMailList(list.data(), static_cast<std::uint32_t>(list.size()), 1));
  ASSERT_EQ(module.mails.size(), 1u);
  std::string value = "stale";
  EXPECT_EQ(module.findHeaderValue(module.mails[0], "Subject", value), 1);
  EXPECT_EQ(value, "B");
  value = "stale";
  EXPECT_EQ(module.findHeaderValue(module.mails[0], "Date", value), -1);
  EXPECT_EQ(value, "stale");
  std::string result = ">";
  module.expandTemplate(module.mails[0], "!From!!Subject!", result);
  EXPECT_EQ(result, ">AB");
}

}  // namespace
}  // namespace quillet
