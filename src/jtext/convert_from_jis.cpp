// ISO-2022-JP to Shift_JIS (target 1), EUC-JP (target 2), or ISO-2022-JP again (target 0) as
// RFC 1468 writes it: ESC $ B and ESC ( B only, ending in ASCII.
//
// The text starts in ASCII; escape sequences (jtext/jis_escape.h) choose what follows:
//   ASCII, JIS X 0201 Roman  the bytes as they are (Roman's 0x5C and 0x7E are what Shift_JIS
//                            fonts show as the yen sign and the overline, as the sender meant)
//   half-width katakana      0x21..0x5F: Shift_JIS 0xA1..0xDF, EUC-JP 0x8E 0xA1..0xDF,
//                            ISO-2022-JP widened (a sound mark after a kana merged with it)
//   JIS X 0208 (ESC $ @ too) each pair by the pair arithmetic
//   JIS X 0212               EUC-JP 0x8F e1 e2; Shift_JIS and ISO-2022-JP have no place for it
// Whatever reads as nothing is one geta mark, and reading goes on: an ESC that starts none of
// these sequences (the bytes after it are read again in the set in force), a byte the set has
// no place for (0x80 and up, SO and SI), a pair's first byte followed by ESC or by the end
// (alone) or by any other byte out of range (the two together), and a JIS X 0212 pair where
// the target lacks it. So no ESC of the input reaches Shift_JIS or EUC-JP.
#include <cstdint>

#include "codec/convert_support.h"
#include "common/byte_at.h"
#include "jtext/code_pairs.h"
#include "jtext/convert_charset.h"
#include "jtext/jis_escape.h"
#include "jtext/kana_tables.h"
#include "jtext/pair_text.h"
#include "simd/kernels.h"

