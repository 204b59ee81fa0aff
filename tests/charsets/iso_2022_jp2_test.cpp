// The ISO-2022-JP-2 reader: its Chinese, Korean and G2 sets, the way back into the Japanese
// sets, its errors, and plain ISO-2022-JP read exactly as the Japanese converter reads it.
#include <gtest/gtest.h>

#include <string>

#include "../jtext/exact_bytes.h"
#include "charsets/iso_2022_jp2.h"
#include "jtext/convert_charset.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;

std::string Decode(const std::string& bytes) {
  const ExactBytes input(bytes);
  std::string output;
  DecodeIso2022Jp2(input.data(), input.size(), output);
  return output;
}

const std::string kFffd = "\xEF\xBF\xBD";
const std::string kNichi = "\xE6\x97\xA5";  // U+65E5, JIS X 0208 "F|"
const std::string kAn = "\xEC\x95\x88";     // U+C548 hangul an, KS C 5601 ">H"
const std::string kChuu = "\xE4\xB8\xAD";   // U+4E2D, GB 2312 "VP"
const std::string kEAcute = "\xC3\xA9";     // U+00E9, ISO-8859-1 0xE9
const std::string kAlpha = "\xCE\xB1";      // U+03B1, ISO-8859-7 0xE1

struct Case {
  const char* label;
  std::string input;
  std::string expected;
};

std::string Times(const std::string& unit, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += unit;
  return out;
}

TEST(Iso2022Jp2, ReadsEachSetAndReturnsToTheJapaneseOnes) {
  const Case cases[] = {
      {"mail example: hangul", "\x1B$(C>H\x1B(B", kAn},
      {"mail example: kanji then hangul", "\x1B$BF|\x1B$(C>H\x1B(B", kNichi + kAn},
      {"mail example: Latin-1 and Greek", "Caf\x1B.A\x1BNi \x1B.F\x1BNa",
       "Caf" + kEAcute + " " + kAlpha},
      {"GB 2312 back to ASCII", "\x1B$AVP\x1B(Ba", kChuu + "a"},
      {"GB 2312 back to JIS X 0208", "\x1B$AVP\x1B$BF|\x1B(B", kChuu + kNichi},
      {"KS C 5601 back to ASCII", "\x1B$(C>H\x1B(Bz", kAn + "z"},
      {"KS C 5601 back to JIS X 0208", "\x1B$(C>H\x1B$BF|", kAn + kNichi},
      {"G2 before and inside a JIS X 0208 run", "\x1B.A\x1BNi\x1B$BF|\x1BNiF|\x1B(Bx",
       kEAcute + kNichi + kEAcute + kNichi + "x"},
      {"G2 designated inside a JIS X 0208 run", "\x1B$BF|\x1B.AF|", kNichi + kNichi},
      {"ESC $ @ pairs after a single shift, one the table lacks", "\x1B$@\x1B.A\x1BNi)!F|",
       kEAcute + kFffd + kNichi},
      {"G2 inside Roman: 0x5C stays yen", "\x1B(J\x1B.A\x1BNi\\", kEAcute + "\xC2\xA5"},
      {"G2 inside KS C 5601", "\x1B$(C>H\x1B.F\x1BNa>H", kAn + kAlpha + kAn},
      {"G2 upper corners: 0x20 and 0x7F", "\x1B.A\x1BN \x1BN\x7F", "\xC2\xA0\xC3\xBF"},
      // Text written on the stack first, then a run whose room moves it into the string.
      {"G2, then a long GB 2312 run", "\x1B.A\x1BNi\x1B$A" + Times("VP", 400),
       kEAcute + Times(kChuu, 400)},
      {"G2, then a long JIS X 0208 run", "\x1B.A\x1BNi\x1B$B" + Times("F|", 400),
       kEAcute + Times(kNichi, 400)},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.input), c.expected) << c.label;
}

