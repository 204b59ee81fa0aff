#include "charsets/single_byte.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "charsets/single_byte_tables.h"
#include "codec/decode_loop.h"

namespace quillet {
namespace {

// The table's rows follow the enumerators from IBM866 to x-mac-cyrillic.
constexpr int kFirst = static_cast<int>(Encoding::kIbm866);
static_assert(static_cast<int>(Encoding::kXMacCyrillic) - kFirst + 1 == single_byte::kEncodings,
              "one table row per single-byte encoding");

// The UTF-8 form of a byte: its bytes, written four at a time, and how many of them count.
struct Utf8Form {
  unsigned char bytes[3];
  unsigned char length;
};

constexpr Utf8Form FormOf(std::uint32_t u) {
  if (u < 0x80) return {{static_cast<unsigned char>(u), 0, 0}, 1};
  if (u < 0x800) {
    return {{static_cast<unsigned char>(0xC0 | (u >> 6)),
             static_cast<unsigned char>(0x80 | (u & 0x3F)), 0},
            2};
  }
  return {{static_cast<unsigned char>(0xE0 | (u >> 12)),
           static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F)),
           static_cast<unsigned char>(0x80 | (u & 0x3F))},
          3};
}

// Row per encoding, x-user-defined last: the form of every byte, so that a byte costs one
// lookup and one store, with no test of how long its character is.
constexpr int kUserDefined = single_byte::kEncodings;
using FormRows = std::array<std::array<Utf8Form, 256>, single_byte::kEncodings + 1>;

constexpr FormRows MakeForms() {
  FormRows rows{};
  for (int e = 0; e <= kUserDefined; ++e) {
    for (unsigned b = 0; b < 0x80; ++b) rows[e][b] = FormOf(b);
    for (unsigned b = 0x80; b < 0x100; ++b) {
      rows[e][b] =
          FormOf(e == kUserDefined ? 0xF780 + (b - 0x80) : single_byte::kHigh[e][b - 0x80]);
    }
  }
  return rows;
}

constexpr FormRows kForms = MakeForms();

// ASCII runs go through the loop's vector copy, every other byte through the table.
struct Decoder : codec::Stateless {
  // A byte of 0x80 and up makes at most three bytes out (a BMP code point); the fourth byte
  // each store writes past them falls in the room of the next byte or the loop's slack.
  static constexpr std::size_t kPerByte = 3;
  static constexpr bool kAsciiRuns = true;
  const Utf8Form* forms;

  const unsigned char* Step(const unsigned char* p, const unsigned char* limit,
                            const unsigned char*, unsigned char*& o) const {
    // A lone ASCII byte between letters (the space between words) is taken here too: a run
    // of two or more goes back to the loop's copy.
    // Locals, as a store through o could otherwise be to the table's pointer or the cursor.
    const Utf8Form* const table = forms;
    unsigned char* out = o;
    do {
      const Utf8Form& form = table[*p];
      const unsigned length = form.length;
      std::memcpy(out, &form, sizeof form);
      out += length;
      ++p;
    } while (p < limit && (*p >= 0x80 || (limit - p >= 2 && p[1] >= 0x80)));
    o = out;
    return p;
  }
};

void Decode(const char* data, std::size_t size, int row, std::string& output) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  Decoder decoder{{}, kForms[row].data()};
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
  Decode(data, size, static_cast<int>(encoding) - kFirst, output);
}

void DecodeXUserDefined(const char* data, std::size_t size, std::string& output) {
  Decode(data, size, kUserDefined, output);
}

}  // namespace quillet
