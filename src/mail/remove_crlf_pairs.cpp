#include "mail/remove_crlf_pairs.h"

#include <cstring>

namespace quillet {

void RemoveCrLfPairs(std::string& text) {
  const void* firstCr = std::memchr(text.data(), '\r', text.size());
  if (firstCr == nullptr) return;
  RemoveCrLfPairs(text, static_cast<std::size_t>(static_cast<const char*>(firstCr) - text.data()));
}

void RemoveCrLfPairs(std::string& text, std::size_t firstCr) {
  if (firstCr >= text.size()) return;
  // The kept bytes form a stack below `kept`: an LF that meets a CR on top of it removes that
  // CR, which may bring an earlier CR to the top for the next LF.
  char* const data = &text[0];
  std::size_t kept = firstCr;
  for (std::size_t i = kept; i < text.size(); ++i) {
    const char c = data[i];
    if (c == '\n' && kept > 0 && data[kept - 1] == '\r') {
      --kept;
    } else {
      data[kept++] = c;
    }
  }
  text.resize(kept);
}

}  // namespace quillet
