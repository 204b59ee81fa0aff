#include "mail/mail_list.h"

namespace quillet {

Mail MailList::operator[](std::size_t i) const {
  const std::size_t firstLine = i == 0 ? 0 : mailEnds_[i - 1];
  const std::size_t start = firstLine == 0 ? 0 : lineEnds_[firstLine - 1];
  return Mail(text_.data(), start, lineEnds_.data() + firstLine, mailEnds_[i] - firstLine);
}

void MailList::clear() {
  std::string().swap(text_);
  std::vector<std::size_t>().swap(lineEnds_);
  std::vector<std::size_t>().swap(mailEnds_);
}

void MailList::dropOpenMail() {
  const std::size_t lines = mailEnds_.empty() ? 0 : mailEnds_.back();
  lineEnds_.resize(lines);
  text_.resize(lines == 0 ? 0 : lineEnds_.back());
}

}  // namespace quillet
