#include "mail/expand_template.h"

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
};

constexpr int kFieldCount = TemplatePlan::kFieldCount;

static constexpr Placeholder placeholders[kFieldCount] = {
    {"!From!", 6},
    {"!Subject!", 9},
    {"!Date!", 6},
    {"!Content-Type!", 14},
};

// The header field each placeholder stands for, in the same order.
constexpr std::string_view kFieldNames[kFieldCount] = {"From", "Subject", "Date", "Content-Type"};

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

}  // namespace

TemplatePlan::TemplatePlan(const char* text, std::size_t size) : names_(kFieldNames, kFieldCount) {
  if (text == nullptr) return;
  text_.reserve(size + kSlack);
  text_.assign(text, size);
  text_.append(kSlack, '\0');
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
    pieces_.push_back({{static_cast<std::size_t>(run - text), length}, field});
    textLength_ += length;
    ++uses_[field];
    wanted_ |= 1u << field;
    p += placeholders[field].length;
    run = p;
  }
  if (run < end) {
    const std::size_t length = static_cast<std::size_t>(end - run);
    last_ = {static_cast<std::size_t>(run - text), length};
    textLength_ += length;
  }
}

void TemplatePlan::write(const Fill& fill, std::string& result) const {
  if (fill.size == 0) return;
  const std::size_t start = result.size();
  result.resize(AddProduct(AddProduct(start, 1, fill.size), 1, kSlack));
  result.resize(static_cast<std::size_t>(write(fill, &result[start]) - result.data()));
}

void ExpandTemplate(const Mail& mail, const char* text, std::size_t size, std::string& result) {
  const TemplatePlan plan(text, size);
  TemplatePlan::Fill fill;
  plan.measure(mail, fill);
  plan.write(fill, result);
}

}  // namespace quillet
