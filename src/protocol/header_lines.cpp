#include "protocol/header_lines.h"

#include <cstring>

#include "common/byte_at.h"
#include "simd/kernels.h"

namespace quillet {
namespace {

// Calls take(lineStart, lineEnd) for every line of the section that begins at p, in order.
template <typename Take>
void ForEachLine(const char* p, const char* end, Take take) {
  while (p < end) {
    const char* const lineEnd = FindLineEnd(p, end);
    if (lineEnd == end) return;
    take(p, lineEnd);
    if (Lookahead(lineEnd, end, 2) == 0x0D && Lookahead(lineEnd, end, 3) == 0x0A) return;
    p = lineEnd + 2;
  }
}

}  // namespace

const char* FindLineEnd(const char* p, const char* end) {
  if (const auto find = simd::ActiveKernels().findLineEnd) return find(p, end);
  while (p < end) {
    const void* cr = std::memchr(p, 0x0D, static_cast<std::size_t>(end - p));
    if (cr == nullptr) return end;
    p = static_cast<const char*>(cr);
    if (ByteAt(p + 1, end) == 0x0A) return p;
    ++p;
  }
  return end;
}

void HeaderLines::clear() {
  text_ = nullptr;
  first_ = 0;
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
  ForEachLine(text + begin, end, [&](const char* lineStart, const char* lineEnd) {
    if (ends_.size() == kCountAfter) {
      std::size_t rest = 0;
      ForEachLine(lineStart, end, [&rest](const char*, const char*) { ++rest; });
      ends_.reserve(kCountAfter + rest);
    }
    ends_.push_back(static_cast<std::uint32_t>(lineEnd - text));
  });
}

}  // namespace quillet
