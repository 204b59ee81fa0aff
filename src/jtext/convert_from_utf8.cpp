// UTF-8 to Shift_JIS (1), EUC-JP (2), ISO-2022-JP (0), or to clean UTF-8 (3).
//
// Each character becomes its Windows-31J code: the table's code where the table has the
// character (the first code that decodes to it, which is the one the Windows-31J encoder
// writes), the half-width katakana byte for U+FF61..U+FF9F, and for seven characters the
// code of their other common form (U+301C wave dash and the like). A character with no code,
// a private-use character, and every maximal subpart of an ill-formed sequence become the
// geta mark, Shift_JIS 0x81AC. For EUC-JP and ISO-2022-JP those codes then take the way of
// the Shift_JIS converter: kana as 0x8E c in EUC-JP, widened (a sound mark merged) in
// ISO-2022-JP, two-byte codes by the pair arithmetic.
//
// UTF-8 to UTF-8 copies well-formed characters and writes U+FFFD for each maximal subpart.
#include <array>
#include <cstdint>
#include <cstring>

#include "codec/convert_support.h"
#include "codec/utf8_support.h"
#include "common/byte_at.h"
#include "jtext/code_pairs.h"
#include "jtext/convert_charset.h"
#include "jtext/cp932_table.h"
#include "jtext/kana_tables.h"
#include "jtext/vector_runs.h"
#include "simd/kernel_list.h"
#include "simd/kernels.h"

namespace quillet {
namespace {

using namespace convert;

constexpr std::uint32_t kGeta = 0x222E;  // JIS X 0208 row and column

// Unicode to code, two levels: the 256 characters of a page share a block of codes, and pages
// without any code share the empty block 0. A code is the half-width kana byte (below 0x100)
// or the JIS X 0208 row and column of the Windows-31J code, from which each target's form is
// one mask or two lookups away. Built from the table at compile time.
constexpr bool IsPrivateUse(std::uint32_t u) {
  return u - 0xE000 < 0x1900;
}

constexpr unsigned LeadOfRow(int row) {
  return static_cast<unsigned>(row < 31 ? 0x81 + row : 0xE0 + (row - 31));
}

constexpr unsigned TrailOfColumn(int column) {
  return static_cast<unsigned>(column < 0x3F ? 0x40 + column : 0x41 + column);
}

struct Alias {
  std::uint16_t u;
  std::uint16_t code;
};

// Characters whose other common form is what Windows-31J decodes: accepted on the way in.
constexpr Alias kAliases[] = {
    {0x301C, 0x8160}, {0x2016, 0x8161}, {0x2212, 0x817C}, {0x00A2, 0x8191},
    {0x00A3, 0x8192}, {0x00AC, 0x81CA}, {0x2014, 0x815C},
};

constexpr int CountBlocks() {
  bool used[256] = {};
  for (int i = 0; i < cp932::kRows * cp932::kColumns; ++i) {
    const std::uint32_t u = cp932::sjisToUnicode[i];
    if (u != 0 && !IsPrivateUse(u)) used[u >> 8] = true;
  }
  used[0xFF] = true;  // half-width katakana
  for (const Alias& alias : kAliases) used[alias.u >> 8] = true;
  int count = 2;  // the empty block and the surrogates' block
  for (bool b : used) count += b ? 1 : 0;
  return count;
}

constexpr int kBlocks = CountBlocks();

// What the surrogates' block holds: no code, since a surrogate is no character. Below 0x100
// like a kana, it ends a run of codes on its own.
constexpr std::uint16_t kSurrogate = 1;

struct ReverseTable {
  std::array<std::uint8_t, 256> blockOf{};
  std::array<std::uint16_t, kBlocks * 256> codes{};
  // The vector runs read a code as four bytes.
  std::array<std::uint16_t, 2> slack{};

