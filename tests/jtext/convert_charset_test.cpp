#include "jtext/convert_charset.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "jtext/code_pairs.h"
#include "jtext/exact_bytes.h"
#include "jtext/reference_convert.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;

constexpr int kJis = 0;
constexpr int kSjis = 1;
constexpr int kEuc = 2;

std::string Convert(int source, const std::string& bytes, int target) {
  const ExactBytes input(bytes);
  std::string output;
  EXPECT_EQ(ConvertCharset(source, input.data(), input.size(), target, output), 0);
  return output;
}

// Worked by hand from the code tables: 0x2422 is hiragana a (Shift_JIS 0x82A0, EUC 0xA4A2),
// 0x2121 the ideographic space, 0x7E7E the last cell.
TEST(PairFunctions, Table) {
  struct Case {
    const char* label;
    std::uint32_t (*pair)(std::uint32_t, std::uint32_t);
    std::uint32_t b1, b2, expected;
  };
  const Case cases[] = {
      {"JisToSjis a", pairs::JisToSjis, 0x24, 0x22, 0x82A0},
      {"JisToSjis first cell", pairs::JisToSjis, 0x21, 0x21, 0x8140},
      {"JisToSjis odd row end", pairs::JisToSjis, 0x21, 0x7E, 0x819E},
      {"JisToSjis skips 0x7F", pairs::JisToSjis, 0x21, 0x60, 0x8180},
      {"JisToSjis even row start", pairs::JisToSjis, 0x22, 0x21, 0x819F},
      {"JisToSjis lead jumps to 0xE0", pairs::JisToSjis, 0x5F, 0x21, 0xE040},
      {"JisToSjis last cell", pairs::JisToSjis, 0x7E, 0x7E, 0xEFFC},
      {"JisToSjis with 0x00", pairs::JisToSjis, 0x24, 0x00, 0x827D},
      {"JisToSjis carries into bit 8", pairs::JisToSjis, 0x24, 0xA2, 0x8320},
      {"JisToSjis row below 0x21 wraps", pairs::JisToSjis, 0x00, 0x41, 0xB0BF},
      {"JisToEuc a", pairs::JisToEuc, 0x24, 0x22, 0xA4A2},
      {"JisToEuc with 0x00", pairs::JisToEuc, 0x24, 0x00, 0xA480},
      {"SjisToJis a", pairs::SjisToJis, 0x82, 0xA0, 0x2422},
      {"SjisToJis first cell", pairs::SjisToJis, 0x81, 0x40, 0x2121},
      {"SjisToJis after 0x7F", pairs::SjisToJis, 0x81, 0x80, 0x2160},
      {"SjisToJis odd row end", pairs::SjisToJis, 0x81, 0x9E, 0x217E},
      {"SjisToJis even row start", pairs::SjisToJis, 0x81, 0x9F, 0x2221},
      {"SjisToJis lead 0xE0", pairs::SjisToJis, 0xE0, 0x40, 0x5F21},
      {"SjisToJis last cell", pairs::SjisToJis, 0xEF, 0xFC, 0x7E7E},
      {"SjisToJis beyond JIS X 0208", pairs::SjisToJis, 0xF0, 0x40, 0x7F21},
      {"SjisToJis wraps below range", pairs::SjisToJis, 0x00, 0x00, 0xFFFFFFE1},
      {"SjisToEuc odd row end", pairs::SjisToEuc, 0x81, 0x9E, 0xA1FE},
      {"SjisToEuc even row start", pairs::SjisToEuc, 0x81, 0x9F, 0xA2A1},
      {"EucToJis a", pairs::EucToJis, 0xA4, 0xA2, 0x2422},
      {"EucToJis masks bit 7 only", pairs::EucToJis, 0x8F, 0x41, 0x0F41},
      {"EucToSjis a", pairs::EucToSjis, 0xA4, 0xA2, 0x82A0},
      {"EucToSjis row 0x22", pairs::EucToSjis, 0xA2, 0xAF, 0x81AD},
      {"EucToSjis last cell", pairs::EucToSjis, 0xFE, 0xFE, 0xEFFC},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.pair(c.b1, c.b2), c.expected) << c.label;
  }
}

struct ConvertCase {
  const char* label;
  std::string input;
  std::string expected;
};

