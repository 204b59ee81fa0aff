// The converters against glibc's iconv, an independent implementation of the three encodings,
// on every JIS X 0208 and JIS X 0212 character and on long mixed texts. iconv is used here only;
// the library never depends on it. The Windows build, which has no iconv, skips this file; on
// POSIX a missing <iconv.h> is a build error rather than a check quietly left out.
#ifndef _WIN32

#include <iconv.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "jtext/convert_charset.h"
#include "jtext/exact_bytes.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;

constexpr int kJis = 0;
constexpr int kSjis = 1;
constexpr int kEuc = 2;
constexpr int kUtf8 = 3;

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // The whole of in, with the closing shift sequence; false when iconv refuses any of it.
  bool run(const std::string& in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string input = in;
    out.assign(4 * in.size() + 16, '\0');
    char* inPtr = &input[0];
    std::size_t inLeft = input.size();
    char* outPtr = &out[0];
    std::size_t outLeft = out.size();
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      return false;
    }
    if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      return false;
    }
    out.resize(out.size() - outLeft);
    return true;
  }

 private:
  iconv_t cd_;
};

std::string Convert(int source, const std::string& bytes, int target) {
  const ExactBytes input(bytes);
  std::string output;
  ConvertCharset(source, input.data(), input.size(), target, output);
  return output;
}

struct Oracle {
  Iconv eucToUtf8{"UTF-8", "EUC-JP"};
  Iconv sjisToUtf8{"UTF-8", "SHIFT_JIS"};
  Iconv jisToUtf8{"UTF-8", "ISO-2022-JP"};
  Iconv utf8ToEuc{"EUC-JP", "UTF-8"};
  Iconv utf8ToSjis{"SHIFT_JIS", "UTF-8"};
  Iconv utf8ToJis{"ISO-2022-JP", "UTF-8"};

  bool ok() const {
    return eucToUtf8.ok() && sjisToUtf8.ok() && jisToUtf8.ok() && utf8ToEuc.ok() &&
           utf8ToSjis.ok() && utf8ToJis.ok();
  }

  // The same text in the three encodings, by way of Unicode. False when iconv cannot encode
  // it in all three, or when its tables disagree: the text must come back from each encoding
  // as the same Unicode text (this leaves out the cells that glibc reads through the yen
  // sign, overline or reverse solidus in one encoding but not in another).
  bool encodings(const std::string& euc, std::string& sjis, std::string& jis) {
    std::string unicode, back, eucAgain;
    if (!eucToUtf8.run(euc, unicode)) return false;
    if (!utf8ToSjis.run(unicode, sjis) || !utf8ToJis.run(unicode, jis)) return false;
    if (!utf8ToEuc.run(unicode, eucAgain) || eucAgain != euc) return false;
    if (!sjisToUtf8.run(sjis, back) || back != unicode) return false;
    if (!jisToUtf8.run(jis, back) || back != unicode) return false;
    return true;
  }
};

// All six directions between the three forms of one text.
void ExpectSixWays(const std::string& euc, const std::string& sjis, const std::string& jis,
                   const std::string& what) {
  EXPECT_EQ(Hex(Convert(kEuc, euc, kSjis)), Hex(sjis)) << what << " EUC-JP to Shift_JIS";
  EXPECT_EQ(Hex(Convert(kEuc, euc, kJis)), Hex(jis)) << what << " EUC-JP to ISO-2022-JP";
  EXPECT_EQ(Hex(Convert(kSjis, sjis, kEuc)), Hex(euc)) << what << " Shift_JIS to EUC-JP";
  EXPECT_EQ(Hex(Convert(kSjis, sjis, kJis)), Hex(jis)) << what << " Shift_JIS to ISO-2022-JP";
  EXPECT_EQ(Hex(Convert(kJis, jis, kEuc)), Hex(euc)) << what << " ISO-2022-JP to EUC-JP";
  EXPECT_EQ(Hex(Convert(kJis, jis, kSjis)), Hex(sjis)) << what << " ISO-2022-JP to Shift_JIS";
}

// The EUC-JP form of every JIS X 0208 cell on which iconv's three encodings agree.
std::vector<std::string> AgreedCells(Oracle& oracle, int& excluded) {
  std::vector<std::string> cells;
  excluded = 0;
  std::string sjis, jis, unicode;
  for (int row = 0x21; row <= 0x7E; ++row) {
    for (int column = 0x21; column <= 0x7E; ++column) {
      const std::string euc{static_cast<char>(row | 0x80), static_cast<char>(column | 0x80)};
      if (!oracle.eucToUtf8.run(euc, unicode)) continue;  // an empty cell
      if (oracle.encodings(euc, sjis, jis)) {
        cells.push_back(euc);
      } else {
        ++excluded;
      }
    }
  }
  return cells;
}

