// FindHeaderValue: the value of a named header field in one mail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mail/mail_list.h"

namespace quillet {

// Looks for the first line that carries the header name (MatchHeaderName). On a match sets
// value to the line's value (HeaderValueAt: a view into the mail) and returns the line's place
// in its mail; otherwise returns -1 and leaves value as it was.
int FindHeaderValue(const Mail& mail, const char* name, std::string_view& value);

// The same with the length of name given (name still ends in a NUL byte).
int FindHeaderValue(const Mail& mail, const char* name, std::size_t nameLength,
                    std::string_view& value);

// FindHeaderValue for several names at once, in one pass over a mail's lines.
class HeaderNames {
 public:
  static constexpr std::size_t kMost = 8;      // names in a set
  static constexpr std::size_t kLongest = 15;  // bytes in a name

  // names[0..count): each 1 to kLongest bytes, none of them zero; count at most kMost. The
  // names are copied.
  HeaderNames(const std::string_view* names, std::size_t count);

  // For each name i whose bit (1 << i) is set in `wanted`, sets values[i] to what
  // FindHeaderValue gives for it, or leaves values[i] as it was when no line carries it.
  void find(const Mail& mail, unsigned wanted, std::string_view* values) const;

 private:
  // The names of `wanted` that line carries, their values set; for the lines that carry no
  // name whole.
  unsigned carried(std::string_view line, unsigned wanted, bool zeroFree,
                   std::string_view* values) const;

  std::size_t count_ = 0;
  // For each size of a line's name, the names that are that long at the least (bit n for
  // name n): only those can carry it.
  unsigned atLeast_[kLongest + 1] = {};
  // For each byte, the names whose first byte it is, ASCII case ignored.
  unsigned byFirst_[256] = {};
  std::size_t sizes_[kMost] = {};
  // Each name with ASCII case folded, in two 8-byte words of memory order, zeros behind it.
  std::uint64_t folded_[kMost][2] = {};
  // 0x20 in each byte where the folded name holds "a".."z", in the same order.
  std::uint64_t letters_[kMost][2] = {};
  // The names a line can be seen to carry by its first 16 bytes alone: those that hold no ":",
  // are at most 14 bytes long and are no leading part of another name of the set (a line that
  // carries such a name whole carries no other).
  unsigned whole_ = 0;
  // Each such name as its line begins: folded as in folded_ with ": " behind it, 0x20 where it
  // holds a letter, and a mask of its bytes and those two; each in two 8-byte words.
  struct Whole {
    std::uint64_t bytes[2];
    std::uint64_t letters[2];
    std::uint64_t mask[2];
    std::size_t valueStart;  // the name's size and 2
  };
  Whole wholes_[kMost] = {};
};

}  // namespace quillet