namespace quillet {
namespace {

using namespace convert;

using pairs::kFirstOf;
using pairs::kTrailOf;

// Each target takes text bytes (after Text), JIS X 0208 pairs (one, or four from a word whose
// eight bytes are all 0x21..0x7E), a half-width kana (0xA1..0xDF, with the kana after it or 0,
// counting how many it used), a JIS X 0212 pair, and the geta mark.
using JisRun = std::size_t (*)(const unsigned char*, std::size_t, unsigned char*&, bool&);

struct ToSjis {
  static constexpr std::size_t kPerByte = 2;  // a geta mark for one byte
  static JisRun Run() { return simd::ActiveKernels().jisToSjisRun; }
  static std::size_t Shortest() { return simd::ActiveKernels().jisRunShortest; }
  unsigned char* Text(unsigned char* o) { return o; }
  static unsigned char* Pair(unsigned char* o, unsigned j1, unsigned j2) {
    const unsigned t = kTrailOf[j1 & 1][j2];
    o[0] = static_cast<unsigned char>(kFirstOf[j1] | (t >> 8));
    o[1] = static_cast<unsigned char>(t);
    return o + 2;
  }
  // Pair's arithmetic on the four 16-bit lanes of a word (j1 in the low byte, j2 in the high
  // one); with both bytes in 0x21..0x7E every lane's sum stays inside the lane.
  //   s1 = ((j1 + 1) >> 1) + 0x70, plus 0x40 from j1 = 0x5F on
  //   s2 = j2 + 0x7E for an even row; j2 + 0x1F for an odd one, plus 1 from j2 = 0x60 on
  static unsigned char* Pairs4(unsigned char* o, const unsigned char* p, Word w) {
    if (!kLittleEndian) {
      for (int i = 0; i < 8; i += 2) Pair(o + i, p[i], p[i + 1]);
      return o + 8;
    }
    constexpr Word kLanes = 0x0001000100010001u;
    const Word odd = w & kLanes;
    const Word s1 = (((w + kLanes) >> 1) & (0x007F * kLanes)) +
                    (((w + 0x0021 * kLanes) >> 1) & (0x0040 * kLanes));
    const Word past5F = ((w + 0x2000 * kLanes) >> 7) & (odd << 8);
    StoreWord(o, s1 + (w & (0xFF00 * kLanes)) + 0x7E70 * kLanes - odd * 0x5F00 + past5F);
    return o + 8;
  }
  static unsigned char* Kana(unsigned char* o, unsigned kana, unsigned, int& used) {
    used = 1;
    *o = static_cast<unsigned char>(kana);
    return o + 1;
  }
  static unsigned char* JisX0212(unsigned char* o, unsigned, unsigned) { return Geta(o); }
  static unsigned char* Geta(unsigned char* o) { return PutCode(o, 0x81AC); }
  unsigned char* End(unsigned char* o) { return o; }
};

struct ToEuc {
  static constexpr std::size_t kPerByte = 2;  // a kana, or a geta mark, for one byte
  static JisRun Run() { return simd::ActiveKernels().jisToEucRun; }
  static std::size_t Shortest() { return simd::ActiveKernels().jisRunShortest; }
  unsigned char* Text(unsigned char* o) { return o; }
  static unsigned char* Pair(unsigned char* o, unsigned j1, unsigned j2) {
    return PutCode(o, pairs::JisToEuc(j1, j2));
  }
  // JisToEuc only sets bit 7 of both bytes: one OR for four characters.
  static unsigned char* Pairs4(unsigned char* o, const unsigned char*, Word w) {
    StoreWord(o, w | kHighBits);
    return o + 8;
  }
  static unsigned char* Kana(unsigned char* o, unsigned kana, unsigned, int& used) {
    used = 1;
    o[0] = 0x8E;  // SS2: half-width katakana stay half-width
    o[1] = static_cast<unsigned char>(kana);
    return o + 2;
  }
  static unsigned char* JisX0212(unsigned char* o, unsigned j1, unsigned j2) {
    o[0] = 0x8F;  // SS3
    return PutCode(o + 1, pairs::JisToEuc(j1, j2));
  }
  static unsigned char* Geta(unsigned char* o) { return PutCode(o, 0xA2AE); }
  unsigned char* End(unsigned char* o) { return o; }
};

struct ToJis {
  static constexpr std::size_t kPerByte = 5;  // ESC $ B and a geta mark for one byte
  bool twoByte = false;                       // output mode
  static JisRun Run() { return nullptr; }     // the output keeps its own escape sequences
  static std::size_t Shortest() { return 0; }
  unsigned char* Text(unsigned char* o) { return SwitchToSingle(o, twoByte); }
  unsigned char* Pair(unsigned char* o, unsigned j1, unsigned j2) {
    return PutCode(SwitchToDouble(o, twoByte), (j1 << 8) | j2);
  }
  unsigned char* Pairs4(unsigned char* o, const unsigned char*, Word w) {
    o = SwitchToDouble(o, twoByte);
    StoreWord(o, w);
    return o + 8;
  }
  unsigned char* Kana(unsigned char* o, unsigned kana, unsigned next, int& used) {
    std::uint16_t code = 0;
    used = kana::Widen(kana, next, code);
    return PutCode(SwitchToDouble(o, twoByte), code);
  }
  unsigned char* JisX0212(unsigned char* o, unsigned, unsigned) { return Geta(o); }
  unsigned char* Geta(unsigned char* o) { return PutCode(SwitchToDouble(o, twoByte), 0x222E); }
  unsigned char* End(unsigned char* o) { return SwitchToSingle(o, twoByte); }
};

// 0x80 in the bytes of w outside 0x21..0x7E: the first in memory order exact, any after it
// perhaps not (a byte below 0x21 borrows from the next, 0xFF carries into it).
inline Word OutsidePairs(Word w) {
  if (!kLittleEndian) return ~HighGraphicBytes(w ^ kHighBits) & kHighBits;
  return ((w - 0x21 * kOnes) | (w + kOnes) | w) & kHighBits;
}

// The run of whole JIS X 0208 pairs at p, before limit, four characters at a time: a word
// that holds fewer converts whole, and the cursors move past its whole pairs only (the output
// has slack for the rest). Fewer than eight bytes before limit are read as the end of the
// word before limit, when the text from begin holds one. Returns the new o; p moves along.
template <typename Target>
unsigned char* JisPairs(Target& target, const unsigned char*& p, const unsigned char* limit,
                        const unsigned char* begin, unsigned char* o) {
  for (;;) {
    const std::ptrdiff_t left = limit - p;
    Word w;
    if (left >= 8) {
      w = LoadWord(p);
    } else if (kLittleEndian && left >= 2 && limit - begin >= 8) {
      w = LoadWord(limit - 8) >> (8 * (8 - left));  // the bytes past limit read as 0, no pair
    } else {
      break;
    }
    const Word outside = OutsidePairs(w);
    if (outside == 0) {
      o = target.Pairs4(o, p, w);
      p += 8;
      continue;
    }
    const unsigned taken = BytesBeforeMark(outside) & ~1u;
    if (taken != 0) {
      o = target.Pairs4(o, p, w) - 8 + taken;
      p += taken;
    }
    return o;
  }
  while (limit - p >= 2 && IsJisGraphic(p[0]) && IsJisGraphic(p[1])) {
    o = target.Pair(o, p[0], p[1]);
    p += 2;
  }
  return o;
}

// With kStop, a sequence of ISO-2022-JP-2's own sets ends the conversion: false, and output is
// left as it was.
template <typename Target, bool kStop>
bool JisToText(const unsigned char* p, const unsigned char* end, std::string& output) {
  const unsigned char* const begin = p;
  Target target;
  Output out(output, static_cast<std::size_t>(end - p), Target::kPerByte, false);
  unsigned char* o = out.Begin();
  JisSet set = JisSet::kAscii;
  const JisRun run = Target::Run();
  // Where the kernel is tried next (as in ConvertPairText): one comparison a step. Text
  // shorter than the kernel takes never tries it.
  const unsigned char* tryAt =
      run != nullptr && static_cast<std::size_t>(end - p) >= Target::Shortest() ? p : end;
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = out.Room(o, Target::kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (p >= tryAt) {
        if (static_cast<std::size_t>(limit - p) < Target::Shortest()) {
          tryAt = limit;  // the next chunk's start
        } else if (set == JisSet::kAscii || set == JisSet::kJisX0208) {
          // Copies of the cursor and the set go to the kernel, so that the steps keep theirs
          // in registers.
          bool pairs = set == JisSet::kJisX0208;
          unsigned char* runOut = o;
          p += run(p, static_cast<std::size_t>(limit - p), runOut, pairs);
          o = runOut;
          set = pairs ? JisSet::kJisX0208 : JisSet::kAscii;
          tryAt = static_cast<std::size_t>(end - p) > kRunRetry ? p + kRunRetry : end;
          if (p == limit) break;
        }
      }
      const unsigned c = *p;
      if (c == kEsc) {
        if (!TakeJisEscape(p, end, set)) {
          if (kStop && ReadJisEscape(p, end).set != JisSet::kUnknown) {
            out.Cancel();
            return false;
          }
          o = target.Geta(o);
          ++p;
        }
        continue;
      }
      switch (set) {
        case JisSet::kAscii:
        case JisSet::kRoman:
          if (IsJisText(c)) {
            o = target.Text(o);
            p = CopyJisAscii(p, limit, o);
          } else {
            o = target.Geta(o);
            ++p;
          }
          break;
        case JisSet::kKatakana:
          if (c - 0x21 < 0x3F) {
            const unsigned n = ByteAt(p + 1, end);
            int used = 1;
            o = target.Kana(o, c + 0x80, n - 0x21 < 0x3F ? n + 0x80 : 0, used);
            p += used;
          } else {
            o = target.Geta(o);
            ++p;
          }
          break;
        default: {  // JIS X 0208 or JIS X 0212: no other set is ever chosen
          if (set == JisSet::kJisX0208) {
            const unsigned char* const from = p;
            o = JisPairs(target, p, limit, begin, o);
            if (p != from) break;
          }
          const std::size_t broken = BrokenJisPair(p, end);
          if (broken != 0) {
            o = target.Geta(o);
            p += broken;
          } else if (set == JisSet::kJisX0212) {
            o = target.JisX0212(o, c, p[1]);
            p += 2;
          } else {
            o = target.Pair(o, c, p[1]);  // a pair across the chunk's end
            p += 2;
          }
          break;
        }
      }
    }
  }
  out.Finish(target.End(o));
  return true;
}

// WritePlainJis: the text is written at o (at most twice the input: a geta mark for a lone
// ESC); at any other byte, a zero byte among them, or a sequence of another set, it gives up
// (null).

template <typename Target>
unsigned char* PlainJisToText(const unsigned char* p, const unsigned char* end, unsigned char* o) {
  constexpr Word kEscBytes = kEsc * kOnes;
  constexpr Word kShiftInBytes = 0x0F * kOnes;
  bool pairs = false;
  while (p < end) {
    if (*p == kEsc) {
      const unsigned next = end - p >= 3 ? p[1] | (p[2] << 8) : 0;
      if (next == ('$' | ('B' << 8)) || next == ('$' | ('@' << 8))) {
        pairs = true;
      } else if (next == ('(' | ('B' << 8)) || next == ('(' | ('J' << 8))) {
        pairs = false;
      } else if (StartsNoSequence(p, end)) {
        // An ESC that starts no sequence is one geta mark; the bytes after it are read again
        // in the set in force.
        o = Target::Geta(o);
        ++p;
        continue;
      } else {
        return nullptr;
      }
      p += 3;
      continue;
    }
    if (pairs) {
      for (; end - p >= 8; p += 8) {
        const Word w = LoadWord(p);
        if (OutsidePairs(w) != 0) break;
        o = Target::Pairs4(o, p, w);
      }
      for (; end - p >= 2 && IsJisGraphic(p[0]) && IsJisGraphic(p[1]); p += 2) {
        o = Target::Pair(o, p[0], p[1]);
      }
    } else {
      // As CopyJisAscii, stopping at a zero byte too.
      p = CopyWhile(
          p, end, o,
          [](Word w) {
            return ZeroBytes(w ^ kEscBytes) | ZeroBytes((w | kOnes) ^ kShiftInBytes) |
                   ZeroBytes(w) | (w & kHighBits);
          },
          [](unsigned c) { return c != 0 && IsJisText(c); });
    }
    if (p < end && *p != kEsc) return nullptr;
  }
  return o;
}

template <bool kStop>
bool JisToTarget(const char* data, std::size_t size, CharsetCode target, std::string& output) {
  if (size == 0) return true;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  // (Mail text has tried ConvertPlainJis already.) Text that a kernel would take blocks of goes
  // to it; shorter text, or text with no kernel for it, the one-pass way where it can.
  const simd::Kernels& kernels = simd::ActiveKernels();
  const bool blocks =
      (target == kCharsetEuc ? kernels.jisToEucRun : kernels.jisToSjisRun) != nullptr &&
      size >= kernels.jisRunShortest;
  if (!kStop && !blocks && ConvertPlainJis(data, size, target, output)) return true;
  if (target == kCharsetEuc) return JisToText<ToEuc, kStop>(p, p + size, output);
  if (target == kCharsetSjis) return JisToText<ToSjis, kStop>(p, p + size, output);
  return JisToText<ToJis, kStop>(p, p + size, output);
}

}  // namespace

void ConvertFromJis(const char* data, std::size_t size, CharsetCode target, std::string& output) {
  JisToTarget<false>(data, size, target, output);
}

bool ConvertFromIso2022Jp(const char* data, std::size_t size, CharsetCode target,
                          std::string& output) {
  return JisToTarget<true>(data, size, target, output);
}

char* WritePlainJis(const char* data, std::size_t size, CharsetCode target, char* out) {
  if (size > kPlainText || (target != kCharsetSjis && target != kCharsetEuc)) return nullptr;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  auto* o = reinterpret_cast<unsigned char*>(out);
  o = target == kCharsetSjis ? PlainJisToText<ToSjis>(p, p + size, o)
                             : PlainJisToText<ToEuc>(p, p + size, o);
  return reinterpret_cast<char*>(o);
}

bool ConvertPlainJis(const char* data, std::size_t size, CharsetCode target, std::string& output) {
  return AppendWritten(WritePlainJis, data, size, target, output);
}

}  // namespace quillet
