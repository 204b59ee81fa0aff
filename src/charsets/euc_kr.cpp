// EUC-KR to UTF-8.
//
// Bytes below 0x80 are themselves. A lead byte 0x81..0xFE with a trail byte t in 0x41..0xFE
// is one code, in column t - 0x41 of the lead byte's row:
//   pointer = (lead - 0x81) * 190 + (t - 0x41).
// The table keeps of each row only the span from its first mapped column to its last.
// Errors are read as in lead_trail_decoder.h.
#include "charsets/euc_kr.h"

#include <cstdint>

#include "charsets/euc_kr_table.h"
#include "charsets/lead_trail_decoder.h"

namespace quillet {
namespace {

// The code point of a lead and a byte after it, or 0 where the table has none.
inline std::uint32_t TableCodePoint(unsigned lead, unsigned trail) {
  const euc_kr::Row row = euc_kr::kRows[lead - 0x81];
  // Below the span (trail bytes under 0x41 included) wraps round to a large value.
  const unsigned inSpan = trail - 0x41u - row.first;
  return inSpan < row.count ? euc_kr::kCells[row.start + inSpan] : 0;
}

struct EucKrReading : lead_trail::TwoByteCodes {
  static std::uint32_t CodePoint(unsigned lead, unsigned trail) {
    return TableCodePoint(lead, trail);
  }
};

}  // namespace

std::uint32_t EucKrCodePoint(unsigned lead, unsigned trail) {
  return TableCodePoint(lead, trail);
}

void DecodeEucKr(const char* data, std::size_t size, std::string& output) {
  lead_trail::Decode<EucKrReading>(data, size, output);
}

}  // namespace quillet
