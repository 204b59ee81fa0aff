// Fuzz target: ConvertCharset. Properties:
// - for every source and target from -1 to 4: out-of-range codes give 1 (source first) or 2
//   and append nothing, equal codes 0..2 give 3 and append the input unchanged, the other
//   directions (UTF-8 to UTF-8 too) give 0; the earlier output always stays in front; no
//   direction writes more than 5 bytes per input byte plus one closing escape sequence;
// - UTF-8 output is always valid UTF-8, from any bytes in any source encoding;
// - valid Windows-31J text (ASCII, half-width katakana, and the codes its encoder writes, built
//   from the fuzz bytes) goes Shift_JIS to UTF-8 to Shift_JIS unchanged;
// - 7-bit text without ESC comes out unchanged in every direction (but SO and SI, which
//   ISO-2022-JP read into another encoding takes as errors);
// - ISO-2022-JP, whatever its bytes, leaves no ESC in Shift_JIS or EUC-JP, and written again as
//   ISO-2022-JP holds only ESC $ B and ESC ( B, ends in ASCII, and takes at most 5 bytes per
//   byte plus the closing sequence;
// - text made only of valid characters (ASCII, half-width katakana and JIS X 0208 cells, built
//   from the fuzz bytes) converts from Shift_JIS to EUC-JP and back to exactly the text written
//   directly in the other encoding, and both read into the same UTF-8 where every cell has a
//   character (Shift_JIS gives back the ASCII trail of a cell without one); without katakana,
//   ISO-2022-JP built the same way converts to and from both of them, and without SO and SI
//   into that UTF-8.
// The encodings here are written with the textbook formulas, independently of the converters.
#include <cstddef>
#include <cstdint>
#include <string>

#include <vector>

#include "fuzz_check.h"
#include "jtext/convert_charset.h"
#include "jtext/cp932_table.h"

