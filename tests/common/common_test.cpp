#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "common/add_product.h"
#include "common/charset_code_of.h"
#include "common/compare_no_case.h"
#include "common/folding_space_length.h"
#include "common/header_value_of.h"
#include "common/zero_bytes.h"

namespace quillet {
namespace {

TEST(AddProduct, SaturatesWhereTheSumWouldWrap) {
  constexpr std::size_t kMost = std::numeric_limits<std::size_t>::max();
  EXPECT_EQ(AddProduct(1, 2, 3), 7u);
  EXPECT_EQ(AddProduct(kMost, 0, kMost), kMost);
  EXPECT_EQ(AddProduct(kMost - 7, 2, 3), kMost - 1);
  EXPECT_EQ(AddProduct(kMost - 5, 2, 3), kMost);  // one more than fits
  EXPECT_EQ(AddProduct(0, kMost / 2 + 1, 2), kMost);
}

TEST(CompareNoCaseN, Table) {
  struct Case {
    const char* a;
    const char* b;
    std::size_t n;
    int expected;
  };
  static const Case cases[] = {
      {"Charset", "charset", 7, 0},
      {"GET", "GET Version", 3, 0},   // a leading part matches
      {"", "anything", 0, 0},         // n = 0
      {"EXECUTE2", "EXECUTE", 8, 1},  // longer than the name: a's '2' > NUL
      {"abc", "abd", 3, -1},
      {"abc", "abc", 10, 0},    // both end at the same position
      {"ab", "abc", 10, -1},    // a ends first
      {"[", "A", 1, -1},        // 'A' folds to 'a' (0x61) > '[' (0x5B)
      {"\x82", "a", 1, -1},     // bytes compare as signed: 0x82 < 'a'
      {"\xC0", "\xE0", 1, -1},  // no folding outside ASCII
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareNoCaseN(c.a, c.b, c.n), c.expected) << c.a << " vs " << c.b;
  }
}

TEST(ZeroBytes, MarksExactlyTheZeroBytes) {
  // A zero byte next to 0x01 or 0x80, and 0x80 or 0x01 after one: no mark spills over.
  const std::uint64_t cases[][2] = {
      {0x0000000000000000u, 0x8080808080808080u}, {0xFFFFFFFFFFFFFFFFu, 0},
      {0x0100010001000100u, 0x0080008000800080u}, {0x8000800080008000u, 0x0080008000800080u},
      {0x0101010101010100u, 0x0000000000000080u}, {0x007F80FF01000000u, 0x8000000000808080u},
  };
  for (const auto& c : cases) EXPECT_EQ(ZeroBytes(c[0]), c[1]) << std::hex << c[0];
}

TEST(FoldingSpaceLength, Table) {
  EXPECT_EQ(FoldingSpaceLength(' ', 'x', 'x'), 1u);
  EXPECT_EQ(FoldingSpaceLength('\t', 0, 0), 1u);
  EXPECT_EQ(FoldingSpaceLength('\r', '\n', ' '), 3u);
  EXPECT_EQ(FoldingSpaceLength('\r', '\n', '\t'), 3u);
  EXPECT_EQ(FoldingSpaceLength('\r', '\n', 'E'), 0u);  // a plain line end is not white space
  EXPECT_EQ(FoldingSpaceLength('\r', ' ', ' '), 0u);
  EXPECT_EQ(FoldingSpaceLength('\n', ' ', ' '), 0u);
  EXPECT_EQ(FoldingSpaceLength('a', ' ', ' '), 0u);
  EXPECT_EQ(FoldingSpaceLength(0, 0, 0), 0u);
}

TEST(HeaderValueOf, Table) {
  struct Case {
    std::string line;
    bool found;
    std::string value;
  };
  const Case cases[] = {
      {"Subject: Hi", true, "Hi"},
      {"Subject:  Hi", true, " Hi"},  // not trimmed
      {"From: a: b", true, "a: b"},   // the first ": " decides
      {"Subject: ", true, ""},
      {": x", true, "x"},
      {"Subject:Hi", false, ""},
      {"no colon", false, ""},
      {std::string("A: x\0y", 6), true, "x"},  // a zero byte ends the text
      {std::string("A\0: x", 5), false, ""},   // ... also before the ": "
  };
  for (const Case& c : cases) {
    std::string value = "stale";
    EXPECT_EQ(HeaderValueOf(c.line, value), c.found) << c.line;
    EXPECT_EQ(value, c.value) << c.line;
  }
}

TEST(CharsetCodeOf, Table) {
  struct Case {
    const char* name;
    int code;
  };
  static const Case cases[] = {
      {"Shift_JIS", 1},
      {"shift_jis", 1},
      {"SJIS", 1},
      {"sjis", 1},
      {"Shift", 1},
      {"", 1},
      {"EUC", 2},
      {"EUC-JP", 2},
      {"euc-jp", 2},
      {"EUC-", 2},
      {"euc-j", 2},
      {"ISO-2022-JP", 0},
      {"Shift_JIS-2004", 0},
      {"EUC-JP-MS", 0},
      {"x-sjis", 0},
      {"UTF-8", 3},
      // UTF-8 after the four, by the same prefix rule; then whole names only.
      {"utf-8", 3},
      {"UTF", 3},
      {"utf-", 3},
      {"UTF-8-MAC", 0},
      {"Shift-JIS", 1},
      {"cp932", 1},
      {"WINDOWS-31J", 1},
      {"MS932", 1},
      {"ms_kanji", 1},
      {"EUC_JP", 2},
      {"EUCJP", 2},
      {"X-EUC-JP", 2},
      {"utf8", 3},
      {"CP93", 0},
      {"CP9320", 0},
      {"x-euc", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CharsetCodeOf(c.name), c.code) << c.name;
}

// The bytes of a field inside a longer text: only the given size counts, read flush against the
// end of its own allocation, and a zero byte ends the name as it does in a string.
TEST(CharsetCodeOf, BytesWithSize) {
  struct Case {
    std::string name;
    int code;
  };
  const Case cases[] = {
      {"EUC-JP", 2},
      {"sjis", 1},
      {"", 1},
      {"Shift_JIS-2004", 0},
      {"iso-2022-jp", 0},
      {"E", 2},
      {"s", 1},
      {"x", 0},
      {std::string("EUC\0x", 5), 2},
      {std::string("S\0", 2), 0},
      {"EUC-JP?", 0},
      {std::string("UTF8\0x", 6), 3},
      {std::string("CP932x", 5), 1},
  };
  for (const Case& c : cases) {
    std::unique_ptr<char[]> bytes(new char[c.name.size()]);
    std::memcpy(bytes.get(), c.name.data(), c.name.size());
    EXPECT_EQ(CharsetCodeOf(bytes.get(), c.name.size()), c.code) << c.name;
    EXPECT_EQ(CharsetCodeOf(c.name), c.code) << c.name;
  }
}

}  // namespace
}  // namespace quillet
