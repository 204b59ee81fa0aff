// Conversion from and into UTF-8: the Windows-31J table against Python's codec, the JIS X 0212
// table against its index, the aliases, geta marks and U+FFFD, maximal subparts, ISO-2022-JP
// and EUC-JP read in full, and the fused converters against the plain reference, chunk and
// word edges included.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "jtext/convert_charset.h"
#include "jtext/cp932_table.h"
#include "jtext/exact_bytes.h"
#include "jtext/reference_utf8.h"

#include "cp932_oracle.h"
#include "jis0208_oracle.h"
#include "jis0212_oracle.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;

constexpr int kJis = 0;
constexpr int kSjis = 1;
constexpr int kEuc = 2;
constexpr int kUtf8 = 3;

std::string Convert(int source, const std::string& bytes, int target) {
  const ExactBytes input(bytes);
  std::string output;
  EXPECT_EQ(ConvertCharset(source, input.data(), input.size(), target, output), 0);
  return output;
}

std::string Utf8(std::uint32_t u) {
  std::string s;
  if (u < 0x80) {
    s += static_cast<char>(u);
  } else if (u < 0x800) {
    s += static_cast<char>(0xC0 | (u >> 6));
    s += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (u >> 12));
    s += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (u & 0x3F));
  }
  return s;
}

// True when every character of s is well-formed (cleaning it changes nothing).
bool IsValidUtf8(const std::string& s) {
  std::string again;
  ConvertCharset(kUtf8, s, kUtf8, again);
  return again == s;
}

// "#" in an expected text stands for the replacement: U+FFFD or the geta mark.
std::string WithMarks(const std::string& text, const std::string& mark) {
  std::string out;
  for (char c : text) out += c == '#' ? mark : std::string(1, c);
  return out;
}

const std::string kFffd = "\xEF\xBF\xBD";
const std::string kGeta = "\x81\xAC";

// Every double-byte code into UTF-8, and every BMP character into Shift_JIS, row by row and
// page by page against Python's cp932 codec. Private use and U+0080 (which that encoder
// writes as the lone bytes 0x80, 0xA0, 0xFD..0xFF) have no code here: geta.
TEST(Cp932Table, EveryEntryBothWaysAgainstPython) {
  std::vector<std::uint32_t> decoded(0x10000, 0), encoded(0x10000, 0);
  for (const auto& entry : kOracleDecoded) decoded[entry[0]] = entry[1];
  for (const auto& entry : kOracleEncoded) encoded[entry[0]] = entry[1];
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    std::string sjis, want;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      sjis += static_cast<char>(lead);
      sjis += static_cast<char>(trail);
      const std::uint32_t u = decoded[lead << 8 | trail];
      // A code without a character gives back an ASCII trail.
      want += u != 0 ? Utf8(u) : trail < 0x80 ? kFffd + static_cast<char>(trail) : kFffd;
    }
    ASSERT_EQ(Hex(Convert(kSjis, sjis, kUtf8)), Hex(want)) << "lead " << lead;
  }
  for (std::uint32_t page = 0; page < 0x100; ++page) {
    if (page >= 0xD8 && page <= 0xDF) continue;  // surrogates
    std::string utf8, want;
    for (std::uint32_t u = page << 8; u < (page + 1) << 8; ++u) {
      if (u < 0x80) continue;
      utf8 += Utf8(u);
      const std::uint32_t code = encoded[u];
      const bool privateUse = u >= 0xE000 && u <= 0xF8FF;
      if (code == 0 || privateUse || (code < 0x100 && (code < 0xA1 || code > 0xDF))) {
        want += kGeta;
      } else {
        if (code >= 0x100) want += static_cast<char>(code >> 8);
        want += static_cast<char>(code & 0xFF);
      }
    }
    std::string got = Convert(kUtf8, utf8, kSjis);
    if (page == 0x00 || page == 0x20 || page == 0x22 || page == 0x30) {
      // The aliases (tested on their own) are the only codes the encoder lacks.
      ASSERT_EQ(got.size(), want.size()) << "page " << page;
      continue;
    }
    ASSERT_EQ(Hex(got), Hex(want)) << "page " << page;
  }
}