  constexpr std::uint16_t& slot(std::uint32_t u, int& nextBlock) {
    if (blockOf[u >> 8] == 0) blockOf[u >> 8] = static_cast<std::uint8_t>(nextBlock++);
    return codes[blockOf[u >> 8] * 256 + (u & 0xFF)];
  }
};

constexpr ReverseTable MakeReverseTable() {
  ReverseTable table{};
  int nextBlock = 1;
  for (int row = 0; row < cp932::kRows; ++row) {
    for (int column = 0; column < cp932::kColumns; ++column) {
      const std::uint32_t u = cp932::sjisToUnicode[row * cp932::kColumns + column];
      if (u == 0 || IsPrivateUse(u)) continue;
      std::uint16_t& code = table.slot(u, nextBlock);
      if (code == 0)
        code = static_cast<std::uint16_t>(pairs::SjisToJis(LeadOfRow(row), TrailOfColumn(column)));
    }
  }
  for (std::uint32_t u = 0xFF61; u <= 0xFF9F; ++u) {
    table.slot(u, nextBlock) = static_cast<std::uint16_t>(0xA1 + (u - 0xFF61));
  }
  for (const Alias& alias : kAliases) {
    table.slot(alias.u, nextBlock) =
        static_cast<std::uint16_t>(pairs::SjisToJis(alias.code >> 8, alias.code & 0xFF));
  }
  // Every character without a code, in the empty block too, gets the geta mark's.
  for (std::uint16_t& code : table.codes) {
    if (code == 0) code = static_cast<std::uint16_t>(kGeta);
  }
  for (std::uint32_t page = 0xD8; page <= 0xDF; ++page) {
    table.blockOf[page] = static_cast<std::uint8_t>(nextBlock);
  }
  for (int i = 0; i < 256; ++i) table.codes[nextBlock * 256 + i] = kSurrogate;
  return table;
}

constexpr ReverseTable kReverse = MakeReverseTable();

#if defined(QUILLET_SIMD_AVX512)
// kReverse's codes as the Shift_JIS bytes themselves, the first in the low byte (a kana byte as
// it is), for a vector run that then writes them without the pair arithmetic.
struct SjisBytesTable {
  std::array<std::uint16_t, kBlocks * 256> codes{};
  std::array<std::uint16_t, 2> slack{};  // read as by the runs above
};

constexpr SjisBytesTable MakeSjisBytesTable() {
  SjisBytesTable table{};
  for (std::size_t i = 0; i < table.codes.size(); ++i) {
    const std::uint32_t code = kReverse.codes[i];
    const std::uint32_t sjis = pairs::JisToSjis(code >> 8, code & 0xFF);
    table.codes[i] =
        static_cast<std::uint16_t>(code < 0x100 ? code : sjis >> 8 | (sjis & 0xFF) << 8);
  }
  return table;
}

constexpr SjisBytesTable kSjisBytes = MakeSjisBytesTable();
#endif

// The code of u, above U+007F and no surrogate.
inline std::uint32_t CodeOf(std::uint32_t u) {
  if (u > 0xFFFF) return kGeta;
  return kReverse.codes[kReverse.blockOf[u >> 8] * 256 + (u & 0xFF)];
}

// A three-byte character at p with a byte after it before limit, nearly every character of
// Japanese text, read as one word: sets its code (kSurrogate for the ill-formed surrogates)
// and returns true; else returns false.
inline bool ThreeByteCode(const unsigned char* p, const unsigned char* limit, std::uint32_t& code) {
  if (limit - p < 4) return false;
  std::uint32_t w;
  std::memcpy(&w, p, sizeof w);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap32(w);
#endif
  const std::uint32_t u = (w & 0x0F) << 12 | (w & 0x3F00) >> 2 | (w & 0x3F0000) >> 16;
  // The bit patterns 1110xxxx 10xxxxxx 10xxxxxx; no overlong form.
  if ((w & 0xC0C0F0) != 0x8080E0 || u < 0x800) return false;
  code = kReverse.codes[kReverse.blockOf[u >> 8] * 256 + (u & 0xFF)];
  return true;
}

// The run of three-byte characters with two-byte codes at p (a kana ends it), each code
// written by Target::Put. Returns the new p; out moves along (a local cursor in the loop, so
// that the byte stores cannot be taken to change it).
template <typename Target>
inline const unsigned char* CodeRun(const unsigned char* p, const unsigned char* limit,
                                    unsigned char*& out) {
  unsigned char* o = out;
  std::uint32_t code = 0;
  while (ThreeByteCode(p, limit, code) && code >= 0x100) {
    o = Target::Put(o, code);
    p += 3;
  }
  out = o;
  return p;
}

// The code of the character at p (not ASCII), with p moved past it or its maximal subpart.
inline std::uint32_t ReadCode(const unsigned char*& p, const unsigned char* limit,
                              const unsigned char* end) {
  std::uint32_t code = 0;
  if (ThreeByteCode(p, limit, code) && code != kSurrogate) {
    p += 3;
    return code;
  }
  std::uint32_t u = 0;
  const int length = utf8::Decode(p, end, u);
  if (length < 0) {
    p -= length;
    return kGeta;
  }
  p += length;
  return CodeOf(u);
}

// A JIS X 0208 code, and for the two-byte targets a half-width kana byte, written in each
// target.
struct ToSjis {
  static unsigned char* Put(unsigned char* o, std::uint32_t code) {
    const unsigned j1 = code >> 8;
    const unsigned t = pairs::kTrailOf[j1 & 1][code & 0xFF];
    o[0] = static_cast<unsigned char>(pairs::kFirstOf[j1] | (t >> 8));
    o[1] = static_cast<unsigned char>(t);
    return o + 2;
  }
  static unsigned char* PutKana(unsigned char* o, std::uint32_t kana) {
    *o = static_cast<unsigned char>(kana);
    return o + 1;
  }
  // The vector run, and the codes it reads.
  static auto Run(const simd::Kernels& kernels, const std::uint16_t*& codes) {
#if defined(QUILLET_SIMD_AVX512)
    if (kernels.utf8ToSjisBytesRun != nullptr) {
      codes = kSjisBytes.codes.data();
      return kernels.utf8ToSjisBytesRun;
    }
#else
    static_cast<void>(codes);  // only the 64-bit build has a run that reads Shift_JIS bytes
#endif
    return kernels.utf8ToSjisRun;
  }
};

struct ToEuc {
  static unsigned char* Put(unsigned char* o, std::uint32_t code) {
    return PutCode(o, code | 0x8080);
  }
  static unsigned char* PutKana(unsigned char* o, std::uint32_t kana) {
    o[0] = 0x8E;  // SS2: half-width katakana stay half-width
    o[1] = static_cast<unsigned char>(kana);
    return o + 2;
  }
  static auto Run(const simd::Kernels& kernels, const std::uint16_t*&) {
    return kernels.utf8ToEucRun;
  }
};

struct ToJis {
  static unsigned char* Put(unsigned char* o, std::uint32_t code) { return PutCode(o, code); }
};

// Into Shift_JIS or EUC-JP, which need no mode: every code is written as it is read.
template <typename Target>
void Utf8ToTwoByteText(const unsigned char* p, const unsigned char* end, std::string& output) {
  Output out(output, static_cast<std::size_t>(end - p), 2, false);
  unsigned char* o = out.Begin();
  // Short text (a mail header's word) takes the scalar code's path alone.
  const std::uint16_t* codes = kReverse.codes.data();
  const auto run = end - p > kVectorMinimum ? Target::Run(simd::ActiveKernels(), codes) : nullptr;
  const unsigned char* retry = p;
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    // At most 2 bytes per byte in: a geta mark for one ill-formed byte.
    o = out.Room(o, 2 * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (run != nullptr && p >= retry && limit - p > kVectorMinimum) {
        const unsigned char* const from = p;
        p = run(p, limit, o, kReverse.blockOf.data(), codes);
        if (p == limit) break;
        retry = NextTry(from, p, end);
      }
      if (*p < 0x80) {
        p = CopyAscii(p, limit, o);
        continue;
      }
      const std::uint32_t code = ReadCode(p, limit, end);
      if (code < 0x100) {
        o = Target::PutKana(o, code);
      } else {
        o = Target::Put(o, code);
        p = CodeRun<Target>(p, limit, o);
      }
    }
  }
  out.Finish(o);
}

// U+FF9E / U+FF9F, the half-width sound marks, as the Shift_JIS byte that follows a kana:
// 0xDE / 0xDF when the character at p is one of them, else 0x00.
inline unsigned MarkAt(const unsigned char* p, const unsigned char* end) {
  if (ByteAt(p, end) != 0xEF || ByteAt(p + 1, end) != 0xBE) return 0x00;
  const unsigned b = ByteAt(p + 2, end);
  return (b == 0x9E || b == 0x9F) ? b + 0x40 : 0x00;
}

void Utf8ToJisText(const unsigned char* p, const unsigned char* end, std::string& output) {
  Output out(output, static_cast<std::size_t>(end - p), 5, true);
  unsigned char* o = out.Begin();
  bool twoByte = false;  // output mode
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    // At most 5 bytes per byte in: ESC $ B and a geta mark for one ill-formed byte.
    o = out.Room(o, 5 * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (*p < 0x80) {
        o = SwitchToSingle(o, twoByte);
        p = CopyAscii(p, limit, o);
        continue;
      }
      const std::uint32_t code = ReadCode(p, limit, end);
      o = SwitchToDouble(o, twoByte);
      if (code < 0x100) {
        std::uint16_t wide = 0;
        const unsigned mark = MarkAt(p, end);
        if (kana::Widen(code, mark, wide) == 2) p += 3;
        o = PutCode(o, wide);
      } else {
        o = ToJis::Put(o, code);
        p = CodeRun<ToJis>(p, limit, o);
      }
    }
  }
  if (twoByte) o = PutToSingle(o);
  out.Finish(o);
}

