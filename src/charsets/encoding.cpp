#include "charsets/encoding.h"

#include <algorithm>
#include <string_view>

#include "charsets/label_table.h"
#include "common/compare_no_case.h"

namespace quillet {

// The label is lower-cased into a buffer of the longest label's size and found by binary
// search. No white space is trimmed, and a zero byte is compared like any other, so a label
// with either finds nothing.
Encoding EncodingOfLabel(const char* label, std::size_t size) {
  // The labels most mail carries are answered before the search.
  if (size == 5 && EqualNoCase(label, "utf-8", 5)) return Encoding::kUtf8;
  if (size == 11 && EqualNoCase(label, "iso-2022-jp", 11)) return Encoding::kIso2022Jp;
  if (size == 0 || size > labels::kLongest) return Encoding::kNone;
  char lower[labels::kLongest];
  for (std::size_t i = 0; i < size; ++i) {
    lower[i] = static_cast<char>(FoldAsciiCase(static_cast<unsigned char>(label[i])));
  }
  const std::string_view key(lower, size);
  const auto* const first = std::begin(labels::kLabels);
  const auto* const last = std::end(labels::kLabels);
  const auto* const found = std::lower_bound(
      first, last, key,
      [](const labels::Label& entry, std::string_view k) { return entry.name < k; });
  return (found != last && found->name == key) ? found->encoding : Encoding::kNone;
}

}  // namespace quillet