// Every JIS X 0212 code as EUC-JP 0x8F row column, one row at a time; a code the index lacks is
// one U+FFFD.
TEST(Jis0212Table, EveryCodeAgainstTheIndex) {
  std::vector<std::uint32_t> index(94 * 94, 0);
  for (const auto& entry : kOracleJis0212) index[entry[0]] = entry[1];
  for (unsigned row = 0; row < 94; ++row) {
    std::string euc, want;
    for (unsigned column = 0; column < 94; ++column) {
      euc += '\x8F';
      euc += static_cast<char>(0xA1 + row);
      euc += static_cast<char>(0xA1 + column);
      const std::uint32_t u = index[row * 94 + column];
      want += u != 0 ? Utf8(u) : kFffd;
    }
    ASSERT_EQ(Hex(Convert(kEuc, euc, kUtf8)), Hex(want)) << "row " << row;
  }
}

// Shift_JIS as the standard reads it: the Windows-31J table holds the standard's jis0208 index
// (and its user-defined rows as private use) at every pointer, and every single byte and every
// pair that starts with 0x80..0xFF reads as the reference's byte rules (the standard's steps).
TEST(SjisToUtf8, EverySingleAndPairAsTheStandardReadsIt) {
  std::vector<std::uint32_t> index(188 * 60, 0);
  for (const auto& entry : kOracleJis0208) index[entry[0]] = entry[1];
  for (unsigned pointer = 0; pointer < index.size(); ++pointer) {
    const bool user = pointer >= 8836 && pointer <= 10715;
    ASSERT_EQ(std::uint32_t{cp932::sjisToUnicode[pointer]},
              user ? 0xE000 - 8836 + pointer : index[pointer])
        << pointer;
  }
  int differing = 0;
  std::string firstDiffering;
  const auto compare = [&](const std::string& bytes) {
    if (Convert(kSjis, bytes, kUtf8) != ReferenceToUtf8(kSjis, bytes) && differing++ == 0) {
      firstDiffering = Hex(bytes);
    }
  };
  for (unsigned first = 0; first < 0x100; ++first) {
    compare(std::string(1, static_cast<char>(first)));
    for (unsigned second = 0; first >= 0x80 && second < 0x100; ++second) {
      compare({static_cast<char>(first), static_cast<char>(second)});
    }
  }
  EXPECT_EQ(differing, 0) << "first: " << firstDiffering;
}

TEST(Utf8ToSjis, AliasesOfTheJisSideForms) {
  const struct {
    std::uint32_t u;
    const char* sjis;
    const char* euc;
    const char* jis;
  } cases[] = {
      {0x301C, "\x81\x60", "\xA1\xC1", "\x21\x41"}, {0x2016, "\x81\x61", "\xA1\xC2", "\x21\x42"},
      {0x2212, "\x81\x7C", "\xA1\xDD", "\x21\x5D"}, {0x00A2, "\x81\x91", "\xA1\xF1", "\x21\x71"},
      {0x00A3, "\x81\x92", "\xA1\xF2", "\x21\x72"}, {0x00AC, "\x81\xCA", "\xA2\xCC", "\x22\x4C"},
      {0x2014, "\x81\x5C", "\xA1\xBD", "\x21\x3D"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(Convert(kUtf8, Utf8(c.u), kSjis)), Hex(c.sjis)) << std::hex << c.u;
    EXPECT_EQ(Hex(Convert(kUtf8, Utf8(c.u), kEuc)), Hex(c.euc)) << std::hex << c.u;
    EXPECT_EQ(Hex(Convert(kUtf8, Utf8(c.u), kJis)), Hex(std::string("\x1B$B") + c.jis + "\x1B(B"))
        << std::hex << c.u;
  }
}

struct Case {
  const char* label;
  int source;
  int target;
  std::string input;
  std::string expected;
};

