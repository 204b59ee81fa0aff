// The single-byte encodings against the standard's index files (the oracle is written from
// them at build time by the table's generator), hand-picked bytes, and x-user-defined.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "charsets/decode_to_utf8.h"
#include "charsets/encoding.h"
#include "charsets/single_byte.h"
#include "jtext/exact_bytes.h"

#include "single_byte_oracle.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;

std::string Decode(Encoding encoding, const std::string& bytes) {
  const ExactBytes input(bytes);
  std::string output;
  DecodeToUtf8(encoding, input.data(), input.size(), output);
  return output;
}

// Every byte of every encoding on its own, then all 256 bytes as one text.
TEST(SingleByte, EveryByteOfEveryEncodingAsItsIndexHasIt) {
  ASSERT_EQ(std::size(kSingleByteOracle), 28u);
  for (const SingleByteOracle& entry : kSingleByteOracle) {
    const std::string name = entry.name;
    const Encoding encoding = EncodingOfLabel(name.data(), name.size());
    ASSERT_TRUE(IsSingleByte(encoding)) << name;
    std::string all, want;
    for (unsigned b = 0; b < 0x100; ++b) {
      const std::string byte(1, static_cast<char>(b));
      const std::string expected = b < 0x80 ? byte : std::string(entry.high[b - 0x80]);
      EXPECT_EQ(Decode(encoding, byte), expected) << name << " byte " << Hex(byte);
      all += byte;
      want += expected;
    }
    EXPECT_EQ(Decode(encoding, all), want) << name;
  }
}

struct DecodeCase {
  Encoding encoding;
  std::string input;
  std::string expected;
};

TEST(SingleByte, HandPickedBytes) {
  const DecodeCase cases[] = {
      {Encoding::kWindows1253, "\xAA", "\xEF\xBF\xBD"},  // no character in the index: U+FFFD
      {Encoding::kWindows1253,
       "a\xAA"
       "b",
       "a\xEF\xBF\xBD"
       "b"},
      {Encoding::kWindows1252, "\x80", "\xE2\x82\xAC"},  // euro sign
      {Encoding::kWindows1252, "\x81", "\xC2\x81"},      // a C1 control in this index
      {Encoding::kKoi8R, "\xC1", "\xD0\xB0"},            // Cyrillic small a
      {Encoding::kIso8859_8I, "\xE0", "\xD7\x90"},       // Hebrew alef, as in ISO-8859-8
      // Cyrillic small a with one space, two spaces and a space at the end after it.
      {Encoding::kKoi8R, "\xC1 \xC1  \xC1 ", "\xD0\xB0 \xD0\xB0  \xD0\xB0 "},
      // ASCII runs longer than a word, broken by a high byte (e with acute) at odd places.
      {Encoding::kWindows1252, "abcdefghi\xE9jklmnopqrstuvwxyz\xE9\xE9",
       "abcdefghi\xC3\xA9jklmnopqrstuvwxyz\xC3\xA9\xC3\xA9"},
      {Encoding::kXUserDefined, "A\x7F\x80\xFF",
       "A\x7F\xEF\x9E\x80\xEF\x9F\xBF"},  // U+F780, U+F7FF
      {Encoding::kXUserDefined, "", ""},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(Decode(c.encoding, c.input), c.expected) << Hex(c.input);
  }
}

// Inputs past one chunk of the converters' output cursor.
TEST(SingleByte, LongTextAcrossChunks) {
  std::string input, expected;
  for (int i = 0; i < 20000; ++i) {
    input += (i % 7 == 0) ? "\xC1" : "z";  // KOI8-R Cyrillic small a
    expected += (i % 7 == 0) ? "\xD0\xB0" : "z";
  }
  EXPECT_EQ(Decode(Encoding::kKoi8R, input), expected);
}

}  // namespace
}  // namespace quillet