// Whether the low three bytes of w (in memory order) are one well-formed three-byte character:
// 1110xxxx 10xxxxxx 10xxxxxx, neither overlong (E0 and 80..9F) nor a surrogate (ED and A0..BF).
inline bool IsThreeByte(std::uint32_t w) {
  const std::uint32_t t = w & 0x200F;  // the lead's low bits and bit 5 of the second byte
  return (w & 0xC0C0F0) == 0x8080E0 && t != 0 && t != 0x200D;
}

// The run of well-formed three-byte characters at p (nearly all of Japanese text), copied as
// they are: two a word at a time while eight bytes lie before limit, then one at a time (the
// last one read with the byte before it, where the text from begin holds one). Returns the new
// p; out moves along.
inline const unsigned char* CopyThreeByteRun(const unsigned char* p, const unsigned char* limit,
                                             const unsigned char* begin, unsigned char*& out) {
  if (!kLittleEndian) return p;
  unsigned char* o = out;
  while (limit - p >= 8) {
    const Word w = LoadWord(p);
    // The bit patterns of both characters in one test, then what they leave open.
    if ((w & 0xC0C0F0C0C0F0u) != 0x8080E08080E0u) break;
    const Word t = w & 0x200F00200Fu;
    const Word t0 = t & 0xFFFF;
    const Word t1 = t >> 24;
    if (t0 == 0 || t0 == 0x200D || t1 == 0 || t1 == 0x200D) break;
    StoreWord(o, w);  // whole; the cursor keeps the two characters
    o += 6;
    p += 6;
  }
  for (;;) {
    std::uint32_t w;
    if (limit - p >= 4) {
      std::memcpy(&w, p, sizeof w);
    } else if (limit - p == 3 && p > begin) {
      std::memcpy(&w, p - 1, sizeof w);
      w >>= 8;
    } else {
      break;
    }
    if (!IsThreeByte(w)) break;
    std::memcpy(o, &w, sizeof w);
    o += 3;
    p += 3;
  }
  out = o;
  return p;
}

