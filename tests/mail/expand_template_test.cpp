#include <gtest/gtest.h>

#include <string>

#include "common/charset_code_of.h"
#include "mail/expand_template.h"
#include "mail/parse_mail_list.h"
#include "mail_test_support.h"

namespace quillet {
namespace {

using namespace std::string_literals;
using testing_support::FlushBytes;
using testing_support::Lines;
using testing_support::ListOf;

const Lines kMail = {"From: Alice", "Subject: Hi", "Date: Mon, 1 Jan 2001 00:00:00 +0900",
                     "Content-Type: text/plain; charset=ISO-2022-JP"};

struct TemplateCase {
  const char* label;
  std::string text;
  Lines mail;
  std::string expected;
};

std::string Expand(const std::string& text, const Lines& lines) {
  const MailList list = ListOf({lines});
  const FlushBytes bytes(text);
  std::string result = "<";
  ExpandTemplate(list[0], bytes.begin(), bytes.size(), result);
  return result;
}

TEST(ExpandTemplate, Table) {
  const TemplateCase cases[] = {
      {"empty template", "", kMail, "<"},
      {"no placeholder", "plain text", kMail, "<plain text"},
      {"all four", "!From!|!Subject!|!Date!|!Content-Type!", kMail,
       "<Alice|Hi|Mon, 1 Jan 2001 00:00:00 +0900|text/plain; charset=ISO-2022-JP"},
      {"case ignored", "!from!!FROM!!From!", kMail, "<AliceAliceAlice"},
      {"unknown name copied", "!Name!", kMail, "<!Name!"},
      {"cut short at the end", "x !From", kMail, "<x !From"},
      {"lone !", "!", kMail, "<!"},
      {"closing ! is used up", "!From!Subject!", kMail, "<AliceSubject!"},
      {"! before a placeholder", "!!From!", kMail, "<!Alice"},
      {"missing field gives nothing", "!From!|!Subject!", {"From: Bob"}, "<Bob|"},
      {"empty field name answers all", "!From!!Date!", {": x"}, "<xx"},
      {"no lines", "[!From!]", {}, "<[]"},
      {"bytes of 0x80 and up copied", "\x82\xA0!From!", kMail,
       "<\x82\xA0"
       "Alice"},
  };
  for (const TemplateCase& c : cases) {
    EXPECT_EQ(Expand(c.text, c.mail), c.expected) << c.label;
  }
}

// Values of every size up to past the copies of fixed size, each byte telling its place.
TEST(ExpandTemplate, ValuesOfEverySize) {
  std::string value;
  for (int size = 0; size <= 80; ++size) {
    EXPECT_EQ(Expand("[!Subject!]", {"Subject: " + value}), "<[" + value + "]") << size;
    value += static_cast<char>('0' + size % 64);
  }
}

TEST(ExpandTemplate, ManyPlaceholders) {
  std::string text;
  std::string expected = "<";
  for (int i = 0; i < 20000; ++i) {
    text += "!Subject!,";
    expected += "Hi,";
  }
  EXPECT_EQ(Expand(text, kMail), expected);
}

TEST(TemplatePlan, TextLength) {
  struct Case {
    std::string text;
    std::size_t length;
  };
  const Case cases[] = {
      {"", 0}, {"abc", 3}, {"!From!", 0}, {"a!Subject!b!DATE!c", 3}, {"!!From!", 1}, {"!From", 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TemplatePlan(c.text.data(), c.text.size()).textLength(), c.length) << c.text;
  }
}

// One plan filled for several mails: each mail gets its own values, none carried over.
TEST(TemplatePlan, FilledForEachMail) {
  const MailList list = ListOf({{"From: a", "Subject: 1"}, {"Subject: 2"}, {}, {"FROM: d"}});
  const std::string text = "(!From!/!Subject!)";
  const TemplatePlan plan(text.data(), text.size());
  std::string result;
  TemplatePlan::Fill fill;
  for (std::size_t i = 0; i < list.size(); ++i) {
    plan.measure(list[i], fill);
    plan.write(fill, result);
  }
  EXPECT_EQ(result, "(a/1)(/2)(/)(d/)");

  // Parsed from a list, with and without a zero byte in it: the zero byte ends its value.
  for (const std::string& bytes : {"Subject: long enough\0cut\x02Subject: b\x02"s,
                                   "Subject: long enough\x02Subject: b\x02"s}) {
    MailList parsed;
    ParseMailList(bytes.data(), bytes.size(), kCharsetSjis, parsed);
    result.clear();
    for (std::size_t i = 0; i < parsed.size(); ++i) {
      plan.measure(parsed[i], fill);
      plan.write(fill, result);
    }
    EXPECT_EQ(result, "(/long enough)(/b)");
  }
}

}  // namespace
}  // namespace quillet
