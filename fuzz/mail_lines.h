// A parsed mail list as plain nested byte strings, so that two lists (or a list and the plain
// reading of a fuzz target) compare with ==.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillet {

using MailLines = std::vector<std::vector<std::string>>;

// Each stored line at its place in its mail; the places of lines that were not stored (those
// without ": ") hold empty strings, and none follows the last stored line.
template <class List>
MailLines LinesOf(const List& list) {
  MailLines lines(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    const auto mail = list[i];
    for (std::size_t j = 0; j < mail.size(); ++j) {
      lines[i].resize(mail.place(j));
      lines[i].emplace_back(mail[j]);
    }
  }
  return lines;
}

// What LinesOf gives for mails of these lines: every line without ": " empty, and the empty
// lines at the end of a mail gone.
inline MailLines Stored(MailLines mails) {
  for (std::vector<std::string>& lines : mails) {
    for (std::string& line : lines) {
      if (line.find(": ") == std::string::npos) line.clear();
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
  }
  return mails;
}

}  // namespace quillet
