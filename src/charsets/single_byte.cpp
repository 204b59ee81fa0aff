#include "charsets/single_byte.h"

#include <cstdint>

#include "charsets/single_byte_tables.h"
#include "codec/convert_support.h"
#include "codec/utf8_support.h"

namespace quillet {
namespace {

using namespace convert;

// The table's rows follow the enumerators from IBM866 to x-mac-cyrillic.
constexpr int kFirst = static_cast<int>(Encoding::kIbm866);
static_assert(static_cast<int>(Encoding::kXMacCyrillic) - kFirst + 1 == single_byte::kEncodings,
              "one table row per single-byte encoding");

// A byte of 0x80 and up makes at most three bytes out (a BMP code point).
constexpr std::size_t kPerByte = 3;

// The one loop of both: ASCII runs a word at a time, every other byte through highChar.
template <typename HighChar>
void Decode(const char* data, std::size_t size, HighChar highChar, std::string& output) {
  if (size == 0) return;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  unsigned char* o = AppendCursor(output, size, kPerByte);
  while (p < end) {
    const unsigned char* const limit = ChunkEnd(p, end);
    o = MakeRoom(output, o, kPerByte * static_cast<std::size_t>(limit - p) + kSlack);
    while (p < limit) {
      if (*p < 0x80) {
        p = CopyAscii(p, limit, o);
        continue;
      }
      do {
        o = utf8::PutBmp(o, highChar(*p));
        ++p;
      } while (p < limit && *p >= 0x80);
    }
  }
  Finish(output, o);
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
