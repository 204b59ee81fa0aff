#include "charsets/encoding.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "charsets/label_table.h"
#include "common/compare_no_case.h"

namespace quillet {
namespace {

// Up to eight bytes of a text as one word, in memory order; bytes past size are 0.
inline std::uint64_t Load(const char* text, std::size_t size) {
  std::uint64_t word = 0;
  std::memcpy(&word, text, size);
  return word;
}

// Bit 0x20 at the places of the letters among up to eight bytes of a lower-case label: setting
// it folds exactly a letter's two cases onto one, and every other byte is compared as it is.
constexpr std::uint64_t LetterBits(const char* lower, std::size_t size) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (lower[i] >= 'a' && lower[i] <= 'z') bits |= std::uint64_t{0x20} << (8 * i);
  }
  return bits;
}

// Whether the size bytes at label spell lower (a lower-case label of up to 16 bytes) in any
// ASCII case, two words at a time: the labels most mail carries cost a few instructions.
template <std::size_t N>
inline bool Spells(const char* label, std::size_t size, const char (&lower)[N]) {
  static_assert(N - 1 <= 16, "two words at the most");
  constexpr std::size_t kHead = N - 1 < 8 ? N - 1 : 8;
  constexpr std::size_t kTail = N - 1 - kHead;
  if (size != N - 1) return false;
  const std::uint64_t headBits = LetterBits(lower, kHead);
  const std::uint64_t tailBits = LetterBits(lower + kHead, kTail);
  return (Load(label, kHead) | headBits) == Load(lower, kHead) &&
         (Load(label + kHead, kTail) | tailBits) == Load(lower + kHead, kTail);
}

// The folded labels in an open-addressed hash table, built by the compiler: a label is found
// with one hash of its folded bytes and, most of the time, one comparison.
constexpr std::size_t kLabelCount = sizeof labels::kLabels / sizeof labels::kLabels[0];
constexpr std::size_t kSlots = 1024;  // a power of two, so that most slots stay empty
constexpr std::uint16_t kEmpty = 0xFFFF;
static_assert(kLabelCount < kSlots / 2 && kLabelCount < kEmpty, "room for every label");

// FNV-1a, which mixes the labels' common prefixes ("iso8859", "windows") apart.
constexpr std::uint32_t HashStep(std::uint32_t hash, unsigned char c) {
  return (hash ^ c) * 16777619u;
}
constexpr std::uint32_t kHashStart = 2166136261u;

constexpr std::array<std::uint16_t, kSlots> MakeSlots() {
  std::array<std::uint16_t, kSlots> slots{};
  for (auto& slot : slots) slot = kEmpty;
  for (std::size_t i = 0; i < kLabelCount; ++i) {
    std::uint32_t hash = kHashStart;
    for (const char c : labels::kLabels[i].name)
      hash = HashStep(hash, static_cast<unsigned char>(c));
    std::size_t at = hash & (kSlots - 1);
    while (slots[at] != kEmpty) at = (at + 1) & (kSlots - 1);
    slots[at] = static_cast<std::uint16_t>(i);
  }
  return slots;
}

constexpr std::array<std::uint16_t, kSlots> kSlotOf = MakeSlots();

}  // namespace

// The label is folded into a buffer of the longest folded label's size (lower case, the
// ignored bytes left out: labels of different encodings never fold alike) and hashed in the
// same pass, which stops as soon as the folded label outgrows every label. A zero byte,
// a TAB or any other byte is compared as it is.
Encoding EncodingOfLabel(const char* label, std::size_t size) {
  // The labels most mail carries are answered before the search.
  if (Spells(label, size, "utf-8")) return Encoding::kUtf8;
  if (Spells(label, size, "iso-2022-jp")) return Encoding::kIso2022Jp;
  if (Spells(label, size, "shift_jis")) return Encoding::kShiftJis;
  char folded[labels::kLongest];
  std::size_t length = 0;
  std::uint32_t hash = kHashStart;
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(label[i]);
    if (c == '-' || c == '_' || c == '.' || c == ' ') continue;
    if (length == labels::kLongest) return Encoding::kNone;
    const unsigned char f = static_cast<unsigned char>(FoldAsciiCase(c));
    folded[length++] = static_cast<char>(f);
    hash = HashStep(hash, f);
  }
  if (length == 0) return Encoding::kNone;
  const std::string_view key(folded, length);
  for (std::size_t at = hash & (kSlots - 1); kSlotOf[at] != kEmpty; at = (at + 1) & (kSlots - 1)) {
    const labels::Label& entry = labels::kLabels[kSlotOf[at]];
    if (entry.name == key) return entry.encoding;
  }
  return Encoding::kNone;
}

}  // namespace quillet
