#include "jtext/reference_utf8.h"

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <vector>

#include "jtext/code_pairs.h"
#include "jtext/cp932_table.h"
#include "jtext/jis0212_table.h"
#include "jtext/reference_convert.h"

namespace quillet {
namespace {

const int kEndOfQueue = -1;

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

// The standard's steps: a lead takes the byte after it unless that byte is ASCII.
std::string SjisBytesToUtf8(const std::vector<int>& b) {
  std::string out;
  for (std::size_t i = 0; i < b.size();) {
    const int c = b[i];
    const int n = i + 1 < b.size() ? b[i + 1] : -1;
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    const bool trail = (n >= 0x40 && n <= 0x7E) || (n >= 0x80 && n <= 0xFC);
    if (c <= 0x80) {
      PutUtf8(out, static_cast<std::uint32_t>(c));
      i += 1;
    } else if (c >= 0xA1 && c <= 0xDF) {
      PutUtf8(out, 0xFF61 + static_cast<std::uint32_t>(c - 0xA1));
      i += 1;
    } else if (lead && trail && TableChar(c, n) != 0) {
      PutUtf8(out, TableChar(c, n));
      i += 2;
    } else {
      PutUtf8(out, 0xFFFD);
      i += (lead && n >= 0x80) ? 2 : 1;
    }
  }
  return out;
}

std::vector<int> Bytes(const std::string& s) {
  std::vector<int> b;
  for (char c : s) b.push_back(static_cast<unsigned char>(c));
  return b;
}

// The character at a pointer of JIS X 0208, through the Windows-31J table; 0 for none.
std::uint32_t Jis0208(int pointer) {
  const std::uint32_t sjis = pairs::JisToSjis(static_cast<std::uint32_t>(pointer / 94 + 0x21),
                                              static_cast<std::uint32_t>(pointer % 94 + 0x21));
  return TableChar(static_cast<int>(sjis >> 8), static_cast<int>(sjis & 0xFF));
}

std::uint32_t Jis0212(int pointer) {
  return jis0212::jis0212ToUnicode[pointer];
}

// A byte queue that bytes can be put back on, as the decoders below restore them.
class ByteQueue {
 public:
  explicit ByteQueue(const std::string& in) {
    for (char c : in) bytes_.push_back(static_cast<unsigned char>(c));
  }
  int read() {
    if (bytes_.empty()) return kEndOfQueue;
    const int b = bytes_.front();
    bytes_.pop_front();
    return b;
  }
  void restore(std::initializer_list<int> bytes) {
    bytes_.insert(bytes_.begin(), bytes.begin(), bytes.end());
  }

