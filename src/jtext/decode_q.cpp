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

bool IsFoldingSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the two hex digits of the "=" at p start: past the white space a mailer may have
// folded into the word after the "=". One scan of the white space that follows the "=", so
// each byte is looked at at most twice.
const char* HexDigitsAfter(const char* p, const char* end) {
  ++p;
  while (p < end && IsFoldingSpace(*p)) ++p;
  return p;
}

// Writes at most size bytes at out and returns the end of what it wrote.
char* Decode(const char* data, std::size_t size, char* out) {
  const char* p = data;
  const char* const end = data + size;
  while (p < end) {
    const char c = *p;
    if (c == '_') {
      *out++ = ' ';
      ++p;
      continue;
    }
    if (c == '=') {
      const char* const digits = HexDigitsAfter(p, end);
      if (end - digits >= 2) {
        const int high = HexValue(static_cast<unsigned char>(digits[0]));
        const int low = HexValue(static_cast<unsigned char>(digits[1]));
        if (high >= 0 && low >= 0) {
          // A 0x00 is kept like any other byte (UTF-16 needs it).
          *out++ = static_cast<char>(high * 16 + low);
          p = digits + 2;
          continue;
        }
      }
    }
    *out++ = c;
    ++p;
  }
  return out;
}

}  // namespace

std::size_t DecodeMailQ(const char* data, std::size_t size, char* out) {
  return static_cast<std::size_t>(Decode(data, size, out) - out);
}

int DecodeMailQ(const char* data, std::size_t size, std::string& output) {
  if (size == 0) return 0;
  const std::size_t start = output.size();
  output.resize(start + size);
  output.resize(start + DecodeMailQ(data, size, &output[start]));
  return 0;
}

}  // namespace quillet
