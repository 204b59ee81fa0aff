// Shift_JIS (1), EUC-JP (2) and ISO-2022-JP (0) to UTF-8.
//
// Shift_JIS is read as the Shift_JIS converter classifies it: a lead byte (0x81..0x9F,
// 0xE0..0xFF) with a trail byte (0x40..0x7E, 0x80..0xFC) is one code, mapped by the
// Windows-31J table; 0xA1..0xDF is half-width katakana, U+FF61..U+FF9F; bytes below 0x80 are
// themselves. A code the table lacks is one U+FFFD, and so is every other byte (0x80, 0xA0,
// a lead byte without its trail).
//
// EUC-JP and ISO-2022-JP are read into Shift_JIS by the rules of their converters, and that
// Shift_JIS is read as above, in the same pass. Valid characters map straight to the table;
// anything else goes byte by byte through SjisReader, which keeps a lead byte waiting for the
// byte that follows it, so that the result is what reading the whole Shift_JIS text would
// give. One exception: the zero byte that an ISO-2022-JP pair makes when its second byte
// carries into the first stands for no zero in the input, and is read as an invalid byte.
#include <array>
#include <cstdint>

#include "common/byte_at.h"
#include "jtext/code_pairs.h"
#include "jtext/convert_charset.h"
#include "jtext/convert_support.h"
#include "jtext/cp932_table.h"
#include "jtext/utf8_support.h"

