// The vector kernels of the hot scans and of base64, chosen once for the processor at hand.
//
// Each kernel does exactly what the scalar code it stands in for does (that code is the
// reference: the mail list scans in mail/find_mark.h, the line scan in protocol/header_lines,
// the mail reading of base64 in jtext/base64.cpp, the ASCII copy in codec/convert_support.h). A
// null pointer means "use the scalar code". The table is picked at the first call from what the
// processor and the operating system offer, capped by QUILLET_SIMD (scalar, sse2, ssse3, avx2,
// avx512; read once, an unknown value is ignored). Picking is a pointer into constant tables, so
// threads that call first at the same time all publish the same table, and nothing runs before the
// first call.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace quillet {
namespace simd {

enum class Tier : int { kScalar = 0, kSse2 = 1, kSsse3 = 2, kAvx2 = 3, kAvx512 = 4 };
constexpr int kTierCount = 5;

struct Kernels {
  Tier tier;
  // The first byte in [p, end) that is 0x00..0x03 or equal to mark; end when there is none.
  const char* (*findMark)(const char* p, const char* end, unsigned char mark);
  // The first 0x01, 0x02, or "?" directly followed by "=" in [p, end); end when there is none.
  const char* (*findWordEnd)(const char* p, const char* end);
  // The first CR directly followed by LF in [p, end); end when there is none. Sets zero to
  // whether a byte before it is 0x00.
  const char* (*findLineEnd)(const char* p, const char* end, bool& zero);
  // Decodes the longest run of whole groups of four alphabet characters that [in, in + size)
  // starts with, three bytes a group at out, and returns how many characters it took (a
  // multiple of four). Writes nothing at or past out + room; the caller keeps room for three
  // bytes a group. Anything else (skipped bytes, "=", a short group) is left to the caller.
  std::size_t (*decodeBase64Run)(const unsigned char* in, std::size_t size, unsigned char* out,
                                 std::size_t room);
  // Decodes the whole of a word's text [in, in + size) when it is 16 to 64 characters (the
  // most this tier takes at once), a multiple of four, all alphabet characters but for a last
  // "=" or "==": sets written to the number of decoded bytes and returns true. Returns false for
  // any other text, which the caller decodes otherwise. Writes nothing at or past
  // out + size / 4 * 3.
  bool (*decodeBase64Word)(const unsigned char* in, std::size_t size, unsigned char* out,
                           std::size_t& written);
  // Copies the run of bytes below 0x80 that [in, in + size) starts with to out and returns its
  // length. May write other bytes after the run, never at or past out + size.
  std::size_t (*copyAsciiRun)(const unsigned char* in, std::size_t size, unsigned char* out);

  // The conversion runs into UTF-8. Each converts the run of usual text that p starts with,
  // a block at a time while a whole block lies before end, exactly as the scalar converter
  // would, and returns where it stopped; o moves past what it wrote. Writes nothing at or past
  // o + 3 * (end - p) + 16. What stops a run (anything unusual, or less than a block left) is
  // left to the scalar code.
  // Shift_JIS: ASCII, and pairs that the packed table maps. The table holds each character's
  // UTF-8 bytes in memory order and their count in the top byte: the 128 ASCII characters,
  // then from kPackedCodes on the Windows-31J table (kPackedReplacement where it has no
  // character), row * 188 + column. A kernel with a table of its own need not read this one,
  // and may take more that the scalar code writes the same way (half-width katakana, bytes
  // that read as U+FFFD).
  const unsigned char* (*sjisToUtf8Run)(const unsigned char* p, const unsigned char* end,
                                        unsigned char*& o, const std::uint32_t* packed);
  // EUC-JP: ASCII, and pairs of 0xA1..0xFE (JIS X 0208), the codes indexed by the JIS
  // pointer.
  const unsigned char* (*eucToUtf8Run)(const unsigned char* p, const unsigned char* end,
                                       unsigned char*& o, const std::uint32_t* packed);
  // ISO-2022-JP: ASCII text (below 0x80 but ESC, SO and SI), JIS X 0208 pairs (indexed as
  // EUC-JP's), and the sequences ESC ( B, ESC $ B and ESC $ @, starting in JIS X 0208 where
  // twoByte is set (in ASCII otherwise) and leaving twoByte for the set in force where it
  // stopped.
  const unsigned char* (*jisToUtf8Run)(const unsigned char* p, const unsigned char* end,
                                       unsigned char*& o, const std::uint32_t* packed,
                                       bool& twoByte);
  // The conversion runs out of UTF-8, into Shift_JIS and into EUC-JP, in the same way: ASCII,
  // and the two- and three-byte characters (no overlong form, no surrogate), each written as the
  // code codes[blockOf[u >> 8] * 256 + (u & 0xFF)] of its code point u: a half-width katakana byte
  // below 0x100, else a JIS X 0208 row and column. Two readable bytes follow codes' last
  // entry. Writes nothing at or past o + (end - p).
  const unsigned char* (*utf8ToSjisRun)(const unsigned char* p, const unsigned char* end,
                                        unsigned char*& o, const std::uint8_t* blockOf,
                                        const std::uint16_t* codes);
  const unsigned char* (*utf8ToEucRun)(const unsigned char* p, const unsigned char* end,
                                       unsigned char*& o, const std::uint8_t* blockOf,
                                       const std::uint16_t* codes);
  // utf8ToSjisRun where the codes are the Shift_JIS bytes themselves, the first in the low
  // byte (a half-width katakana byte below 0x100 as before); null where no kernel wants them so.
  const unsigned char* (*utf8ToSjisBytesRun)(const unsigned char* p, const unsigned char* end,
                                             unsigned char*& o, const std::uint8_t* blockOf,
                                             const std::uint16_t* sjisCodes);

