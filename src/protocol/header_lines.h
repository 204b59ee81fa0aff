// HeaderLines: the header lines of a message, in order, each without its CR LF.
//
// The lines a message parsed stay where they stand in the request text: the lines of a header
// section follow each other with one CR LF between two of them, so one 32-bit end offset per
// line knows them all, and a request of many short lines costs no copy of its bytes. Lines
// added afterwards (a response's) are strings of their own, behind the parsed ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The first CR LF at or after p (a lone CR and a lone LF are ordinary bytes), or end when there
// is none. CR LF pairs are found a vector block at a time (or each CR by memchr), so a long line
// costs no more than a copy of it.
const char* FindLineEnd(const char* p, const char* end);
// The same, and sets zero to whether a byte before the CR LF (or end) is 0x00.
const char* FindLineEnd(const char* p, const char* end, bool& zero);

class HeaderLines {
 public:
  std::size_t size() const { return ends_.size() + added_.size(); }
  bool empty() const { return ends_.empty() && added_.empty(); }
  // Line i (below size()). A parsed line views the parsed text, which must still be there.
  std::string_view operator[](std::size_t i) const {
    if (i >= ends_.size()) {
      const std::size_t j = i - ends_.size();
      return std::string_view(added_[j]).substr(fronts_[j]);
    }
    const std::uint32_t begin = i == 0 ? first_ : ends_[i - 1] + 2;
    return std::string_view(text_ + begin, ends_[i] - begin);
  }

  // Adds a line after all others. The first `front` bytes of the string (at most its size) are
  // room, not part of the line: what is written in front of the line may go there in place.
  void push_back(std::string line, std::size_t front = 0) {
    added_.push_back(std::move(line));
    fronts_.push_back(front < added_.back().size() ? front : added_.back().size());
  }
  // The string of line i when the line was added rather than parsed, so that its memory can be
  // used for something else; null for a parsed line. Its first addedFront(i) bytes are room.
  std::string* addedLine(std::size_t i) {
    return i >= ends_.size() ? &added_[i - ends_.size()] : nullptr;
  }
  std::size_t addedFront(std::size_t i) const {
    return i >= ends_.size() ? fronts_[i - ends_.size()] : 0;
  }
  // Whether line i is known to hold no zero byte (else it may hold one).
  bool zeroFree(std::size_t i) const { return i < zeroFreeLines_; }

  // Forgets every line and gives the memory back.
  void clear();
  // Replaces the lines with those of the header section that begins at offset `begin` of the
  // text of `length` bytes: each line up to its CR LF (a lone CR and a lone LF are ordinary
  // bytes), until a CR LF that another CR LF follows directly. The bytes after the last CR LF
  // of a section that never closes are dropped.
  void parse(const char* text, std::uint32_t begin, std::uint32_t length);

 private:
  const char* text_ = nullptr;       // the parsed text
  std::uint32_t first_ = 0;          // offset in text_ of the first parsed line
  std::vector<std::uint32_t> ends_;  // end offset in text_ of each parsed line
  // The parsed lines before the first that holds a zero byte: the scan for line ends sees every
  // byte, so it tells, and a long value is not searched again.
  std::size_t zeroFreeLines_ = 0;
  std::vector<std::string> added_;   // the lines added after the parsed ones
  std::vector<std::size_t> fronts_;  // the room in front of each added line
};

}  // namespace quillet
