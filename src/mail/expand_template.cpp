#include "mail/expand_template.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/add_product.h"
#include "common/compare_no_case.h"
#include "mail/find_header_value.h"

namespace quillet {
namespace {

struct Placeholder {
  const char* text;  // as written in a template
  std::size_t length;
  const char* field;  // the header field it stands for
  std::size_t fieldLength;
};

constexpr int kFieldCount = TemplatePlan::kFieldCount;

static constexpr Placeholder placeholders[kFieldCount] = {
    {"!From!", 6, "From", 4},
    {"!Subject!", 9, "Subject", 7},
    {"!Date!", 6, "Date", 4},
    {"!Content-Type!", 14, "Content-Type", 12},
};

// The placeholder that the template continues with at p (tried in table order), or -1. One
// that the end of the template cuts short is no placeholder.
int PlaceholderAt(const char* p, const char* end) {
  for (int i = 0; i < kFieldCount; ++i) {
    const Placeholder& candidate = placeholders[i];
    if (static_cast<std::size_t>(end - p) >= candidate.length &&
        CompareNoCaseN(p, candidate.text, candidate.length) == 0) {
      return i;
    }
  }
  return -1;
}

// Copies size bytes to out and returns the position after them. The pieces of a template and
// the values of a mail are mostly a few bytes long: those are moved in one or two fixed-size
// loads and stores (which may overlap) rather than by a call.
char* CopyBytes(char* out, const char* from, std::size_t size) {
  if (size >= 8 && size <= 16) {
    std::uint64_t head;
    std::uint64_t tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + size - 8, 8);
    std::memcpy(out, &head, 8);
    std::memcpy(out + size - 8, &tail, 8);
  } else if (size >= 4 && size < 8) {
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + size - 4, 4);
    std::memcpy(out, &head, 4);
    std::memcpy(out + size - 4, &tail, 4);
  } else if (size < 4) {
    if (size != 0) {
      out[0] = from[0];
      out[size / 2] = from[size / 2];
      out[size - 1] = from[size - 1];
    }
  } else {
    std::memcpy(out, from, size);
  }
  return out + size;
}

}  // namespace

TemplatePlan::TemplatePlan(const char* text, std::size_t size) : text_(text) {
  if (text == nullptr) return;
  const char* const end = text + size;
  const char* p = text;
  const char* run = p;
  while (p < end) {
    const void* mark = std::memchr(p, '!', static_cast<std::size_t>(end - p));
    if (mark == nullptr) break;
    p = static_cast<const char*>(mark);
    const int field = PlaceholderAt(p, end);
    if (field < 0) {
      ++p;  // an ordinary "!"
      continue;
    }
    const std::size_t length = static_cast<std::size_t>(p - run);
    pieces_.push_back({static_cast<std::size_t>(run - text), length, field});
    textLength_ += length;
    ++uses_[field];
    p += placeholders[field].length;
    run = p;
  }
  if (run < end) {
    const std::size_t length = static_cast<std::size_t>(end - run);
    pieces_.push_back({static_cast<std::size_t>(run - text), length, kNoField});
    textLength_ += length;
  }
}

std::size_t TemplatePlan::measure(const Mail& mail, Fill& fill) const {
  std::size_t size = textLength_;
  for (int field = 0; field < kFieldCount; ++field) {
    fill.values[field] = std::string_view();
    if (uses_[field] == 0) continue;
    const Placeholder& placeholder = placeholders[field];
    FindHeaderValue(mail, placeholder.field, placeholder.fieldLength, fill.values[field]);
    size = AddProduct(size, uses_[field], fill.values[field].size());
  }
  fill.size = size;
  return size;
}

void TemplatePlan::write(const Fill& fill, std::string& result) const {
  if (fill.size == 0) return;
  // Sized once, then written through a pointer: a template of many placeholders costs no
  // growth checks per piece.
  const std::size_t start = result.size();
  result.resize(AddProduct(start, 1, fill.size));
  char* out = &result[start];
  for (const Piece& piece : pieces_) {
    out = CopyBytes(out, text_ + piece.offset, piece.length);
    if (piece.field != kNoField) {
      const std::string_view value = fill.values[piece.field];
      out = CopyBytes(out, value.data(), value.size());
    }
  }
}

void ExpandTemplate(const Mail& mail, const char* text, std::size_t size, std::string& result) {
  const TemplatePlan plan(text, size);
  TemplatePlan::Fill fill;
  plan.measure(mail, fill);
  plan.write(fill, result);
}

}  // namespace quillet
