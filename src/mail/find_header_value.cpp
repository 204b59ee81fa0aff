#include "mail/find_header_value.h"

#include <cstdint>
#include <cstring>

#include "codec/convert_support.h"
#include "common/compare_no_case.h"
#include "common/header_value_of.h"
#include "common/zero_bytes.h"

namespace quillet {
namespace {

using convert::kOnes;

std::uint64_t Load(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The word with "A".."Z" folded to "a".."z" in each byte, as FoldAsciiCase does.
std::uint64_t FoldWord(std::uint64_t x) {
  const std::uint64_t low7 = x & (kOnes * 0x7F);
  const std::uint64_t atLeastA = low7 + kOnes * (0x80 - 'A');
  const std::uint64_t beyondZ = low7 + kOnes * (0x80 - 'Z' - 1);
  const std::uint64_t upper = atLeastA & ~beyondZ & ~x & (kOnes * 0x80);
  return x | upper >> 2;
}

// A word whose first n bytes (n at most 8) in memory order are 0xFF and the rest 0x00.
std::uint64_t FirstBytes(std::size_t n) {
  static constexpr unsigned char kKeep[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  std::uint64_t mask;
  std::memcpy(&mask, kKeep + 8 - n, sizeof mask);
  return mask;
}

// 0x80 in each byte i of the word at p whose bytes i and i + 1 are ":" and " " (nine bytes read).
std::uint64_t SeparatorMarks(const char* p) {
  return ZeroBytes(Load(p) ^ (kOnes * ':')) & ZeroBytes(Load(p + 1) ^ (kOnes * ' '));
}

}  // namespace

int FindHeaderValue(const Mail& mail, const char* name, std::string_view& value) {
  if (name == nullptr) return -1;
  return FindHeaderValue(mail, name, std::strlen(name), value);
}

int FindHeaderValue(const Mail& mail, const char* name, std::size_t nameLength,
                    std::string_view& value) {
  for (std::size_t i = 0; i < mail.size(); ++i) {
    const std::string_view line = mail[i];
    const std::size_t k = MatchHeaderName(line, name, nameLength);
    if (k != std::string_view::npos) {
      value = HeaderValueAt(line, k);
      return static_cast<int>(mail.place(i));
    }
  }
  return -1;
}

HeaderNames::HeaderNames(const std::string_view* names, std::size_t count)
    : count_(count < kMost ? count : kMost) {
  for (std::size_t n = 0; n < count_; ++n) {
    sizes_[n] = names[n].size() < kLongest ? names[n].size() : kLongest;
    char bytes[16] = {};
    std::memcpy(bytes, names[n].data(), sizes_[n]);
    folded_[n][0] = FoldWord(Load(bytes));
    folded_[n][1] = FoldWord(Load(bytes + 8));
    char letters[16] = {};
    for (std::size_t i = 0; i < sizes_[n]; ++i) {
      const unsigned char c = FoldAsciiCase(static_cast<unsigned char>(bytes[i]));
      if (c >= 'a' && c <= 'z') letters[i] = 0x20;
    }
    letters_[n][0] = Load(letters);
    letters_[n][1] = Load(letters + 8);
    const unsigned char first = FoldAsciiCase(static_cast<unsigned char>(bytes[0]));
    byFirst_[first] |= 1u << n;
    if (first >= 'a' && first <= 'z') byFirst_[first - 'a' + 'A'] |= 1u << n;
  }
  for (std::size_t k = 0; k <= kLongest; ++k) {
    for (std::size_t n = 0; n < count_; ++n) {
      if (sizes_[n] >= k) atLeast_[k] |= 1u << n;
    }
  }
  for (std::size_t n = 0; n < count_; ++n) {
    const std::size_t size = sizes_[n];
    if (names[n].size() > 14 || names[n].find(':') != std::string_view::npos) continue;
    bool leadingPart = false;
    for (std::size_t m = 0; m < count_; ++m) {
      if (m != n && sizes_[m] >= size &&
          CompareNoCaseN(names[m].data(), names[n].data(), size) == 0) {
        leadingPart = true;
      }
    }
    if (leadingPart) continue;
    whole_ |= 1u << n;
    char bytes[16] = {};
    std::memcpy(bytes, &folded_[n], size);
    bytes[size] = ':';
    bytes[size + 1] = ' ';
    Whole& whole = wholes_[n];
    whole.bytes[0] = Load(bytes);
    whole.bytes[1] = Load(bytes + 8);
    whole.letters[0] = letters_[n][0];
    whole.letters[1] = letters_[n][1];
    whole.mask[0] = FirstBytes(size + 2 < 8 ? size + 2 : 8);
    whole.mask[1] = FirstBytes(size + 2 < 8 ? 0 : size + 2 - 8);
    whole.valueStart = size + 2;
  }
}

void HeaderNames::find(const Mail& mail, unsigned wanted, std::string_view* values) const {
  wanted &= (1u << count_) - 1;
  // Read once: the stores to values could otherwise change them as far as the compiler knows.
  const std::size_t lines = mail.size();
  const bool zeroFree = mail.zeroFree();
  for (std::size_t i = 0; i < lines && wanted != 0; ++i) {
    const std::string_view line = mail[i];
    if (line.size() >= 16) {
      // Most lines carry a wanted name whole ("Subject: ..."): its bytes and ": " are the line's
      // first bytes, which tells the line's name without measuring it.
      const char* const text = line.data();
      const std::uint64_t head = Load(text);
      const std::uint64_t tail = Load(text + 8);
      unsigned rest = wanted & whole_ & byFirst_[static_cast<unsigned char>(text[0])];
      while (rest != 0) {
        const unsigned n = static_cast<unsigned>(__builtin_ctz(rest));
        const Whole& whole = wholes_[n];
        const std::uint64_t differ =
            (((head | whole.letters[0]) ^ whole.bytes[0]) & whole.mask[0]) |
            (((tail | whole.letters[1]) ^ whole.bytes[1]) & whole.mask[1]);
        if (differ == 0) break;
        rest &= rest - 1;
      }
      if (rest != 0) {
        const unsigned n = static_cast<unsigned>(__builtin_ctz(rest));
        const std::size_t start = wholes_[n].valueStart;
        values[n] = zeroFree ? std::string_view(text + start, line.size() - start)
                             : HeaderValueAt(line, start - 2);
        wanted ^= rest & (0u - rest);  // bit n
        continue;
      }
    }
    wanted &= ~carried(line, wanted, zeroFree, values);
  }
}

// A line carries a name when its own name (what stands before its first ": ") is that name or a
// leading part of it, ASCII case ignored (MatchHeaderName). So the line is measured once, and
// its first 16 bytes are held against each name that may match under a mask of its name's
// length, with 0x20 set where the name holds a letter. A line of fewer than 17 bytes is
// compared byte by byte. Kept out of the loop above, which most lines never leave.
__attribute__((noinline)) unsigned HeaderNames::carried(std::string_view line, unsigned wanted,
                                                        bool zeroFree,
                                                        std::string_view* values) const {
  if (line.size() >= 17) {
    const char* const text = line.data();
    std::uint64_t marks = SeparatorMarks(text);
    std::size_t k = 0;
    if (marks == 0) {
      marks = SeparatorMarks(text + 8);
      if (marks == 0) return 0;
      k = 8;
    }
    k += convert::BytesBeforeMark(marks);
    // Only the names still wanted that are as long as the line's name at the least and,
    // unless that name is empty, begin with its first byte.
    const unsigned firsts = k == 0 ? ~0u : byFirst_[static_cast<unsigned char>(text[0])];
    unsigned rest = wanted & atLeast_[k] & firsts;
    if (rest == 0) return 0;
    const std::uint64_t headMask = FirstBytes(k < 8 ? k : 8);
    const std::uint64_t tailMask = FirstBytes(k < 8 ? 0 : k - 8);
    const std::uint64_t head = Load(text);
    const std::uint64_t tail = Load(text + 8);
    unsigned found = 0;
    do {
      const unsigned n = static_cast<unsigned>(__builtin_ctz(rest));
      rest &= rest - 1;
      // A byte of the line with 0x20 set is the name's letter in either case.
      const std::uint64_t differ = (((head | letters_[n][0]) ^ folded_[n][0]) & headMask) |
                                   (((tail | letters_[n][1]) ^ folded_[n][1]) & tailMask);
      if (differ == 0) found |= 1u << n;
    } while (rest != 0);
    if (found == 0) return 0;
    const std::string_view value =
        zeroFree ? std::string_view(text + k + 2, line.size() - k - 2) : HeaderValueAt(line, k);
    for (unsigned each = found; each != 0; each &= each - 1) values[__builtin_ctz(each)] = value;
    return found;
  }
  unsigned found = 0;
  for (std::size_t n = 0; n < count_; ++n) {
    if ((wanted >> n & 1) == 0) continue;
    char name[16] = {};
    std::memcpy(name, &folded_[n], sizes_[n]);
    const std::size_t k = MatchHeaderName(line, name, sizes_[n]);
    if (k == std::string_view::npos) continue;
    values[n] = HeaderValueAt(line, k);
    found |= 1u << n;
  }
  return found;
}

}  // namespace quillet
