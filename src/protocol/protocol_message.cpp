#include "protocol/protocol_message.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "common/byte_at.h"
#include "common/compare_no_case.h"
#include "common/folding_space_length.h"
#include "common/header_value_of.h"

namespace quillet {

ProtocolMessage::~ProtocolMessage() = default;

void ProtocolMessage::clear() {
  startWords = std::string_view();
  std::string().swap(status);
  lineVersion = std::string_view();
  headerLines.clear();
}

bool ProtocolMessage::parse(const char* text, std::uint32_t length) {
  clear();
  if (text == nullptr) return true;
  const char* const end = text + length;
  const char* const line = SkipFoldingSpace(text, end);

  // Request line: every word before a SP is a start word; the word before CR LF is the version.
  // A line that never ends is dropped after its last SP, with no header lines after it.
  const char* const lineEnd = FindLineEnd(line, end);
  const char* lastSpace = lineEnd;
  while (lastSpace > line && lastSpace[-1] != 0x20) --lastSpace;
  // lastSpace is now just after the last SP, or at the line's start when it holds none.
  if (lastSpace > line) startWords = std::string_view(line, lastSpace - 1 - line);
  if (lineEnd == end) return true;
  lineVersion = std::string_view(lastSpace, lineEnd - lastSpace);
  headerLines.parse(text, static_cast<std::uint32_t>(lineEnd + 2 - text), length);
  return true;
}

bool ProtocolMessage::command(std::string& out) {
  // At most one of the two is set: setStatus empties the start words, and parse the status.
  out.clear();
  out.reserve(startWords.size() + status.size());
  out.append(startWords.data(), startWords.size());
  out += status;
  return true;
}

std::int32_t ProtocolMessage::findHeaderValue(const char* name, std::string_view& value,
                                              std::int32_t start) const {
  if (start < 0 || static_cast<std::size_t>(start) >= headerLines.size()) return -2;
  if (name == nullptr) return -1;
  const std::size_t nameLength = std::strlen(name);
  for (std::size_t i = static_cast<std::size_t>(start); i < headerLines.size(); ++i) {
    const std::string_view line = headerLines[i];
    const std::size_t k = MatchHeaderName(line, name, nameLength);
    if (k != std::string_view::npos) {
      value = headerLines.zeroFree(i) ? line.substr(k + 2) : HeaderValueAt(line, k);
      return static_cast<std::int32_t>(i);
    }
  }
  return -1;
}

std::int32_t ProtocolMessage::findHeader(const char* name, std::string& value, std::int32_t start) {
  std::string_view found;
  const std::int32_t index = findHeaderValue(name, found, start);
  if (index >= 0) value.assign(found.data(), found.size());
  return index;
}

std::int32_t ProtocolMessage::findHeader(const char* name, std::wstring& value,
                                         std::int32_t start) {
  std::string found;
  const std::int32_t index = findHeader(name, found, start);
  if (index >= 0) ToWide(found, value);
  return index;
}

bool ProtocolMessage::addHeader(const char* name, const char* value) {
  if (name == nullptr || value == nullptr) return false;
  const std::size_t nameLength = std::strlen(name);
  const std::size_t valueLength = std::strlen(value);
  std::string line;
  line.reserve(nameLength + 2 + valueLength);
  line.append(name, nameLength);
  line += ": ";
  line.append(value, valueLength);
  headerLines.push_back(std::move(line));
  return true;
}

bool ProtocolMessage::addHeader(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || value == nullptr) return false;
  std::wstring line(name);
  line += L": ";
  line += value;
  std::string narrow;
  ToNarrow(line, narrow);
  headerLines.push_back(std::move(narrow));
  return true;
}

