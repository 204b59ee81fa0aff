#include <gtest/gtest.h>

#include <string>

#include "mail/find_header_value.h"
#include "mail_test_support.h"

namespace quillet {
namespace {

using namespace std::string_literals;
using testing_support::Lines;
using testing_support::ListOf;

struct LookupCase {
  const char* label;
  Lines lines;
  const char* name;
  int index;
  std::string value;
};

TEST(FindHeaderValue, Table) {
  const LookupCase cases[] = {
      {"plain", {"From: a", "Subject: Hi"}, "Subject", 1, "Hi"},
      {"case ignored", {"subject: Hi"}, "Subject", 0, "Hi"},
      {"capitals", {"SUBJECT: Hi"}, "Subject", 0, "Hi"},
      {"no space after the colon", {"Subject:Hi"}, "Subject", -1, "stale"},
      {"space before the colon", {"Subject : Hi"}, "Subject", -1, "stale"},
      {"empty value", {"Subject: "}, "Subject", 0, ""},
      {"not trimmed", {"Subject:  Hi\r"}, "Subject", 0, " Hi\r"},
      {"first : decides", {"From: a: b"}, "From", 0, "a: b"},
      {"first of two lines", {"Subject: 1", "Subject: 2"}, "Subject", 0, "1"},
      {"leading part of the name", {"Subj: x", "Subject: y"}, "Subject", 0, "x"},
      {"Content answers Content-Type", {"Content: x"}, "Content-Type", 0, "x"},
      {"longer field name", {"Subjects: x"}, "Subject", -1, "stale"},
      {"empty field name answers all", {": x", "From: a"}, "From", 0, "x"},
      {"line without ': '", {"From a", "From: b"}, "From", 1, "b"},
      {"empty line", {"", "From: b"}, "From", 1, "b"},
      {"empty field name after unstored lines", {"x", "", ": any"}, "Date", 2, "any"},
      {"zero byte in the field name", {"From\0x: a"s}, "From", -1, "stale"},
      {"zero byte ends the value", {"From: a\0b"s}, "From", 0, "a"},
      {"missing", {"From: a"}, "Date", -1, "stale"},
      {"no lines", {}, "From", -1, "stale"},
      // Lines of 17 bytes and more, whose names are read a word at a time.
      {"long lines, case ignored",
       {"FROM: someone@example.com", "sUbJeCt: long enough subject"},
       "Subject",
       1,
       "long enough subject"},
      {"long line, leading part",
       {"Content: text/plain; charset=x"},
       "Content-Type",
       0,
       "text/plain; charset=x"},
      {"long line, longer name", {"Content-Types: text/plain"}, "Content-Type", -1, "stale"},
      {"long line, name past the longest",
       {"Content-Type-Extra: text/plain", "Date: d"},
       "Date",
       1,
       "d"},
      {"long line, empty field name", {": a value long enough"}, "Date", 0, "a value long enough"},
      {"long line, byte 0xC4 is no letter",
       {"\xC4"
        "ate: a value long enough"},
       "Date",
       -1,
       "stale"},
      {"long line, zero byte in the name", {"Dat\0: a value long enough"s}, "Date", -1, "stale"},
      {"long line, zero byte ends the value",
       {"Date: a long value\0b"s},
       "Date",
       0,
       "a long value"},
      // 0x0D is "-" but for the case bit, which only a letter may differ in.
      {"long line, CR for the hyphen",
       {"Content\x0DType: text/plain"},
       "Content-Type",
       -1,
       "stale"},
  };
  for (const LookupCase& c : cases) {
    const MailList list = ListOf({c.lines});
    std::string_view value = "stale";
    EXPECT_EQ(FindHeaderValue(list[0], c.name, value), c.index) << c.label;
    EXPECT_EQ(std::string(value), c.value) << c.label;
    // The four names of a template looked up in one pass give what each gives alone.
    constexpr std::string_view kNames[] = {"From", "Subject", "Date", "Content-Type"};
    std::string_view values[4] = {"stale", "stale", "stale", "stale"};
    HeaderNames(kNames, 4).find(list[0], 0xF, values);
    for (int n = 0; n < 4; ++n) {
      std::string_view alone = "stale";
      FindHeaderValue(list[0], kNames[n].data(), alone);
      EXPECT_EQ(values[n], alone) << c.label << " " << kNames[n];
    }
  }
}

TEST(FindHeaderValue, NameThatLeadsAnother) {
  // A line whose name is "Sub" whole carries "Subject" too.
  const MailList list = ListOf({{"Sub: a value long enough", "Subject: x"}});
  constexpr std::string_view kNames[] = {"Sub", "Subject"};
  std::string_view values[2];
  HeaderNames(kNames, 2).find(list[0], 0x3, values);
  EXPECT_EQ(values[0], "a value long enough");
  EXPECT_EQ(values[1], "a value long enough");
}

TEST(FindHeaderValue, LongLineWithoutSeparator) {
  const MailList list = ListOf({{std::string(1 << 20, 'x') + ": far", "Date: d"}});
  std::string_view value;
  EXPECT_EQ(FindHeaderValue(list[0], "Date", value), 1);
  EXPECT_EQ(value, "d");
}

}  // namespace
}  // namespace quillet