void Utf8ToUtf8Text(const unsigned char* p, const unsigned char* end, std::string& output) {
  const unsigned char* const begin = p;
  Output out(output, static_cast<std::size_t>(end - p), 3, false);
  unsigned char* o = out.Begin();
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    // At most 3 bytes per byte in: U+FFFD for one ill-formed byte.
    o = out.Room(o, 3 * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (*p < 0x80) {
        p = CopyAscii(p, limit, o);
        continue;
      }
      const unsigned char* const run = CopyThreeByteRun(p, limit, begin, o);
      if (run != p) {
        p = run;
        continue;
      }
      std::uint32_t u = 0;
      const int length = utf8::Decode(p, end, u);
      if (length < 0) {
        o = utf8::PutReplacement(o);
        p -= length;
        continue;
      }
      if (limit - p >= 4) {
        std::memcpy(o, p, 4);  // whole; the cursor keeps the character
      } else {
        for (int i = 0; i < length; ++i) o[i] = p[i];
      }
      o += length;
      p += length;
    }
  }
  out.Finish(o);
}

}  // namespace

bool IsPlainUtf8(const char* data, std::size_t size) {
  if (size > kPlainText || !kLittleEndian) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return false;
  // One pass that only reads: ASCII eight bytes at a time, three-byte characters two at a time.
  while (p < end) {
    const unsigned c = *p;
    if (c < 0x80) {
      if (c == 0) return false;
      ++p;
      for (; end - p >= 8; p += 8) {
        const Word w = LoadWord(p);
        if (((w & kHighBits) | ZeroBytes(w)) != 0) break;
      }
      continue;
    }
    if (end - p >= 8) {
      const Word w = LoadWord(p);
      const Word t = w & 0x200F00200Fu;
      if ((w & 0xC0C0F0C0C0F0u) == 0x8080E08080E0u && (t & 0xFFFF) != 0 && (t & 0xFFFF) != 0x200D &&
          (t >> 24) != 0 && (t >> 24) != 0x200D) {
        p += 6;
        continue;
      }
    }
    if (end - p >= 3 && IsThreeByte(p[0] | p[1] << 8 | static_cast<std::uint32_t>(p[2]) << 16)) {
      p += 3;
    } else if (end - p >= 2 && c - 0xC2 < 0x1E && (p[1] & 0xC0) == 0x80) {
      p += 2;
    } else {
      return false;
    }
  }
  return true;
}

bool AppendPlainUtf8(const char* data, std::size_t size, std::string& output) {
  if (!IsPlainUtf8(data, size)) return false;
  output.append(data, size);
  return true;
}

void ConvertFromUtf8(const char* data, std::size_t size, CharsetCode target, std::string& output) {
  if (size == 0) return;
  if (target == kCharsetUtf8 && AppendPlainUtf8(data, size, output)) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  switch (target) {
    case kCharsetSjis:
      Utf8ToTwoByteText<ToSjis>(p, p + size, output);
      break;
    case kCharsetEuc:
      Utf8ToTwoByteText<ToEuc>(p, p + size, output);
      break;
    case kCharsetUtf8:
      Utf8ToUtf8Text(p, p + size, output);
      break;
    default:
      Utf8ToJisText(p, p + size, output);
      break;
  }
}

}  // namespace quillet
