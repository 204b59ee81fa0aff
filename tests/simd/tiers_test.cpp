#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

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
  const std::string stops[] = {
      "\x01", "\x02", "\x03", std::string(1, '\0'), "=", "==", "?=", "?", "\r\n", "\r",
      " ",    "\xA0", "."};
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

}  // namespace
}  // namespace quillet