// "\xE3\x81\x82" hiragana a (Shift_JIS 0x82A0), "\xEF\xBD\xB6" / "\xEF\xBE\x9E" half-width
// ka / voiced mark, "\xEE\x80\x80" U+E000 (private use), "\xF0\x9F\x98\x80" U+1F600.
TEST(ConvertUtf8, Cases) {
  const Case cases[] = {
      {"a to Shift_JIS", kUtf8, kSjis, "A\xE3\x81\x82", "A\x82\xA0"},
      {"kana to Shift_JIS", kUtf8, kSjis, "\xEF\xBD\xB6\xEF\xBE\x9E", "\xB6\xDE"},
      {"no code is geta", kUtf8, kSjis, "\xF0\x9F\x98\x80", kGeta},
      {"private use is geta", kUtf8, kSjis, "\xEE\x80\x80", kGeta},
      {"U+0080 is geta", kUtf8, kSjis, "\xC2\x80", kGeta},
      {"yen sign has no code", kUtf8, kSjis, "\xC2\xA5", kGeta},
      {"a to EUC-JP", kUtf8, kEuc, "\xE3\x81\x82", "\xA4\xA2"},
      {"kana to EUC-JP", kUtf8, kEuc, "\xEF\xBD\xB6", "\x8E\xB6"},
      {"geta in EUC-JP", kUtf8, kEuc, "\xEE\x80\x80", "\xA2\xAE"},
      {"a to ISO-2022-JP", kUtf8, kJis, "A\xE3\x81\x82", "A\x1B$B\x24\x22\x1B(B"},
      {"ka + voiced mark merge", kUtf8, kJis, "\xEF\xBD\xB6\xEF\xBE\x9E", "\x1B$B\x25\x2C\x1B(B"},
      {"ka + semi-voiced stays two", kUtf8, kJis, "\xEF\xBD\xB6\xEF\xBE\x9F",
       "\x1B$B\x25\x2B\x21\x2C\x1B(B"},
      {"geta in ISO-2022-JP", kUtf8, kJis, "x\xFFy", "x\x1B$B\x22\x2E\x1B(By"},
      {"UTF-8 kept", kUtf8, kUtf8, "a\xC2\xA9\xE3\x81\x82\xF0\x9F\x98\x80", ""},
      {"Shift_JIS a", kSjis, kUtf8, "\x82\xA0", "\xE3\x81\x82"},
      {"Shift_JIS kana", kSjis, kUtf8, "\xB1\xDF", "\xEF\xBD\xB1\xEF\xBE\x9F"},
      {"0x80 is U+0080, 0xA0 nothing", kSjis, kUtf8, "\x80\xA0", "\xC2\x80" + kFffd},
      {"a code without character keeps its ASCII trail", kSjis, kUtf8, "\x85\x40\x41",
       kFffd + "@A"},
      {"a code without character takes its high trail", kSjis, kUtf8, "\x85\x9F\x41", kFffd + "A"},
      {"0xFD..0xFF are no leads", kSjis, kUtf8, "\xFD\x41\xFE\xFF", kFffd + "A" + kFffd + kFffd},
      {"lead with 0xFD takes it, not the A", kSjis, kUtf8, "\x88\xFD\x41", kFffd + "A"},
      {"lead with a bad trail", kSjis, kUtf8, "\x82\x20", kFffd + " "},
      {"user-defined code is private use", kSjis, kUtf8, "\xF0\x40", "\xEE\x80\x80"},
      {"lead at the end", kSjis, kUtf8, "a\x82", "a" + kFffd},
      {"zero byte stays", kSjis, kUtf8, std::string("\0", 1), std::string("\0", 1)},
      {"Greek in two bytes", kSjis, kUtf8, "\x83\x9F", "\xCE\x91"},
      {"EUC-JP a and SS2 kana", kEuc, kUtf8, "\xA4\xA2\x8E\xB1", "\xE3\x81\x82\xEF\xBD\xB1"},
      {"EUC-JP SS2 0xA0", kEuc, kUtf8, "\x8E\xA0", kFffd},
      {"ISO-2022-JP a", kJis, kUtf8, "\x1B$B\x24\x22\x1B(Bb",
       "\xE3\x81\x82"
       "b"},
  };
  for (const Case& c : cases) {
    const std::string want = c.expected.empty() ? c.input : c.expected;
    EXPECT_EQ(Hex(Convert(c.source, c.input, c.target)), Hex(want)) << c.label;
  }
}