namespace quillet {
namespace {

using namespace convert;

// Table offset plus one of each lead byte's row (0 for a byte that has none), and column plus
// one of each trail byte (0 for a byte that is no trail), so that a valid code costs two
// lookups and both zero tests at once.
constexpr std::array<std::uint16_t, 256> MakeRowStarts() {
  std::array<std::uint16_t, 256> table{};
  int row = 0;
  for (unsigned c = 0x81; c <= 0xFC; ++c) {
    if (c <= 0x9F || c >= 0xE0) table[c] = static_cast<std::uint16_t>(row++ * cp932::kColumns + 1);
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> MakeColumns() {
  std::array<std::uint8_t, 256> table{};
  int column = 0;
  for (unsigned n = 0x40; n <= 0xFC; ++n) {
    if (n != 0x7F) table[n] = static_cast<std::uint8_t>(++column);
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> kRowStart = MakeRowStarts();
constexpr std::array<std::uint8_t, 256> kColumn = MakeColumns();

inline bool IsLead(unsigned c) {
  return (c - 0x81 < 0x1F) || c >= 0xE0;
}
inline bool IsTrail(unsigned n) {
  return kColumn[n] != 0;
}
inline bool IsKana(unsigned c) {
  return c - 0xA1 < 0x3F;  // 0xA0 is none
}

// The character of a lead and trail byte (IsLead and IsTrail both true).
inline unsigned char* PutChar(unsigned char* o, unsigned lead, unsigned trail) {
  const unsigned start = kRowStart[lead];
  const std::uint32_t u = start != 0 ? cp932::sjisToUnicode[start + kColumn[trail] - 2] : 0;
  return u != 0 ? utf8::PutBmp(o, u) : utf8::PutReplacement(o);
}

inline unsigned char* PutKana(unsigned char* o, unsigned c) {
  return utf8::PutBmp(o, 0xFF61 + (c - 0xA1));
}

// Shift_JIS bytes one at a time.
class SjisReader {
 public:
  bool idle() const { return lead_ == 0; }

  unsigned char* feed(unsigned char* o, unsigned b) {
    if (lead_ != 0) {
      const unsigned lead = lead_;
      lead_ = 0;
      if (IsTrail(b)) return PutChar(o, lead, b);
      o = utf8::PutReplacement(o);
    }
    if (b < 0x80) {
      *o = static_cast<unsigned char>(b);
      return o + 1;
    }
    if (IsKana(b)) return PutKana(o, b);
    if (IsLead(b)) {
      lead_ = b;
      return o;
    }
    return utf8::PutReplacement(o);
  }

  // A byte that decodes as nothing, whatever came before it.
  unsigned char* feedInvalid(unsigned char* o) { return utf8::PutReplacement(finish(o)); }

  unsigned char* finish(unsigned char* o) {
    if (lead_ == 0) return o;
    lead_ = 0;
    return utf8::PutReplacement(o);
  }

 private:
  unsigned lead_ = 0;
};

// Every byte in makes at most 3 out (one U+FFFD); a pair of bytes at most 3.
constexpr std::size_t kPerByte = 3;

void SjisToUtf8Text(const unsigned char* p, const unsigned char* end, std::string& output) {
  unsigned char* o = AppendCursor(output, static_cast<std::size_t>(end - p), kPerByte);
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = MakeRoom(output, o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      const unsigned c = *p;
      if (c < 0x80) {
        p = CopyAscii(p, limit, o);
        continue;
      }
      const unsigned n = ByteAt(p + 1, end);
      const unsigned start = kRowStart[c];
      const unsigned column = kColumn[n];
      if ((start != 0) & (column != 0)) {
        const std::uint32_t u = cp932::sjisToUnicode[start + column - 2];
        o = u != 0 ? utf8::PutBmp(o, u) : utf8::PutReplacement(o);
        p += 2;
      } else if (IsKana(c)) {
        o = PutKana(o, c);
        ++p;
      } else {
        o = utf8::PutReplacement(o);  // 0xFD..0xFF with a trail count as one code
        p += (IsLead(c) && column != 0) ? 2 : 1;
      }
    }
  }
  Finish(output, o);
}

inline bool IsEucByte(unsigned b) {
  return b - 0xA1 < 0x5E;
}

void EucToUtf8Text(const unsigned char* p, const unsigned char* end, std::string& output) {
  unsigned char* o = AppendCursor(output, static_cast<std::size_t>(end - p), kPerByte);
  SjisReader reader;
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = MakeRoom(output, o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      const unsigned c = *p;
      if (c < 0x80 && reader.idle()) {
        p = CopyAscii(p, limit, o);
        continue;
      }
      const unsigned n = ByteAt(p + 1, end);
      if (IsEucByte(c) && IsEucByte(n)) {
        const std::uint32_t code = pairs::EucToSjis(c, n);
        if (reader.idle()) {
          o = PutChar(o, code >> 8, code & 0xFF);
        } else {
          o = reader.feed(o, code >> 8);
          o = reader.feed(o, code & 0xFF);
        }
        p += 2;
      } else if (c == 0x8E && n - 0xA0 < 0x40) {
        o = reader.feed(o, n);  // SS2: the half-width kana itself
        p += 2;
      } else {
        o = reader.feed(o, c);
        ++p;
      }
    }
  }
  o = reader.finish(o);
  Finish(output, o);
}

void JisToUtf8Text(const unsigned char* p, const unsigned char* end, std::string& output) {
  unsigned char* o = AppendCursor(output, static_cast<std::size_t>(end - p), kPerByte);
  SjisReader reader;
  bool twoByte = false;  // input mode
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = MakeRoom(output, o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      const unsigned c = *p;
      if (c == kEsc) {
        const unsigned b1 = ByteAt(p + 1, end);
        const unsigned b2 = ByteAt(p + 2, end);
        if (b1 == '$' && b2 == 'B') {
          twoByte = true;
          p += 3;
          continue;
        }
        if (twoByte && b1 == '(' && b2 == 'B') {
          twoByte = false;
          p += 3;
          continue;
        }
      }
      if (!twoByte) {
        if (c < 0x80 && c != kEsc && reader.idle()) {
          *o++ = static_cast<unsigned char>(c);
          ++p;
          while (p < limit && *p < 0x80 && *p != kEsc) *o++ = *p++;
        } else {
          o = reader.feed(o, c);
          ++p;
        }
        continue;
      }
      const unsigned j2 = ByteAt(p + 1, end);
      const std::uint32_t code = pairs::JisToSjis(c, j2);
      if ((c - 0x21 < 0x5E) & (j2 - 0x21 < 0x5E) && reader.idle()) {
        o = PutChar(o, code >> 8, code & 0xFF);
      } else {
        o = reader.feed(o, (code >> 8) & 0xFF);
        o = (code & 0xFF) == 0 ? reader.feedInvalid(o) : reader.feed(o, code & 0xFF);
      }
      p = end - p < 2 ? end : p + 2;  // a lone last byte goes with 0x00
    }
  }
  o = reader.finish(o);
  Finish(output, o);
}

}  // namespace

int ConvertToUtf8(int source, const char* data, std::size_t size, std::string& output) {
  if (size == 0) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  if (source == 1) {
    SjisToUtf8Text(p, p + size, output);
  } else if (source == 2) {
    EucToUtf8Text(p, p + size, output);
  } else {
    JisToUtf8Text(p, p + size, output);
  }
  return 0;
}

}  // namespace quillet
