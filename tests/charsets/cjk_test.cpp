// The gb18030, Big5 and EUC-KR decoders: every table entry against the standard's index
// files, each decoder's errors byte by byte, and long texts across the chunk edges.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "../jtext/exact_bytes.h"
#include "charsets/big5.h"
#include "charsets/euc_kr.h"
#include "charsets/gb18030.h"

#include "cjk_oracle.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;

using Decoder = void (*)(const char*, std::size_t, std::string&);

std::string Decode(Decoder decode, const std::string& bytes) {
  const ExactBytes input(bytes);
  std::string output;
  decode(input.data(), input.size(), output);
  return output;
}

std::string Utf8(std::uint32_t u) {
  std::string s;
  if (u < 0x80) {
    s += static_cast<char>(u);
  } else if (u < 0x800) {
    s += static_cast<char>(0xC0 | (u >> 6));
    s += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    s += static_cast<char>(0xE0 | (u >> 12));
    s += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (u >> 18));
    s += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (u & 0x3F));
  }
  return s;
}

const std::string kFffd = "\xEF\xBF\xBD";

// Every lead byte with every byte 0x40..0xFE after it, a row at a time: the pairs in the
// index give their code point(s); every other pair is an error that keeps an ASCII byte.
template <std::size_t N>
void CheckEveryPair(Decoder decode, const CjkOracleEntry (&oracle)[N]) {
  std::map<std::uint32_t, const CjkOracleEntry*> byBytes;
  for (const CjkOracleEntry& entry : oracle) byBytes[entry.bytes] = &entry;
  std::size_t found = 0;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    std::string bytes, want;
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      bytes += static_cast<char>(lead);
      bytes += static_cast<char>(trail);
      const auto it = byBytes.find(lead << 8 | trail);
      if (it == byBytes.end()) {
        want += kFffd;
        if (trail < 0x80) want += static_cast<char>(trail);
        continue;
      }
      ++found;
      want += Utf8(it->second->first);
      if (it->second->second != 0) want += Utf8(it->second->second);
    }
    ASSERT_EQ(Hex(Decode(decode, bytes)), Hex(want)) << "lead " << lead;
  }
  EXPECT_EQ(found, N);
}

TEST(CjkTables, EveryTwoByteCodeAgainstTheIndexes) {
  CheckEveryPair(DecodeGb18030, kGb18030TwoByte);
  CheckEveryPair(DecodeBig5, kBig5);
  CheckEveryPair(DecodeEucKr, kEucKr);
}

// Both ends of every four-byte range, and the pointers at the limits of the ranges.
TEST(CjkTables, Gb18030FourByteRangesAgainstTheIndex) {
  for (const CjkOracleEntry& entry : kGb18030FourByte) {
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(entry.bytes >> shift);
    const std::string want = entry.first != 0 ? Utf8(entry.first) : kFffd;
    EXPECT_EQ(Hex(Decode(DecodeGb18030, bytes)), Hex(want)) << Hex(bytes);
  }
}

struct Case {
  const char* label;
  std::string input;
  std::string expected;
};

template <std::size_t N>
void CheckCases(Decoder decode, const Case (&cases)[N]) {
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Decode(decode, c.input)), Hex(c.expected)) << c.label;
  }
}

