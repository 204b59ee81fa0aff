#include "jtext/widen_kana.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "jtext/kana_nfkc_table.h"

namespace quillet {
namespace {

struct Widened {
  int used;
  std::uint16_t code;
};

// WidenKana on exactly these bytes, in a heap block of their own size; code starts as 0xFFFF
// so that an untouched code shows.
Widened Widen(std::vector<unsigned char> bytes) {
  std::unique_ptr<unsigned char[]> block(new unsigned char[bytes.size()]);
  for (std::size_t i = 0; i < bytes.size(); ++i) block[i] = bytes[i];
  Widened result{0, 0xFFFF};
  result.used = WidenKana(block.get(), block.get() + bytes.size(), result.code);
  return result;
}

TEST(WidenKana, Table) {
  struct Case {
    const char* label;
    std::vector<unsigned char> bytes;
    int used;
    std::uint16_t code;
  };
  const Case cases[] = {
      {"a then ASCII", {0xB1, 0x41}, 1, 0x2522},
      {"ka + dakuten", {0xB6, 0xDE}, 2, 0x252C},
      {"ha + handakuten", {0xCA, 0xDF}, 2, 0x2551},
      {"u + dakuten", {0xB3, 0xDE}, 2, 0x2574},
      {"a + dakuten has no merged form", {0xB1, 0xDE}, 1, 0x2522},
      {"dakuten alone", {0xDE}, 1, 0x212B},
      {"ka + handakuten has no merged form", {0xB6, 0xDF}, 1, 0x252B},
      {"handakuten alone", {0xDF}, 1, 0x212C},
      {"mark never merges with a mark", {0xDE, 0xDE}, 1, 0x212B},
      {"0xA0 is the ideographic space", {0xA0}, 1, 0x2121},
      {"0xA0 + dakuten", {0xA0, 0xDE}, 1, 0x2121},
      {"last byte of a run is alone", {0xCA}, 1, 0x254F},
      {"mark after the end is not read", {0xCA, 0xDF, 0xDE}, 2, 0x2551},
      {"0x9F is no kana", {0x9F, 0xDE}, 0, 0xFFFF},
      {"0xE0 is no kana", {0xE0}, 0, 0xFFFF},
      {"ASCII is no kana", {0x41}, 0, 0xFFFF},
      {"empty range", {}, 0, 0xFFFF},
  };
  for (const Case& c : cases) {
    const Widened w = Widen(c.bytes);
    EXPECT_EQ(w.used, c.used) << c.label;
    EXPECT_EQ(w.code, c.code) << c.label;
  }
}

// Against the table worked out from Unicode's NFKC composition (tools/gen_kana_nfkc.py).
TEST(WidenKana, AgreesWithNfkc) {
  for (const NfkcKana& k : kNfkcKana) {
    SCOPED_TRACE(testing::Message() << "kana 0x" << std::hex << int{k.kana});
    for (const std::vector<unsigned char>& alone :
         {std::vector<unsigned char>{k.kana}, {k.kana, 0x41}, {k.kana, 0xB1}, {k.kana, 0x00}}) {
      const Widened w = Widen(alone);
      EXPECT_EQ(w.used, 1);
      EXPECT_EQ(w.code, k.alone);
    }
    const Widened voiced = Widen({k.kana, 0xDE});
    EXPECT_EQ(voiced.used, k.voiced != 0 ? 2 : 1);
    EXPECT_EQ(voiced.code, k.voiced != 0 ? k.voiced : k.alone);
    const Widened semiVoiced = Widen({k.kana, 0xDF});
    EXPECT_EQ(semiVoiced.used, k.semiVoiced != 0 ? 2 : 1);
    EXPECT_EQ(semiVoiced.code, k.semiVoiced != 0 ? k.semiVoiced : k.alone);
  }
  EXPECT_EQ(sizeof kNfkcKana / sizeof kNfkcKana[0], 63u);  // 0xA1..0xDF
}

}  // namespace
}  // namespace quillet
