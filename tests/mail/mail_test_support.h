// Helpers shared by the mail tests: inputs that end exactly where their allocation ends (so
// that ASan sees any read past the end), and mail lists as plain nested vectors.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mail/mail_list.h"

namespace quillet {
namespace testing_support {

using Lines = std::vector<std::string>;
using Mails = std::vector<Lines>;

// A heap copy of text with nothing after its last byte.
class FlushBytes {
 public:
  explicit FlushBytes(const std::string& text) : size_(text.size()), bytes_(new char[text.size()]) {
    if (size_ != 0) std::memcpy(bytes_.get(), text.data(), size_);
  }
  const char* begin() const { return bytes_.get(); }
  const char* end() const { return bytes_.get() + size_; }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_;
  std::unique_ptr<char[]> bytes_;
};

// The stored lines of a mail, each at its place; the places of lines that were not stored
// (those without ": ") hold empty strings, and none follows the last stored line.
inline Lines LinesOf(const Mail& mail) {
  Lines lines;
  for (std::size_t i = 0; i < mail.size(); ++i) {
    lines.resize(mail.place(i));
    lines.emplace_back(mail[i]);
  }
  return lines;
}

inline Mails MailsOf(const MailList& list) {
  Mails mails;
  for (std::size_t i = 0; i < list.size(); ++i) mails.push_back(LinesOf(list[i]));
  return mails;
}

// What LinesOf gives for mails of these lines: every line without ": " empty, and the empty
// lines at the end of a mail gone.
inline Mails Stored(Mails mails) {
  for (Lines& lines : mails) {
    for (std::string& line : lines) {
      if (line.find(": ") == std::string::npos) line.clear();
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
  }
  return mails;
}

inline MailList ListOf(const Mails& mails) {
  MailList list;
  for (const Lines& lines : mails) {
    for (const std::string& line : lines) {
      list.append(line.data(), line.size());
      list.endLine();
    }
    list.endMail();
  }
  return list;
}

}  // namespace testing_support
}  // namespace quillet