// Characters used below (UTF-8): U+4E02 E4 B8 82 (gb18030 81 40), U+4E00 E4 B8 80 (Big5
// A4 40), U+AC00 EA B0 80 (EUC-KR B0 A1).
TEST(Gb18030Decoder, ErrorsAndFourByteLimits) {
  const Case cases[] = {
      {"0x80 is the euro sign", "\x80", "\xE2\x82\xAC"},
      {"0xFF is an error", "a\xFFz", "a" + kFffd + "z"},
      {"two-byte code", "\x81\x40", "\xE4\xB8\x82"},
      {"lead at the end, after a code", "\x81\x40\x81", "\xE4\xB8\x82" + kFffd},
      {"lead then an ASCII byte, read again", "\x81\"", kFffd + "\""},
      {"lead then 0x7F, read again", "\x81\x7F", kFffd + "\x7F"},
      {"lead then 0xFF, taken with it", "\x81\xFFz", kFffd + "z"},
      {"first four-byte code, U+0080", "\x81\x30\x81\x30", "\xC2\x80"},
      {"pointer 7457 is U+E7C7", "\x81\x35\xF4\x37", "\xEE\x9F\x87"},
      {"pointer 39419 is U+FFFF", "\x84\x31\xA4\x39", "\xEF\xBF\xBF"},
      {"pointer 39420 is an error", "\x84\x31\xA5\x30z", kFffd + "z"},
      {"pointer 189000 is U+10000", "\x90\x30\x81\x30", "\xF0\x90\x80\x80"},
      {"pointer 1237575 is U+10FFFF", "\xE3\x32\x9A\x35", "\xF4\x8F\xBF\xBF"},
      {"pointer 1237576 is an error", "\xE3\x32\x9A\x36", kFffd},
      {"the last four-byte code is an error", "\xFE\x39\xFE\x39", kFffd},
      {"end after the digit hides it", "\x81\x30", kFffd},
      {"end after the third byte hides both", "a\x81\x30\x81", "a" + kFffd},
      {"digit then ASCII: both read again", "\x81\x30z", kFffd + "0z"},
      {"digit then 0xFF: both read again", "\x81\x30\xFF", kFffd + "0" + kFffd},
      {"third byte then no digit: the third is a lead again", "\x81\x30\x81\x40",
       kFffd + "0\xE4\xB8\x82"},
      {"third byte then ASCII", "\x81\x30\x81 ", kFffd + "0" + kFffd + " "},
      {"third byte then 0xFF", "\x81\x30\x81\xFF", kFffd + "0" + kFffd},
  };
  CheckCases(DecodeGb18030, cases);
}

TEST(Big5Decoder, ErrorsAndTwoCodePoints) {
  const Case cases[] = {
      {"two-byte code", "\xA4\x40", "\xE4\xB8\x80"},
      {"above U+FFFF: U+27267", "\x87\x45", "\xF0\xA7\x89\xA7"},
      {"88 62 is U+00CA U+0304", "\x88\x62", "\xC3\x8A\xCC\x84"},
      {"88 64 is U+00CA U+030C", "\x88\x64", "\xC3\x8A\xCC\x8C"},
      {"88 A3 is U+00EA U+0304", "\x88\xA3", "\xC3\xAA\xCC\x84"},
      {"88 A5 is U+00EA U+030C", "\x88\xA5", "\xC3\xAA\xCC\x8C"},
      {"88 63 between them is U+1EBE", "\x88\x63", "\xE1\xBA\xBE"},
      {"0x80 and 0xFF are errors", "\x80z\xFF", kFffd + "z" + kFffd},
      {"lead at the end, after a code", "\xA4\x40\xA4", "\xE4\xB8\x80" + kFffd},
      {"codes and a lead at the end, a space before each", "\xA4\x40 \xA4\x40 \xA4",
       "\xE4\xB8\x80 \xE4\xB8\x80 " + kFffd},
      {"lead then an ASCII byte, read again", "\xA4\"", kFffd + "\""},
      {"lead then 0x80, taken with it", "\xA4\x80z", kFffd + "z"},
      {"lead then 0xA0, taken with it", "\xA4\xA0", kFffd},
      {"lead then 0xFF, taken with it", "\xFE\xFFz", kFffd + "z"},
      {"lead below 0x87 with an ASCII trail", "\x81\x40", kFffd + "@"},
      {"lead below 0x87 with a high trail", "\x86\xFE", kFffd},
      {"unmapped pair, ASCII trail", "\x87\x66", kFffd + "f"},
      {"unmapped pair, high trail", "\x87\xE0z", kFffd + "z"},
  };
  CheckCases(DecodeBig5, cases);
}

