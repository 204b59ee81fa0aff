// The parsed mail header list: mails in the order they were closed, each a sequence of header
// lines with their encoded words already decoded into the requested charset.
//
// All line bytes of a list live in one byte string, one after the other; a line is known by
// where it ends and a mail by how many lines stand before its end. So a list of many small
// mails costs two offsets per line and one per mail, not an allocation per line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One mail: a read-only view of its header lines inside a MailList. It stays valid until the
// list it came from is changed or destroyed. A default Mail has no lines.
class Mail {
 public:
  Mail() = default;

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // Header line i (0-based, below size()), without its separator.
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = i == 0 ? start_ : ends_[i - 1];
    return std::string_view(text_ + begin, ends_[i] - begin);
  }

 private:
  friend class MailList;
  Mail(const char* text, std::size_t start, const std::size_t* ends, std::size_t count)
      : text_(text), start_(start), ends_(ends), count_(count) {}

  const char* text_ = nullptr;
  std::size_t start_ = 0;              // offset of the first line in text_
  const std::size_t* ends_ = nullptr;  // end offset of each line
  std::size_t count_ = 0;
};

class MailList {
 public:
  MailList() = default;

  // Closed mails only; lines and bytes after the last closed mail are not counted.
  std::size_t size() const { return mailEnds_.size(); }
  bool empty() const { return mailEnds_.empty(); }
  Mail operator[](std::size_t i) const;
  // The bytes of all lines of the closed mails together (once the list is built).
  std::size_t textSize() const { return text_.size(); }

  // Forgets every mail and gives the memory back.
  void clear();
  // Room for about this many line bytes.
  void reserve(std::size_t bytes) { text_.reserve(bytes); }

  // Building, always at the end: bytes go to the open line; ending a line adds it to the open
  // mail; ending a mail closes it.
  void append(const char* data, std::size_t size) {
    if (size == 1) {
      text_.push_back(*data);  // no call for the byte between two encoded words
    } else {
      text_.append(data, size);
    }
  }
  // The string whose tail is the open line, for routines that append their output to a byte
  // string. Only appending to it is allowed.
  std::string& lineOutput() { return text_; }
  void endLine() { lineEnds_.push_back(text_.size()); }
  void endMail() { mailEnds_.push_back(lineEnds_.size()); }
  // Drops the open line and the lines of the open mail: a mail that is never closed is lost.
  void dropOpenMail();

 private:
  std::string text_;                   // the bytes of every line, back to back
  std::vector<std::size_t> lineEnds_;  // end offset in text_ of each ended line
  std::vector<std::size_t> mailEnds_;  // number of lines up to the end of each closed mail
};

}  // namespace quillet
