// FindMark: the word-at-a-time search behind the mail list scans. Plain header text is long
// runs of bytes that matter to nobody; this skips them eight at a time.
#pragma once

#include <cstdint>
#include <cstring>

namespace quillet {

// The first byte in [p, end) that is 0x00..0x03 (the separators 0x01 and 0x02 among them) or
// equal to mark; end when there is none. Reads nothing outside [p, end).
inline const char* FindMark(const char* p, const char* end, unsigned char mark) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  constexpr std::uint64_t kLowBits = 0xFCFCFCFCFCFCFCFCu;  // a byte of 0..3 keeps nothing
  const std::uint64_t marks = kOnes * mark;
  while (end - p >= 8) {
    std::uint64_t block;
    std::memcpy(&block, p, sizeof block);
    const std::uint64_t low = block & kLowBits;
    const std::uint64_t same = block ^ marks;
    // Nonzero exactly when some byte of low or of same is zero.
    if ((((low - kOnes) & ~low) | ((same - kOnes) & ~same)) & kHighs) break;
    p += 8;
  }
  for (; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c <= 0x03 || c == mark) return p;
  }
  return end;
}

}  // namespace quillet
