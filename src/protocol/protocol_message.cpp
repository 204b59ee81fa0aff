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
namespace {

// The byte `ahead` places after p, or 0x00 when that is at or past end. The position is clamped
// to end before it is formed, so no pointer beyond the range is ever made.
unsigned char Lookahead(const char* p, const char* end, std::ptrdiff_t ahead) {
  return ByteAt(p + std::min(ahead, end - p), end);
}

// The first CR LF at or after p (a lone CR and a lone LF are ordinary bytes), or end when there
// is none. A CR is found by memchr, so a long line costs no more than a copy of it.
const char* FindLineEnd(const char* p, const char* end) {
  while (p < end) {
    const void* cr = std::memchr(p, 0x0D, static_cast<std::size_t>(end - p));
    if (cr == nullptr) return end;
    p = static_cast<const char*>(cr);
    if (ByteAt(p + 1, end) == 0x0A) return p;
    ++p;
  }
  return end;
}

// Whether the header line carries the header `name` (of nameLength bytes): its name is what
// stands before the first ": ", and it must agree with the first bytes of `name`, ASCII case
// ignored. The end of `name` differs from every byte of the line's name, a zero byte included,
// so a name shorter than the line's never matches; only the first nameLength + 2 bytes can hold
// a ": " that matters, and a long line without one costs no more than a short one.
bool HeaderNameMatches(const std::string& line, const char* name, std::size_t nameLength) {
  const std::size_t k = std::string_view(line).substr(0, nameLength + 2).find(": ");
  if (k == std::string_view::npos) return false;
  return CompareNoCaseN(line.c_str(), name, k) == 0;
}

}  // namespace

ProtocolMessage::~ProtocolMessage() = default;

void ProtocolMessage::clear() {
  startWords.clear();
  lineVersion.clear();
  headerLines.clear();
}

bool ProtocolMessage::parse(const char* text, std::uint32_t length) {
  clear();
  if (text == nullptr) return true;
  const char* p = text;
  const char* const end = text + length;

  // Leading white space: SP, TAB, and CR LF when a SP or TAB follows it.
  while (p < end) {
    const std::size_t n =
        FoldingSpaceLength(ByteAt(p, end), Lookahead(p, end, 1), Lookahead(p, end, 2));
    if (n == 0) break;
    p += n;
  }

  // Request line: every word before a SP is a start word; the word before CR LF is the version.
  // A line that never ends is dropped after its last SP, with no header lines after it.
  const char* s = p;
  bool lineEnded = false;
  for (; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == 0x20) {
      startWords.emplace_back(s, p);
      s = p + 1;
    } else if (c == 0x0D && ByteAt(p + 1, end) == 0x0A) {
      lineVersion.assign(s, p);
      p += 2;
      lineEnded = true;
      break;
    }
  }
  if (!lineEnded) return true;

  // Header lines, each up to its CR LF, until a CR LF that another CR LF follows directly.
  // The bytes after the last CR LF of a section that never closes are dropped.
  while (p < end) {
    const char* const lineEnd = FindLineEnd(p, end);
    if (lineEnd == end) break;
    headerLines.emplace_back(p, lineEnd);
    if (Lookahead(lineEnd, end, 2) == 0x0D && Lookahead(lineEnd, end, 3) == 0x0A) break;
    p = lineEnd + 2;
  }
  return true;
}

bool ProtocolMessage::command(std::string& out) {
  std::size_t size = 0;
  for (const std::string& word : startWords) size += word.size() + 1;
  out.clear();
  out.reserve(size);
  for (const std::string& word : startWords) {
    out += word;
    out += ' ';
  }
  if (!out.empty()) out.pop_back();
  return true;
}

std::int32_t ProtocolMessage::findHeaderValue(const char* name, std::string_view& value,
                                              std::int32_t start) const {
  if (start < 0 || static_cast<std::size_t>(start) >= headerLines.size()) return -2;
  if (name == nullptr) return -1;
  const std::size_t nameLength = std::strlen(name);
  for (std::size_t i = static_cast<std::size_t>(start); i < headerLines.size(); ++i) {
    if (HeaderNameMatches(headerLines[i], name, nameLength)) {
      HeaderValueOf(std::string_view(headerLines[i]), value);
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
  startWords.clear();
  // A row's code is what stands before its first space; the code's decimal text must begin
  // with it (so 2001 selects "200 OK", and 20 selects nothing).
  for (const std::string& row : statusTable) {
    const std::size_t k = row.find(' ');
    if (k == std::string::npos) continue;
    if (CompareNoCaseN(row.c_str(), digits, k) == 0) {
      startWords.push_back(row);
      return true;
    }
  }
  return false;
}

bool ProtocolMessage::serialize(std::string& out) {
  std::size_t size = protocolVersion.size() + 1 + 2 + 2;
  for (const std::string& word : startWords) size += word.size();
  for (const std::string& line : headerLines) size += line.size() + 2;
  out.clear();
  out.reserve(size);
  out += protocolVersion;
  out += ' ';
  for (const std::string& word : startWords) out += word;
  out += "\r\n";
  for (const std::string& line : headerLines) {
    out += line;
    out += "\r\n";
  }
  out += "\r\n";
  return true;
}

void ProtocolMessage::serializeAndClear(std::string& out) {
  std::size_t size = protocolVersion.size() + 1 + 2 + 2;
  for (const std::string& word : startWords) size += word.size();
  std::size_t longest = 0;
  for (std::size_t i = 0; i < headerLines.size(); ++i) {
    size += headerLines[i].size() + 2;
    if (headerLines[i].size() > headerLines[longest].size()) longest = i;
  }
  if (headerLines.empty() || headerLines[longest].capacity() < size) {
    ProtocolMessage::serialize(out);
    clear();
    return;
  }

  // What stands before the longest line goes in front of it, in place; the rest after it.
  std::string head;
  head.reserve(size - headerLines[longest].size());
  head += protocolVersion;
  head += ' ';
  for (const std::string& word : startWords) head += word;
  head += "\r\n";
  for (std::size_t i = 0; i < longest; ++i) {
    head += headerLines[i];
    head += "\r\n";
  }
  std::string text = std::move(headerLines[longest]);
  text.insert(0, head);
  text += "\r\n";
  for (std::size_t i = longest + 1; i < headerLines.size(); ++i) {
    text += headerLines[i];
    text += "\r\n";
  }
  text += "\r\n";
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
