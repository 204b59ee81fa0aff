// ISO-2022-JP-2 to UTF-8.
//
// ISO-2022-JP-2 is ISO-2022-JP (JIS X 0212 included) with four sets more:
//   ESC $ A    G0 is GB 2312: pairs b1 b2 of 0x21..0x7E, the GBK code (b1 | 0x80, b2 | 0x80)
//   ESC $ ( C  G0 is KS C 5601: pairs likewise, the EUC-KR code (b1 | 0x80, b2 | 0x80)
//   ESC . A    G2 is the upper half of ISO-8859-1
//   ESC . F    G2 is the upper half of ISO-8859-7
//   ESC N b    single shift: b (0x20..0x7F) alone is the G2 character at b + 0x80; G0 stays
// The sets of ISO-2022-JP are read by the Japanese converter. The text is cut at the sequences
// above, and every stretch in a Japanese set goes to the converter whole; a stretch that does
// not start with the sequence that chose its set (one after a single shift or a G2 designation)
// gets that sequence copied in front, so that the converter reads it in that set. A text without
// these sequences goes to the converter in one piece, as it came.
//
// Errors, as the converter has them for JIS X 0208: in GB 2312 and KS C 5601 a byte out of
// 0x21..0x7E is one U+FFFD; a first byte followed by ESC or by the end is one U+FFFD, followed
// by any other byte out of range the two are one U+FFFD; a pair the table lacks is one U+FFFD.
// An ESC that starts no sequence is one U+FFFD, and the bytes after it are read again in G0.
// ESC N where no G2 set has been chosen, or followed by a byte out of 0x20..0x7F or by the end,
// is one U+FFFD; the byte after it is read again.
#include "charsets/iso_2022_jp2.h"

#include <cstdint>
#include <cstring>

#include "charsets/encoding.h"
#include "charsets/euc_kr.h"
#include "charsets/gb18030.h"
#include "charsets/single_byte.h"
#include "codec/convert_support.h"
#include "codec/utf8_support.h"
#include "common/byte_at.h"
#include "common/zero_bytes.h"
#include "jtext/convert_charset.h"
#include "jtext/jis_escape.h"
#include "jtext/packed_utf8.h"

