#include "protocol/header_lines.h"

#include <cstring>

#include "common/byte_at.h"
#include "simd/kernels.h"

namespace quillet {
namespace {

// Calls take(lineEnd, zero) for every line of the section that begins at p, in order; zero
// tells whether the line holds a zero byte.
template <typename Take>
void ForEachLine(const char* p, const char* end, Take take) {
  while (p < end) {
    bool zero = false;
    const char* const lineEnd = FindLineEnd(p, end, zero);
    if (lineEnd == end) return;
    take(lineEnd, zero);
    if (Lookahead(lineEnd, end, 2) == 0x0D && Lookahead(lineEnd, end, 3) == 0x0A) return;
    p = lineEnd + 2;
  }
}

}  // namespace

const char* FindLineEnd(const char* p, const char* end) {
  bool zero = false;
  if (const auto find = simd::ActiveKernels().findLineEnd) return find(p, end, zero);
  while (p < end) {
    const void* cr = std::memchr(p, 0x0D, static_cast<std::size_t>(end - p));
    if (cr == nullptr) return end;
    p = static_cast<const char*>(cr);
    if (ByteAt(p + 1, end) == 0x0A) return p;
    ++p;
  }
  return end;
}

const char* FindLineEnd(const char* p, const char* end, bool& zero) {
  if (const auto find = simd::ActiveKernels().findLineEnd) return find(p, end, zero);
  const char* const lineEnd = FindLineEnd(p, end);
  zero = std::memchr(p, 0, static_cast<std::size_t>(lineEnd - p)) != nullptr;
  return lineEnd;
}

void HeaderLines::clear() {
  text_ = nullptr;
  first_ = 0;
  zeroFreeLines_ = 0;
  std::vector<std::uint32_t>().swap(ends_);
  std::vector<std::string>().swap(added_);
  std::vector<std::size_t>().swap(fronts_);
}

void HeaderLines::parse(const char* text, std::uint32_t begin, std::uint32_t length) {
  clear();
  text_ = text;
  first_ = begin;
  const char* const end = text + length;
  // A request holds a handful of lines. Where it holds many, the offsets are counted before
  // they are stored, so they take their exact room and are never copied to a larger one.
  constexpr std::size_t kCountAfter = 64;
  bool zeroSeen = false;
  ForEachLine(text + begin, end, [&](const char* lineEnd, bool zero) {
    if (ends_.size() == kCountAfter) {
      std::size_t rest = 0;
      ForEachLine(text + ends_.back() + 2, end, [&rest](const char*, bool) { ++rest; });
      ends_.reserve(kCountAfter + rest);
    }
    zeroSeen = zeroSeen || zero;
    if (!zeroSeen) zeroFreeLines_ = ends_.size() + 1;
    ends_.push_back(static_cast<std::uint32_t>(lineEnd - text));
  });
}

}  // namespace quillet
