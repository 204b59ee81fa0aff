// Shift_JIS (1), EUC-JP (2) and ISO-2022-JP (0) to UTF-8.
//
// Shift_JIS is read as mail programs and browsers read it (the Encoding Standard's decoder):
// bytes below 0x80, and 0x80 itself, are themselves; 0xA1..0xDF is half-width katakana,
// U+FF61..U+FF9F; a lead byte (0x81..0x9F, 0xE0..0xFC) with a trail byte (0x40..0x7E,
// 0x80..0xFC) is one code, mapped by the Windows-31J table (the user-defined rows 0xF0..0xF9
// to private use, as that table has them). A lead that no mapped code follows is one U+FFFD
// together with the byte after it, unless that byte is ASCII, which is then read as itself;
// every other byte (0xA0, 0xFD..0xFF) is one U+FFFD.
//
// EUC-JP and ISO-2022-JP are read in full, as mail programs read them (the Encoding
// Standard's decoders), not by the rules of the converters between the legacy encodings:
// JIS X 0208 goes through the Windows-31J table (its rows are the table's first 94 rows),
// JIS X 0212 through its own table, and each byte or pair that reads as nothing is one U+FFFD.
//
// EUC-JP: bytes below 0x80 are themselves; 0x8E with 0xA1..0xDF is half-width katakana; 0x8F
// with two bytes 0xA1..0xFE a JIS X 0212 code; two bytes 0xA1..0xFE a JIS X 0208 code. A lead
// (0x8E, 0x8F, 0xA1..0xFE, or 0x8F with its second byte) that nothing valid follows is one
// U+FFFD together with the byte after it, unless that byte is ASCII, which is then read as
// itself; every other byte is U+FFFD.
//
// ISO-2022-JP: escape sequences choose what the bytes after them are:
//   ESC ( B  ASCII                 ESC $ @, ESC $ B  JIS X 0208 (pairs 0x21..0x7E)
//   ESC ( J  JIS X 0201 Roman      ESC $ ( D         JIS X 0212 (pairs 0x21..0x7E)
//   ESC ( I  half-width katakana (0x21..0x5F are U+FF61..U+FF9F)
// Roman is ASCII but for 0x5C (U+00A5) and 0x7E (U+203E). In ASCII and Roman, SO and SI (0x0E,
// 0x0F) and bytes of 0x80 and up are U+FFFD, and so is any byte outside a set's range. An ESC
// that starts none of the sequences above is one U+FFFD, and the bytes after it are read again
// in the current set. A pair's first byte followed by ESC or by the end is one U+FFFD; followed
// by any other byte out of range, the two are one U+FFFD. Two sequences in a row are no error:
// encoded words that meet make them.
#include <array>
#include <cstdint>
#include <cstring>

#include "codec/convert_support.h"
#include "codec/utf8_support.h"
#include "common/byte_at.h"
#include "jtext/convert_charset.h"
#include "jtext/cp932_table.h"
#include "jtext/jis0212_table.h"
#include "jtext/jis_escape.h"
#include "jtext/packed_utf8.h"
#include "jtext/vector_runs.h"
#include "simd/kernels.h"

