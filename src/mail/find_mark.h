// FindMark and FindWordEnd: the word-at-a-time searches behind the mail list scans. Plain
// header text and encoded words are long runs of bytes that matter to nobody; these skip them
// eight at a time, and past the first eight a vector block at a time where the processor can
// (FindFarMark and FindFarWordEnd from the start).
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/convert_support.h"
#include "common/zero_bytes.h"
#include "simd/kernels.h"

namespace quillet {

// The first byte in [p, end) that is 0x00..0x03 (the separators 0x01 and 0x02 among them) or
// equal to mark; end when there is none. Reads nothing outside [p, end).
inline const char* FindMark(const char* p, const char* end, unsigned char mark) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  constexpr std::uint64_t kLowBits = 0xFCFCFCFCFCFCFCFCu;  // a byte of 0..3 keeps nothing
  const std::uint64_t marks = kOnes * mark;
  // The lowest mark stands for the first byte of low or of same that is zero (a borrow only
  // ever runs up from a zero byte, so the marks above it may be false, never those below).
  const auto found = [&](const char* at) {
    std::uint64_t block;
    std::memcpy(&block, at, sizeof block);
    const std::uint64_t low = block & kLowBits;
    const std::uint64_t same = block ^ marks;
    return (((low - kOnes) & ~low) | ((same - kOnes) & ~same)) & kHighs;
  };
  if (end - p >= 8) {
    // Most marks are a few bytes apart: the first word finds them before any kernel is looked
    // up, and past a clean first word a vector kernel takes the rest.
    if (const std::uint64_t first = found(p)) return p + convert::BytesBeforeMark(first);
    p += 8;
    if (const auto vector = simd::ActiveKernels().findMark) return vector(p, end, mark);
    for (; end - p >= 8; p += 8) {
      if (const std::uint64_t later = found(p)) return p + convert::BytesBeforeMark(later);
    }
  }
  for (; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c <= 0x03 || c == mark) return p;
  }
  return end;
}

// FindMark for a mark that is mostly more than a word away, as the next one after an encoded
// word or a line's end: the vector kernel, where there is one, takes the whole range.
inline const char* FindFarMark(const char* p, const char* end, unsigned char mark) {
  const auto vector = simd::ActiveKernels().findMark;
  return vector != nullptr ? vector(p, end, mark) : FindMark(p, end, mark);
}

// The first byte in [p, end) that is a separator (0x01, 0x02) or a "?" directly followed by
// "=" (a "?" in the last byte is followed by nothing); end when there is none. Reads nothing
// outside [p, end).
inline const char* FindWordEnd(const char* p, const char* end) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  // Nine bytes in reach: the eight of a block and the one after its last.
  const auto stops = [](const char* at) {
    std::uint64_t block;
    std::uint64_t next;  // the block one byte further on
    std::memcpy(&block, at, sizeof block);
    std::memcpy(&next, at + 1, sizeof next);
    const std::uint64_t closes = ZeroBytes(block ^ (kOnes * '?')) & ZeroBytes(next ^ (kOnes * '='));
    return closes | ZeroBytes(block ^ (kOnes * 0x01)) | ZeroBytes(block ^ (kOnes * 0x02));
  };
  if (end - p >= 9) {
    // As in FindMark: the first block before any kernel is looked up.
    if (const std::uint64_t first = stops(p)) return p + convert::BytesBeforeMark(first);
    p += 8;
    if (const auto vector = simd::ActiveKernels().findWordEnd) return vector(p, end);
    for (; end - p >= 9; p += 8) {
      if (const std::uint64_t later = stops(p)) return p + convert::BytesBeforeMark(later);
    }
  }
  for (; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == 0x01 || c == 0x02) return p;
    if (c == '?' && end - p >= 2 && p[1] == '=') return p;
  }
  return end;
}

// FindWordEnd for a stop that is mostly a block or more away, as the close of an encoded word
// seen from its first field: the vector kernel, where there is one, takes the whole range.
inline const char* FindFarWordEnd(const char* p, const char* end) {
  const auto vector = simd::ActiveKernels().findWordEnd;
  return vector != nullptr ? vector(p, end) : FindWordEnd(p, end);
}

// FindMark for "=" among the eight bytes at block, from `from` on (at most block + 9), with no
// load beyond them: the first byte there of 0x00..0x03 or "=", or null. Each byte is tested on
// its own, as the bytes before from must not move a mark.
inline const char* MarkAfter(const char* block, const char* from) {
  const auto skip = static_cast<unsigned>(from - block);
  if (skip >= 8) return nullptr;
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  std::uint64_t bytes;
  std::memcpy(&bytes, block, sizeof bytes);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  const std::uint64_t later = ~std::uint64_t{0} >> (8 * skip);
#else
  const std::uint64_t later = ~std::uint64_t{0} << (8 * skip);
#endif
  const std::uint64_t marks =
      (ZeroBytes(bytes & (kOnes * 0xFC)) | ZeroBytes(bytes ^ (kOnes * '='))) & later;
  return marks != 0 ? block + convert::BytesBeforeMark(marks) : nullptr;
}

// The closing "?" of an encoded word whose first field starts at first, when it is the first
// "?" or byte of 0x00..0x03 (the separators among them) of the eight bytes there: a word of no
// fields, as each of "=?=?=?=" is. Otherwise null. Reads [first, first + 9), which must lie in
// the list.
inline const char* FieldlessClose(const char* first) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  std::uint64_t block;
  std::uint64_t next;  // the block one byte further on
  std::memcpy(&block, first, sizeof block);
  std::memcpy(&next, first + 1, sizeof next);
  const std::uint64_t questions = ZeroBytes(block ^ (kOnes * '?'));
  const std::uint64_t marks = questions | ZeroBytes(block & (kOnes * 0xFC));
  const std::uint64_t closes = questions & ZeroBytes(next ^ (kOnes * '='));
  if ((marks & (0 - marks) & closes) == 0) return nullptr;
  return first + convert::BytesBeforeMark(marks);
}

}  // namespace quillet
