#include <gtest/gtest.h>

#include <string>

#include "common/charset_code_of.h"
#include "mail/decode_encoded_word.h"
#include "mail_test_support.h"
#include "reference_mail_list.h"

namespace quillet {
namespace {

using namespace std::string_literals;
using testing_support::FlushBytes;

// Japanese samples (worked out from the code tables, base64 by hand):
//   hiragana "a": Shift_JIS 82 A0 = "gqA=", EUC-JP A4 A2 = "pKI=",
//                 ISO-2022-JP ESC $ B 24 22 ESC ( B = "GyRCJCIbKEI="
//   half-width "ka" + dakuten, Shift_JIS B6 DE = "tt4=", full-width "ga" is JIS 25 2C
const std::string kSjisA = "\x82\xA0";        // hiragana a
const std::string kEucA = "\xA4\xA2";         // hiragana a
const std::string kJisA = "\x1B$B$\"\x1B(B";  // hiragana a
const std::string kJisGa = "\x1B$B%,\x1B(B";  // katakana ga

struct WordCase {
  const char* label;
  std::string input;
  int target;
  std::size_t taken;
  std::string out;
};

TEST(DecodeEncodedWord, Table) {
  const WordCase cases[] = {
      {"not a start", "abc", kCharsetSjis, 0, ""},
      {"lone =", "=", kCharsetSjis, 0, ""},
      {"= then other byte", "=x?=", kCharsetSjis, 0, ""},
      {"=? alone", "=?", kCharsetSjis, 0, ""},
      {"Shift_JIS word, Shift_JIS out", "=?SJIS?B?gqA=?=", kCharsetSjis, 15, kSjisA},
      {"Shift_JIS word, EUC-JP out", "=?Shift_JIS?B?gqA=?=", kCharsetEuc, 20, kEucA},
      {"Shift_JIS word, ISO-2022-JP out", "=?shift_jis?B?gqA=?=", kCharsetJis, 20, kJisA},
      {"lower-case b", "=?SJIS?b?gqA=?=", kCharsetSjis, 15, kSjisA},
      {"EUC-JP word", "=?EUC-JP?B?pKI=?=", kCharsetSjis, 17, kSjisA},
      {"leading part of a name", "=?euc-j?B?pKI=?=", kCharsetSjis, 16, kSjisA},
      {"ISO-2022-JP word", "=?ISO-2022-JP?B?GyRCJCIbKEI=?=", kCharsetSjis, 30, kSjisA},
      {"ISO-2022-JP word, same charset out", "=?ISO-2022-JP?B?GyRCJCIbKEI=?=", kCharsetJis, 30,
       kJisA},
      {"a Shift_JIS label beyond the prefix rule", "=?x-sjis?B?gqA=?=", kCharsetEuc, 17, kEucA},
      {"a name that labels nothing is ISO-2022-JP", "=?x-none?B?GyRCJCIbKEI=?=", kCharsetEuc, 25,
       kEucA},
      // Read as ISO-2022-JP, high bytes are geta marks.
      {"a name one byte too long labels nothing", "=?Shift_JISX?B?gqA=?=", kCharsetEuc, 21,
       "\xA2\xAE\xA2\xAE"},
      {"language after * is cut", "=?SJIS*ja?B?gqA=?=", kCharsetEuc, 18, kEucA},
      {"alias taken whole", "=?CP932?B?gqA=?=", kCharsetEuc, 16, kEucA},
      {"half-width kana widened for ISO-2022-JP", "=?SJIS?B?tt4=?=", kCharsetJis, 15, kJisGa},
      {"half-width kana kept for EUC-JP", "=?SJIS?B?tt4=?=", kCharsetEuc, 15, "\x8E\xB6\x8E\xDE"},
      {"empty charset field is Shift_JIS", "=?\?B?gqA=?=", kCharsetEuc, 11, kEucA},
      {"no fields: ISO-2022-JP", "=?QUJD?=", kCharsetSjis, 8, "ABC"},
      {"one field: charset, then payload", "=?SJIS?gqA=?=", kCharsetEuc, 13, kEucA},
      {"empty encoding field is base64", "=?SJIS?\?QUJD?=", kCharsetSjis, 14, "ABC"},
      {"payload after the last field", "=?EUC-JP?B?x?pKI=?=", kCharsetSjis, 19, kSjisA},
      {"empty word", "=?\?=", kCharsetSjis, 4, ""},
      {"word ends at its first ?=", "=?SJIS?B?QUJD?=QUJD?=", kCharsetSjis, 15, "ABC"},
      {"Q word, text starting with =", "=?ISO-8859-1?Q?=41?=", kCharsetSjis, 20, "A"},
      {"Q word in Shift_JIS", "=?SJIS?q?=82=A0_?=", kCharsetEuc, 18, kEucA + " "},
      {"a longer encoding field still ends at ?=", "=?SJIS?QQ?=QUJD?=", kCharsetSjis, 11, "A"},
      {"encoding X is not taken", "=?ISO-8859-1?X?abc?=", kCharsetSjis, 0, ""},
      {"encoding BB is not taken", "=?SJIS?BB?QUJD?=", kCharsetSjis, 0, ""},
      {"zero byte after B is not B", "=?SJIS?B\0?QUJD?="s, kCharsetSjis, 0, ""},
      // A word must close before the list ends or a separator comes.
      {"unterminated at the end", "=?SJIS?B?QUJD", kCharsetSjis, 0, ""},
      {"? at the very end", "=?SJIS?B?QUJD?", kCharsetSjis, 0, ""},
      {"0x01 before the close", "=?SJIS?B?QU\x01JD?=", kCharsetSjis, 0, ""},
      {"0x02 before the close", "=?SJIS?B?QU\x02JD?=", kCharsetSjis, 0, ""},
      {"0x01 in the charset field", "=?SJ\x01IS?B?QUJD?=", kCharsetSjis, 0, ""},
  };
  for (const WordCase& c : cases) {
    const FlushBytes bytes(c.input);
    std::string out;
    EXPECT_EQ(DecodeEncodedWord(bytes.begin(), bytes.end(), c.target, out), c.taken) << c.label;
    EXPECT_EQ(out, c.out) << c.label;

    std::string expected;
    EXPECT_EQ(reference::DecodeWord(c.input, 0, c.target, expected), c.taken) << c.label;
  }
}

TEST(DecodeEncodedWord, AppendsToOut) {
  const FlushBytes bytes("=?SJIS?B?QUJD?=");
  std::string out = "x";
  EXPECT_EQ(DecodeEncodedWord(bytes.begin(), bytes.end(), kCharsetSjis, out), 15u);
  EXPECT_EQ(out, "xABC");
}

TEST(DecodeEncodedWord, NothingAtTheEnd) {
  const FlushBytes bytes("");
  std::string out;
  EXPECT_EQ(DecodeEncodedWord(bytes.begin(), bytes.end(), kCharsetSjis, out), 0u);
}

// One scanner over a text with several starts, moving forward as the list parser does: the
// answers must not depend on what earlier starts left behind.
TEST(EncodedWordScanner, StartsInOnePass) {
  const std::string text = "=?x=?SJIS?B?gqA=?= =?a?q?b =?SJIS?B?QUJD?=\x01=?Q?B?QUJD?=";
  const FlushBytes bytes(text);
  EncodedWordScanner scanner(bytes.end());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::string fast;
    std::string slow;
    const std::size_t taken = scanner.take(bytes.begin() + i, kCharsetEuc, fast);
    EXPECT_EQ(taken, reference::DecodeWord(text, i, kCharsetEuc, slow)) << "at " << i;
    EXPECT_EQ(fast, slow) << "at " << i;
  }
}

}  // namespace
}  // namespace quillet
