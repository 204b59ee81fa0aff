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

namespace quillet {
namespace {

using namespace convert;

using kana::IsHalfKana;
using pairs::kColumnOf;
using pairs::kRowOf;

void SjisToEucText(const unsigned char* p, const unsigned char* end, std::string& output) {
  unsigned char* o = AppendCursor(output, static_cast<std::size_t>(end - p), 2);
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = MakeRoom(output, o, 2 * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      const unsigned c = *p;
      if (c < 0x80) {
        p = CopyAscii(p, limit, o);
        continue;
      }
      const unsigned row = kRowOf[c];
      const unsigned column = kColumnOf[ByteAt(p + 1, end)];
      if ((row != 0) & (column != 0)) {
        o = PutCode(o, (row + column) | 0x8080);
        p += 2;
      } else if (IsHalfKana(c)) {
        o[0] = 0x8E;  // SS2: half-width katakana stay half-width
        o[1] = static_cast<unsigned char>(c);
        o += 2;
        ++p;
      } else {
        *o++ = static_cast<unsigned char>(c);
        ++p;
      }
    }
  }
  Finish(output, o);
}

void SjisToJisText(const unsigned char* p, const unsigned char* end, std::string& output) {
  unsigned char* o = AppendCursor(output, static_cast<std::size_t>(end - p), 5);
  bool twoByte = false;  // output mode
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    // At most 5 bytes per input byte: ESC $ B and a widened kana for one half-width kana.
    o = MakeRoom(output, o, 5 * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      const unsigned c = *p;
      if (c < 0x80) {
        o = SwitchToSingle(o, twoByte);
        p = CopyAscii(p, limit, o);
        continue;
      }
      const unsigned row = kRowOf[c];
      const unsigned column = kColumnOf[ByteAt(p + 1, end)];
      if ((row != 0) & (column != 0)) {
        o = SwitchToDouble(o, twoByte);
        o = PutCode(o, row + column);
        p += 2;
      } else if (IsHalfKana(c)) {
        // A run of half-width kana is written in double-byte mode as it goes; a sound mark
        // right after a kana is merged with it where the combined form exists.
        o = SwitchToDouble(o, twoByte);
        std::uint16_t code = 0;
        p += kana::Widen(c, ByteAt(p + 1, end), code);
        o = PutCode(o, code);
      } else {
        o = SwitchToSingle(o, twoByte);
        *o++ = static_cast<unsigned char>(c);
        ++p;
      }
    }
  }
  if (twoByte) o = PutToSingle(o);
  Finish(output, o);
}

}  // namespace

void ConvertFromSjis(const char* data, std::size_t size, CharsetCode target, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  if (target == kCharsetEuc) {
    SjisToEucText(p, p + size, output);
  } else {
    SjisToJisText(p, p + size, output);
  }
}

}  // namespace quillet