bool ProtocolMessage::setStatus(std::uint32_t code) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%u", static_cast<unsigned>(code));
  startWords = std::string_view();
  status.clear();
  // A row's code is what stands before its first space; the code's decimal text must begin
  // with it (so 2001 selects "200 OK", and 20 selects nothing).
  for (const std::string& row : statusTable) {
    const std::size_t k = row.find(' ');
    if (k == std::string::npos) continue;
    if (CompareNoCaseN(row.c_str(), digits, k) == 0) {
      status = row;
      return true;
    }
  }
  return false;
}

std::size_t ProtocolMessage::textSize() const {
  std::size_t size = protocolVersion.size() + 1 + status.size() + 2 + 2;
  for (const char c : startWords) size += c != 0x20 ? 1 : 0;
  for (std::size_t i = 0; i < headerLines.size(); ++i) size += headerLines[i].size() + 2;
  return size;
}

void ProtocolMessage::appendHead(std::string& out, std::size_t to) const {
  out += protocolVersion;
  out += ' ';
  // The start words are written one after the other with nothing between them.
  for (const char c : startWords) {
    if (c != 0x20) out += c;
  }
  out += status;
  out += "\r\n";
  for (std::size_t i = 0; i < to; ++i) {
    out += headerLines[i];
    out += "\r\n";
  }
}

void ProtocolMessage::appendTail(std::string& out, std::size_t from) const {
  for (std::size_t i = from; i < headerLines.size(); ++i) {
    out += headerLines[i];
    out += "\r\n";
  }
  out += "\r\n";
}

bool ProtocolMessage::serialize(std::string& out) {
  out.clear();
  out.reserve(textSize());
  appendHead(out, headerLines.size());
  appendTail(out, headerLines.size());
  return true;
}

std::size_t ProtocolMessage::headSize(std::size_t to) const {
  std::size_t size = protocolVersion.size() + 1 + status.size() + 2;
  for (const char c : startWords) size += c != 0x20 ? 1 : 0;
  for (std::size_t i = 0; i < to; ++i) size += headerLines[i].size() + 2;
  return size;
}

void ProtocolMessage::serializeAndClear(std::string& out) {
  const std::size_t size = textSize();
  std::size_t longest = 0;
  std::string* room = nullptr;
  for (std::size_t i = 0; i < headerLines.size(); ++i) {
    std::string* line = headerLines.addedLine(i);
    if (line != nullptr && (room == nullptr || line->size() > room->size())) {
      room = line;
      longest = i;
    }
  }
  const std::size_t front = room != nullptr ? headerLines.addedFront(longest) : 0;
  if (room == nullptr || room->capacity() < size) {
    ProtocolMessage::serialize(out);
    clear();
    return;
  }

  // What stands before the longest line goes in front of it, in place: into the room left in
  // front of it when that room is its exact size, else moved in; the rest after it.
  std::string head;
  head.reserve(headSize(longest));
  appendHead(head, longest);
  std::string text = std::move(*room);
  if (front == head.size()) {
    text.replace(0, front, head);
  } else {
    text.erase(0, front);
    text.insert(0, head);
  }
  text += "\r\n";
  appendTail(text, longest + 1);
  clear();
  out.swap(text);
}

void ToNarrow(const std::wstring& text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  std::mbstate_t state{};
  char bytes[MB_LEN_MAX];
  for (const wchar_t c : text) {
    const std::size_t n = std::wcrtomb(bytes, c, &state);
    if (n == static_cast<std::size_t>(-1)) break;
    out.append(bytes, n);
  }
}

void ToWide(const std::string& text, std::wstring& out) {
  out.clear();
  out.reserve(text.size());
  std::mbstate_t state{};
  std::size_t pos = 0;
  while (pos < text.size()) {
    wchar_t c = 0;
    const std::size_t window = std::min<std::size_t>(2, text.size() - pos);
    const std::size_t n = std::mbrtowc(&c, text.data() + pos, window, &state);
    // 0: a NUL; -1: bytes that do not convert; -2: a character longer than the window.
    if (n == 0 || n > window) break;
    out.push_back(c);
    pos += n;
  }
}

}  // namespace quillet
