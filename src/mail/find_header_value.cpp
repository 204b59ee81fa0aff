#include "mail/find_header_value.h"

#include <cstdint>
#include <cstring>

#include "codec/convert_support.h"
#include "common/compare_no_case.h"
#include "common/header_value_of.h"
#include "common/zero_bytes.h"

namespace quillet {
namespace {

// Where the first ": " stands among the first `reach` bytes of a line (both of its bytes
// inside them), or reach. Eight places at a time while nine bytes are in reach.
std::size_t NameLengthWithin(const char* line, std::size_t reach) {
  using convert::kOnes;
  std::size_t k = 0;
  for (; k + 9 <= reach; k += 8) {
    std::uint64_t here;
    std::uint64_t next;
    std::memcpy(&here, line + k, sizeof here);
    std::memcpy(&next, line + k + 1, sizeof next);
    const std::uint64_t marks = ZeroBytes(here ^ (kOnes * ':')) & ZeroBytes(next ^ (kOnes * ' '));
    if (marks != 0) return k + convert::BytesBeforeMark(marks);
  }
  for (; k + 1 < reach; ++k) {
    if (line[k] == ':' && line[k + 1] == ' ') return k;
  }
  return reach;
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

// A line carries a name when its own name (what stands before its first ": ") is that name or a
// leading part of it, ASCII case ignored (MatchHeaderName). So each line is measured once, and
// then only the names at least as long as its own, with the same first letter, are compared.
void FindHeaderValues(const Mail& mail, const std::string_view* names, std::size_t count,
                      unsigned wanted, std::string_view* values) {
  unsigned char firsts[kMostHeaderNames];
  std::size_t longest = 0;
  wanted &= (1u << count) - 1;
  for (std::size_t n = 0; n < count; ++n) {
    firsts[n] = FoldAsciiCase(static_cast<unsigned char>(names[n][0]));
    if ((wanted >> n & 1) != 0 && names[n].size() > longest) longest = names[n].size();
  }
  for (std::size_t i = 0; i < mail.size() && wanted != 0; ++i) {
    const std::string_view line = mail[i];
    const std::size_t reach = line.size() < longest + 2 ? line.size() : longest + 2;
    const std::size_t k = NameLengthWithin(line.data(), reach);
    if (k == reach) continue;
    const unsigned char first = FoldAsciiCase(static_cast<unsigned char>(line[0]));
    for (std::size_t n = 0; n < count; ++n) {
      if ((wanted >> n & 1) == 0 || k > names[n].size()) continue;
      if (k != 0 &&
          (first != firsts[n] || !EqualNoCase(line.data() + 1, names[n].data() + 1, k - 1))) {
        continue;
      }
      values[n] = HeaderValueAt(line, k);
      wanted &= ~(1u << n);
    }
  }
}

}  // namespace quillet