namespace quillet {
namespace {

using namespace convert;
using namespace packed_utf8;

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

inline bool IsKana(unsigned c) {
  return c - 0xA1 < 0x3F;  // 0xA0 is none
}

// A character's entry in the packed table (jtext/packed_utf8.h).
constexpr std::uint32_t Packed(std::uint32_t u) {
  if (u == 0) u = utf8::kReplacement;
  return utf8::BmpBytes(u) | utf8::BmpLength(u) << 24;
}

constexpr PackedTable MakePackedTable() {
  PackedTable table{};
  for (std::uint32_t c = 0; c < simd::kPackedCodes; ++c) table.entries[c] = c | 1u << 24;
  for (int i = 0; i < cp932::kRows * cp932::kColumns; ++i) {
    table.entries[simd::kPackedCodes + i] = Packed(cp932::sjisToUnicode[i]);
  }
  return table;
}

}  // namespace

namespace packed_utf8 {
constexpr PackedTable kPacked = MakePackedTable();
}  // namespace packed_utf8

namespace {

constexpr const std::uint32_t* kCodes = kPacked.entries + simd::kPackedCodes;

inline unsigned char* PutJisX0212(unsigned char* o, unsigned j1, unsigned j2) {
  const std::uint32_t u = jis0212::jis0212ToUnicode[JisPointer(j1, j2)];
  return u != 0 ? utf8::PutBmp(o, u) : utf8::PutReplacement(o);
}

inline unsigned char* PutKana(unsigned char* o, unsigned c) {
  return utf8::PutBmp(o, 0xFF61 + (c - 0xA1));
}

// Every byte in makes at most 3 out (one U+FFFD); a pair or a triple of bytes at most 3.
constexpr std::size_t kPerByte = 3;

// The entry of a code that the table lacks.
constexpr std::uint32_t kNoCode = Packed(utf8::kReplacement);
static_assert(kNoCode == simd::kPackedReplacement, "the vector runs stop at the same entry");

// The packed character of the code whose lead has the row start start and whose trail is n,
// or kNoCode.
inline std::uint32_t CodeEntry(unsigned start, unsigned n) {
  const unsigned column = kColumn[n];
  return column != 0 ? kCodes[start + column - 2] : kNoCode;
}

void SjisToUtf8Text(const unsigned char* p, const unsigned char* end, std::string& output) {
  Output out(output, static_cast<std::size_t>(end - p), kPerByte, true);
  unsigned char* o = out.Begin();
  // Short text (a mail header's word) takes the scalar code's path alone.
  const auto run = end - p > kVectorMinimum ? simd::ActiveKernels().sjisToUtf8Run : nullptr;
  const unsigned char* retry = p;
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = out.Room(o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (run != nullptr && p >= retry && limit - p > kVectorMinimum) {
        const unsigned char* const from = p;
        p = run(p, limit, o, kPacked.entries);
        if (p == limit) break;
        retry = NextTry(from, p, end);
      }
      const unsigned c = *p;
      if (c < 0x80) {
        p = CopyAscii(p, limit, o);
        continue;
      }
      const unsigned start = kRowStart[c];
      if (start == 0) {
        if (IsKana(c)) {
          o = PutKana(o, c);
        } else {
          o = c == 0x80 ? utf8::PutBmp(o, 0x80) : utf8::PutReplacement(o);
        }
        ++p;
        continue;
      }
      const unsigned n = ByteAt(p + 1, end);  // 0 at the end: no trail, nothing after
      const std::uint32_t entry = CodeEntry(start, n);
      if (entry == kNoCode) {
        // An ASCII byte after the lead is read again as itself.
        o = utf8::PutReplacement(o);
        p += n < 0x80 ? 1 : 2;
        continue;
      }
      o = PutEntry(o, entry);
      p += 2;
      // The run of codes goes on without the ASCII test.
      while (limit - p >= 2) {
        const unsigned nextStart = kRowStart[p[0]];
        const unsigned nextColumn = kColumn[p[1]];
        if ((nextStart == 0) | (nextColumn == 0)) break;
        const std::uint32_t next = kCodes[nextStart + nextColumn - 2];
        if (next == kNoCode) break;
        o = PutEntry(o, next);
        p += 2;
      }
    }
  }
  out.Finish(o);
}

inline bool IsEucByte(unsigned b) {
  return b - 0xA1 < 0x5E;
}

// How far a lead that nothing valid follows reaches, given the position after it and the
// byte there: the byte goes with the lead unless it is ASCII (read again as itself) or past
// the end.
inline std::size_t AfterBrokenLead(const unsigned char* next, const unsigned char* end,
                                   unsigned byte) {
  return (next < end && byte >= 0x80) ? 1 : 0;
}

void EucToUtf8Text(const unsigned char* p, const unsigned char* end, std::string& output) {
  Output out(output, static_cast<std::size_t>(end - p), kPerByte, true);
  unsigned char* o = out.Begin();
  // Short text (a mail header's word) takes the scalar code's path alone.
  const auto run = end - p > kVectorMinimum ? simd::ActiveKernels().eucToUtf8Run : nullptr;
  const unsigned char* retry = p;
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = out.Room(o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (run != nullptr && p >= retry && limit - p > kVectorMinimum) {
        const unsigned char* const from = p;
        p = run(p, limit, o, kPacked.entries);
        if (p == limit) break;
        retry = NextTry(from, p, end);
      }
      const unsigned c = *p;
      if (c < 0x80) {
        p = CopyAscii(p, limit, o);
        continue;
      }
      const unsigned n = ByteAt(p + 1, end);
      if (IsEucByte(c) && IsEucByte(n)) {
        o = PutJisX0208(o, c, n);
        p += 2;
        p = PutJisX0208Words(p, limit, 0, o);
        while (limit - p >= 2 && IsEucByte(p[0]) && IsEucByte(p[1])) {
          o = PutJisX0208(o, p[0], p[1]);
          p += 2;
        }
        continue;
      }
      if (c == 0x8E && IsKana(n)) {
        o = PutKana(o, n);
        p += 2;
        continue;
      }
      if (c == 0x8F && IsEucByte(n)) {
        const unsigned m = ByteAt(p + 2, end);
        if (IsEucByte(m)) {
          o = PutJisX0212(o, n, m);
          p += 3;
        } else {
          o = utf8::PutReplacement(o);
          p += 2 + AfterBrokenLead(p + 2, end, m);
        }
        continue;
      }
      o = utf8::PutReplacement(o);
      const bool lead = c == 0x8E || c == 0x8F || IsEucByte(c);
      p += 1 + (lead ? AfterBrokenLead(p + 1, end, n) : 0);
    }
  }
  out.Finish(o);
}

