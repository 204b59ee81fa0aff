#include "jtext/base64.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "simd/kernels.h"

namespace quillet {
namespace {

// The alphabet of RFC 2045. A character's value is its index here.
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Marks in the value table: a byte with no value (white space, line breaks, other
// punctuation, 0x80 and up) is skipped and does not count toward a group; "=" counts, with the
// value 0, and ends what its group yields.
constexpr std::uint8_t kSkip = 0x80;
constexpr std::uint8_t kPad = 0x40;

constexpr std::array<std::uint8_t, 256> MakeValueTable() {
  std::array<std::uint8_t, 256> table{};
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = kSkip;
  for (std::uint8_t v = 0; v < 64; ++v) table[static_cast<unsigned char>(kAlphabet[v])] = v;
  table[static_cast<unsigned char>('=')] = kPad;
  return table;
}

// For the fast path: four tables, one per place in a group, whose entries hold a
// character's value already shifted into the group's three bytes and laid out in memory order
// (b0 b1 b2, then a fourth byte that is 0x80 for a byte the fast path leaves alone: one with
// no value, and "="). A group is then four lookups ORed together, and two
// groups go out as one 8-byte store.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndian = true;
#else
constexpr bool kBigEndian = false;
#endif

constexpr std::uint32_t InMemoryOrder(std::uint32_t bits) {  // bits 0..23 = b0 b1 b2
  return kBigEndian ? bits << 8 : ((bits >> 16) & 0xFF) | (bits & 0xFF00) | ((bits & 0xFF) << 16);
}

constexpr std::uint32_t kSlowMark = kBigEndian ? 0x80u : 0x80000000u;

using PlaceTables = std::array<std::array<std::uint32_t, 256>, 4>;

struct Tables {
  std::array<std::uint8_t, 256> value;
  PlaceTables placed;
};

constexpr Tables MakeTables() {
  Tables tables{MakeValueTable(), {}};
  for (int place = 0; place < 4; ++place) {
    for (std::size_t c = 0; c < 256; ++c) {
      const std::uint32_t v = tables.value[c];
      tables.placed[place][c] =
          (v & (kSkip | kPad)) ? kSlowMark : InMemoryOrder(v << (18 - 6 * place));
    }
  }
  return tables;
}

constexpr Tables kTables = MakeTables();

inline std::uint32_t PlacedGroup(const PlaceTables& placed, const unsigned char* p) {
  return placed[0][p[0]] | placed[1][p[1]] | placed[2][p[2]] | placed[3][p[3]];
}

// Six bytes of two placed groups, in memory order at the start of a word.
inline std::uint64_t TwoGroups(std::uint32_t first, std::uint32_t second) {
  return kBigEndian ? std::uint64_t{first} << 32 | std::uint64_t{second} << 8
                    : std::uint64_t{first} | std::uint64_t{second} << 24;
}

// The whole bytes that the first `carried` characters of a group carry (fewer than four at the
// end of the payload or before a "="): none for one character, one for two, two for three,
// three for four. A 0x00 is a byte like any other (UTF-16 text is full of them).
inline unsigned char* PutCarried(std::uint32_t bits, int carried, unsigned char* out) {
  out[0] = static_cast<unsigned char>(bits >> 16);
  out[1] = static_cast<unsigned char>(bits >> 8);
  out[2] = static_cast<unsigned char>(bits);
  return out + carried * 3 / 4;
}

// Writes into [base, base + Base64Room(size)) and returns the end of what it wrote.
__attribute__((noinline)) unsigned char* Decode(const unsigned char* p, std::size_t size,
                                                unsigned char* const base) {
  constexpr const Tables& tables = kTables;
  const unsigned char* const end = p + size;
  // (The 8-byte store of two groups stays inside the room: at least two more groups' worth of
  // input follow it.)
  unsigned char* const roomEnd = base + Base64Room(size);
  unsigned char* out = base;

  std::uint32_t bits = 0;  // values gathered for the group being built, 6 bits each
  int count = 0;           // how many values it holds so far
  int carried = 4;         // how many of them come before its first "="
  while (p < end) {
    if (count == 0) {
      // Whole groups of alphabet characters, a vector block at a time where the processor can
      // (fewer than 24 characters decode as fast here).
      const auto run = simd::ActiveKernels().decodeBase64Run;
      if (run != nullptr && end - p >= 24) {
        const std::size_t taken =
            run(p, static_cast<std::size_t>(end - p), out, static_cast<std::size_t>(roomEnd - out));
        p += taken;
        out += taken / 4 * 3;
      }
      // Whole groups of four plain characters, the usual case, two groups at a time, stored
      // at a fixed stride. A group with a marked byte in reach goes on its own.
      for (;;) {
        while (end - p >= 8) {
          const std::uint32_t first = PlacedGroup(tables.placed, p);
          const std::uint32_t second = PlacedGroup(tables.placed, p + 4);
          if ((first | second) & kSlowMark) break;
          const std::uint64_t six = TwoGroups(first, second);
          std::memcpy(out, &six, sizeof six);
          out += 6;
          p += 8;
        }
        if (end - p < 4) break;
        const std::uint32_t v0 = tables.value[p[0]];
        const std::uint32_t v1 = tables.value[p[1]];
        const std::uint32_t v2 = tables.value[p[2]];
        const std::uint32_t v3 = tables.value[p[3]];
        if ((v0 | v1 | v2 | v3) & (kSkip | kPad)) {
          // A word mostly ends in a padded group, "xy==" or "xyz=": taken whole here.
          const bool padded = end - p == 4 && p[3] == '=' && ((v0 | v1) & (kSkip | kPad)) == 0;
          if (padded && p[2] == '=') {
            out = PutCarried(v0 << 18 | v1 << 12, 2, out);
            p = end;
          } else if (padded && (v2 & (kSkip | kPad)) == 0) {
            out = PutCarried(v0 << 18 | v1 << 12 | v2 << 6, 3, out);
            p = end;
          }
          break;
        }
        const std::uint32_t group = v0 << 18 | v1 << 12 | v2 << 6 | v3;
        out = PutCarried(group, 4, out);
        p += 4;
      }
      if (p == end) break;
    }
    // One character at a time around skipped bytes, "=" and the end.
    const std::uint32_t v = tables.value[*p++];
    if (v & kSkip) continue;
    if ((v & kPad) && carried == 4) carried = count;
    bits = bits << 6 | (v & 0x3F);
    if (++count == 4) {
      out = PutCarried(bits, carried, out);
      bits = 0;
      count = 0;
      carried = 4;
    }
  }
  if (count > 0) {
    const std::uint32_t padded = bits << 6 * (4 - count);
    const int whole = count < carried ? count : carried;
    out = PutCarried(padded, whole, out);
  }
  return out;
}

// A word's text is mostly whole groups of alphabet characters, the last one padded (a short one
// the vector kernel takes whole before this): the groups before the last go to the vector
// kernel in one call (a short word's are read here, group by group, as no block fits them) and
// the last is read here. The scalar loop takes over only where the kernel stops early or a
// group is of another shape.
unsigned char* DecodeWord(const unsigned char* p, std::size_t size, unsigned char* const out) {
  constexpr const Tables& tables = kTables;
  if (size % 4 != 0 || size == 0) return Decode(p, size, out);
  const std::size_t body = size - 4;
  std::size_t taken = 0;
  if (size < 20) {
    // A short word's groups before the last: one placed group each, stored as four bytes (the
    // fourth is the next group's first, or the last group's).
    for (; taken < body; taken += 4) {
      const std::uint32_t group = PlacedGroup(tables.placed, p + taken);
      if (group & kSlowMark) break;
      std::memcpy(out + taken / 4 * 3, &group, sizeof group);
    }
  } else {
    const auto run = simd::ActiveKernels().decodeBase64Run;
    if (run == nullptr) return Decode(p, size, out);
    taken = run(p, body, out, Base64Room(size));
  }
  if (taken != body) return Decode(p + taken, size - taken, out + taken / 4 * 3);
  const unsigned char* const last = p + body;
  unsigned char* const o = out + body / 4 * 3;
  const std::uint32_t v0 = tables.value[last[0]];
  const std::uint32_t v1 = tables.value[last[1]];
  const std::uint32_t v2 = tables.value[last[2]];
  const std::uint32_t v3 = tables.value[last[3]];
  if (((v0 | v1 | v2 | v3) & (kSkip | kPad)) == 0) {
    return PutCarried(v0 << 18 | v1 << 12 | v2 << 6 | v3, 4, o);
  }
  if (((v0 | v1) & (kSkip | kPad)) == 0 && last[3] == '=') {
    if (last[2] == '=') return PutCarried(v0 << 18 | v1 << 12, 2, o);
    if ((v2 & (kSkip | kPad)) == 0) return PutCarried(v0 << 18 | v1 << 12 | v2 << 6, 3, o);
  }
  return Decode(last, 4, o);
}

}  // namespace

std::size_t DecodeMailBase64Text(const char* data, std::size_t size, unsigned char* out) {
  if (size == 0) return 0;
  return static_cast<std::size_t>(
      DecodeWord(reinterpret_cast<const unsigned char*>(data), size, out) - out);
}

int DecodeMailBase64(const char* data, std::size_t size, std::string& output) {
  if (size == 0) return 0;
  const std::size_t start = output.size();
  output.resize(start + Base64Room(size));
  auto* const base = reinterpret_cast<unsigned char*>(&output[0]) + start;
  output.resize(start + DecodeMailBase64(data, size, base));
  return 0;
}

}  // namespace quillet