TEST(EucKrDecoder, Errors) {
  const Case cases[] = {
      {"two-byte code", "\xB0\xA1", "\xEA\xB0\x80"},
      {"extended Hangul, trail 0x41", "\x81\x41", "\xEA\xB0\x82"},
      {"0x80 and 0xFF are errors", "\x80z\xFF", kFffd + "z" + kFffd},
      {"lead at the end, after a code", "\xB0\xA1\xB0", "\xEA\xB0\x80" + kFffd},
      {"lead then an ASCII byte, read again", "\xB0\"", kFffd + "\""},
      {"lead then 0x40, read again", "\xB0\x40", kFffd + "@"},
      {"unmapped pair in the trail range, ASCII trail", "\x81\x5B", kFffd + "["},
      {"lead then 0xFF, taken with it", "\xB0\xFFz", kFffd + "z"},
      {"row without codes", "\xC9\xA1", kFffd},
      {"before a row's span", "\xC7\x41", kFffd + "A"},
      {"first of a row's span, U+D408", "\xC7\xA1", "\xED\x90\x88"},
      {"last of a row's span, U+00AE", "\xA2\xE7", "\xC2\xAE"},
      {"after a row's span", "\xA2\xE8", kFffd},
      {"last lead byte", "\xFE\xA1", kFffd},
  };
  CheckCases(DecodeEucKr, cases);
}

// Random texts of whole characters, errors that stand alone and ASCII runs, long enough to
// cross several chunks at every offset: the result is the pieces' results in order, appended
// to what the output held.
TEST(CjkDecoders, LongTextsAreTheirPiecesInOrder) {
  struct Piece {
    std::string bytes;
    std::string utf8;
  };
  const struct {
    Decoder decode;
    std::vector<Piece> pieces;
  } decoders[] = {
      {DecodeGb18030,
       {{"a", "a"},
        {"plain ASCII text.", "plain ASCII text."},
        {"\x81\x40", "\xE4\xB8\x82"},
        {"\xFE\xFE", "\xEE\x93\x85"},
        {"\x81\x30\x81\x30", "\xC2\x80"},
        {"\x90\x30\x81\x30", "\xF0\x90\x80\x80"},
        {"\x80", "\xE2\x82\xAC"},
        {"\xFF", kFffd}}},
      {DecodeBig5,
       {{"a", "a"},
        {"plain ASCII text.", "plain ASCII text."},
        {"\xA4\x40", "\xE4\xB8\x80"},
        {"\xFE\xFE", "\xE7\xA7\x94"},
        {"\x87\x45", "\xF0\xA7\x89\xA7"},
        {"\x88\x62", "\xC3\x8A\xCC\x84"},
        {"\x80", kFffd}}},
      {DecodeEucKr,
       {{"a", "a"},
        {"plain ASCII text.", "plain ASCII text."},
        {"\xB0\xA1", "\xEA\xB0\x80"},
        {"\x81\x41", "\xEA\xB0\x82"},
        {"\xFD\xFE", "\xE8\xA9\xB0"},
        {"\xFF", kFffd}}},
  };
  std::mt19937 random(7);
  for (const auto& d : decoders) {
    std::string bytes, want = "held";
    while (bytes.size() < 100000) {
      const Piece& piece = d.pieces[random() % d.pieces.size()];
      bytes += piece.bytes;
      want += piece.utf8;
    }
    const ExactBytes input(bytes);
    std::string got = "held";
    d.decode(input.data(), input.size(), got);
    std::size_t same = 0;
    while (same < got.size() && same < want.size() && got[same] == want[same]) ++same;
    EXPECT_EQ(got.size(), want.size());
    EXPECT_EQ(same, want.size()) << "first difference at output byte " << same;
  }
}

}  // namespace
}  // namespace quillet
