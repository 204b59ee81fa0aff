// The escape sequences of ISO-2022-JP and ISO-2022-JP-2, and the byte classes of their sets:
// shared by every reader of ISO-2022-JP text, so that each sees the same changes of set.
//
//   ESC ( B    ASCII                   ESC $ @, ESC $ B  JIS X 0208 (pairs 0x21..0x7E)
//   ESC ( J    JIS X 0201 Roman        ESC $ ( D         JIS X 0212 (pairs 0x21..0x7E)
//   ESC ( I    half-width katakana (0x21..0x5F)
// ISO-2022-JP-2 adds:
//   ESC $ A    G0 is GB 2312           ESC $ ( C         G0 is KS C 5601
//   ESC . A    G2 is ISO-8859-1's upper half
//   ESC . F    G2 is ISO-8859-7's upper half
//   ESC N      single shift: the next byte alone is a G2 character
#pragma once

#include <cstddef>

#include "codec/convert_support.h"
#include "common/byte_at.h"

namespace quillet {
namespace convert {

enum class JisSet : unsigned char {
  // The sets of ISO-2022-JP.
  kAscii,
  kRoman,
  kKatakana,
  kJisX0208,
  kJisX0212,
  // What ISO-2022-JP-2 adds.
  kGb2312,
  kKsc5601,
  kG2Latin1,
  kG2Greek,
  kSingleShift,
  // An ESC that starts none of the sequences above.
  kUnknown,
};

inline bool IsJapaneseSet(JisSet set) {
  return set <= JisSet::kJisX0212;
}

struct JisEscape {
  std::size_t length;  // 1 for kUnknown: the ESC alone
  JisSet set;
};

// The sequence that starts at p, an ESC before end.
inline JisEscape ReadJisEscape(const unsigned char* p, const unsigned char* end) {
  const unsigned b1 = ByteAt(p + 1, end);
  const unsigned b2 = ByteAt(p + 2, end);
  if (b1 == '(') {
    if (b2 == 'B') return {3, JisSet::kAscii};
    if (b2 == 'J') return {3, JisSet::kRoman};
    if (b2 == 'I') return {3, JisSet::kKatakana};
  } else if (b1 == '$') {
    if (b2 == 'B' || b2 == '@') return {3, JisSet::kJisX0208};
    if (b2 == 'A') return {3, JisSet::kGb2312};
    if (b2 == '(') {
      const unsigned b3 = ByteAt(p + 3, end);
      if (b3 == 'D') return {4, JisSet::kJisX0212};
      if (b3 == 'C') return {4, JisSet::kKsc5601};
    }
  } else if (b1 == '.') {
    if (b2 == 'A') return {3, JisSet::kG2Latin1};
    if (b2 == 'F') return {3, JisSet::kG2Greek};
  } else if (b1 == 'N') {
    return {2, JisSet::kSingleShift};
  }
  return {1, JisSet::kUnknown};
}

// Whether the ESC at p (before end) starts no sequence: ReadJisEscape's kUnknown, with one test
// for the bytes that start none (every sequence goes on with one of four).
inline bool StartsNoSequence(const unsigned char* p, const unsigned char* end) {
  const unsigned b1 = ByteAt(p + 1, end);
  if (b1 != '(' && b1 != '$' && b1 != '.' && b1 != 'N') return true;
  return ReadJisEscape(p, end).set == JisSet::kUnknown;
}

// At p, an ESC: a sequence of ISO-2022-JP's own sets becomes the set in force and is skipped
// (true). Any other ESC is left for the caller to write as an error (false, p unchanged); the
// bytes after it are then read again in the set in force.
inline bool TakeJisEscape(const unsigned char*& p, const unsigned char* end, JisSet& set) {
  // ESC $ B and ESC ( B open and close nearly every word: one compare each.
  if (end - p >= 3) {
    const unsigned pair = p[1] | (p[2] << 8);
    if (pair == ('$' | ('B' << 8)) || pair == ('(' | ('B' << 8))) {
      set = p[1] == '$' ? JisSet::kJisX0208 : JisSet::kAscii;
      p += 3;
      return true;
    }
  }
  const JisEscape escape = ReadJisEscape(p, end);
  if (!IsJapaneseSet(escape.set)) return false;
  set = escape.set;
  p += escape.length;
  return true;
}

// A byte that ASCII and Roman read as a character of their own: below 0x80, neither ESC nor
// SO nor SI.
inline bool IsJisText(unsigned c) {
  return c < 0x80 && c != kEsc && (c | 1) != 0x0F;
}

inline bool IsJisGraphic(unsigned b) {
  return b - 0x21 < 0x5E;
}

// How many bytes the pair of a two-byte set at p (before end) spoils: 0 for a whole pair of
// 0x21..0x7E; 1 for a first byte out of range, or one followed by ESC (which still starts a
// sequence) or by the end; 2 for a first byte followed by any other byte out of range.
inline std::size_t BrokenJisPair(const unsigned char* p, const unsigned char* end) {
  if (!IsJisGraphic(*p)) return 1;
  const unsigned j2 = ByteAt(p + 1, end);
  if (IsJisGraphic(j2)) return 0;
  return (p + 1 < end && j2 != kEsc) ? 2 : 1;
}

// A run of ASCII text from p up to the next ESC, SO, SI or high byte. Returns the new p; o
// moves along.
inline const unsigned char* CopyJisAscii(const unsigned char* p, const unsigned char* limit,
                                         unsigned char*& o) {
  constexpr Word kEscBytes = kEsc * kOnes;
  constexpr Word kShiftInBytes = 0x0F * kOnes;
  return CopyWhile(
      p, limit, o,
      [](Word w) {
        // (w | kOnes) turns SO (0x0E) into SI (0x0F) and no other byte into either.
        return ZeroBytes(w ^ kEscBytes) | ZeroBytes((w | kOnes) ^ kShiftInBytes) | (w & kHighBits);
      },
      IsJisText);
}

}  // namespace convert
}  // namespace quillet