void ExpectConversions(int source, int target, const std::vector<ConvertCase>& cases) {
  for (const ConvertCase& c : cases) {
    EXPECT_EQ(Hex(Convert(source, c.input, target)), Hex(c.expected)) << c.label;
  }
}

// "\x82\xA0" hiragana a, "\x81\x9E" / "\x81\x9F" the last cell of row 0x21 and the first of
// row 0x22, "\xB1" / "\xB6" / "\xCA" half-width a / ka / ha, "\xDE" / "\xDF" the sound marks.
TEST(ConvertFromSjis, ToJis) {
  ExpectConversions(
      kSjis, kJis,
      {
          {"empty", "", ""},
          {"ASCII around a",
           "A\x82\xA0"
           "B",
           "A\x1B$B\x24\x22\x1B(BB"},
          {"row 0x21 end", "\x81\x9E", "\x1B$B\x21\x7E\x1B(B"},
          {"ka + dakuten", "\xB6\xDE", "\x1B$B\x25\x2C\x1B(B"},
          {"kana then ASCII",
           "\xB1"
           "A",
           "\x1B$B\x25\x22\x1B(BA"},
          {"ASCII then kana", "A\xB1", "A\x1B$B\x25\x22\x1B(B"},
          {"kana and kanji share a switch", "\xB1\x82\xA0", "\x1B$B\x25\x22\x24\x22\x1B(B"},
          {"kanji then kana", "\x82\xA0\xB1", "\x1B$B\x24\x22\x25\x22\x1B(B"},
          {"a + dakuten stays two", "\xB1\xDE", "\x1B$B\x25\x22\x21\x2B\x1B(B"},
          {"ha + handakuten, ka", "\xCA\xDF\xB6", "\x1B$B\x25\x51\x25\x2B\x1B(B"},
          {"bad second byte is single", "\x82\xA0\x82\x20", "\x1B$B\x24\x22\x1B(B\x82\x20"},
          {"lead byte at the end", "A\x82", "A\x82"},
          {"lone 0x80 is single", "\x80", "\x80"},
          {"0x7F is no second byte", "\x82\x7F", "\x82\x7F"},
          {"0xFD is no second byte", "\x82\xFD", "\x82\xFD"},
          {"lead 0xFC beyond JIS X 0208", "\xFC\xFC", "\x1B$B\x98\x7E\x1B(B"},
          {"high single after kanji", "\x82\xA0\x80", "\x1B$B\x24\x22\x1B(B\x80"},
          {"ESC is copied", "\x1B$B", "\x1B$B"},
      });
}

TEST(ConvertFromSjis, ToEuc) {
  ExpectConversions(kSjis, kEuc,
                    {
                        {"empty", "", ""},
                        {"a", "\x82\xA0", "\xA4\xA2"},
                        {"row 0x21 end", "\x81\x9E", "\xA1\xFE"},
                        {"row 0x22 start", "\x81\x9F", "\xA2\xA1"},
                        {"kana stays half-width", "\xB1", "\x8E\xB1"},
                        {"marks are not merged", "\xB6\xDE", "\x8E\xB6\x8E\xDE"},
                        {"0xA0", "\xA0", "\x8E\xA0"},
                        {"bad second byte is single", "\x82\x20", "\x82\x20"},
                        {"lead byte at the end", "\x82", "\x82"},
                        {"second byte in the kana range", "\x82\xB1", "\xA4\xB3"},
                        {"ASCII and controls", "a\tb\x1B(B\x7F", "a\tb\x1B(B\x7F"},
                    });
}

TEST(ConvertFromEuc, ToSjis) {
  ExpectConversions(kEuc, kSjis,
                    {
                        {"empty", "", ""},
                        {"a", "\xA4\xA2", "\x82\xA0"},
                        {"SS2 kana", "\x8E\xB1", "\xB1"},
                        {"SS2 marks are not merged", "\x8E\xB6\x8E\xDE", "\xB6\xDE"},
                        {"SS2 at the end", "A\x8E", "A\x8E"},
                        {"SS2 with a non-kana", "\x8E\x41", "\x8E\x41"},
                        {"SS2 with 0xE0", "\x8E\xE0", "\x8E\xE0"},
                        {"SS3 JIS X 0212 is one geta", "\x8F\xA2\xAF", "\x81\xAC"},
                        {"SS3 without two bytes is single", "\x8F\x41", "\x8F\x41"},
                        {"first byte at the end", "\xA4", "\xA4"},
                        {"bad second byte", "\xA4\x41", "\xA4\x41"},
                        {"0xFF is no EUC byte", "\xFF\xA1\xA1", "\xFF\x81\x40"},
                        {"last cell", "\xFE\xFE", "\xEF\xFC"},
                    });
}

