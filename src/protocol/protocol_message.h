// ProtocolMessage: one request/response message of a line-based protocol: a start line of
// words, header lines "Name: value", a blank line. Parses requests and writes responses.
//
// A parsed message keeps no copy of the request: its start words, version and header lines
// are positions in the text handed to parse, which must outlive them (until the next parse or
// clear).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/header_lines.h"

namespace quillet {

class ProtocolMessage {
 public:
  // The virtual operations must stay in this order: hosts and callers built against this class
  // layout call them by their slot in the table of virtual functions, not by name.
  virtual ~ProtocolMessage();
  virtual bool setStatus(std::uint32_t code);
  virtual bool addHeader(const wchar_t* name, const wchar_t* value);
  virtual bool addHeader(const char* name, const char* value);
  virtual std::int32_t findHeader(const char* name, std::wstring& value, std::int32_t start);
  virtual std::int32_t findHeader(const char* name, std::string& value, std::int32_t start);
  virtual bool parse(const char* text, std::uint32_t length);
  virtual bool command(std::string& out);
  virtual bool serialize(std::string& out);

  // Empties startWords, status, lineVersion and headerLines (giving their memory back); the
  // status table and version stay.
  void clear();

  // serialize and then clear, for a message that has had its say: the text is the one
  // ProtocolMessage::serialize writes, but where the longest added header line has room for
  // the whole text, the text is written in that line's memory, so a long response is not held
  // twice.
  void serializeAndClear(std::string& out);
  // The size of what the text holds in front of header line `to`: the status line and the
  // header lines before it, each with its CR LF.
  std::size_t headSize(std::size_t to) const;

  // The search of findHeader without the copy: on a match, value views the value where the
  // line stands (valid until the lines change) and the line's index is returned; otherwise
  // -1 or -2 as findHeader answers, with value unchanged.
  std::int32_t findHeaderValue(const char* name, std::string_view& value, std::int32_t start) const;

  std::vector<std::string> statusTable;  // "200 OK", ...: filled by the derived constructor
  // The request line's words before its last, as they stand: the line up to its last SP, so
  // the words with one SP between two of them (empty when the line holds no SP).
  std::string_view startWords;
  std::string status;            // the status text setStatus chose, or empty
  std::string_view lineVersion;  // last word of the request line
  HeaderLines headerLines;       // without their CR LF, in order
  std::string protocolVersion;   // written at the head of the response

 private:
  // The response text in parts, so that serialize and serializeAndClear write it alike: its
  // size, the status line with header lines [0, to), and header lines [from, size()) with the
  // blank line.
  std::size_t textSize() const;
  void appendHead(std::string& out, std::size_t to) const;
  void appendTail(std::string& out, std::size_t from) const;

 protected:
  ProtocolMessage() = default;
  ProtocolMessage(const ProtocolMessage&) = default;
  ProtocolMessage& operator=(const ProtocolMessage&) = default;
};

// The wide forms' conversions, through the C library's multibyte conversions of the current
// locale (which this code never changes). ToNarrow stops at the first wide character that does
// not convert; ToWide looks at no more than 2 bytes per character and stops at a NUL or at
// bytes that do not convert. Both replace out.
void ToNarrow(const std::wstring& text, std::string& out);
void ToWide(const std::string& text, std::wstring& out);

}  // namespace quillet
