#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "common/charset_code_of.h"
#include "jtext/convert_charset.h"
#include "tier_check.h"

namespace quillet {
namespace {

// Runs first, before any test sets the cap: QUILLET_SIMD as the process got it caps the tier
// (CI runs the suite once per value; ctest also runs it with an unknown value, ignored).
TEST(Tiers, QuilletSimdCapsTheTierAndAnUnknownValueIsIgnored) {
  const char* const value = std::getenv("QUILLET_SIMD");
  int expected = static_cast<int>(simd::DetectedTier());
  for (int tier = 0; value != nullptr && tier < simd::kTierCount; ++tier) {
    if (std::string(value) == simd::TierName(static_cast<simd::Tier>(tier))) {
      expected = std::min(expected, tier);
    }
  }
  EXPECT_EQ(static_cast<int>(simd::ActiveKernels().tier), expected) << (value ? value : "unset");
}

// Base64 text over the whole alphabet, "+" and "/" included, so blocks decode varied bytes.
std::string AlphabetText(std::size_t size) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) text += alphabet[(i * 7 + i / 64) % 64];
  return text;
}

// Every length up to past two 64-byte blocks, with each kind of byte the scans and the base64
// run stop at put at every offset (so at every block's first and last byte, and split over
// two blocks), or nowhere.
TEST(Tiers, EveryTierDecidesAsTheScalarCodeAtEveryOffset) {
  // A zero byte before a CR LF counts for its line, one behind it does not.
  const std::string nul(1, '\0');
  const std::string stops[] = {"\x01", "\x02", "\x03", nul,    "=", "==",         "?=",        "?",
                               "\r\n", "\r",   " ",    "\xA0", ".", nul + "\r\n", "\r\n" + nul};
  for (std::size_t size = 0; size <= 140; ++size) {
    const std::string plain = AlphabetText(size);
    ASSERT_EQ(TierMismatch(plain), "") << size;
    for (const std::string& mark : stops) {
      for (std::size_t at = 0; at < size; ++at) {
        const std::string text = (plain.substr(0, at) + mark + plain.substr(at)).substr(0, size);
        ASSERT_EQ(TierMismatch(text), "") << size << " " << at << " " << int(mark[0]);
      }
    }
  }
}

// Every byte value inside a block, and as the last byte of the first block.
TEST(Tiers, EveryByteValueStopsAsInTheScalarCode) {
  for (int c = 0; c < 256; ++c) {
    for (std::size_t at : {5, 31, 63}) {
      std::string text = AlphabetText(96);
      text[at] = static_cast<char>(c);
      ASSERT_EQ(TierMismatch(text), "") << c << " at " << at;
    }
  }
}

// Japanese text in Shift_JIS, EUC-JP, UTF-8 and ISO-2022-JP ("ab", kan ji, hiragana a i, the
// ideographic space, ni hon go), of every length from 256 bytes (the vector runs take only longer
// text) to past two more 64-byte blocks, and with a byte or character that ends a run put at every
// offset of its first 140 bytes: lone and unmapped leads, kana, JIS X 0212, bytes that read as
// nothing; in UTF-8 besides a lone continuation byte, two- and four-byte characters, an overlong
// form, a surrogate, U+FFFD, half-width katakana, a private-use and an unmapped character, and a
// character cut short; in ISO-2022-JP sequences of other sets and of the same sets, and SO.
TEST(Tiers, EveryTierConvertsJapaneseTextAsTheScalarCode) {
  const std::string units[] = {
      "ab\x8A\xBF\x8E\x9A\x82\xA0\x82\xA2\x81\x40\x93\xFA\x96\x7B\x8C\xEA",
      "ab\xB4\xC1\xBB\xFA\xA4\xA2\xA4\xA4\xA1\xA1\xC6\xFC\xCB\xDC\xB8\xEC",
      "ab\xE6\xBC\xA2\xE5\xAD\x97\xE3\x81\x82\xE3\x81\x84\xE3\x80\x80\xE6\x97\xA5\xE6\x9C"
      "\xAC\xE8\xAA\x9E",
      "ab\x1B$B4A;z$\"$$!!F|K\\8l\x1B(B"};
  // Shift_JIS: bytes that read as nothing, a lone lead, kana, 0x8540 that maps to nothing;
  // EUC-JP: kana, JIS X 0212, lone leads (one before ASCII); control bytes; UTF-8 (see above);
  // the multiplication sign in Shift_JIS and in EUC-JP, two bytes in UTF-8 among three; last,
  // Shift_JIS pairs that are one U+FFFD (0x859F maps to nothing, 0xFD is no trail).
  const std::string stops[] = {
      "\x80",         "\xA0",         "\xFD",         "\x81",         "\xB1",
      "\x85\x40",     "\x8E\xB1",     "\x8F\xB0\xA1", "\xA1",         "\xA1\x61",
      "\x1B",         "\x7F",         "\xFF",         "\xC3\xA9",     "\xF0\x9F\x98\x80",
      "\xE0\x80\x80", "\xED\xA0\x80", "\xEF\xBF\xBD", "\xEF\xBD\xB1", "\xEE\x80\x80",
      "\xE0\xB8\x81", "\xE3\x81",     "\x1B(J",       "\x1B$(D",      "\x1B$@",
      "\x0E",         "\x1B$B",       "\x1B(B",       "\x81\x7E",     "\xA1\xDF",
      "\x85\x9F",     "\x81\xFD"};
  const auto outputs = [](const std::vector<char>& text) {
    return ConversionOutputs(text) + FromUtf8Outputs(text);
  };
  for (const std::string& unit : units) {
    std::string plain;
    while (plain.size() < 420) plain += unit;
    for (std::size_t size = 256; size <= 420; ++size) {
      ASSERT_EQ(TierMismatch(plain.substr(0, size), outputs), "") << size;
    }
    for (const std::string& stop : stops) {
      for (std::size_t at = 0; at < 140; ++at) {
        const std::string text = (plain.substr(0, at) + stop + plain.substr(at)).substr(0, 420);
        ASSERT_EQ(TierMismatch(text, outputs), "") << at << " " << int(stop[0] & 0xFF);
      }
    }
  }
}