TEST(ConvertFromEuc, ToJis) {
  ExpectConversions(
      kEuc, kJis,
      {
          {"empty", "", ""},
          {"a", "\xA4\xA2", "\x1B$B\x24\x22\x1B(B"},
          {"SS2 kana then ASCII",
           "\x8E\xB1"
           "A",
           "\x1B$B\x25\x22\x1B(BA"},
          {"ka + dakuten", "\x8E\xB6\x8E\xDE", "\x1B$B\x25\x2C\x1B(B"},
          {"ha + handakuten", "\x8E\xCA\x8E\xDF", "\x1B$B\x25\x51\x1B(B"},
          {"mark without SS2 is not merged", "\x8E\xB6\xDE", "\x1B$B\x25\x2B\x1B(B\xDE"},
          {"a + dakuten stays two", "\x8E\xB1\x8E\xDE", "\x1B$B\x25\x22\x21\x2B\x1B(B"},
          {"kana and kanji share a switch", "\x8E\xB1\xA4\xA2", "\x1B$B\x25\x22\x24\x22\x1B(B"},
          {"SS3 JIS X 0212 is one geta", "\x8F\xA2\xAF", "\x1B$B\x22\x2E\x1B(B"},
          {"first byte at the end", "\xA4\xA2\xA4", "\x1B$B\x24\x22\x1B(B\xA4"},
          {"SS2 at the end", "\x8E", "\x8E"},
      });
}

// "\x36\x40\x36\x45" in ESC ( I is katakana ka ta ka na; "\x30\x21" in ESC $ ( D is JIS X
// 0212 row 0x30 (EUC-JP "\x8F\xB0\xA1"); "\x81\xAC" / "\xA2\xAE" is the geta mark.
TEST(ConvertFromJis, ToSjis) {
  ExpectConversions(
      kJis, kSjis,
      {
          {"empty", "", ""},
          {"escapes are not copied", "\x1B$B\x24\x22\x1B(B", "\x82\xA0"},
          {"no ESC ( B at the end", "A\x1B$B\x24\x22", "A\x82\xA0"},
          {"lone last byte is a geta", "\x1B$B\x24", "\x81\xAC"},
          {"first byte and a high byte are one geta", "\x1B$B\x24\xA2\x1B(BA",
           "\x81\xAC"
           "A"},
          {"ESC $ @ is JIS X 0208", "\x1B$@\x24\x22", "\x82\xA0"},
          {"ESC ( B in ASCII changes nothing", "A\x1B(B", "A"},
          {"ESC $ B twice", "\x1B$B\x1B$B\x24\x22", "\x82\xA0"},
          {"ESC ( J keeps its bytes", "\x1B$B\x24\x22\x1B(J\\~\x1B(B", "\x82\xA0\\~"},
          {"ESC ( I half-width katakana", "\x1B(I\x36\x40\x36\x45\x1B(B", "\xB6\xC0\xB6\xC5"},
          {"ESC $ ( D pair is one geta", "\x1B$(D\x30\x21\x1B(BA",
           "\x81\xAC"
           "A"},
          {"escape cut at the end", "A\x1B$", "A\x81\xAC$"},
          {"unknown escape, reading goes on", "\x1B$B\x1B(Z\x24\x22", "\x81\xAC\x84\xD8\x82\xA0"},
          {"back to ASCII", "\x1B$B\x24\x22\x1B(B\x24\x22", "\x82\xA0\x24\x22"},
          {"high bytes and SO in ASCII", "\xA4\x82\x0E", "\x81\xAC\x81\xAC\x81\xAC"},
          // Rows and columns at the edges of the arithmetic, four in a word, then three
          // pairs (or two) before the closing escape.
          {"pairs at the edges, then three",
           "\x1B$B\x21\x5F\x21\x60\x5E\x7E\x5F\x21\x7E\x7E\x22\x21\x24\x22\x1B(BAB",
           "\x81\x7E\x81\x80\x9F\xFC\xE0\x40\xEF\xFC\x81\x9F\x82\xA0"
           "AB"},
          {"pairs at the edges, then two",
           "\x1B$B\x21\x5F\x21\x60\x5E\x7E\x5F\x21\x7E\x7E\x22\x21\x1B(B",
           "\x81\x7E\x81\x80\x9F\xFC\xE0\x40\xEF\xFC\x81\x9F"},
      });
}

