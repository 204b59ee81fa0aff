#include "jtext/decode_q.h"

namespace quillet {
namespace {

// The value of a hex digit, or -1.
int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

template <bool kKeepZero>
void Decode(const char* data, std::size_t size, std::string& output) {
  output.reserve(output.size() + size);
  const char* p = data;
  const char* const end = data + size;
  while (p < end) {
    const char c = *p;
    if (c == '_') {
      output.push_back(' ');
      ++p;
      continue;
    }
    if (c == '=' && end - p >= 3) {
      const int high = HexValue(static_cast<unsigned char>(p[1]));
      const int low = HexValue(static_cast<unsigned char>(p[2]));
      if (high >= 0 && low >= 0) {
        const int byte = high * 16 + low;
        if (kKeepZero || byte != 0) output.push_back(static_cast<char>(byte));
        p += 3;
        continue;
      }
    }
    output.push_back(c);
    ++p;
  }
}

}  // namespace

int DecodeMailQ(const char* data, std::size_t size, std::string& output) {
  if (size != 0) Decode<true>(data, size, output);
  return 0;
}

}  // namespace quillet