// ISO-2022-JP and EUC-JP into UTF-8, read in full; "#" is one U+FFFD. "\xE4\xBD\x91" is
// U+4F51 (JIS 0x4D24), "\xE3\x81\x82" hiragana a (JIS 0x2422), "\xE4\xB8\x82" U+4E02 (JIS X
// 0212 0x3021), "\xEF\xBD\x9E" U+FF5E (JIS X 0212 0x2237), "\xC2\xA5" yen sign, "\xE2\x80\xBE"
// overline, "\xEF\xBD\xA1" / "\xEF\xBE\x9F" the first and last half-width katakana.
TEST(ConvertUtf8, JisAndEucReadInFull) {
  const struct {
    const char* label;
    int source;
    std::string input;
    std::string expected;
  } cases[] = {
      {"kanji then ESC ( J is one kanji", kJis, "\x1B$B\x4D\x24\x1B(J", "\xE4\xBD\x91"},
      {"ESC $ @ as ESC $ B", kJis, "\x1B$@\x24\x22\x1B(Bz", "\xE3\x81\x82z"},
      {"Roman yen and overline, ASCII not", kJis, "\x1B(J\x5C\x7E\x1B(B\x5C\x7E",
       "\xC2\xA5\xE2\x80\xBE\x5C\x7E"},
      {"katakana and a byte out of its range", kJis, "\x1B(I\x21\x5F\x60",
       "\xEF\xBD\xA1\xEF\xBE\x9F#"},
      {"JIS X 0212 and a code it lacks", kJis, "\x1B$(D\x30\x21\x22\x37\x21\x21",
       "\xE4\xB8\x82\xEF\xBD\x9E#"},
      {"two escapes in a row", kJis, "\x1B$B\x1B(Ba\x1B(J\x1B$B\x24\x22", "a\xE3\x81\x82"},
      {"unknown escape read again", kJis, "\x1B(Za\x1B$(C", "#(Za#$(C"},
      {"unknown escape read again in two-byte mode", kJis, "\x1B$B\x1B\x24\x22", "#\xE3\x81\x82"},
      {"high bytes and shifts", kJis, "a\x80\xB1\x0E\x0F\x1B$B\xA4\xA2", "a######"},
      {"broken pair at the end", kJis, "\x1B$B\x24\x22\x24", "\xE3\x81\x82#"},
      {"broken pair takes the byte after it", kJis, "\x1B$B\x24\n\x24\x22", "#\xE3\x81\x82"},
      {"broken pair before an escape", kJis, "\x1B$B\x24\x1B(Bz", "#z"},
      {"ESC at the very end", kJis, "a\x1B", "a#"},
      {"ESC $ at the very end", kJis, "a\x1B$", "a#$"},
      {"JIS X 0212 in EUC-JP", kEuc, "\x8F\xB0\xA1", "\xE4\xB8\x82"},
      {"JIS X 0212 code the index lacks", kEuc, "\x8F\xA1\xA1z", "#z"},
      {"0x8F before ASCII", kEuc,
       "\x8F"
       "a\x8F\xB0"
       "a",
       "#a#a"},
      {"0x8E before ASCII and a bad trail", kEuc,
       "\x8E"
       "a\x8E\xE0z",
       "#a#z"},
      {"stray byte before a pair", kEuc, "\x81\xA4\xA2\xFF\xA4\xA2", "#\xE3\x81\x82#\xE3\x81\x82"},
      {"lead takes a high non-trail", kEuc, "\xA4\x81\xA4\xA2", "#\xE3\x81\x82"},
      {"lead at the end", kEuc, "a\xA4", "a#"},
      {"0x8F at the end", kEuc, "a\x8F\xB0", "a#"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(Convert(c.source, c.input, kUtf8)), Hex(WithMarks(c.expected, kFffd))) << c.label;
  }
}

// Unicode's examples of maximal subparts; "#" is one replacement: U+FFFD in UTF-8, the geta
// mark in Shift_JIS.
TEST(ConvertUtf8, MaximalSubparts) {
  const struct {
    const char* label;
    std::string input;
    std::string expected;
  } cases[] = {
      {"mixed",
       "a\xF1\x80\x80\xE1\x80\xC2"
       "b\x80"
       "c\x80\xBF"
       "d",
       "a###b#c##d"},
      {"overlong two bytes", "\xC0\xAF", "##"},
      {"overlong three bytes", "\xE0\x80\xAF", "###"},
      {"surrogate", "\xED\xA0\x80", "###"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "####"},
      {"five-byte form", "\xF8\x88\x80\x80\x80", "#####"},
      {"cut three-byte at the end", "a\xE3\x81", "a#"},
      {"cut four-byte at the end", "\xF0\x9F\x98", "#"},
      {"cut by ASCII",
       "\xE3\x81"
       "A\xF0\x9F"
       "B",
       "#A#B"},
      {"lone continuation", "\xBF", "#"},
      {"0xFE 0xFF", "\xFE\xFF", "##"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(Convert(kUtf8, c.input, kUtf8)), Hex(WithMarks(c.expected, kFffd))) << c.label;
    EXPECT_EQ(Hex(Convert(kUtf8, c.input, kSjis)), Hex(WithMarks(c.expected, kGeta))) << c.label;
  }
}