TEST(IconvOracle, EveryJisX0208Character) {
  Oracle oracle;
  ASSERT_TRUE(oracle.ok());
  int excluded = 0;
  const std::vector<std::string> cells = AgreedCells(oracle, excluded);
  // JIS X 0208 has 6879 characters; only a handful may be left out for disagreeing tables.
  EXPECT_GE(cells.size(), 6850u);
  EXPECT_LE(excluded, 20);
  std::string sjis, jis;
  for (const std::string& euc : cells) {
    ASSERT_TRUE(oracle.encodings(euc, sjis, jis));
    ExpectSixWays(euc, sjis, jis, "EUC-JP " + Hex(euc));
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(IconvOracle, LongMixedTexts) {
  Oracle oracle;
  ASSERT_TRUE(oracle.ok());
  int excluded = 0;
  const std::vector<std::string> cells = AgreedCells(oracle, excluded);
  ASSERT_FALSE(cells.empty());
  // ASCII without 0x5C and 0x7E, which glibc's Shift_JIS reads as yen sign and overline.
  std::string ascii;
  for (int c = 0x20; c < 0x7F; ++c) {
    if (c != 0x5C && c != 0x7E) ascii += static_cast<char>(c);
  }
  ascii += "\r\n\t";
  std::mt19937 rng(4242);
  std::uniform_int_distribution<std::size_t> pickCell(0, cells.size() - 1);
  std::uniform_int_distribution<std::size_t> pickAscii(0, ascii.size() - 1);
  std::uniform_int_distribution<int> runLength(1, 24);
  for (int text = 0; text < 4; ++text) {
    std::string euc;
    while (euc.size() < 40000u + 30000u * static_cast<unsigned>(text)) {
      for (int i = runLength(rng); i > 0; --i) euc += cells[pickCell(rng)];
      for (int i = runLength(rng) / (text + 1); i > 0; --i) euc += ascii[pickAscii(rng)];
    }
    std::string sjis, jis;
    ASSERT_TRUE(oracle.encodings(euc, sjis, jis)) << "text " << text;
    ExpectSixWays(euc, sjis, jis, "text " + std::to_string(text));
  }
}

// Windows-31J to and from UTF-8 against iconv's CP932: every double-byte code that both
// decode, then a long mixed text both ways.
TEST(IconvOracle, Cp932BothWays) {
  Iconv cp932ToUtf8{"UTF-8", "CP932"};
  Iconv utf8ToCp932{"CP932", "UTF-8"};
  ASSERT_TRUE(cp932ToUtf8.ok() && utf8ToCp932.ok());
  int compared = 0;
  int differing = 0;
  std::string unicode, sjis;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      if (!cp932ToUtf8.run(code, unicode) || unicode.empty()) continue;
      ++compared;
      if (Convert(kSjis, code, kUtf8) != unicode) {
        ++differing;
        continue;
      }
      // Private use has no code here (geta); for the IBM extensions held twice iconv writes
      // the 0xFA..0xFC codes where ours (as the Windows-31J encoder) writes 0xED / 0xEE.
      if (lead == 0xED || lead == 0xEE || lead >= 0xF0) continue;
      if (utf8ToCp932.run(unicode, sjis) && Convert(kUtf8, unicode, kSjis) != sjis) ++differing;
    }
  }
  EXPECT_GE(compared, 9000);
  EXPECT_EQ(differing, 0) << "of " << compared;

  Oracle oracle;
  ASSERT_TRUE(oracle.ok());
  int excluded = 0;
  const std::vector<std::string> cells = AgreedCells(oracle, excluded);
  std::mt19937 rng(932);
  std::uniform_int_distribution<std::size_t> pickCell(0, cells.size() - 1);
  std::uniform_int_distribution<int> ascii(0x20, 0x7E);
  std::string euc;
  while (euc.size() < 100000) {
    euc += cells[pickCell(rng)];
    if (rng() % 4 == 0) euc += static_cast<char>(ascii(rng));
  }
  const std::string text = Convert(kEuc, euc, kSjis);
  ASSERT_TRUE(cp932ToUtf8.run(text, unicode));
  ASSERT_TRUE(utf8ToCp932.run(unicode, sjis));
  EXPECT_EQ(Convert(kSjis, text, kUtf8), unicode);
  EXPECT_EQ(Convert(kUtf8, unicode, kSjis), sjis);
  EXPECT_EQ(Convert(kUtf8, unicode, kEuc), euc);
  EXPECT_EQ(Convert(kEuc, euc, kUtf8), unicode);
  EXPECT_EQ(Convert(kJis, Convert(kEuc, euc, kJis), kUtf8), unicode);
}

// JIS X 0212 in EUC-JP into UTF-8 against glibc's EUC-JP, whose table is its own: every code
// it decodes comes out alike, and every code it refuses is U+FFFD here.
TEST(IconvOracle, EveryJisX0212Code) {
  Iconv eucToUtf8{"UTF-8", "EUC-JP"};
  ASSERT_TRUE(eucToUtf8.ok());
  int decoded = 0;
  std::string unicode;
  for (unsigned row = 0xA1; row <= 0xFE; ++row) {
    for (unsigned column = 0xA1; column <= 0xFE; ++column) {
      const std::string code{'\x8F', static_cast<char>(row), static_cast<char>(column)};
      if (eucToUtf8.run(code, unicode)) {
        ++decoded;
      } else {
        unicode = "\xEF\xBF\xBD";
      }
      ASSERT_EQ(Hex(Convert(kEuc, code, kUtf8)), Hex(unicode)) << Hex(code);
    }
  }
  EXPECT_GE(decoded, 6000);  // JIS X 0212 has 6067 characters
}

}  // namespace
}  // namespace quillet

#endif