TEST(Iso2022Jp2, ErrorsAreOneReplacementEach) {
  const Case cases[] = {
      {"ESC N with no G2: the byte after is read again", "a\x1BNbc", "a" + kFffd + "bc"},
      {"ESC N then a control byte", "\x1B.A\x1BN\nx", kFffd + "\nx"},
      {"ESC N at the end", "\x1B.A\x1BN", kFffd},
      {"ISO-8859-7 0xFF has no character", "\x1B.F\x1BN\x7F", kFffd},
      {"GB 2312 first byte before ESC", "\x1B$AV\x1B(Ba", kFffd + "a"},
      {"GB 2312 first byte at the end", "\x1B$AV", kFffd},
      {"GB 2312 first byte before LF: one for both", "\x1B$AV\nVP", kFffd + kChuu},
      {"GB 2312 byte out of range", "\x1B$A VP", kFffd + kChuu},
      {"KS C 5601 pair the table lacks", "\x1B$(C\"h>H", kFffd + kAn},
      {"unknown escape in GB 2312: read on in GB 2312",
       "\x1B$A\x1B"
       "VP",
       kFffd + kChuu},
      {"JIS X 0208 first byte cut by a G2 sequence", "\x1B$BF\x1B.A|", kFffd + kFffd},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.input), c.expected) << c.label;
}

// Texts without the added sets (an ESC . or ESC $ ( that starts none of them included) read as
// the Japanese converter reads them.
TEST(Iso2022Jp2, PlainIso2022JpReadsAsTheConverterReadsIt) {
  const std::string texts[] = {
      "",
      "plain ascii",
      "\x1B$BF|K\\8l\x1B(B text \x1B(J\\~\x1B(I12\x1B(B",
      "\x1B$(D\x22\x2F\x1B(B",                   // JIS X 0212
      "\x1B$BF\x1B(B\x1B.Z\x1B$(X\x1B\x0E\x80",  // broken pair, unknown escapes, SO, high byte
      "\x1B$BF|F|F|F|F|F|F|F|F|F|F|F|F|F|F|F|\x1B$(D\x22\x2F\x1B",
  };
  for (const std::string& text : texts) {
    std::string expected;
    ConvertCharset(kCharsetJis, text, kCharsetUtf8, expected);
    EXPECT_EQ(Decode(text), expected) << Hex(text);
  }
}

// A sequence of ours is found wherever it stands, at every distance from the end of texts of
// every length (the search looks at many positions at once and at the last ones apart).
TEST(Iso2022Jp2, FindsTheSequencesAtEveryPosition) {
  const Case tails[] = {
      {"ESC N, no G2", "\x1BNi", kFffd + "i"},
      {"ESC N at the end", "\x1BN", kFffd},
      {"GB 2312 chosen, nothing after", "\x1B$A", ""},
      {"KS C 5601 chosen, nothing after", "\x1B$(C", ""},
      {"G2 chosen, nothing after", "\x1B.F", ""},
  };
  for (const Case& tail : tails) {
    for (std::size_t before = 0; before <= 40; ++before) {
      for (const std::size_t after : {0, 1, 9, 17}) {
        const std::string a(before, 'a');
        const std::string z(after, 'z');
        // Text after a sequence that chooses G0 is read in that set: keep it in ASCII.
        const std::string back = after == 0 ? "" : "\x1B(B" + z;
        EXPECT_EQ(Decode(a + tail.input + back), a + tail.expected + z)
            << tail.label << ", " << before << " bytes before, " << after << " after";
      }
    }
  }
}

TEST(Iso2022Jp2, LongGb2312RunAcrossChunks) {
  std::string input = "\x1B$A\x01";  // one broken byte, so that pairs straddle the chunk edges
  std::string expected = kFffd;
  for (int i = 0; i < 20000; ++i) {
    input += "VP";
    expected += kChuu;
  }
  EXPECT_EQ(Decode(input), expected);
}

}  // namespace
}  // namespace quillet
