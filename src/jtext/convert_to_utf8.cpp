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
#include <cstring>

#include "common/byte_at.h"
#include "jtext/code_pairs.h"
#include "jtext/convert_charset.h"
#include "jtext/convert_support.h"
#include "jtext/cp932_table.h"
#include "jtext/utf8_support.h"

namespace quillet {
namespace {

using namespace convert;

constexpr Word kEscBytes = kEsc * kOnes;

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

// The table again with each character in its UTF-8 bytes, in memory order, and their count
// in the top byte (U+FFFD where the table has 0), so that a character costs one load and one
// store; the slack covers the fourth byte stored.
constexpr std::uint32_t Packed(std::uint32_t u) {
  if (u == 0) u = utf8::kReplacement;
  if (u < 0x800) return (0xC0 | (u >> 6)) | (0x80 | (u & 0x3F)) << 8 | 2u << 24;
  return (0xE0 | (u >> 12)) | (0x80 | ((u >> 6) & 0x3F)) << 8 | (0x80 | (u & 0x3F)) << 16 |
         3u << 24;
}

struct PackedTable {
  std::uint32_t entries[cp932::kRows * cp932::kColumns];
};

constexpr PackedTable MakePackedTable() {
  PackedTable table{};
  for (int i = 0; i < cp932::kRows * cp932::kColumns; ++i) {
    table.entries[i] = Packed(cp932::sjisToUnicode[i]);
  }
  return table;
}

constexpr PackedTable kPacked = MakePackedTable();

inline unsigned char* PutEntry(unsigned char* o, std::uint32_t w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(o, &w, sizeof w);
#else
  o[0] = static_cast<unsigned char>(w);
  o[1] = static_cast<unsigned char>(w >> 8);
  o[2] = static_cast<unsigned char>(w >> 16);
#endif
  return o + (w >> 24);
}

// The character of a lead and trail byte (IsLead and IsTrail both true).
inline unsigned char* PutChar(unsigned char* o, unsigned lead, unsigned trail) {
  const unsigned start = kRowStart[lead];
  return PutEntry(o, start != 0 ? kPacked.entries[start + kColumn[trail] - 2] : Packed(0));
}

// The rows of JIS X 0208 are the table's first 94 * 94 entries in order (two rows per lead
// byte, 94 columns each), so a row and column byte, 0x21..0x7E or 0xA1..0xFE, index it directly.
inline unsigned char* PutJisX0208(unsigned char* o, unsigned j1, unsigned j2) {
  return PutEntry(o, kPacked.entries[(j1 & 0x7F) * 94 + (j2 & 0x7F) - (0x21 * 94 + 0x21)]);
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
        o = PutEntry(o, kPacked.entries[start + column - 2]);
        p += 2;
        // The run of codes goes on without the ASCII test.
        while (limit - p >= 2 && p[0] >= 0x80) {
          const unsigned nextStart = kRowStart[p[0]];
          const unsigned nextColumn = kColumn[p[1]];
          if ((nextStart == 0) | (nextColumn == 0)) break;
          o = PutEntry(o, kPacked.entries[nextStart + nextColumn - 2]);
          p += 2;
        }
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

// A run of JIS X 0208 characters four at a time, while all eight bytes of a word are row and
// column bytes: 0xA1..0xFE (flip 0), or 0x21..0x7E (flip kHighBits). Returns the new p.
inline const unsigned char* PutJisX0208Words(const unsigned char* p, const unsigned char* limit,
                                             Word flip, unsigned char*& o) {
  while (limit - p >= 8 && HighGraphicBytes(LoadWord(p) ^ flip) == kHighBits) {
    o = PutJisX0208(o, p[0], p[1]);
    o = PutJisX0208(o, p[2], p[3]);
    o = PutJisX0208(o, p[4], p[5]);
    o = PutJisX0208(o, p[6], p[7]);
    p += 8;
  }
  return p;
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
        if (reader.idle()) {
          o = PutJisX0208(o, c, n);
          p += 2;
          p = PutJisX0208Words(p, limit, 0, o);
          while (limit - p >= 2 && IsEucByte(p[0]) && IsEucByte(p[1])) {
            o = PutJisX0208(o, p[0], p[1]);
            p += 2;
          }
          continue;
        }
        const std::uint32_t code = pairs::EucToSjis(c, n);
        o = reader.feed(o, code >> 8);
        o = reader.feed(o, code & 0xFF);
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
          // The run goes on a word at a time up to the next ESC or high byte.
          while (limit - p >= 8) {
            const Word w = LoadWord(p);
            StoreWord(o, w);
            const Word stops = ZeroBytes(w ^ kEscBytes) | (w & kHighBits);
            if (stops != 0) {
              const unsigned before = BytesBeforeMark(stops);
              o += before;
              p += before;
              break;
            }
            o += 8;
            p += 8;
          }
          while (p < limit && *p < 0x80 && *p != kEsc) *o++ = *p++;
        } else {
          o = reader.feed(o, c);
          ++p;
        }
        continue;
      }
      const unsigned j2 = ByteAt(p + 1, end);
      if ((c - 0x21 < 0x5E) & (j2 - 0x21 < 0x5E) && reader.idle()) {
        o = PutJisX0208(o, c, j2);
        p += 2;
        p = PutJisX0208Words(p, limit, kHighBits, o);
        while (limit - p >= 2 && ((p[0] - 0x21u < 0x5E) & (p[1] - 0x21u < 0x5E))) {
          o = PutJisX0208(o, p[0], p[1]);
          p += 2;
        }
        continue;
      }
      const std::uint32_t code = pairs::JisToSjis(c, j2);
      o = reader.feed(o, (code >> 8) & 0xFF);
      o = (code & 0xFF) == 0 ? reader.feedInvalid(o) : reader.feed(o, code & 0xFF);
      p = end - p < 2 ? end : p + 2;  // a lone last byte goes with 0x00
    }
  }
  o = reader.finish(o);
  Finish(output, o);
}

}  // namespace

void ConvertToUtf8(CharsetCode source, const char* data, std::size_t size, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  if (source == kCharsetSjis) {
    SjisToUtf8Text(p, p + size, output);
  } else if (source == kCharsetEuc) {
    EucToUtf8Text(p, p + size, output);
  } else {
    JisToUtf8Text(p, p + size, output);
  }
}

}  // namespace quillet
