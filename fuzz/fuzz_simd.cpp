// Fuzz target: every vector tier the processor has against the scalar code, byte for byte (see
// tests/simd/tier_check.h: the mail list and line scans walked hit by hit, and the mail
// reading of base64 from four starting offsets). The first byte puts 0..63 base64 characters in
// front of the rest, so that whatever the rest holds (a separator, "?=", a pad, CR LF) falls on
// every offset of a 64-byte block, its last byte included. The conversions into and out of
// UTF-8 are compared again behind Japanese text (see below).
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/charset_code_of.h"
#include "fuzz_check.h"
#include "jtext/convert_charset.h"
#include "simd/tier_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  if (size == 0) return 0;
  const std::string lead = std::string(64, 'Q').substr(0, data[0] % 64);
  const std::string text = lead + std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string tier = TierMismatch(text);
  if (!tier.empty())
    std::fprintf(stderr, "tier %s differs on %s\n", tier.c_str(), Hex(text).c_str());
  Require(tier.empty(), "every tier decides as the scalar code");

  // The conversions into UTF-8 again behind 256..319 bytes of Japanese text, Shift_JIS or
  // EUC-JP as the first byte's top bit chooses (the vector runs take only text longer than 256
  // bytes), so that the rest falls on every offset of a run of pairs.
  static const char* const units[] = {"\x8A\xBF\x82\xA0", "\xB4\xC1\xA4\xA2"};
  std::string japanese;
  while (japanese.size() < 320) japanese += units[data[0] >> 7];
  const std::string converted = japanese.substr(0, 256 + data[0] % 64) +
                                std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string conversionTier = TierMismatch(converted, ConversionOutputs);
  if (!conversionTier.empty())
    std::fprintf(stderr, "tier %s converts otherwise %s\n", conversionTier.c_str(),
                 Hex(converted).c_str());
  Require(conversionTier.empty(), "every tier converts as the scalar code");

  // The conversion kernels take only blocks of ASCII and whole characters, which random bytes
  // seldom are: the same input again with each byte of 0x80 and up made an EUC-JP character,
  // and that text in Shift_JIS and ISO-2022-JP.
  std::string euc = lead;
  for (std::size_t i = 1; i < size; ++i) {
    const unsigned b = data[i];
    if (b < 0x80) {
      euc += static_cast<char>(b);
    } else {
      euc += static_cast<char>(0xA1 + b % 0x5E);
      euc += static_cast<char>(0xA1 + (b * 7) % 0x5E);
    }
  }
  std::string kanjiRun;  // 256..319 bytes of EUC-JP kan and hiragana a
  while (kanjiRun.size() < 256 + data[0] % 64u) kanjiRun += units[1];
  for (const int code : {kCharsetEuc, kCharsetSjis, kCharsetJis}) {
    std::string shaped;
    if (code == kCharsetEuc) {
      shaped = euc;
    } else {
      ConvertCharset(kCharsetEuc, euc, code, shaped);
    }
    const std::string shapedTier = TierMismatch(shaped, JapaneseOutputs);
    if (!shapedTier.empty())
      std::fprintf(stderr, "tier %s differs on %s\n", shapedTier.c_str(), Hex(shaped).c_str());
    Require(shapedTier.empty(), "every tier converts as the scalar code");
    // Into UTF-8 behind 256 bytes and more of the same encoding, as the vector runs need.
    std::string behind = kanjiRun;
    if (code != kCharsetEuc) {
      behind.clear();
      ConvertCharset(kCharsetEuc, kanjiRun, code, behind);
    }
    const std::string intoUtf8 = behind + shaped;
    const std::string intoTier = TierMismatch(intoUtf8, ConversionOutputs);
    if (!intoTier.empty())
      std::fprintf(stderr, "tier %s converts otherwise %s\n", intoTier.c_str(),
                   Hex(intoUtf8).c_str());
    Require(intoTier.empty(), "every tier converts into UTF-8 as the scalar code");
  }

  // Out of UTF-8: the rest behind 256..319 bytes of Japanese text in UTF-8, and the input
  // again with each byte of 0x80..0xEF made a three-byte character (pages from kana through
  // kanji, private use and the half-width forms), so that blocks hold mostly whole characters
  // and the bytes of 0xF0 and up, left as they are, break them.
  std::string utf8;
  while (utf8.size() < 320) utf8 += "\xE6\xBC\xA2\xE3\x81\x82";  // kan, hiragana a
  utf8 = utf8.substr(0, 256 + data[0] % 64) +
         std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string characters = lead;
  for (std::size_t i = 1; i < size; ++i) {
    const unsigned b = data[i];
    if (b < 0x80 || b >= 0xF0) {
      characters += static_cast<char>(b);
      continue;
    }
    const unsigned u = 0x3000 + (b - 0x80) * 0x1CF + (i & 0xFF);
    characters += static_cast<char>(0xE0 | u >> 12);
    characters += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    characters += static_cast<char>(0x80 | (u & 0x3F));
  }
  for (const std::string& shapedUtf8 : {utf8, characters}) {
    const std::string utf8Tier = TierMismatch(shapedUtf8, FromUtf8Outputs);
    if (!utf8Tier.empty())
      std::fprintf(stderr, "tier %s converts otherwise %s\n", utf8Tier.c_str(),
                   Hex(shapedUtf8).c_str());
    Require(utf8Tier.empty(), "every tier converts out of UTF-8 as the scalar code");
  }

  // ISO-2022-JP whose sequences fall anywhere: each byte below 0x10 becomes one of the
  // sequences or a piece of one, each of 0x80 and up a pair of 0x21..0x7E (odd runs, pairs
  // and sequences across a block's end, redundant sequences come from where they fall).
  static const char* const pieces[] = {"\x1B$B",  "\x1B(B", "\x1B$@", "\x1B(J", "\x1B(I",
                                       "\x1B$(D", "\x1B",   "\x1B$",  "\x1B(",  "\x0E"};
  std::string jis = lead;
  for (std::size_t i = 1; i < size; ++i) {
    const unsigned b = data[i];
    if (b < 0x10) {
      jis += pieces[b % 10];
    } else if (b < 0x80) {
      jis += static_cast<char>(b);
    } else {
      jis += static_cast<char>(0x21 + b % 0x5E);
      jis += static_cast<char>(0x21 + (b * 7) % 0x5E);
    }
  }
  const std::string jisTier = TierMismatch(jis, JapaneseOutputs);
  if (!jisTier.empty())
    std::fprintf(stderr, "tier %s differs on %s\n", jisTier.c_str(), Hex(jis).c_str());
  Require(jisTier.empty(), "every tier converts ISO-2022-JP as the scalar code");
  return 0;
}