  // Shift_JIS to EUC-JP and EUC-JP to Shift_JIS (ConvertFromSjis, ConvertFromEuc) over the
  // longest run of 64-byte blocks that [in, in + size) starts with and that hold only ASCII and
  // double-byte characters (a character may cross from one block into the next).
  // Returns how many bytes it took (whole characters, as many bytes written at out), reading
  // nothing at or past in + size and writing nothing at or past out + size.
  std::size_t (*sjisToEucRun)(const unsigned char* in, std::size_t size, unsigned char* out);
  std::size_t (*eucToSjisRun)(const unsigned char* in, std::size_t size, unsigned char* out);
  // ISO-2022-JP to Shift_JIS and to EUC-JP (ConvertFromJis) over the longest stretch that
  // [in, in + size) starts with and that holds only ASCII text, JIS X 0208 pairs and the
  // sequences ESC $ B and ESC ( B, starting in JIS X 0208 where twoByte is set (in ASCII
  // otherwise). Returns how many bytes it took (whole characters and sequences), moves out
  // past what it wrote (no more bytes than it took) and leaves twoByte for the set in force
  // after them. Reads nothing at or past in + size; may write up to 64 bytes past what it
  // wrote.
  std::size_t (*jisToSjisRun)(const unsigned char* in, std::size_t size, unsigned char*& out,
                              bool& twoByte);
  std::size_t (*jisToEucRun)(const unsigned char* in, std::size_t size, unsigned char*& out,
                             bool& twoByte);
  // Shift_JIS and EUC-JP to ISO-2022-JP (ConvertFromSjis, ConvertFromEuc) over the longest run
  // of 64-byte blocks that [in, in + size) starts with and that hold only ASCII and double-byte
  // characters (a character that crosses a block's end starts the next block), writing
  // ESC $ B / ESC ( B where the kind of character changes from the mode twoByte says is in
  // force. Returns how many bytes it took, moves out past what it wrote and leaves twoByte
  // for the mode after them. Reads nothing at or past in + size; may write up to 64 bytes
  // past what it wrote.
  std::size_t (*sjisToJisRun)(const unsigned char* in, std::size_t size, unsigned char*& out,
                              bool& twoByte);
  std::size_t (*eucToJisRun)(const unsigned char* in, std::size_t size, unsigned char*& out,
                             bool& twoByte);
  // The shortest text that jisToSjisRun and jisToEucRun are called for (at least a block and
  // the two bytes after it): shorter text is left to the scalar code, as fast on it.
  std::size_t jisRunShortest;
};

// Where the codes start in the packed table.
constexpr std::uint32_t kPackedCodes = 128;
// The packed entry of U+FFFD: EF BF BD, three bytes.
constexpr std::uint32_t kPackedReplacement = 0x03BDBFEFu;

// The best tier this processor, its operating system and this build support.
Tier DetectedTier();
// The tier's name as QUILLET_SIMD spells it.
const char* TierName(Tier tier);

// For tests and benchmarks: caps the tier at `cap` from now on (QUILLET_SIMD is then no longer
// read) and returns the tier in force, the lower of the cap and what the processor offers.
Tier SetTierCap(Tier cap);

extern std::atomic<const Kernels*> activeKernels;
const Kernels& ChooseKernels();

// The kernels in force.
inline const Kernels& ActiveKernels() {
  const Kernels* kernels = activeKernels.load(std::memory_order_acquire);
  return kernels != nullptr ? *kernels : ChooseKernels();
}

}  // namespace simd
}  // namespace quillet