TEST(ConvertFromJis, ToEuc) {
  ExpectConversions(
      kJis, kEuc,
      {
          {"empty", "", ""},
          {"escapes are not copied", "\x1B$B\x24\x22\x1B(B", "\xA4\xA2"},
          {"lone last byte is a geta", "\x1B$B\x24", "\xA2\xAE"},
          {"ESC ( I kana after SS2", "\x1B(I\x36\x1B(B", "\x8E\xB6"},
          {"ESC $ ( D keeps JIS X 0212", "\x1B$(D\x30\x21", "\x8F\xB0\xA1"},
          {"a first byte before ESC is alone", "\x1B$B\x24\x1B$B\x22", "\xA2\xAE\xA2\xAE"},
      });
}

// Written again with ESC $ B and ESC ( B only, ending in ASCII.
TEST(ConvertFromJis, ToJis) {
  const struct {
    const char* label;
    std::string input;
    std::string expected;
  } cases[] = {
      {"ESC $ @ becomes ESC $ B", "\x1B$@\x24\x22", "\x1B$B\x24\x22\x1B(B"},
      {"ESC ( J becomes ASCII", "\x1B(J\\\x1B(B", "\\"},
      {"kana widened, a sound mark merged", "\x1B(I\x36\x5E", "\x1B$B\x25\x2C\x1B(B"},
      {"JIS X 0212 is a geta", "\x1B$(D\x30\x21\x1B(B", "\x1B$B\x22\x2E\x1B(B"},
      {"switches only where the set changes", "\x1B$B\x24\x22\x1B(B\x1B$B\x24\x24\x1B(B",
       "\x1B$B\x24\x22\x24\x24\x1B(B"},
  };
  for (const auto& c : cases) {
    const ExactBytes input(c.input);
    std::string output;
    ConvertFromJis(input.data(), input.size(), kCharsetJis, output);
    EXPECT_EQ(Hex(output), Hex(c.expected)) << c.label;
  }
}

TEST(ConvertCharset, Dispatch) {
  const std::string jis = "A\x1B$B\x24\x22\x1B(B";  // with its escapes
  struct Case {
    const char* label;
    int source;
    int target;
    int result;
    std::string expected;
  };
  const Case cases[] = {
      {"same code Shift_JIS", kSjis, kSjis, 3, "A\x82\xA0\xB1"},
      {"same code ISO-2022-JP keeps escapes", kJis, kJis, 3, jis},
      {"same code EUC-JP", kEuc, kEuc, 3, jis},
      {"source out of range", 4, kSjis, 1, ""},
      {"source negative", -1, kEuc, 1, ""},
      {"target out of range", kSjis, -1, 2, ""},
      {"target too large", kEuc, 4, 2, ""},
      {"both out of range", 4, -1, 1, ""},
  };
  for (const Case& c : cases) {
    const std::string input = c.source == kSjis ? "A\x82\xA0\xB1" : jis;
    std::string output = "kept:";
    const ExactBytes bytes(input);
    EXPECT_EQ(ConvertCharset(c.source, bytes.data(), bytes.size(), c.target, output), c.result)
        << c.label;
    EXPECT_EQ(Hex(output), Hex("kept:" + c.expected)) << c.label;
  }
}

TEST(ConvertCharset, AppendsAfterEarlierContent) {
  std::string output = "Subject: ";
  EXPECT_EQ(ConvertCharset(kSjis, std::string("\x82\xA0"), kJis, output), 0);
  EXPECT_EQ(output, "Subject: \x1B$B\x24\x22\x1B(B");
  EXPECT_EQ(ConvertCharset(kEuc, std::string(), kJis, output), 0);  // nothing, no escape
  EXPECT_EQ(output, "Subject: \x1B$B\x24\x22\x1B(B");
}

