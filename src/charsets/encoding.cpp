#include "charsets/encoding.h"

#include <algorithm>
#include <string_view>

#include "charsets/label_table.h"

namespace quillet {

// The label is lower-cased into a buffer of the longest label's size and found by binary
// search. No white space is trimmed, and a zero byte is compared like any other, so a label
// with either finds nothing.
Encoding EncodingOfLabel(const char* label, std::size_t size) {
  if (size == 0 || size > labels::kLongest) return Encoding::kNone;
  char lower[labels::kLongest];
  for (std::size_t i = 0; i < size; ++i) {
    const char c = label[i];
    lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
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
