#include "charsets/utf7.h"

#include <array>
#include <cstdint>

#include "codec/decode_loop.h"
#include "codec/utf8_support.h"
#include "common/byte_at.h"

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

// Direct text, and the base64 runs of UTF-16 units, whose bits are carried from one step to the
// next.
struct Decoder {
  // In a run a unit of 16 bits (two characters and more) makes at most 6 bytes out (a lost lead
  // surrogate's U+FFFD and a BMP character); the end of a run, two U+FFFD. Out of a run a byte
  // makes at most one U+FFFD.
  static constexpr std::size_t kPerByte = 3;
  static constexpr bool kAsciiRuns = false;
  bool inRun = false;
  std::uint32_t bits = 0;  // the last bits read, fewer than 16 not yet used
  unsigned count = 0;      // how many of them
  std::uint32_t lead = 0;  // a lead surrogate waiting for its trail, or 0

  const unsigned char* Step(const unsigned char* p, const unsigned char* limit,
                            const unsigned char* end, unsigned char*& o) {
    const unsigned c = *p;
    if (inRun) {
      if (kBase64Value[c] == kNotBase64) {
        o = EndRun(o);
        return c == '-' ? p + 1 : p;
      }
      do {
        o = PutSextet(o, kBase64Value[*p]);
        ++p;
      } while (p < limit && kBase64Value[*p] != kNotBase64);
      return p;
    }
    if (c < 0x80 && c != '+') {
      do {
        *o++ = *p++;
      } while (p < limit && *p < 0x80 && *p != '+');
      return p;
    }
    const unsigned n = ByteAt(p + 1, end);
    if (c == '+' && p + 1 < end && n == '-') {
      *o++ = '+';
      return p + 2;
    }
    if (c == '+' && p + 1 < end && kBase64Value[n] != kNotBase64) {
      inRun = true;
      bits = 0;
      count = 0;
      lead = 0;
    } else {
      o = utf8::PutReplacement(o);  // the byte after it is read again
    }
    return p + 1;
  }

  unsigned char* PutSextet(unsigned char* o, unsigned value) {
    bits = (bits << 6 | value) & 0x3FFFFF;
    count += 6;
    if (count < 16) return o;
    count -= 16;
    const std::uint32_t unit = (bits >> count) & 0xFFFF;
    if (lead != 0 && unit - 0xDC00 < 0x400) {
      o = utf8::Put(o, 0x10000 + ((lead - 0xD800) << 10) + (unit - 0xDC00));
      lead = 0;
      return o;
    }
    if (lead != 0) {
      o = utf8::PutReplacement(o);
      lead = 0;
    }
    if (unit - 0xD800 < 0x400) {
      lead = unit;
    } else if (unit - 0xDC00 < 0x400) {
      o = utf8::PutReplacement(o);
    } else {
      o = utf8::PutBmp(o, unit);
    }
    return o;
  }

  // A lead surrogate left alone, and bits left over that are six or more or not all zero.
  unsigned char* EndRun(unsigned char* o) {
    inRun = false;
    if (lead != 0) o = utf8::PutReplacement(o);
    if (count >= 6 || (bits & ((1u << count) - 1)) != 0) o = utf8::PutReplacement(o);
    return o;
  }

  unsigned char* Finish(unsigned char* o) { return inRun ? EndRun(o) : o; }
};

}  // namespace

void DecodeUtf7(const char* data, std::size_t size, std::string& output) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  Decoder decoder;
  codec::DecodeLoop(p, p + size, decoder, output);
}

}  // namespace quillet
