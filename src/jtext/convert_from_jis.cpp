// ISO-2022-JP to Shift_JIS (target 1) or EUC-JP (target 2).
//
// The input starts in single-byte mode. ESC $ B switches to double-byte mode wherever it
// stands; ESC ( B switches back, but only in double-byte mode (in single-byte mode its three
// bytes are data). No other escape sequence is known: ESC $ @, ESC ( J and the like are data,
// copied in single-byte mode and converted in pairs in double-byte mode. In double-byte mode
// a byte left alone at the end is converted together with 0x00.
#include <cstdint>

#include "common/byte_at.h"
#include "jtext/code_pairs.h"
#include "jtext/convert_charset.h"
#include "jtext/convert_support.h"

namespace quillet {
namespace {

using namespace convert;

constexpr Word kEscBytes = kEsc * kOnes;

struct ToSjis {
  static std::uint32_t Pair(std::uint32_t j1, std::uint32_t j2) { return pairs::JisToSjis(j1, j2); }
  // Four characters from eight bytes; the word holds no ESC.
  static unsigned char* Word4(unsigned char* o, const unsigned char* p, Word) {
    o = PutCode(o, pairs::JisToSjis(p[0], p[1]));
    o = PutCode(o, pairs::JisToSjis(p[2], p[3]));
    o = PutCode(o, pairs::JisToSjis(p[4], p[5]));
    return PutCode(o, pairs::JisToSjis(p[6], p[7]));
  }
};

struct ToEuc {
  static std::uint32_t Pair(std::uint32_t j1, std::uint32_t j2) { return pairs::JisToEuc(j1, j2); }
  // JisToEuc sets bit 7 of both bytes: one OR for four characters.
  static unsigned char* Word4(unsigned char* o, const unsigned char*, Word w) {
    StoreWord(o, w | kHighBits);
    return o + 8;
  }
};

template <typename Target>
void JisToText(const unsigned char* p, const unsigned char* end, std::string& output) {
  unsigned char* o = AppendCursor(output);
  bool twoByte = false;  // input mode
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    // At most one byte out per byte in (escape sequences vanish), but for a lone last byte in
    // double-byte mode, which the slack covers.
    o = MakeRoom(output, o, static_cast<std::size_t>(limit - p) + kSlack);
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
        // Copy up to the next ESC, a word at a time while a whole word lies before limit.
        *o++ = static_cast<unsigned char>(c);
        ++p;
        while (limit - p >= 8) {
          const Word w = LoadWord(p);
          StoreWord(o, w);
          const Word escapes = ZeroBytes(w ^ kEscBytes);
          if (escapes != 0) {
            const unsigned n = BytesBeforeMark(escapes);
            o += n;
            p += n;
            break;
          }
          o += 8;
          p += 8;
        }
        while (p < limit && *p != kEsc) *o++ = *p++;
        continue;
      }
      if (end - p < 2) {  // a lone last byte goes with 0x00
        o = PutCode(o, Target::Pair(c, 0x00));
        p = end;
        break;
      }
      o = PutCode(o, Target::Pair(c, p[1]));
      p += 2;
      // Four characters at a time while a word without ESC lies before limit.
      while (limit - p >= 8) {
        const Word w = LoadWord(p);
        if (ZeroBytes(w ^ kEscBytes) != 0) break;
        o = Target::Word4(o, p, w);
        p += 8;
      }
    }
  }
  Finish(output, o);
}

}  // namespace

int ConvertFromJis(const char* data, std::size_t size, int target, std::string& output) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  if (target == 2) {
    JisToText<ToEuc>(p, p + size, output);
  } else {
    JisToText<ToSjis>(p, p + size, output);
  }
  return 0;
}

}  // namespace quillet
