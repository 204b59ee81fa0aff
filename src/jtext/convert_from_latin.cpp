#include "jtext/convert_from_latin.h"

#include <cstdint>

#include "jtext/windows1252_table.h"

namespace quillet {
namespace {

// One code point below 0x10000 as UTF-8.
char* PutCodePoint(char* out, std::uint32_t c) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// Each byte takes three output bytes at the most: room is made once, the unused tail cut off.
int Convert(const char* data, std::size_t size, bool windows1252, std::string& output) {
  if (size == 0) return 0;
  const std::size_t start = output.size();
  output.resize(start + 3 * size);
  char* const first = &output[start];
  char* out = first;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint32_t byte = static_cast<unsigned char>(data[i]);
    const bool high = windows1252 && byte >= 0x80 && byte < 0xA0;
    out = PutCodePoint(out, high ? windows1252High[byte - 0x80] : byte);
  }
  output.resize(start + static_cast<std::size_t>(out - first));
  return 0;
}

}  // namespace

int ConvertFromLatin1(const char* data, std::size_t size, std::string& output) {
  return Convert(data, size, false, output);
}

int ConvertFromWindows1252(const char* data, std::size_t size, std::string& output) {
  return Convert(data, size, true, output);
}

}  // namespace quillet