void JisToUtf8Text(const unsigned char* p, const unsigned char* end, std::string& output) {
  Output out(output, static_cast<std::size_t>(end - p), kPerByte, true);
  unsigned char* o = out.Begin();
  JisSet set = JisSet::kAscii;
  // Short text (a mail header's word) takes the scalar code's path alone.
  const auto run = end - p > kVectorMinimum ? simd::ActiveKernels().jisToUtf8Run : nullptr;
  const unsigned char* retry = p;
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = out.Room(o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (run != nullptr && p >= retry && (set == JisSet::kAscii || set == JisSet::kJisX0208) &&
          limit - p > kVectorMinimum) {
        const unsigned char* const from = p;
        bool twoByte = set == JisSet::kJisX0208;
        p = run(p, limit, o, kPacked.entries, twoByte);
        set = twoByte ? JisSet::kJisX0208 : JisSet::kAscii;
        if (p == limit) break;
        retry = NextTry(from, p, end);
      }
      const unsigned c = *p;
      if (c == kEsc) {
        if (!TakeJisEscape(p, end, set)) {
          o = utf8::PutReplacement(o);
          ++p;
        }
        continue;
      }
      switch (set) {
        case JisSet::kAscii:
          if (IsJisText(c)) {
            p = CopyJisAscii(p, limit, o);
          } else {
            o = utf8::PutReplacement(o);
            ++p;
          }
          break;
        case JisSet::kRoman:
          if (c == 0x5C) {
            o = utf8::PutBmp(o, 0x00A5);
          } else if (c == 0x7E) {
            o = utf8::PutBmp(o, 0x203E);
          } else if (IsJisText(c)) {
            *o++ = static_cast<unsigned char>(c);
          } else {
            o = utf8::PutReplacement(o);
          }
          ++p;
          break;
        case JisSet::kKatakana:
          o = c - 0x21 < 0x3F ? utf8::PutBmp(o, 0xFF61 + (c - 0x21)) : utf8::PutReplacement(o);
          ++p;
          break;
        case JisSet::kJisX0208:
        case JisSet::kJisX0212: {
          const std::size_t broken = BrokenJisPair(p, end);
          if (broken != 0) {
            o = utf8::PutReplacement(o);
            p += broken;
          } else if (set == JisSet::kJisX0212) {
            o = PutJisX0212(o, c, p[1]);
            p += 2;
          } else {
            o = PutJisX0208(o, c, p[1]);
            p = PutJisX0208Run(p + 2, limit, o);
          }
          break;
        }
        default:  // only the sets of ISO-2022-JP are ever chosen here
          o = utf8::PutReplacement(o);
          ++p;
          break;
      }
    }
  }
  out.Finish(o);
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
