// The Q decoder and the Latin converters of mail words read into UTF-8. The Latin tables are
// checked byte by byte against glibc's iconv where it is there.
#include <gtest/gtest.h>

#include <string>

#if __has_include(<iconv.h>) && !defined(_WIN32)
#include <iconv.h>
#define QUILLET_HAVE_ICONV 1
#endif

#include "exact_bytes.h"
#include "jtext/convert_from_latin.h"
#include "jtext/decode_q.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using testing_bytes::Hex;

TEST(DecodeQ, Table) {
  struct Case {
    const char* label;
    std::string input;
    std::string out;
  };
  const Case cases[] = {
      {"underscore is a space", "a_b", "a b"},
      {"hex in either case", "=41=4a=4A=e9", "AJJ\xE9"},
      {"= without two hex digits stays", "=G1=4=", "=G1=4="},
      {"= before a hex pair", "==41", "=A"},
      {"=00 writes nothing", "a=00b", "ab"},
      {"other bytes stay, 8-bit ones too", "x?y\xE9 ", "x?y\xE9 "},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    const ExactBytes bytes(c.input);
    std::string out = "<";
    EXPECT_EQ(DecodeQ(bytes.data(), bytes.size(), out), 0) << c.label;
    EXPECT_EQ(out, "<" + c.out) << c.label;
  }
}

TEST(ConvertFromLatin, BytesWorkedOutByHand) {
  struct Case {
    const char* label;
    bool windows1252;
    std::string input;
    std::string out;
  };
  const Case cases[] = {
      {"ASCII stays", false, "Ab ~", "Ab ~"},
      {"ISO-8859-1 e acute", false, "\xE9", "\xC3\xA9"},
      {"ISO-8859-1 0x80 is a C1 control", false, "\x80", "\xC2\x80"},
      {"ISO-8859-1 y diaeresis", false, "\xFF", "\xC3\xBF"},
      {"Windows-1252 euro sign", true, "\x80", "\xE2\x82\xAC"},
      {"Windows-1252 undefined 0x81 is U+FFFD", true, "\x81", "\xEF\xBF\xBD"},
      {"Windows-1252 above 0x9F as ISO-8859-1", true, "\xE9", "\xC3\xA9"},
  };
  for (const Case& c : cases) {
    const ExactBytes bytes(c.input);
    std::string out;
    if (c.windows1252) {
      ConvertFromWindows1252(bytes.data(), bytes.size(), out);
    } else {
      ConvertFromLatin1(bytes.data(), bytes.size(), out);
    }
    EXPECT_EQ(Hex(out), Hex(c.out)) << c.label;
  }
}

#ifdef QUILLET_HAVE_ICONV
// Every byte alone; a byte iconv refuses must give U+FFFD.
TEST(ConvertFromLatin, EveryByteAgainstIconv) {
  for (const bool windows1252 : {false, true}) {
    const iconv_t cd = iconv_open("UTF-8", windows1252 ? "CP1252" : "ISO-8859-1");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int byte = 0; byte < 256; ++byte) {
      char in = static_cast<char>(byte);
      char buffer[8];
      char* inPtr = &in;
      char* outPtr = buffer;
      std::size_t inLeft = 1;
      std::size_t outLeft = sizeof buffer;
      const bool refused = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1);
      const std::string expected =
          refused ? "\xEF\xBF\xBD" : std::string(buffer, sizeof buffer - outLeft);
      std::string out;
      if (windows1252) {
        ConvertFromWindows1252(&in, 1, out);
      } else {
        ConvertFromLatin1(&in, 1, out);
      }
      EXPECT_EQ(Hex(out), Hex(expected)) << (windows1252 ? "Windows-1252 " : "ISO-8859-1 ") << byte;
    }
    iconv_close(cd);
  }
}
#endif

}  // namespace
}  // namespace quillet