// The directions that involve UTF-8, against the reference.
void ExpectLikeReference(const std::string& text, const std::string& what) {
  for (int source = 0; source <= 3; ++source) {
    for (int target = 0; target <= 3; ++target) {
      if ((source == kUtf8) == (target == kUtf8) && source != target) continue;
      if (source == target && source != kUtf8) continue;
      const std::string got = Convert(source, text, target);
      const std::string want =
          source == kUtf8 ? ReferenceFromUtf8(text, target) : ReferenceToUtf8(source, text);
      if (got != want) {
        ADD_FAILURE() << what << ": " << source << " to " << target << " on " << Hex(text)
                      << "\n got " << Hex(got) << "\nwant " << Hex(want);
        return;
      }
      if (target == kUtf8 && !IsValidUtf8(got)) {
        ADD_FAILURE() << what << ": invalid UTF-8 from " << Hex(text);
        return;
      }
    }
  }
}

// A piece that crosses the word and chunk edges of the fused loops at every offset.
TEST(ConvertUtf8, PiecesAcrossWordAndChunkEdges) {
  const std::string pieces[] = {
      "\xE3\x81\x82",
      "\xE3\x81",
      "\xF0\x9F\x98\x80",
      "\xED\xA0\x80",
      "\xEF\xBD\xB6\xEF\xBE\x9E",
      "\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xED\xA0\x80",  // hiragana a three times, a surrogate
      "\xE3\x81\x82\xE0\x80\xAF\xE3\x81\x82",              // an overlong form among them
      "\x82\xA0",
      "\xA4\xA2\xA4",
      "\x1B$B\x24\x22",
      "\x8E\xB1",
      "\x1B$B\x21\xE0",
      "\x8F\xB0\xA1",
      "\x8F\xB0",
      "\x1B(J\x5C~",
      "\x1B(I\x31",
      "\x1B$(D\x30\x21",
      "\x1B",
  };
  const std::size_t chunk = 16 * 1024;
  for (const std::string& piece : pieces) {
    for (std::size_t pad : {0, 1, 2, 3, 5, 7, 8, 9}) {
      ExpectLikeReference(std::string(pad, 'a') + piece + "bcdefghij", "word edge");
      ExpectLikeReference(std::string(pad, 'a') + piece + piece + piece, "word edge");
    }
    for (std::size_t pad = chunk - 5; pad <= chunk + 1; ++pad) {
      ExpectLikeReference(std::string(pad, 'a') + piece + "bc", "chunk edge");
      std::string run;
      while (run.size() < pad) run += piece;
      ExpectLikeReference(run.substr(0, pad) + piece + "bc", "chunk edge in a run");
    }
  }
}

// Random texts of UTF-8 characters, broken sequences, legacy characters and odd bytes.
TEST(ConvertUtf8, MatchesReferenceOnRandomText) {
  static const char* const pieces[] = {
      "\xE3\x81\x82",
      "\xE4\xBA\x9C",
      "\xEF\xBD\xB6",
      "\xEF\xBE\x9E",
      "\xEF\xBE\x9F",
      "\xC2\xA9",
      "\xF0\x9F\x98\x80",
      "\xEE\x80\x80",
      "\xE3\x81",
      "\xED\xA0\x80",
      "\xC0",
      "\x80",
      "\xFF",
      "\xE3\x80\x9C",
      "\x82\xA0",
      "\x81",
      "\xFD\x40",
      "\xA4\xA2",
      "\x8E\xB1",
      "\x8F\xA2\xAF",
      "\x8F\xB0\xA1",
      "\x1B$B",
      "\x1B(B",
      "\x1B(J",
      "\x1B(I",
      "\x1B$(D",
      "\x1B$@",
      "\x0E",
      "\x24\x22",
      "\xA0",
      "\xB6\xDE",
      "\x00",
  };
  std::mt19937 rng(20261209);
  std::uniform_int_distribution<int> piece(0, sizeof pieces / sizeof pieces[0] - 1);
  std::uniform_int_distribution<int> kind(0, 5);
  std::uniform_int_distribution<int> anyByte(0, 255);
  std::uniform_int_distribution<int> ascii(0x20, 0x7E);
  std::uniform_int_distribution<int> runLength(1, 30);
  for (int round = 0; round < 300; ++round) {
    const std::size_t length = round < 250 ? static_cast<std::size_t>(round % 50) : 20000u;
    std::string text;
    while (text.size() < length) {
      const int n = runLength(rng);
      switch (kind(rng)) {
        case 0:
          for (int i = 0; i < n; ++i) text += static_cast<char>(ascii(rng));
          break;
        case 1:
          text += static_cast<char>(anyByte(rng));
          break;
        default:
          for (int i = 0; i < n; ++i) text += std::string(pieces[piece(rng)]);
          break;
      }
    }
    text.resize(length);
    ExpectLikeReference(text, "round " + std::to_string(round));
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
}  // namespace quillet