TEST(ConvertCharset, PlainTextUnchangedEveryWay) {
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    const char c = static_cast<char>(i % 0x80);
    // ISO-2022-JP text holds no ESC but in its escape sequences, nor SO or SI.
    if (c != 0x1B && c != 0x0E && c != 0x0F) text += c;
  }
  for (int source = 0; source < 3; ++source) {
    for (int target = 0; target < 3; ++target) {
      if (source == target) continue;
      EXPECT_EQ(Convert(source, text, target), text) << source << " to " << target;
    }
  }
}

// Random texts built from the pieces that matter to each classifier (escapes, lead and trail
// bytes, kana and marks, SS2/SS3, long ASCII and kanji runs), held to the plain reference
// converter. The lengths cross the word size and the output chunking many times.
std::string RandomText(std::mt19937& rng, std::size_t length) {
  // Escapes (cut ones too), SS2/SS3, kana and marks, characters, odd bytes.
  static const char* const pieces[] = {
      "\x1B$B",   "\x1B(B",   "\x1B$@",   "\x1B(J",           "\x1B",
      "\x1B$",    "\x8E",     "\x8F",     "\x8E\xB6\x8E\xDE", "\x8E\xCA\x8E\xDF",
      "\xDE",     "\xDF",     "\xB6\xDE", "\xCA\xDF",         "\xA0",
      "\x82\xA0", "\xA4\xA2", "\x24\x22", "\x81\x7F",         "\x81\x9E",
      "\x80",     "\xFF",     "\xFD",     "\x1B(I",           "\x1B$(D",
      "\x0E",     "\x1B$A",   "\x1B$(",
  };
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> piece(0, sizeof pieces / sizeof pieces[0] - 1);
  std::uniform_int_distribution<int> anyByte(0, 255);
  std::uniform_int_distribution<int> runLength(1, 40);
  std::uniform_int_distribution<int> ascii(0x20, 0x7E);
  std::uniform_int_distribution<int> graphic(0xA1, 0xFE);
  std::uniform_int_distribution<int> lead(0x81, 0x9F);
  std::uniform_int_distribution<int> trail(0x40, 0xFC);
  std::uniform_int_distribution<int> seven(0x21, 0x7E);
  std::string text;
  while (text.size() < length) {
    const int n = runLength(rng);
    switch (kind(rng)) {
      case 0:
      case 1:
        text += pieces[piece(rng)];
        break;
      case 2:
        text += static_cast<char>(anyByte(rng));
        break;
      case 3:
        for (int i = 0; i < n; ++i) text += static_cast<char>(ascii(rng));
        break;
      case 4:
        for (int i = 0; i < 2 * n; ++i) text += static_cast<char>(graphic(rng));
        break;
      case 5:
        for (int i = 0; i < n; ++i) {
          text += static_cast<char>(lead(rng));
          text += static_cast<char>(trail(rng));
        }
        break;
      case 6:
        text += "\x1B$B";
        for (int i = 0; i < 2 * n; ++i) text += static_cast<char>(seven(rng));
        text += "\x1B(B";
        break;
      case 7:
        for (int i = 0; i < n; ++i) text += static_cast<char>(0xA0 + anyByte(rng) % 0x40);
        break;
      case 8:
        for (int i = 0; i < n; ++i) {
          text += '\x8E';
          text += static_cast<char>(0xA0 + anyByte(rng) % 0x40);
        }
        break;
      default:
        text += std::string(static_cast<std::size_t>(n), static_cast<char>(anyByte(rng)));
        break;
    }
  }
  text.resize(length);
  return text;
}

TEST(ConvertCharset, MatchesPlainReferenceOnRandomText) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> shortLength(0, 64);
  for (int round = 0; round < 600; ++round) {
    const std::size_t length = round < 500 ? shortLength(rng) : 1000 + 100 * round;
    const std::string text = RandomText(rng, length);
    for (int source = 0; source < 3; ++source) {
      for (int target = 0; target < 3; ++target) {
        if (source == target && source != kJis) continue;
        std::string got;
        if (source == target) {
          ConvertFromJis(text.data(), text.size(), kCharsetJis, got);
        } else {
          got = Convert(source, text, target);
        }
        const std::string want = ReferenceConvert(source, text, target);
        if (got != want) {
          ADD_FAILURE() << source << " to " << target << " on " << Hex(text) << "\n got "
                        << Hex(got) << "\nwant " << Hex(want);
          return;
        }
      }
    }
  }
}

}  // namespace
}  // namespace quillet
