#include "jtext/convert_from_latin.h"

#include <cstdint>

#include "jtext/utf8_support.h"
#include "jtext/windows1252_table.h"

namespace quillet {
namespace {

// Each byte takes three output bytes at the most: room is made once, the unused tail cut off.
int Convert(const char* data, std::size_t size, bool windows1252, std::string& output) {
  if (size == 0) return 0;
  const std::size_t start = output.size();
  output.resize(start + 3 * size);
  auto* const first = reinterpret_cast<unsigned char*>(&output[start]);
  unsigned char* out = first;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint32_t byte = static_cast<unsigned char>(data[i]);
    const bool high = windows1252 && byte >= 0x80 && byte < 0xA0;
    out = utf8::PutBmp(out, high ? windows1252High[byte - 0x80] : byte);
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
