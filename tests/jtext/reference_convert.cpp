#include "jtext/reference_convert.h"

#include <cstdint>

#include "jtext/code_pairs.h"
#include "jtext/widen_kana.h"

namespace quillet {
namespace {

const std::string kToDouble = "\x1B$B";
const std::string kToSingle = "\x1B(B";

struct Reader {
  const std::string& text;
  unsigned at(std::size_t i) const {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0x00;
  }
};

void PutCode(std::string& out, std::uint32_t v) {
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}

// Writer of ISO-2022-JP with its output mode and pending half-width kana run.
struct JisWriter {
  std::string out;
  bool twoByte = false;
  std::string run;

  void toDouble() {
    if (!twoByte) out += kToDouble;
    twoByte = true;
  }
  void flush() {
    if (run.empty()) return;
    toDouble();
    const auto* p = reinterpret_cast<const unsigned char*>(run.data());
    const unsigned char* end = p + run.size();
    while (p < end) {
      std::uint16_t code = 0;
      p += WidenKana(p, end, code);
      PutCode(out, code);
    }
    run.clear();
  }
  void twoBytes(std::uint32_t v) {
    flush();
    toDouble();
    PutCode(out, v);
  }
  void single(unsigned c) {
    flush();
    if (twoByte) out += kToSingle;
    twoByte = false;
    out += static_cast<char>(c);
  }
  std::string finish() {
    flush();
    if (twoByte) out += kToSingle;
    return out;
  }
};

// ISO-2022-JP read in full: ASCII and Roman bytes as they are, kana and both JIS X sets by
// their sets, and a geta mark for everything that reads as nothing.
std::string FromJis(const std::string& in, int target) {
  enum class Set { kAscii, kKana, kX0208, kX0212 };
  Reader r{in};
  JisWriter jis;
  std::string two;  // Shift_JIS or EUC-JP
  const auto geta = [&] {
    if (target == 0) {
      jis.twoBytes(0x222E);
    } else {
      PutCode(two, target == 1 ? 0x81AC : 0xA2AE);
    }
  };
  const auto graphic = [](unsigned b) { return b >= 0x21 && b <= 0x7E; };
  Set set = Set::kAscii;
  std::size_t p = 0;
  while (p < in.size()) {
    const unsigned c = r.at(p);
    if (c == 0x1B) {
      const unsigned b1 = r.at(p + 1);
      const unsigned b2 = r.at(p + 2);
      if (b1 == '(' && (b2 == 'B' || b2 == 'J')) {
        set = Set::kAscii;
        p += 3;
      } else if (b1 == '(' && b2 == 'I') {
        set = Set::kKana;
        p += 3;
      } else if (b1 == '$' && (b2 == 'B' || b2 == '@')) {
        set = Set::kX0208;
        p += 3;
      } else if (b1 == '$' && b2 == '(' && r.at(p + 3) == 'D') {
        set = Set::kX0212;
        p += 4;
      } else {
        geta();
        p += 1;
      }
      continue;
    }
    if (set == Set::kAscii) {
      if (c < 0x80 && c != 0x0E && c != 0x0F) {
        if (target == 0) {
          jis.single(c);
        } else {
          two += static_cast<char>(c);
        }
      } else {
        geta();
      }
      p += 1;
    } else if (set == Set::kKana) {
      if (c >= 0x21 && c <= 0x5F) {
        if (target == 0) jis.run += static_cast<char>(c + 0x80);
        if (target == 1) two += static_cast<char>(c + 0x80);
        if (target == 2) PutCode(two, 0x8E00 | (c + 0x80));
      } else {
        geta();
      }
      p += 1;
    } else {
      const unsigned n = r.at(p + 1);
      if (!graphic(c)) {
        geta();
        p += 1;
      } else if (!graphic(n)) {
        geta();
        p += (p + 1 < in.size() && n != 0x1B) ? 2 : 1;
      } else {
        if (set == Set::kX0212 && target == 2) {
          two += '\x8F';
          PutCode(two, pairs::JisToEuc(c, n));
        } else if (set == Set::kX0212) {
          geta();
        } else if (target == 0) {
          jis.twoBytes(c << 8 | n);
        } else {
          PutCode(two, target == 1 ? pairs::JisToSjis(c, n) : pairs::JisToEuc(c, n));
        }
        p += 2;
      }
    }
  }
  return target == 0 ? jis.finish() : two;
}

std::string FromSjis(const std::string& in, int target) {
  Reader r{in};
  JisWriter jis;
  std::string euc;
  std::size_t p = 0;
  while (p < in.size()) {
    const unsigned c = r.at(p);
    const unsigned n = r.at(p + 1);
    const bool kana = c >= 0xA0 && c <= 0xDF;
    const bool lead = (c >= 0x81 && c <= 0x9F) || c >= 0xE0;
    const bool trail = (n >= 0x40 && n <= 0x7E) || (n >= 0x80 && n <= 0xFC);
    if (kana) {
      if (target == 2) {
        euc += '\x8E';
        euc += static_cast<char>(c);
      } else {
        jis.run += static_cast<char>(c);
      }
      p += 1;
    } else if (lead && trail) {
      if (target == 2) {
        PutCode(euc, pairs::SjisToEuc(c, n));
      } else {
        jis.twoBytes(pairs::SjisToJis(c, n));
      }
      p += 2;
    } else {
      if (target == 2) {
        euc += static_cast<char>(c);
      } else {
        jis.single(c);
      }
      p += 1;
    }
  }
  return target == 2 ? euc : jis.finish();
}

std::string FromEuc(const std::string& in, int target) {
  Reader r{in};
  JisWriter jis;
  std::string sjis;
  std::size_t p = 0;
  while (p < in.size()) {
    const unsigned c = r.at(p);
    const unsigned n = r.at(p + 1);
    if (c == 0x8E && n >= 0xA0 && n <= 0xDF) {
      if (target == 1) {
        sjis += static_cast<char>(n);
      } else {
        jis.run += static_cast<char>(n);
      }
      p += 2;
    } else if (c == 0x8F && n >= 0xA1 && n <= 0xFE && r.at(p + 2) >= 0xA1 && r.at(p + 2) <= 0xFE) {
      if (target == 1) {
        PutCode(sjis, 0x81AC);  // JIS X 0212: one geta mark
      } else {
        jis.twoBytes(0x222E);
      }
      p += 3;
    } else if (c >= 0xA1 && c <= 0xFE && n >= 0xA1 && n <= 0xFE) {
      if (target == 1) {
        PutCode(sjis, pairs::EucToSjis(c, n));
      } else {
        jis.twoBytes(pairs::EucToJis(c, n));
      }
      p += 2;
    } else {
      if (target == 1) {
        sjis += static_cast<char>(c);
      } else {
        jis.single(c);
      }
      p += 1;
    }
  }
  return target == 1 ? sjis : jis.finish();
}

}  // namespace

std::string ReferenceConvert(int source, const std::string& input, int target) {
  if (source == 0) return FromJis(input, target);
  if (source == target) return input;
  if (source == 1) return FromSjis(input, target);
  return FromEuc(input, target);
}

}  // namespace quillet
