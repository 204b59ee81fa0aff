#include "charsets/utf7.h"

#include <array>
#include <cstdint>

#include "codec/utf8_support.h"

namespace quillet {
namespace {

constexpr unsigned kNotBase64 = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeBase64Values() {
  std::array<std::uint8_t, 256> table{};
  for (auto& value : table) value = kNotBase64;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (unsigned i = 0; i < 64; ++i)
    table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
  return table;
}

constexpr std::array<std::uint8_t, 256> kBase64Value = MakeBase64Values();

void Put(std::string& output, std::uint32_t u) {
  unsigned char bytes[4];
  const unsigned char* const end = utf8::Put(bytes, u);
  output.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(end - bytes));
}

void PutReplacement(std::string& output) {
  output += "\xEF\xBF\xBD";
}

// Reads the base64 run that starts at p (just after its "+") and returns the position after it
// and its closing "-", if any.
const unsigned char* DecodeRun(const unsigned char* p, const unsigned char* end,
                               std::string& output) {
  std::uint32_t bits = 0;  // the last bits read, fewer than 16 not yet used
  unsigned count = 0;      // how many of them
  std::uint32_t lead = 0;  // a lead surrogate waiting for its trail, or 0
  for (; p < end && kBase64Value[*p] != kNotBase64; ++p) {
    bits = (bits << 6 | kBase64Value[*p]) & 0x3FFFFF;
    count += 6;
    if (count < 16) continue;
    count -= 16;
    const std::uint32_t unit = (bits >> count) & 0xFFFF;
    if (lead != 0 && unit - 0xDC00 < 0x400) {
      Put(output, 0x10000 + ((lead - 0xD800) << 10) + (unit - 0xDC00));
      lead = 0;
      continue;
    }
    if (lead != 0) {
      PutReplacement(output);
      lead = 0;
    }
    if (unit - 0xD800 < 0x400) {
      lead = unit;
    } else if (unit - 0xDC00 < 0x400) {
      PutReplacement(output);
    } else {
      Put(output, unit);
    }
  }
  if (lead != 0) PutReplacement(output);
  if (count >= 6 || (bits & ((1u << count) - 1)) != 0) PutReplacement(output);
  return (p < end && *p == '-') ? p + 1 : p;
}

}  // namespace

void DecodeUtf7(const char* data, std::size_t size, std::string& output) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  output.reserve(output.size() + size);
  while (p < end) {
    const unsigned char* const direct = p;
    while (p < end && *p < 0x80 && *p != '+') ++p;
    output.append(reinterpret_cast<const char*>(direct), static_cast<std::size_t>(p - direct));
    if (p == end) break;
    if (*p >= 0x80) {
      PutReplacement(output);
      ++p;
    } else if (p + 1 < end && p[1] == '-') {
      output += '+';
      p += 2;
    } else if (p + 1 < end && kBase64Value[p[1]] != kNotBase64) {
      p = DecodeRun(p + 1, end, output);
    } else {
      PutReplacement(output);  // the byte after it is read again
      ++p;
    }
  }
}

}  // namespace quillet
