// A parsed mail list as plain nested byte strings, so that two lists (or a list and the plain
// reading of a fuzz target) compare with ==.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillet {

using MailLines = std::vector<std::vector<std::string>>;

template <class List>
MailLines LinesOf(const List& list) {
  MailLines lines(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    const auto mail = list[i];
    for (std::size_t j = 0; j < mail.size(); ++j) lines[i].emplace_back(mail[j]);
  }
  return lines;
}

}  // namespace quillet
