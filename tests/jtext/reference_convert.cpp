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

std::string FromJis(const std::string& in, int target) {
  Reader r{in};
  std::string out;
  bool twoByte = false;
  std::size_t p = 0;
  while (p < in.size()) {
    if (r.at(p) == 0x1B && r.at(p + 1) == '$' && r.at(p + 2) == 'B') {
      twoByte = true;
      p += 3;
    } else if (twoByte && r.at(p) == 0x1B && r.at(p + 1) == '(' && r.at(p + 2) == 'B') {
      twoByte = false;
      p += 3;
    } else if (twoByte) {
      PutCode(out, target == 1 ? pairs::JisToSjis(r.at(p), r.at(p + 1))
                               : pairs::JisToEuc(r.at(p), r.at(p + 1)));
      p += 2;
    } else {
      out += in[p];
      p += 1;
    }
  }
  return out;
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
  if (source == target) return input;
  if (source == 0) return FromJis(input, target);
  if (source == 1) return FromSjis(input, target);
  return FromEuc(input, target);
}

}  // namespace quillet