// Every byte pair, as Shift_JIS and as EUC-JP, in one text, and every code point read from
// UTF-8: every table entry the vector runs fetch.
TEST(Tiers, EveryPairConvertsAsTheScalarCode) {
  std::string pairs;
  for (int lead = 0x80; lead < 0x100; ++lead) {
    for (int trail = 0; trail < 0x100; ++trail) {
      pairs += static_cast<char>(lead);
      pairs += static_cast<char>(trail);
    }
  }
  EXPECT_EQ(TierMismatch(pairs, ConversionOutputs), "");
  // And every two- and three-byte sequence's code point in UTF-8, the surrogates' ill-formed
  // ones too.
  std::string utf8;
  for (unsigned u = 0x80; u < 0x800; ++u) {
    utf8 += static_cast<char>(0xC0 | u >> 6);
    utf8 += static_cast<char>(0x80 | (u & 0x3F));
  }
  for (unsigned u = 0x800; u <= 0xFFFF; ++u) {
    utf8 += static_cast<char>(0xE0 | u >> 12);
    utf8 += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    utf8 += static_cast<char>(0x80 | (u & 0x3F));
  }
  EXPECT_EQ(TierMismatch(utf8, FromUtf8Outputs), "");
}

// Shift_JIS, EUC-JP and ISO-2022-JP text (ASCII between runs of double-byte characters) of every
// length up to past two 64-byte blocks, with a byte or character the conversion kernels refuse or
// must pair differently put at every offset (so as a block's last byte, and split over two blocks).
TEST(Tiers, JapaneseConversionsMatchTheScalarCodeAtEveryOffset) {
  // Shift_JIS: ideographic space (trail 0x40), hiragana a (trail 0xA0), a character of the even
  // row (trail 0x9F), one with trail 0x80, the first of row 0x5F (lead 0xE0), the last of 0x74.
  const std::string sjis =
      "\x81\x40\x82\xA0"
      "a\x88\x9F\x83\x80\xE0\x40 \xEA\xA4\x81\x40xy";
  std::string euc, jis;
  ConvertCharset(kCharsetSjis, sjis, kCharsetEuc, euc);
  ConvertCharset(kCharsetSjis, sjis, kCharsetJis, jis);
  // Half-width katakana in Shift_JIS and in EUC-JP, JIS X 0212, a first byte alone, bytes out
  // of place, a first byte before a space, a user-defined character, other sequences, ESC
  // alone, SO, and a sequence out of turn; a sequence then a byte the set has no place for (so a
  // sequence across a block's end, then a stop), a sequence cut short, one of the same set.
  const std::string stops[] = {"\xB1",   "\x8E\xB1", "\x8F\xA1\xA1", "\x88",     "\xA1",
                               "\x80",   "\xFD",     "\xFF",         "\x88\x20", "\xF0\x40",
                               "\x1B(J", "\x1B$@",   "\x1B$(D",      "\x1B",     "\x0E",
                               "\x1B$B", "\x1B$B\r", "\x1B(I",       "\x1B$",    "\x1B(B"};
  for (const std::string& base : {sjis, euc, jis}) {
    std::string plain;
    while (plain.size() < 150) plain += base;
    // Short texts, and texts ending about the first and the second block's end.
    for (std::size_t size = 0; size <= 136;
         size += (size < 24 || size % 64 >= 60 || size % 64 < 8) ? 1 : 4) {
      ASSERT_EQ(TierMismatch(plain.substr(0, size), JapaneseOutputs), "") << size;
      for (const std::string& stop : stops) {
        for (std::size_t at = 0; at < size; ++at) {
          const std::string text = (plain.substr(0, at) + stop + plain.substr(at)).substr(0, size);
          ASSERT_EQ(TierMismatch(text, JapaneseOutputs), "")
              << size << " " << at << " " << int(stop[0] & 0xFF);
        }
      }
    }
  }
}

}  // namespace
}  // namespace quillet
