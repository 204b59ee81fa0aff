#include <gtest/gtest.h>

#include <random>
#include <string>

#include "mail/remove_crlf_pairs.h"

namespace quillet {
namespace {

// The rule read literally: erase the first CR LF until there is none.
std::string RemoveByRescan(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n")) {
    text.erase(at, 2);
  }
  return text;
}

TEST(RemoveCrLfPairs, Table) {
  struct Case {
    const char* label;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"no CR", "a\nb", "a\nb"},
      {"folded line", "a\r\n b", "a b"},
      {"pair formed by a removal", "\r\r\n\n", ""},
      {"three deep", "x\r\r\r\n\n\ny", "xy"},
      {"lone CR", "a\rb", "a\rb"},
      {"LF CR", "\n\r", "\n\r"},
      {"CR CR LF", "a\r\r\nb", "a\rb"},
      {"CR LF LF", "a\r\n\nb", "a\nb"},
      {"CR at the end", "a\r", "a\r"},
      {"two pairs", "a\r\nb\r\nc", "abc"},
      {"forged header line", "Hi\r\nCharset: x\r\n\r\nbody", "HiCharset: xbody"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    RemoveCrLfPairs(text);
    EXPECT_EQ(text, c.expected) << c.label;
  }
}

TEST(RemoveCrLfPairs, AgreesWithRescan) {
  static const char alphabet[] = "\r\r\n\na";
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 2);
  std::uniform_int_distribution<int> length(0, 24);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int i = length(random); i > 0; --i) text += alphabet[pick(random)];
    std::string fast = text;
    RemoveCrLfPairs(fast);
    ASSERT_EQ(fast, RemoveByRescan(text)) << text.size();
  }
}

TEST(RemoveCrLfPairs, DeepNestingAtSize) {
  const std::size_t n = 1000000;
  std::string text = "<" + std::string(n, '\r') + std::string(n, '\n') + ">";
  RemoveCrLfPairs(text);
  EXPECT_EQ(text, "<>");
}

}  // namespace
}  // namespace quillet