namespace quillet {
namespace {

using namespace convert;

// Whether the text may hold a sequence of ISO-2022-JP-2's own. Plain ISO-2022-JP never does and
// goes to the converter as it is, so the test must cost little beside the conversion: it looks
// for what starts ESC . , ESC N, ESC $ A and ESC $ ( branch-free, sixteen positions at a time,
// so that compilers make vector code of it. A text it takes for one by mistake (ESC $ ( D, an
// ESC . that starts nothing) costs only time: the full reading hands it to the converter whole.
inline unsigned char MayStartOwn(unsigned char c, unsigned char b1, unsigned char b2) {
  return static_cast<unsigned char>(
      (c == kEsc) & ((b1 == '.') | (b1 == 'N') | ((b1 == '$') & ((b2 == 'A') | (b2 == '(')))));
}

constexpr std::size_t kBlock = 16;

// The positions [p, p + kBlock); reads up to p[kBlock + 1].
inline bool BlockMayHoldOwn(const unsigned char* p) {
  unsigned char found = 0;
  for (std::size_t i = 0; i < kBlock; ++i) found |= MayStartOwn(p[i], p[i + 1], p[i + 2]);
  return found != 0;
}

bool MayHoldOwnSequence(const unsigned char* p, const unsigned char* end) {
  if (static_cast<std::size_t>(end - p) < kBlock + 2) {
    // A short text holds few ESCs: they are found eight bytes at a time and looked at alone.
    constexpr Word kEscBytes = kEsc * kOnes;
    while (end - p >= 8) {
      const Word escs = ZeroBytes(LoadWord(p) ^ kEscBytes);
      if (escs == 0) {
        p += 8;
        continue;
      }
      p += BytesBeforeMark(escs);
      if (MayStartOwn(*p, ByteAt(p + 1, end), ByteAt(p + 2, end)) != 0) return true;
      ++p;
    }
    for (; p < end; ++p) {
      if (*p == kEsc && MayStartOwn(*p, ByteAt(p + 1, end), ByteAt(p + 2, end)) != 0) return true;
    }
    return false;
  }
  for (; static_cast<std::size_t>(end - p) >= kBlock + 2; p += kBlock) {
    if (BlockMayHoldOwn(p)) return true;
  }
  // One block more that ends where the text does (it may go over positions already seen), and
  // the one position after it where a sequence can still start.
  return BlockMayHoldOwn(end - (kBlock + 2)) || MayStartOwn(end[-2], end[-1], 0) != 0;
}

enum class G0Set { kJapanese, kGb2312, kKsc5601 };
enum class G2Set { kNone, kLatin1, kGreek };

// The escape sequence that chose the Japanese set in force; none (length 0) means ASCII, the
// set the converter starts in.
struct Designation {
  const unsigned char* at;
  std::size_t length;
};

const unsigned char* NextEsc(const unsigned char* p, const unsigned char* end) {
  // Hostile text puts one ESC right after another: look at the first byte before calling out.
  if (p == end || *p == kEsc) return p;
  const void* found = std::memchr(p, kEsc, static_cast<std::size_t>(end - p));
  return found != nullptr ? static_cast<const unsigned char*>(found) : end;
}

// Every byte in makes at most 3 out: one U+FFFD, half of a pair's character, a G2 character
// for the two bytes of ESC N, or what the converter makes of a Japanese byte.
constexpr std::size_t kPerByte = 3;

// The reading writes through one cursor (see convert::Output), in pieces: once in the string,
// room is made a chunk's worst case at a time, so the filling that growing the string costs is
// paid once per chunk of output, however many pieces the text is cut into.
inline unsigned char* PutCodePoint(Output& out, unsigned char* o, std::uint32_t u) {
  return utf8::PutBmp(out.PieceRoom(o, kSlack), u);
}

// Scratch strings reused by every Japanese stretch of one text.
struct Scratch {
  std::string input;      // a stretch with its designation in front
  std::string converted;  // the converter's output, copied to the cursor
};

constexpr std::size_t kShortStretch = 60;

inline bool IsGraphic(unsigned b) {
  return b - 0x21 < 0x5E;
}

// ESC $ B or ESC $ @: JIS X 0208.
inline bool IsJisX0208(Designation d) {
  return d.length == 3 && d.at[1] == '$' && (d.at[2] == 'B' || d.at[2] == '@');
}

// The stretch [p, stop) of a Japanese set, read in the set that inForce chose.
unsigned char* PutJapanese(const unsigned char* p, const unsigned char* stop, Designation inForce,
                           Scratch& scratch, Output& out, unsigned char* o) {
  if (p == stop) return o;
  bool fromAscii = inForce.length == 0 || (inForce.at[1] == '(' && inForce.at[2] == 'B');
  if (fromAscii && *p != kEsc) {
    // ASCII text is itself; the converter reads what follows it from ASCII, as it would have.
    o = out.PieceRoom(o, static_cast<std::size_t>(stop - p) + kSlack);
    p = CopyJisAscii(p, stop, o);
    if (p == stop) return o;
  }
  if (!fromAscii && IsJisX0208(inForce)) {
    // The pairs that single shifts cut a Japanese run into are written straight from the
    // converter's table; whatever follows them goes to the converter, still in JIS X 0208.
    o = out.PieceRoom(o, kPerByte * static_cast<std::size_t>(stop - p) + kSlack);
    p = packed_utf8::PutJisX0208Run(p, stop, o);
    if (p == stop) return o;
  }
  scratch.converted.clear();
  const auto size = static_cast<std::size_t>(stop - p);
  if (fromAscii || (*p == kEsc && IsJapaneseSet(ReadJisEscape(p, stop).set))) {
    ConvertToUtf8(kCharsetJis, reinterpret_cast<const char*>(p), size, scratch.converted);
  } else if (size <= kShortStretch) {
    // Hostile text cuts a Japanese set into a stretch of a pair or two between each single
    // shift: those are put behind their designation on the stack.
    char buffer[kShortStretch + 4];
    std::memcpy(buffer, inForce.at, inForce.length);
    std::memcpy(buffer + inForce.length, p, size);
    ConvertToUtf8(kCharsetJis, buffer, inForce.length + size, scratch.converted);
  } else {
    scratch.input.assign(reinterpret_cast<const char*>(inForce.at), inForce.length);
    scratch.input.append(reinterpret_cast<const char*>(p), size);
    ConvertToUtf8(kCharsetJis, scratch.input.data(), scratch.input.size(), scratch.converted);
  }
  const std::size_t n = scratch.converted.size();
  o = out.PieceRoom(o, n + kSlack);
  std::memcpy(o, scratch.converted.data(), n);
  return o + n;
}

inline std::uint32_t PairCodePoint(G0Set set, unsigned b1, unsigned b2) {
  return set == G0Set::kGb2312 ? Gb18030TwoByteCodePoint(b1 | 0x80, b2 | 0x80)
                               : EucKrCodePoint(b1 | 0x80, b2 | 0x80);
}

// The pairs of GB 2312 or KS C 5601 in [p, stop), a stretch without ESC.
unsigned char* PutPairs(G0Set set, const unsigned char* p, const unsigned char* const stop,
                        Output& out, unsigned char* o) {
  while (p < stop) {
    const unsigned char* const limit = ChunkEnd(p, stop);
    o = out.PieceRoom(o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      const unsigned b1 = *p;
      const unsigned b2 = ByteAt(p + 1, stop);
      if (!IsGraphic(b1)) {
        o = utf8::PutReplacement(o);
        ++p;
      } else if (!IsGraphic(b2)) {
        // The stretch ends at an ESC or at the end of the text: a first byte there is alone.
        o = utf8::PutReplacement(o);
        p += p + 1 < stop ? 2 : 1;
      } else {
        const std::uint32_t u = PairCodePoint(set, b1, b2);
        o = u != 0 ? utf8::PutBmp(o, u) : utf8::PutReplacement(o);
        p += 2;
      }
    }
  }
  return o;
}

inline std::uint32_t G2CodePoint(G2Set set, unsigned b) {
  return set == G2Set::kLatin1 ? b + 0x80 : SingleByteCodePoint(Encoding::kIso8859_7, b + 0x80);
}

}  // namespace

void DecodeIso2022Jp2(const char* data, std::size_t size, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  if (!MayHoldOwnSequence(p, end)) {
    ConvertCharset(kCharsetJis, data, size, kCharsetUtf8, output);
    return;
  }
  G0Set g0 = G0Set::kJapanese;
  G2Set g2 = G2Set::kNone;
  Designation japanese{nullptr, 0};  // the last Japanese set chosen
  // The Japanese stretch being read, while G0 is Japanese: where it starts, and the set then.
  const unsigned char* run = p;
  Designation runSet = japanese;
  Scratch scratch;
  Output out(output, size, kPerByte, true);
  unsigned char* o = out.Begin();
  for (;;) {
    const unsigned char* const esc = NextEsc(p, end);
    if (g0 != G0Set::kJapanese) o = PutPairs(g0, p, esc, out, o);
    if (esc == end) break;
    const JisEscape escape = ReadJisEscape(esc, end);
    p = esc + escape.length;
    if (IsJapaneseSet(escape.set)) {
      japanese = {esc, escape.length};
      if (g0 != G0Set::kJapanese) {
        g0 = G0Set::kJapanese;
        run = esc;  // the stretch starts with the sequence itself
        runSet = japanese;
      }
      continue;
    }
    if (escape.set == JisSet::kUnknown) {
      // In a Japanese stretch the converter reads it.
      if (g0 != G0Set::kJapanese) o = PutCodePoint(out, o, utf8::kReplacement);
      continue;
    }
    if (g0 == G0Set::kJapanese) o = PutJapanese(run, esc, runSet, scratch, out, o);
    switch (escape.set) {
      case JisSet::kGb2312:
        g0 = G0Set::kGb2312;
        break;
      case JisSet::kKsc5601:
        g0 = G0Set::kKsc5601;
        break;
      case JisSet::kG2Latin1:
        g2 = G2Set::kLatin1;
        break;
      case JisSet::kG2Greek:
        g2 = G2Set::kGreek;
        break;
      case JisSet::kSingleShift: {
        const unsigned b = ByteAt(p, end);
        if (g2 != G2Set::kNone && b - 0x20 < 0x60) {
          o = PutCodePoint(out, o, G2CodePoint(g2, b));
          ++p;
        } else {
          o = PutCodePoint(out, o, utf8::kReplacement);
        }
        break;
      }
      default:
        break;  // the Japanese sets and kUnknown are taken above
    }
    run = p;
    runSet = japanese;
  }
  if (g0 == G0Set::kJapanese) o = PutJapanese(run, end, runSet, scratch, out, o);
  out.Finish(o);
}

}  // namespace quillet
