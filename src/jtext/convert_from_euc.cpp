// EUC-JP to Shift_JIS (target 1) or ISO-2022-JP (target 0).
//
// At each position the byte c and the byte n after it (0x00 past the end) are classified:
//   SS2 katakana          c = 0x8E and n = 0xA0..0xDF
//   double-byte character c = 0xA1..0xFE and n = 0xA1..0xFE
//   SS3 JIS X 0212        c = 0x8F and the two bytes after it 0xA1..0xFE: neither target
//                         has it, so the three are one geta mark
//   single byte           everything else
// Shift_JIS gets the half-width kana n alone. ISO-2022-JP widens it (WidenKana, merging a sound
// mark written as a following 0x8E 0xDE or 0x8E 0xDF) and switches with ESC $ B / ESC ( B only
// where the kind of character changes.
#include <array>
#include <cstdint>

#include "codec/convert_support.h"
#include "common/byte_at.h"
#include "jtext/code_pairs.h"
#include "jtext/convert_charset.h"
#include "jtext/kana_tables.h"
#include "jtext/pair_text.h"
#include "simd/kernels.h"

namespace quillet {
namespace {

using namespace convert;

inline bool IsEucByte(unsigned b) {
  return b - 0xA1 < 0x5E;
}
using kana::IsHalfKana;

// SS3 (0x8F) at p, followed by n and one more byte, both 0xA1..0xFE: one JIS X 0212 character.
inline bool IsJisX0212(unsigned c, unsigned n, const unsigned char* p, const unsigned char* end) {
  return c == 0x8F && IsEucByte(n) && IsEucByte(ByteAt(p + 2, end));
}

// EucToSjis split by byte: the first Shift_JIS byte depends on e1 only, the second on e2 and
// the parity of e1. Code = kLeadOf[e1] | kTrailOf[e1 & 1][e2]; zero entries mark bytes
// outside 0xA1..0xFE (every real entry is nonzero).
constexpr std::array<std::uint16_t, 256> MakeLeadTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned e1 = 0xA1; e1 <= 0xFE; ++e1) {
    table[e1] = static_cast<std::uint16_t>(pairs::EucToSjis(e1, 0xA1) & 0xFF00);
  }
  return table;
}