namespace quillet {
namespace {

const std::string kPrefix = "ab\x82\xA0";  // "ab" and hiragana a in Shift_JIS

std::string Convert(int source, const std::string& input, int target) {
  std::string out;
  ConvertCharset(source, input, target, out);
  return out;
}

void CheckEveryPair(const std::string& input) {
  for (int source = -1; source <= 4; ++source) {
    for (int target = -1; target <= 4; ++target) {
      std::string output = kPrefix;
      const int result = ConvertCharset(source, input, target, output);
      Require(output.compare(0, kPrefix.size(), kPrefix) == 0, "the earlier output is kept");
      const std::size_t added = output.size() - kPrefix.size();
      if (source < 0 || source > 3) {
        Require(result == 1 && added == 0, "a source out of range gives 1 and nothing");
      } else if (target < 0 || target > 3) {
        Require(result == 2 && added == 0, "a target out of range gives 2 and nothing");
      } else if (source == target && source != 3) {
        Require(result == 3 && output == kPrefix + input, "equal codes copy the input");
      } else {
        Require(result == 0, "a conversion gives 0");
        Require(added <= 5 * input.size() + 3, "a conversion writes at most 5 bytes per byte");
      }
    }
  }
}

// JIS X 0208 cell (j1, j2), both 0x21..0x7E, as Shift_JIS: two rows share one first byte.
void AppendSjis(std::string& out, unsigned j1, unsigned j2) {
  const unsigned s1 = (j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0);
  const unsigned s2 = (j1 % 2 == 1) ? j2 + (j2 >= 0x60 ? 0x20 : 0x1F) : j2 + 0x7E;
  out += static_cast<char>(s1);
  out += static_cast<char>(s2);
}

// Well-formed UTF-8, by Unicode's table of byte sequences.
bool IsValidUtf8(const std::string& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const unsigned char* end = p + s.size();
  while (p < end) {
    const unsigned b = *p;
    std::size_t length = 1;
    unsigned lo = 0x80, hi = 0xBF;
    if (b < 0x80) {
      ++p;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF)
      length = 2;
    else if (b >= 0xE0 && b <= 0xEF)
      length = 3, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
    else if (b >= 0xF0 && b <= 0xF4)
      length = 4, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
    else
      return false;
    if (static_cast<std::size_t>(end - p) < length || p[1] < lo || p[1] > hi) return false;
    for (std::size_t i = 2; i < length; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
    }
    p += length;
  }
  return true;
}

// The double-byte codes that the Windows-31J encoder writes: decodable, not private use, and
// the first code of their character.
const std::vector<std::uint16_t>& EncoderCodes() {
  static const std::vector<std::uint16_t> codes = [] {
    std::vector<std::uint16_t> list;
    std::vector<bool> seen(0x10000, false);
    for (int row = 0; row < cp932::kRows; ++row) {
      for (int column = 0; column < cp932::kColumns; ++column) {
        const unsigned u = cp932::sjisToUnicode[row * cp932::kColumns + column];
        if (u == 0 || (u >= 0xE000 && u <= 0xF8FF) || seen[u]) continue;
        seen[u] = true;
        const unsigned lead = row < 31 ? 0x81 + row : 0xE0 + row - 31;
        const unsigned trail = column < 0x3F ? 0x40 + column : 0x41 + column;
        list.push_back(static_cast<std::uint16_t>(lead << 8 | trail));
      }
    }
    return list;
  }();
  return codes;
}

}  // namespace
}  // namespace quillet

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckEveryPair(input);

  for (int source = 0; source <= 3; ++source) {
    Require(IsValidUtf8(Convert(source, input, 3)), "UTF-8 output is valid UTF-8");
  }

  std::string cp932;
  const std::vector<std::uint16_t>& codes = EncoderCodes();
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned b = data[i];
    if (b < 0x80) {
      cp932 += static_cast<char>(b);
    } else if (b < 0xC0) {
      cp932 += static_cast<char>(0xA1 + (b - 0x80) % 63);  // 0xA1..0xDF
    } else if (i + 1 < size) {
      const std::uint16_t code = codes[(data[i + 1] << 6 | (b & 0x3F)) % codes.size()];
      cp932 += static_cast<char>(code >> 8);
      cp932 += static_cast<char>(code & 0xFF);
      ++i;
    }
  }
  Require(Convert(3, Convert(1, cp932, 3), 1) == cp932,
          "valid Windows-31J goes Shift_JIS to UTF-8 to Shift_JIS unchanged");

  std::string plain = input;
  for (char& c : plain) {
    c = static_cast<char>(c & 0x7F);
    if (c == 0x1B) c = 0x1A;
  }
  std::string unshifted = plain;
  for (char& c : unshifted) {
    if (c == 0x0E || c == 0x0F) c = 0x1A;
  }
  for (int source = 0; source <= 3; ++source) {
    for (int target = 0; target <= 3; ++target) {
      const std::string& text = source == 0 && target != 0 ? unshifted : plain;
      Require(Convert(source, text, target) == text, "7-bit text without ESC is unchanged");
    }
  }

  for (int target = 1; target <= 2; ++target) {
    Require(Convert(0, input, target).find('\x1B') == std::string::npos,
            "no ESC of ISO-2022-JP reaches Shift_JIS or EUC-JP");
  }
  std::string rewritten;
  ConvertFromJis(input.data(), input.size(), kCharsetJis, rewritten);
  Require(rewritten.size() <= 5 * input.size() + 3, "ISO-2022-JP again: at most 5 bytes per byte");
  bool ascii = true;
  for (std::size_t at = rewritten.find('\x1B'); at != std::string::npos;
       at = rewritten.find('\x1B', at + 1)) {
    const std::string sequence = rewritten.substr(at, 3);
    Require(sequence == "\x1B$B" || sequence == "\x1B(B", "ISO-2022-JP again: ESC $ B, ESC ( B");
    ascii = sequence == "\x1B(B";
  }
  Require(ascii, "ISO-2022-JP again ends in ASCII");

  std::string sjis;
  std::string euc;
  std::string jis;
  bool kana = false;
  bool doubleByte = false;
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned b = data[i];
    if (b < 0x80) {
      const char c = static_cast<char>(b == 0x1B ? 0x1A : b);
      sjis += c;
      euc += c;
      if (doubleByte) jis += "\x1B(B";
      doubleByte = false;
      jis += c;
    } else if (b < 0xC0) {
      const char k = static_cast<char>(0xA1 + (b - 0x80) % 63);  // 0xA1..0xDF
      sjis += k;
      euc += '\x8E';
      euc += k;
      kana = true;
    } else if (i + 2 < size) {
      const unsigned j1 = 0x21 + data[i + 1] % 94;
      const unsigned j2 = 0x21 + data[i + 2] % 94;
      i += 2;
      AppendSjis(sjis, j1, j2);
      euc += static_cast<char>(j1 | 0x80);
      euc += static_cast<char>(j2 | 0x80);
      if (!doubleByte) jis += "\x1B$B";
      doubleByte = true;
      jis += static_cast<char>(j1);
      jis += static_cast<char>(j2);
    }
  }
  if (doubleByte) jis += "\x1B(B";

  Require(Convert(1, sjis, 2) == euc, "valid Shift_JIS converts to the same text in EUC-JP");
  Require(Convert(2, euc, 1) == sjis, "valid EUC-JP converts to the same text in Shift_JIS");
  Require(Convert(2, Convert(1, sjis, 2), 1) == sjis, "Shift_JIS round-trips through EUC-JP");
  const std::string utf8 = Convert(2, euc, 3);
  if (utf8.find("\xEF\xBF\xBD") == std::string::npos) {
    Require(Convert(1, sjis, 3) == utf8, "valid Shift_JIS and EUC-JP read into the same UTF-8");
  }
  if (kana) {
    Require(Convert(1, sjis, 0) == Convert(2, euc, 0),
            "Shift_JIS and EUC-JP of the same text give the same ISO-2022-JP");
  } else {
    Require(Convert(1, sjis, 0) == jis, "valid Shift_JIS converts to ISO-2022-JP");
    Require(Convert(2, euc, 0) == jis, "valid EUC-JP converts to ISO-2022-JP");
    if (jis.find_first_of("\x0E\x0F") == std::string::npos) {  // SO and SI read as errors
      Require(Convert(0, jis, 1) == sjis, "ISO-2022-JP converts to Shift_JIS");
      Require(Convert(0, jis, 2) == euc, "ISO-2022-JP converts to EUC-JP");
      Require(Convert(0, jis, 3) == utf8, "valid ISO-2022-JP reads into the same UTF-8");
      std::string again;
      ConvertFromJis(jis.data(), jis.size(), kCharsetJis, again);
      Require(again == jis, "valid ISO-2022-JP written again keeps its bytes");
    }
  }
  return 0;
}
