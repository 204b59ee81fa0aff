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

using pairs::kFirstOf;
using pairs::kTrailOf;

struct ToSjis {
  static unsigned char* Put(unsigned char* o, unsigned j1, unsigned j2) {
    const unsigned t = kTrailOf[j1 & 1][j2];
    o[0] = static_cast<unsigned char>(kFirstOf[j1] | (t >> 8));
    o[1] = static_cast<unsigned char>(t);
    return o + 2;
  }
  // The four characters of the eight bytes at p (whose value is w).
  static void Put4(unsigned char* o, const unsigned char* p, Word) {
    Put(o, p[0], p[1]);
    Put(o + 2, p[2], p[3]);
    Put(o + 4, p[4], p[5]);
    Put(o + 6, p[6], p[7]);
  }
};

struct ToEuc {
  static unsigned char* Put(unsigned char* o, unsigned j1, unsigned j2) {
    return PutCode(o, pairs::JisToEuc(j1, j2));
  }
  // JisToEuc only sets bit 7 of both bytes: one OR for four characters.
  static void Put4(unsigned char* o, const unsigned char*, Word w) { StoreWord(o, w | kHighBits); }
};

template <typename Target>
void JisToText(const unsigned char* p, const unsigned char* end, std::string& output) {
  unsigned char* o = AppendCursor(output, static_cast<std::size_t>(end - p), 1);
  bool twoByte = false;  // input mode
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    // At most one byte out per byte in (escape sequences vanish), but for a lone last byte in
    // double-byte mode, which the slack covers.
    o = MakeRoom(output, o, static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (*p == kEsc) {
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
      // p is at a character (an ESC here is data). The run after it goes a word at a time up
      // to the next ESC: every word is written whole, and the cursor keeps what comes before
      // the ESC, so a word that ends a run needs no loop of its own.
      if (!twoByte) {
        *o++ = *p++;
        while (limit - p >= 8) {
          const Word w = LoadWord(p);
          StoreWord(o, w);
          const Word escapes = ZeroBytes(w ^ kEscBytes);
          if (escapes != 0) {
            const unsigned before = BytesBeforeMark(escapes);
            o += before;
            p += before;
            break;
          }
          o += 8;
          p += 8;
        }
        while (p < limit && *p != kEsc) *o++ = *p++;
        continue;
      }
      if (end - p < 2) {  // a lone last byte goes with 0x00
        o = Target::Put(o, p[0], 0x00);
        p = end;
        break;
      }
      o = Target::Put(o, p[0], p[1]);
      p += 2;
      while (limit - p >= 8) {
        const Word w = LoadWord(p);
        Target::Put4(o, p, w);
        const Word escapes = ZeroBytes(w ^ kEscBytes);
        if (escapes == 0) {
          o += 8;
          p += 8;
          continue;
        }
        // The characters before the first ESC count; an ESC in a character's second place
        // is data, and its character counts too.
        const unsigned before = BytesBeforeMark(escapes);
        const unsigned taken = (before + 1) & ~1u;
        o += taken;
        p += taken;
        if ((before & 1) == 0) break;
      }
    }
  }
  Finish(output, o);
}

}  // namespace

void ConvertFromJis(const char* data, std::size_t size, CharsetCode target, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  if (target == kCharsetEuc) {
    JisToText<ToEuc>(p, p + size, output);
  } else {
    JisToText<ToSjis>(p, p + size, output);
  }
}

}  // namespace quillet
