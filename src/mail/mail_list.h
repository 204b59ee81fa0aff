// The parsed mail header list: mails in the order they were closed, each a sequence of header
// lines with their encoded words already decoded into the requested charset.
//
// Only the lines that hold ": " are stored: a line without one has no field name and can never
// be found, so a list of many empty lines or empty mails costs next to nothing. A stored line
// keeps its place among all lines of its mail, which is what a lookup reports. All stored line
// bytes of a list live in one byte string, one after the other; a line is known by where it
// ends and by its place, a mail by its number and where its lines end, each a 32-bit value
// (a list comes from a request, whose length is told in 32 bits). Mails without a stored line
// take no room at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/zero_bytes.h"

namespace quillet {

// A stored line: where its bytes end in the list's text, and its place in its mail (0-based,
// counting every line of the mail, stored or not; a folded line counts once).
struct MailLine {
  std::uint32_t end;
  std::uint32_t place;
};

// One mail: a read-only view of its stored header lines inside a MailList. It stays valid until
// the list it came from is changed or destroyed. A default Mail has no lines.
class Mail {
 public:
  Mail() = default;

  // The number of stored lines.
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // Stored line i (0-based, below size()), without its separator.
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = i == 0 ? start_ : lines_[i - 1].end;
    return std::string_view(text_ + begin, lines_[i].end - begin);
  }
  // The place of stored line i among all lines of the mail.
  std::size_t place(std::size_t i) const { return lines_[i].place; }
  // Whether the mail's lines are known to hold no zero byte (else they may).
  bool zeroFree() const { return zeroFree_; }

 private:
  friend class MailList;
  Mail(const char* text, std::size_t start, const MailLine* lines, std::size_t count, bool zeroFree)
      : text_(text), start_(start), lines_(lines), count_(count), zeroFree_(zeroFree) {}

  const char* text_ = nullptr;
  std::size_t start_ = 0;  // offset of the first line in text_
  const MailLine* lines_ = nullptr;
  std::size_t count_ = 0;
  bool zeroFree_ = true;
};

class MailList {
 public:
  MailList() = default;

  // Closed mails only; lines and bytes after the last closed mail are not counted.
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  Mail operator[](std::size_t i) const;
  // The bytes of all stored lines of the closed mails together (once the list is built).
  std::size_t textSize() const { return size_; }

  // Forgets every mail and gives the memory back.
  void clear();
  // Room for about this many line bytes, and for the lines and mails that many bytes of a
  // header list usually hold (a stored line is seldom shorter than 64 bytes, a mail than 256),
  // so that a list of ordinary mails is stored without moving its lines.
  void reserve(std::size_t bytes) {
    makeRoom(bytes);
    lines_.reserve(bytes / 64);
    entries_.reserve(bytes / 256);
  }

  // Building, always at the end: bytes go to the open line; ending a line stores it in the open
  // mail when it holds ": "; ending a mail closes it.
  void append(const char* data, std::size_t size) {
    if (size == 0) return;
    makeRoom(size);
    std::memcpy(cursor(), data, size);
    size_ += size;
  }
  // Writing in place: the open line's next bytes go at cursor(), up to limit(); the writer
  // tells where it stopped with setCursor before the list is used again.
  char* cursor() {
    zeroFree_ = false;
    return text_.get() + size_;
  }
  char* limit() { return text_.get() + room_; }
  void setCursor(const char* at) { size_ = static_cast<std::size_t>(at - text_.get()); }
  // Room for size more bytes after the cursor (the bytes before it kept).
  void makeRoom(std::size_t size) {
    if (size > room_ - size_) grow(size);
  }
  // False, with nothing changed, when the line would end beyond what a 32-bit offset can tell
  // (a decoded list of 4 GiB): the list can then take no more lines. holdsField true tells that
  // the line is known to hold ": " (its bytes are then not searched again).
  bool endLine(bool holdsField = false) {
    char* at = text_.get() + size_;
    if (!endLineAt(at, holdsField)) return false;
    size_ = static_cast<std::size_t>(at - text_.get());
    return true;
  }
  // endLine for a writer that holds the cursor: the open line ends at at, which moves back to
  // where the line started when the line is not stored.
  bool endLineAt(char*& at, bool holdsField) {
    const auto size = static_cast<std::size_t>(at - text_.get());
    if (!holdsField && !HoldsFieldSeparator(text_.get() + lineStart_, size - lineStart_)) {
      at = text_.get() + lineStart_;
    } else {
      if (size > std::numeric_limits<std::uint32_t>::max()) return false;
      // Filled in place: a line built aside and copied in costs a stalled load per line.
      MailLine& line = lines_.emplace_back();
      line.end = static_cast<std::uint32_t>(size);
      line.place = openPlace_;
      lineStart_ = size;
    }
    ++openPlace_;
    return true;
  }
  void endMail() {
    if (lines_.size() != closedLines_) {
      closedLines_ = lines_.size();
      MailEntry& entry = entries_.emplace_back();
      entry.number = static_cast<std::uint32_t>(count_);
      entry.linesEnd = static_cast<std::uint32_t>(closedLines_);
    }
    ++count_;
    openPlace_ = 0;
  }
  // Drops the open line and the lines of the open mail: a mail that is never closed is lost.
  void dropOpenMail();

  // Whether the size bytes at line hold ":" directly followed by " ". Field names are short, so
  // the first bytes are looked at eight places at a time, which costs less than a search call.
  static bool HoldsFieldSeparator(const char* line, std::size_t size) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::size_t kQuick = 32;
    std::size_t i = 0;
    for (; i + 9 <= size; i += 8) {
      if (i == kQuick) {
        return std::string_view(line, size).find(": ", kQuick) != std::string_view::npos;
      }
      std::uint64_t here;
      std::uint64_t next;
      std::memcpy(&here, line + i, sizeof here);
      std::memcpy(&next, line + i + 1, sizeof next);
      if ((ZeroBytes(here ^ (kOnes * ':')) & ZeroBytes(next ^ (kOnes * ' '))) != 0) return true;
    }
    for (; i + 1 < size; ++i) {
      if (line[i] == ':' && line[i + 1] == ' ') return true;
    }
    return false;
  }
  // Tells the list that no byte appended since it was cleared is zero, so that lookups need
  // not look for one; appending or clearing withdraws it.
  void setZeroFree() { zeroFree_ = true; }

 private:
  // A closed mail with at least one stored line.
  struct MailEntry {
    std::uint32_t number;    // its place among all closed mails
    std::uint32_t linesEnd;  // the number of stored lines up to its end
  };

  // Makes room for size more bytes, by half the room at the least.
  void grow(std::size_t size);

  // The bytes of every stored line, back to back: the first size_ of room_, the rest
  // unwritten (the list's text is written once, never filled first).
  std::unique_ptr<char[]> text_;
  std::size_t size_ = 0;
  std::size_t room_ = 0;
  std::size_t lineStart_ = 0;       // where the open line starts in text_
  std::vector<MailLine> lines_;     // each stored line of the closed mails and the open one
  std::size_t closedLines_ = 0;     // the stored lines of the closed mails
  std::vector<MailEntry> entries_;  // the closed mails that have stored lines, in order
  std::size_t count_ = 0;           // closed mails
  std::uint32_t openPlace_ = 0;     // lines ended in the open mail so far
  bool zeroFree_ = false;           // no stored byte is zero (when known)
};

}  // namespace quillet