 private:
  std::deque<int> bytes_;
};

bool InRange(int b, int low, int high) {
  return b >= low && b <= high;
}

bool IsAsciiByte(int b) {
  return InRange(b, 0x00, 0x7F);
}

// EUC-JP as the Encoding Standard's EUC-JP decoder reads it, one handler call per byte.
std::string EucToUtf8(const std::string& in) {
  ByteQueue queue(in);
  std::string out;
  bool jis0212 = false;
  int leading = 0x00;
  for (;;) {
    const int byte = queue.read();
    if (byte == kEndOfQueue) {
      if (leading != 0x00) PutUtf8(out, 0xFFFD);
      return out;
    }
    if (leading == 0x8E && InRange(byte, 0xA1, 0xDF)) {
      leading = 0x00;
      PutUtf8(out, 0xFF61 - 0xA1 + static_cast<std::uint32_t>(byte));
      continue;
    }
    if (leading == 0x8F && InRange(byte, 0xA1, 0xFE)) {
      jis0212 = true;
      leading = byte;
      continue;
    }
    if (leading != 0x00) {
      const int lead = leading;
      leading = 0x00;
      std::uint32_t codePoint = 0;
      if (InRange(lead, 0xA1, 0xFE) && InRange(byte, 0xA1, 0xFE)) {
        const int pointer = (lead - 0xA1) * 94 + byte - 0xA1;
        codePoint = jis0212 ? Jis0212(pointer) : Jis0208(pointer);
      }
      jis0212 = false;
      if (codePoint != 0) {
        PutUtf8(out, codePoint);
        continue;
      }
      if (IsAsciiByte(byte)) queue.restore({byte});
      PutUtf8(out, 0xFFFD);
      continue;
    }
    if (IsAsciiByte(byte)) {
      out += static_cast<char>(byte);
    } else if (byte == 0x8E || byte == 0x8F || InRange(byte, 0xA1, 0xFE)) {
      leading = byte;
    } else {
      PutUtf8(out, 0xFFFD);
    }
  }
}

// ISO-2022-JP as the Encoding Standard's ISO-2022-JP decoder reads it, with ESC $ ( D for JIS
// X 0212 (one more escape state) and without the error for two escape sequences in a row.
std::string JisToUtf8(const std::string& in) {
  enum State {
    kAscii,
    kRoman,
    kKatakana,
    kLead,
    kTrail,
    kEscapeStart,
    kEscape,
    kEscapeDollarParen
  };
  ByteQueue queue(in);
  std::string out;
  State state = kAscii;
  State outputState = kAscii;
  bool jis0212 = false;  // which set kLead and kTrail read
  int leading = 0x00;
  auto error = [&] { PutUtf8(out, 0xFFFD); };
  for (;;) {
    const int byte = queue.read();
    if (byte == kEndOfQueue &&
        (state == kAscii || state == kRoman || state == kKatakana || state == kLead)) {
      return out;
    }
    switch (state) {
      case kAscii:
      case kRoman:
        if (byte == 0x1B) {
          state = kEscapeStart;
        } else if (state == kRoman && byte == 0x5C) {
          PutUtf8(out, 0x00A5);
        } else if (state == kRoman && byte == 0x7E) {
          PutUtf8(out, 0x203E);
        } else if (IsAsciiByte(byte) && byte != 0x0E && byte != 0x0F) {
          out += static_cast<char>(byte);
        } else {
          error();
        }
        break;
      case kKatakana:
        if (byte == 0x1B) {
          state = kEscapeStart;
        } else if (InRange(byte, 0x21, 0x5F)) {
          PutUtf8(out, 0xFF61 - 0x21 + static_cast<std::uint32_t>(byte));
        } else {
          error();
        }
        break;
      case kLead:
        if (byte == 0x1B) {
          state = kEscapeStart;
        } else if (InRange(byte, 0x21, 0x7E)) {
          leading = byte;
          state = kTrail;
        } else {
          error();
        }
        break;
      case kTrail:
        if (byte == 0x1B) {
          state = kEscapeStart;
          error();
        } else if (InRange(byte, 0x21, 0x7E)) {
          state = kLead;
          const int pointer = (leading - 0x21) * 94 + byte - 0x21;
          const std::uint32_t codePoint = jis0212 ? Jis0212(pointer) : Jis0208(pointer);
          if (codePoint == 0) {
            error();
          } else {
            PutUtf8(out, codePoint);
          }
        } else {
          state = kLead;
          error();
          if (byte == kEndOfQueue) return out;
        }
        break;
      case kEscapeStart:
        if (byte == 0x24 || byte == 0x28) {
          leading = byte;
          state = kEscape;
          break;
        }
        if (byte != kEndOfQueue) queue.restore({byte});
        state = outputState;
        error();
        break;
      case kEscape: {
        const int lead = leading;
        leading = 0x00;
        bool known = true;
        if (lead == 0x28 && byte == 0x42) {
          state = kAscii;
        } else if (lead == 0x28 && byte == 0x4A) {
          state = kRoman;
        } else if (lead == 0x28 && byte == 0x49) {
          state = kKatakana;
        } else if (lead == 0x24 && (byte == 0x40 || byte == 0x42)) {
          state = kLead;
          jis0212 = false;
        } else if (lead == 0x24 && byte == 0x28) {
          state = kEscapeDollarParen;
          break;
        } else {
          known = false;
        }
        if (known) {
          outputState = state;
          break;
        }
        if (byte == kEndOfQueue) {
          queue.restore({lead});
        } else {
          queue.restore({lead, byte});
        }
        state = outputState;
        error();
        break;
      }
      case kEscapeDollarParen:
        if (byte == 0x44) {
          state = outputState = kLead;
          jis0212 = true;
          break;
        }
        if (byte == kEndOfQueue) {
          queue.restore({0x24, 0x28});
        } else {
          queue.restore({0x24, 0x28, byte});
        }
        state = outputState;
        error();
        break;
    }
  }
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
  if (source == 2) return EucToUtf8(input);
  return JisToUtf8(input);
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
