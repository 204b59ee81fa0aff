#include "mail/mail_list.h"

#include <algorithm>

namespace quillet {
Mail MailList::operator[](std::size_t i) const {
  // Mostly every mail has a stored line, and mail i is entry i; otherwise it is looked up.
  std::size_t e = i;
  if (entries_.size() != count_) {
    const auto found =
        std::lower_bound(entries_.begin(), entries_.end(), i,
                         [](const MailEntry& entry, std::size_t n) { return entry.number < n; });
    if (found == entries_.end() || found->number != i) return Mail();
    e = static_cast<std::size_t>(found - entries_.begin());
  }
  const std::size_t firstLine = e == 0 ? 0 : entries_[e - 1].linesEnd;
  const std::size_t start = firstLine == 0 ? 0 : lines_[firstLine - 1].end;
  return Mail(text_.get(), start, lines_.data() + firstLine, entries_[e].linesEnd - firstLine,
              zeroFree_);
}

void MailList::clear() {
  text_.reset();
  size_ = 0;
  room_ = 0;
  lineStart_ = 0;
  std::vector<MailLine>().swap(lines_);
  closedLines_ = 0;
  std::vector<MailEntry>().swap(entries_);
  count_ = 0;
  openPlace_ = 0;
  zeroFree_ = false;
}

void MailList::dropOpenMail() {
  lines_.resize(closedLines_);
  size_ = closedLines_ == 0 ? 0 : lines_.back().end;
  lineStart_ = size_;
  openPlace_ = 0;
}

void MailList::grow(std::size_t size) {
  const std::size_t least = size_ + size;
  const std::size_t room = std::max(least, room_ + room_ / 2);
  std::unique_ptr<char[]> text(new char[room]);
  if (size_ != 0) std::memcpy(text.get(), text_.get(), size_);
  text_ = std::move(text);
  room_ = room;
}

}  // namespace quillet
