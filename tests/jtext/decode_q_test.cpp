// The Q decoder of mail words.
#include <gtest/gtest.h>

#include <string>

#include "exact_bytes.h"
#include "jtext/decode_q.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;

TEST(DecodeMailQ, Table) {
  struct Case {
    const char* label;
    std::string input;
    std::string out;
  };
  const Case cases[] = {
      {"underscore is a space", "a_b", "a b"},
      {"hex in either case", "=41=4a=4A=e9", "AJJ\xE9"},
      {"= without two hex digits stays", "=G1=4=", "=G1=4="},
      {"= before a hex pair", "==41", "=A"},
      {"other bytes stay, 8-bit ones too", "x?y\xE9 ", "x?y\xE9 "},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    const ExactBytes bytes(c.input);
    std::string out = "<";
    EXPECT_EQ(DecodeMailQ(bytes.data(), bytes.size(), out), 0) << c.label;
    EXPECT_EQ(out, "<" + c.out) << c.label;
  }
}

TEST(DecodeMailQ, KeepsZeroBytesAndSkipsFoldedWhiteSpace) {
  const struct {
    const char* label;
    std::string input;
    std::string out;
  } cases[] = {
      {"=00 is a zero byte", "A=00B=00", std::string("A\0B\0", 4)},
      {"white space between = and its digits", "=\r\n 41=\t4=20", "A=\t4 "},
      {"white space before no hex pair stays", "= x= ", "= x= "},
  };
  for (const auto& c : cases) {
    const ExactBytes bytes(c.input);
    std::string out = "<";
    EXPECT_EQ(DecodeMailQ(bytes.data(), bytes.size(), out), 0) << c.label;
    EXPECT_EQ(out, "<" + c.out) << c.label;
  }
}

}  // namespace
}  // namespace quillet
