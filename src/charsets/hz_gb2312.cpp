#include "charsets/hz_gb2312.h"

#include <cstdint>

#include "charsets/gb18030.h"
#include "codec/utf8_support.h"
#include "common/byte_at.h"

namespace quillet {
namespace {

inline bool IsGraphic(unsigned b) {
  return b - 0x21 < 0x5E;
}

void Put(std::string& output, std::uint32_t u) {
  unsigned char bytes[4];
  const unsigned char* const end = utf8::Put(bytes, u);
  output.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(end - bytes));
}

}  // namespace

void DecodeHzGb2312(const char* data, std::size_t size, std::string& output) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  output.reserve(output.size() + size);
  bool gb = false;
  while (p < end) {
    const unsigned c = *p;
    const unsigned n = ByteAt(p + 1, end);
    if (c == '~') {
      if (!gb && n == '~') {
        output += '~';
      } else if (!gb && n == '{') {
        gb = true;
      } else if (gb && n == '}') {
        gb = false;
      } else if (gb || n != '\n') {
        Put(output, utf8::kReplacement);
        ++p;
        continue;
      }
      p += 2;
      continue;
    }
    if (!gb && c < 0x80) {
      output += static_cast<char>(c);
      ++p;
    } else if (gb && (c == '\r' || c == '\n')) {
      output += static_cast<char>(c);
      gb = false;
      ++p;
    } else if (gb && IsGraphic(c) && p + 1 < end && IsGraphic(n)) {
      const std::uint32_t u = Gb18030TwoByteCodePoint(c | 0x80, n | 0x80);
      Put(output, u != 0 ? u : utf8::kReplacement);
      p += 2;
    } else {
      Put(output, utf8::kReplacement);
      ++p;
    }
  }
}

}  // namespace quillet
