#include "jtext/base64.h"

#include <gtest/gtest.h>

#include <string>

#include "jtext/exact_bytes.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;

std::string Decode(const std::string& payload) {
  const ExactBytes input(payload);
  std::string output;
  EXPECT_EQ(DecodeMailBase64(input.data(), input.size(), output), 0);
  return output;
}

TEST(DecodeMailBase64, Table) {
  struct Case {
    const char* label;
    std::string payload;
    std::string expected;
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"three bytes", "QUJD", "ABC"},
      {"one pad", "QUI=", "AB"},
      {"two pads", "QQ==", "A"},
      {"two groups", "QUJDREVG", "ABCDEF"},
      // Python's base64 gives 00 10 83 for the first group.
      {"every value", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/",
       std::string("\x00\x10\x83", 3) +
           "\x10\x51\x87\x20\x92\x8B\x30\xD3\x8F\x41\x14\x93\x51\x55\x97\x61\x96\x9B\x71\xD7\x9F"
           "\x82"
           "\x18\xA3\x92\x59\xA7\xA2\x9A\xAB\xB2\xDB\xAF\xC3\x1C\xB3\xD3\x5D\xB7\xE3\x9E\xBB\xF3"
           "\xDF"
           "\xBF"},
      {"pads at both ends", "QQ==QUI=", "AAB"},
      {"short group of three", "QUI", "AB"},
      {"short group of three drops its last bits", "QUJ", "AB"},
      {"short group of two", "dm", "v"},
      {"short group of two drops its last bits", "QR", "A"},
      {"short group of one yields nothing", "Q", ""},
      {"short group after full", "SGVsbG8gd", "Hello "},
      {"short group of four bytes' text", "QUJDR", "ABC"},
      {"short group counts only valued bytes", "QU\r\nJ", "AB"},
      {"line breaks skipped", "QU\r\nJD\r\n", "ABC"},
      {"skipped bytes do not count", " Q U J D ", "ABC"},
      {"high bytes skipped", "Q\x80U\xFFJD", "ABC"},
      {"punctuation skipped", "QUJ-D.", "ABC"},
      {"only skipped bytes", " \t\r\n?*", ""},
      {"Shift_JIS hiragana a", "gqA=", "\x82\xA0"},  // hiragana a
      {"padding bits dropped", "QR==", "A"},
      {"two pads", "dm==", "v"},
      {"pad ends its group, the next goes on", "QQ==QUJD", "AABC"},
      {"a padded group between whole ones", "QUJDQQ==QUJD", "ABCAABC"},
      {"characters after the first pad dropped", "QQ=B", "A"},
      {"pad first drops the group", "=QUJQUJD", "ABC"},
      {"short group with a pad", "QUJDQQ=", "ABCA"},
      {"a zero is a byte like any other", "QQBC", std::string("A\0B", 3)},
      {"skipped bytes around pads", "Q Q =\r\n= Q U J D", "AABC"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Decode(c.payload)), Hex(c.expected)) << c.label;
  }
}

TEST(DecodeMailBase64, AppendsToEarlierContent) {
  std::string output = "=?";
  EXPECT_EQ(DecodeMailBase64(std::string("QUJD"), output), 0);
  EXPECT_EQ(output, "=?ABC");
}

TEST(DecodeMailBase64, SkipsAnywhere) {
  // Every group over values 0, 16, 32, 63 and "=", whole and with a line break after its first
  // character (which takes the character-at-a-time path).
  const std::string chars = "AQg/=";
  std::string whole, broken;
  for (char a : chars) {
    for (char b : chars) {
      for (char c : chars) {
        for (char d : chars) {
          whole += std::string{a, b, c, d};
          broken += std::string{a, '\r', '\n', b, c, d};
        }
      }
    }
  }
  EXPECT_EQ(Hex(Decode(broken)), Hex(Decode(whole)));
}

TEST(DecodeMailBase64, LineBreakAnywhereChangesNothing) {
  const std::string payload =
      "QUJDgqCCokFCQ0RFRkdISUpLTE1OT1BRUlNUVVZXWFla";  // ABC, Shift_JIS hiragana a i, A..Z
  const std::string expected = Decode(payload);
  ASSERT_EQ(expected.size(), 33u);
  for (std::size_t at = 0; at <= payload.size(); ++at) {
    std::string broken = payload;
    broken.insert(at, "\n");
    EXPECT_EQ(Hex(Decode(broken)), Hex(expected)) << "line break at " << at;
  }
}

TEST(DecodeMailBase64, LongPayloadMatchesGroupByGroup) {
  // A long line broken every 76 characters, as mail writers do, decodes like its groups
  // decoded one by one.
  std::string payload, expected;
  const std::string groups[] = {"QUJD", "gqAA", "QQ==", "////", "AEFC", "+/+/"};
  for (int i = 0; i < 3000; ++i) {
    const std::string& group = groups[(i * 7) % 6];
    payload += group;
    if (i % 19 == 18) payload += "\r\n";
    expected += Decode(group);
  }
  EXPECT_EQ(Decode(payload), expected);
}

}  // namespace
}  // namespace quillet
