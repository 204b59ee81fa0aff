#include "mail/expand_template.h"

#include <cstring>
#include <string_view>

#include "common/compare_no_case.h"
#include "mail/find_header_value.h"

namespace quillet {
namespace {

struct Placeholder {
  const char* text;  // as written in a template
  std::size_t length;
  const char* field;  // the header field it stands for
};

constexpr int kFieldCount = 4;

static constexpr Placeholder placeholders[kFieldCount] = {
    {"!From!", 6, "From"},
    {"!Subject!", 9, "Subject"},
    {"!Date!", 6, "Date"},
    {"!Content-Type!", 14, "Content-Type"},
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

// Walks the template once: onText gets each run of bytes to copy, onField the index of each
// placeholder, in template order.
template <typename OnText, typename OnField>
void WalkTemplate(const char* p, const char* end, OnText onText, OnField onField) {
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
    onText(run, static_cast<std::size_t>(p - run));
    onField(field);
    p += placeholders[field].length;
    run = p;
  }
  onText(run, static_cast<std::size_t>(end - run));
}

}  // namespace

void ExpandTemplate(const Mail& mail, const char* text, std::size_t size, std::string& result) {
  if (text == nullptr) return;
  std::string_view values[kFieldCount];
  bool lookedUp[kFieldCount] = {};
  WalkTemplate(
      text, text + size, [&](const char* run, std::size_t n) { result.append(run, n); },
      [&](int field) {
        if (!lookedUp[field]) {
          lookedUp[field] = true;
          FindHeaderValue(mail, placeholders[field].field, values[field]);
        }
        result.append(values[field].data(), values[field].size());
      });
}

std::size_t TemplateTextLength(const char* text, std::size_t size) {
  std::size_t length = 0;
  if (text == nullptr) return 0;
  WalkTemplate(
      text, text + size, [&](const char*, std::size_t n) { length += n; }, [](int) {});
  return length;
}

}  // namespace quillet
