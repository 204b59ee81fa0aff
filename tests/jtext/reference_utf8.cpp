#include "jtext/reference_utf8.h"

#include <cstdint>
#include <map>
#include <vector>

#include "jtext/code_pairs.h"
#include "jtext/cp932_table.h"
#include "jtext/reference_convert.h"

namespace quillet {
namespace {

const int kInvented = -1;  // a zero byte that the ISO-2022-JP pair arithmetic made

void PutUtf8(std::string& out, std::uint32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

std::uint32_t TableChar(int lead, int trail) {
  if (lead > 0xFC) return 0;
  const int row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
  const int column = trail < 0x7F ? trail - 0x40 : trail - 0x41;
  return cp932::sjisToUnicode[row * cp932::kColumns + column];
}

std::string SjisBytesToUtf8(const std::vector<int>& b) {
  std::string out;
  for (std::size_t i = 0; i < b.size();) {
    const int c = b[i];
    const int n = i + 1 < b.size() ? b[i + 1] : kInvented;
    const bool lead = (c >= 0x81 && c <= 0x9F) || c >= 0xE0;
    const bool trail = (n >= 0x40 && n <= 0x7E) || (n >= 0x80 && n <= 0xFC);
    if (c >= 0 && c < 0x80) {
      out += static_cast<char>(c);
      i += 1;
    } else if (c >= 0xA1 && c <= 0xDF) {
      PutUtf8(out, 0xFF61 + static_cast<std::uint32_t>(c - 0xA1));
      i += 1;
    } else if (lead && trail) {
      const std::uint32_t u = TableChar(c, n);
      PutUtf8(out, u != 0 ? u : 0xFFFD);
      i += 2;
    } else {
      PutUtf8(out, 0xFFFD);
      i += 1;
    }
  }
  return out;
}

std::vector<int> Bytes(const std::string& s) {
  std::vector<int> b;
  for (char c : s) b.push_back(static_cast<unsigned char>(c));
  return b;
}

// ISO-2022-JP read into Shift_JIS by the ISO-2022-JP converter's rules.
std::vector<int> JisToSjisBytes(const std::string& in) {
  std::vector<int> out;
  auto at = [&](std::size_t i) -> unsigned {
    return i < in.size() ? static_cast<unsigned char>(in[i]) : 0;
  };
  bool twoByte = false;
  for (std::size_t p = 0; p < in.size();) {
    if (at(p) == 0x1B && at(p + 1) == '$' && at(p + 2) == 'B') {
      twoByte = true;
      p += 3;
    } else if (twoByte && at(p) == 0x1B && at(p + 1) == '(' && at(p + 2) == 'B') {
      twoByte = false;
      p += 3;
    } else if (twoByte) {
      const std::uint32_t v = pairs::JisToSjis(at(p), at(p + 1));
      out.push_back(static_cast<int>((v >> 8) & 0xFF));
      out.push_back((v & 0xFF) == 0 ? kInvented : static_cast<int>(v & 0xFF));
      p += 2;
    } else {
      out.push_back(static_cast<int>(at(p)));
      p += 1;
    }
  }
  return out;
}

// Well-formed UTF-8 by Unicode's table, written out range by range; an ill-formed sequence
// yields 0xFFFFFFFF for its maximal subpart.
std::vector<std::uint32_t> DecodeUtf8(const std::string& in) {
  std::vector<std::uint32_t> chars;
  auto at = [&](std::size_t i) -> unsigned {
    return i < in.size() ? static_cast<unsigned char>(in[i]) : 0;
  };
  auto within = [](unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; };
  for (std::size_t p = 0; p < in.size();) {
    const unsigned b0 = at(p);
    unsigned lo = 0x80, hi = 0xBF, length = 0;
    if (b0 < 0x80)
      length = 1;
    else if (within(b0, 0xC2, 0xDF))
      length = 2;
    else if (b0 == 0xE0)
      length = 3, lo = 0xA0;
    else if (b0 == 0xED)
      length = 3, hi = 0x9F;
    else if (within(b0, 0xE1, 0xEF))
      length = 3;
    else if (b0 == 0xF0)
      length = 4, lo = 0x90;
    else if (b0 == 0xF4)
      length = 4, hi = 0x8F;
    else if (within(b0, 0xF1, 0xF3))
      length = 4;
    if (length == 1) {
      chars.push_back(b0);
      p += 1;
      continue;
    }
    std::size_t good = 1;  // bytes of a well-formed start
    if (length != 0 && within(at(p + 1), lo, hi)) {
      good = 2;
      while (good < length && within(at(p + good), 0x80, 0xBF)) ++good;
    }
    if (length == 0 || good < length) {
      chars.push_back(0xFFFFFFFF);
      p += good;
      continue;
    }
    std::uint32_t u = b0 & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < length; ++i) u = u << 6 | (at(p + i) & 0x3F);
    chars.push_back(u);
    p += length;
  }
  return chars;
}

const std::map<std::uint32_t, std::uint32_t>& CodeMap() {
  static const std::map<std::uint32_t, std::uint32_t> map = [] {
    std::map<std::uint32_t, std::uint32_t> m;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (lead > 0x9F && lead < 0xE0) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        const std::uint32_t u = TableChar(lead, trail);
        if (u == 0 || (u >= 0xE000 && u <= 0xF8FF)) continue;         // private use: no code
        m.emplace(u, static_cast<std::uint32_t>(lead << 8 | trail));  // the first one stays
      }
    }
    for (std::uint32_t u = 0xFF61; u <= 0xFF9F; ++u) m[u] = 0xA1 + (u - 0xFF61);
    m[0x301C] = 0x8160;
    m[0x2016] = 0x8161;
    m[0x2212] = 0x817C;
    m[0x00A2] = 0x8191;
    m[0x00A3] = 0x8192;
    m[0x00AC] = 0x81CA;
    m[0x2014] = 0x815C;
    return m;
  }();
  return map;
}

}  // namespace

std::string ReferenceToUtf8(int source, const std::string& input) {
  if (source == 1) return SjisBytesToUtf8(Bytes(input));
  if (source == 2) return SjisBytesToUtf8(Bytes(ReferenceConvert(2, input, 1)));
  return SjisBytesToUtf8(JisToSjisBytes(input));
}

std::string ReferenceFromUtf8(const std::string& input, int target) {
  std::string out;
  for (std::uint32_t u : DecodeUtf8(input)) {
    if (target == 3) {
      if (u == 0xFFFFFFFF) {
        PutUtf8(out, 0xFFFD);
      } else if (u >= 0x10000) {
        out += static_cast<char>(0xF0 | (u >> 18));
        out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
      } else {
        PutUtf8(out, u);
      }
      continue;
    }
    if (u < 0x80) {
      out += static_cast<char>(u);
      continue;
    }
    const auto found = CodeMap().find(u);
    const std::uint32_t code = found != CodeMap().end() ? found->second : 0x81AC;  // geta
    if (code >= 0x100) out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
  }
  return target == 1 || target == 3 ? out : ReferenceConvert(1, out, target);
}

}  // namespace quillet