constexpr std::array<std::array<std::uint8_t, 256>, 2> MakeTrailTable() {
  std::array<std::array<std::uint8_t, 256>, 2> table{};
  for (unsigned e2 = 0xA1; e2 <= 0xFE; ++e2) {
    table[0][e2] = static_cast<std::uint8_t>(pairs::EucToSjis(0xA2, e2) & 0xFF);  // even row
    table[1][e2] = static_cast<std::uint8_t>(pairs::EucToSjis(0xA1, e2) & 0xFF);  // odd row
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> kLeadOf = MakeLeadTable();
constexpr std::array<std::array<std::uint8_t, 256>, 2> kTrailOf = MakeTrailTable();

// After a character, the run goes on four characters at a time: put converts the eight
// bytes at in (whose value is w) whole, two bytes out per character, and the cursor keeps the
// characters before the word's first byte outside 0xA1..0xFE.
template <typename Put4>
inline void WordRun(const unsigned char*& p, const unsigned char* limit, unsigned char*& o,
                    Put4 put) {
  while (limit - p >= 8) {
    const Word w = LoadWord(p);
    put(o, p, w);
    const Word others = HighGraphicBytes(w) ^ kHighBits;
    if (others == 0) {
      o += 8;
      p += 8;
      continue;
    }
    const unsigned taken = BytesBeforeMark(others) & ~1u;
    o += taken;
    p += taken;
    return;
  }
}

struct ToSjis : NoMode {
  static constexpr std::size_t kPerByte = 1;
  static const unsigned char* Step(const unsigned char* p, const unsigned char* limit,
                                   const unsigned char* end, unsigned char*& o) {
    const unsigned c = *p;
    const unsigned n = ByteAt(p + 1, end);
    const unsigned lead = kLeadOf[c];
    const unsigned trail = kTrailOf[c & 1][n];
    if ((lead != 0) & (trail != 0)) {
      o = PutCode(o, lead | trail);
      p += 2;
      WordRun(p, limit, o, [](unsigned char* out, const unsigned char* in, Word) {
        for (int i = 0; i < 8; i += 2)
          PutCode(out + i, kLeadOf[in[i]] | kTrailOf[in[i] & 1][in[i + 1]]);
      });
      return p;
    }
    if (c == 0x8E && IsHalfKana(n)) {
      *o++ = static_cast<unsigned char>(n);  // SS2: the half-width kana itself
      return p + 2;
    }
    if (IsJisX0212(c, n, p, end)) {
      o = PutCode(o, 0x81AC);  // Shift_JIS has no JIS X 0212: one geta mark
      return p + 3;
    }
    *o++ = static_cast<unsigned char>(c);
    return p + 1;
  }
};

struct ToJis : JisMode {
  static constexpr std::size_t kPerByte = 4;  // ESC ( B and a single byte
  const unsigned char* Step(const unsigned char* p, const unsigned char* limit,
                            const unsigned char* end, unsigned char*& o) {
    const unsigned c = *p;
    const unsigned n = ByteAt(p + 1, end);
    if (IsEucByte(c) && IsEucByte(n)) {
      o = PutCode(Double(o), pairs::EucToJis(c, n));
      p += 2;
      // EucToJis is a mask per byte: one for four characters.
      WordRun(p, limit, o, [](unsigned char* out, const unsigned char*, Word w) {
        StoreWord(out, w & ~kHighBits);
      });
      return p;
    }
    if (c == 0x8E && IsHalfKana(n)) {
      // The kana's run goes on when the next pair is SS2 katakana too; a sound mark there
      // is merged with this kana where the combined form exists.
      const unsigned mark = ByteAt(p + 2, end) == 0x8E ? ByteAt(p + 3, end) : 0x00;
      std::uint16_t code = 0;
      const int used = kana::Widen(n, mark, code);
      o = PutCode(Double(o), code);
      return p + 2 * used;
    }
    if (IsJisX0212(c, n, p, end)) {
      o = PutCode(Double(o), 0x222E);  // ISO-2022-JP has no JIS X 0212: one geta mark
      return p + 3;
    }
    o = Ascii(o);
    *o++ = static_cast<unsigned char>(c);
    return p + 1;
  }
};

}  // namespace

char* WritePlainEuc(const char* data, std::size_t size, CharsetCode target, char* out) {
  if (size > kPlainText || target != kCharsetSjis) return nullptr;
  // The output is as long as the input.
  auto* o = reinterpret_cast<unsigned char*>(out);
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  while (p < end) {
    const unsigned c = *p;
    if (c < 0x80) {
      if (c == 0 || c == kEsc) return nullptr;
      *o++ = static_cast<unsigned char>(c);
      ++p;
      continue;
    }
    if (end - p >= 8 && HighGraphicBytes(LoadWord(p)) == kHighBits) {
      // Four characters at once, as the run in ToSjis::Step.
      for (int i = 0; i < 8; i += 2) PutCode(o + i, kLeadOf[p[i]] | kTrailOf[p[i] & 1][p[i + 1]]);
      o += 8;
      p += 8;
      continue;
    }
    const unsigned lead = kLeadOf[c];
    const unsigned trail = kTrailOf[c & 1][ByteAt(p + 1, end)];
    if ((lead == 0) | (trail == 0)) return nullptr;
    o = PutCode(o, lead | trail);
    p += 2;
  }
  return reinterpret_cast<char*>(o);
}

bool ConvertPlainEuc(const char* data, std::size_t size, CharsetCode target, std::string& output) {
  return AppendWritten(WritePlainEuc, data, size, target, output);
}

void ConvertFromEuc(const char* data, std::size_t size, CharsetCode target, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  // Text that the kernel would take whole blocks of goes to it; shorter text, or text with no
  // kernel for it, the one-pass way where it can.
  const bool blocks = simd::ActiveKernels().eucToSjisRun != nullptr && size >= kRunMinimum;
  if (!blocks && ConvertPlainEuc(data, size, target, output)) return;
  if (target == kCharsetSjis) {
    ToSjis to;
    to.kernel = simd::ActiveKernels().eucToSjisRun;
    ConvertPairText(p, p + size, output, to);
  } else {
    ToJis to;
    to.kernel = simd::ActiveKernels().eucToJisRun;
    ConvertPairText(p, p + size, output, to);
  }
}

}  // namespace quillet
