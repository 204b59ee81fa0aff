// Shift_JIS to EUC-JP (target 2) or ISO-2022-JP (target 0).
//
// At each position the byte c and the byte n after it (0x00 past the end) are classified:
//   half-width katakana   c = 0xA0..0xDF
//   double-byte character c = 0x81..0x9F or 0xE0..0xFF, and n = 0x40..0x7E or 0x80..0xFC
//   single byte           everything else (c alone; n is classified on its own next)
// EUC-JP keeps half-width katakana as 0x8E c. ISO-2022-JP widens them (WidenKana) and switches
// with ESC $ B / ESC ( B only where the kind of character changes.
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

using kana::IsHalfKana;
using pairs::kColumnOf;
using pairs::kRowOf;

// The JIS X 0208 code of the double-byte character at p (c its first byte), or 0.
inline unsigned PairCode(unsigned c, const unsigned char* p, const unsigned char* end) {
  const unsigned row = kRowOf[c];
  const unsigned column = kColumnOf[ByteAt(p + 1, end)];
  return ((row != 0) & (column != 0)) ? row + column : 0;
}

struct ToEuc : NoMode {
  static constexpr std::size_t kPerByte = 2;  // 0x8E and a half-width kana
  static const unsigned char* Step(const unsigned char* p, const unsigned char*,
                                   const unsigned char* end, unsigned char*& o) {
    const unsigned c = *p;
    const unsigned code = PairCode(c, p, end);
    if (code != 0) {
      o = PutCode(o, code | 0x8080);
      return p + 2;
    }
    if (IsHalfKana(c)) {
      *o++ = 0x8E;  // SS2: half-width katakana stay half-width
    }
    *o++ = static_cast<unsigned char>(c);
    return p + 1;
  }
};

struct ToJis : JisMode {
  // ESC $ B and a widened kana for one half-width kana.
  static constexpr std::size_t kPerByte = 5;
  const unsigned char* Step(const unsigned char* p, const unsigned char*, const unsigned char* end,
                            unsigned char*& o) {
    const unsigned c = *p;
    const unsigned code = PairCode(c, p, end);
    if (code != 0) {
      o = PutCode(Double(o), code);
      return p + 2;
    }
    if (IsHalfKana(c)) {
      // A run of half-width kana is written in double-byte mode as it goes; a sound mark
      // right after a kana is merged with it where the combined form exists.
      std::uint16_t wide = 0;
      const int used = kana::Widen(c, ByteAt(p + 1, end), wide);
      o = PutCode(Double(o), wide);
      return p + used;
    }
    o = Ascii(o);
    *o++ = static_cast<unsigned char>(c);
    return p + 1;
  }
};

}  // namespace

void ConvertFromSjis(const char* data, std::size_t size, CharsetCode target, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  if (target == kCharsetEuc) {
    ToEuc to;
    to.kernel = simd::ActiveKernels().sjisToEucRun;
    ConvertPairText(p, p + size, output, to);
  } else {
    ToJis to;
    to.kernel = simd::ActiveKernels().sjisToJisRun;
    ConvertPairText(p, p + size, output, to);
  }
}

}  // namespace quillet
