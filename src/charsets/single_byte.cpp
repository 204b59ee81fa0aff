#include "charsets/single_byte.h"

#include <cstdint>

#include "charsets/single_byte_tables.h"
#include "codec/decode_loop.h"
#include "codec/utf8_support.h"

namespace quillet {
namespace {

// The table's rows follow the enumerators from IBM866 to x-mac-cyrillic.
constexpr int kFirst = static_cast<int>(Encoding::kIbm866);
static_assert(static_cast<int>(Encoding::kXMacCyrillic) - kFirst + 1 == single_byte::kEncodings,
              "one table row per single-byte encoding");

// ASCII runs go through the loop's vector copy, every other byte through highChar.
template <typename HighChar>
struct Decoder : codec::Stateless {
  // A byte of 0x80 and up makes at most three bytes out (a BMP code point).
  static constexpr std::size_t kPerByte = 3;
  static constexpr bool kAsciiRuns = true;
  HighChar highChar;

  const unsigned char* Step(const unsigned char* p, const unsigned char* limit,
                            const unsigned char*, unsigned char*& o) const {
    do {
      o = utf8::PutBmp(o, highChar(*p));
      ++p;
    } while (p < limit && *p >= 0x80);
    return p;
  }
};

template <typename HighChar>
void Decode(const char* data, std::size_t size, HighChar highChar, std::string& output) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  Decoder<HighChar> decoder{{}, highChar};
  codec::DecodeLoop(p, p + size, decoder, output);
}

}  // namespace

bool IsSingleByte(Encoding encoding) {
  return encoding >= Encoding::kIbm866 && encoding <= Encoding::kXMacCyrillic;
}

std::uint32_t SingleByteCodePoint(Encoding encoding, unsigned byte) {
  return single_byte::kHigh[static_cast<int>(encoding) - kFirst][byte - 0x80];
}

void DecodeSingleByte(Encoding encoding, const char* data, std::size_t size, std::string& output) {
  if (!IsSingleByte(encoding)) return;
  const std::uint16_t* const high = single_byte::kHigh[static_cast<int>(encoding) - kFirst];
  Decode(
      data, size, [high](unsigned byte) -> std::uint32_t { return high[byte - 0x80]; }, output);
}

void DecodeXUserDefined(const char* data, std::size_t size, std::string& output) {
  Decode(
      data, size, [](unsigned byte) -> std::uint32_t { return 0xF780 + (byte - 0x80); }, output);
}

}  // namespace quillet
