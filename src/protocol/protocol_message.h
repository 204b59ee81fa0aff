// ProtocolMessage: one request/response message of a line-based protocol: a start line of
// words, header lines "Name: value", a blank line. Parses requests and writes responses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

class ProtocolMessage {
 public:
  // The virtual operations keep this slot order; hosts of the original interface rely on it.
  virtual ~ProtocolMessage();
  virtual bool setStatus(std::uint32_t code);
  virtual bool addHeader(const wchar_t* name, const wchar_t* value);
  virtual bool addHeader(const char* name, const char* value);
  virtual std::int32_t findHeader(const char* name, std::wstring& value, std::int32_t start);
  virtual std::int32_t findHeader(const char* name, std::string& value, std::int32_t start);
  virtual bool parse(const char* text, std::uint32_t length);
  virtual bool command(std::string& out);
  virtual bool serialize(std::string& out);

  // Empties startWords, lineVersion and headerLines; the status table and version stay.
  void clear();

  std::vector<std::string> statusTable;  // "200 OK", ...: filled by the derived constructor
  std::vector<std::string> startWords;   // request line words before the last; or the status
  std::string lineVersion;               // last word of the request line
  std::vector<std::string> headerLines;  // without their CR LF, in order
  std::string protocolVersion;           // written at the head of the response

 protected:
  ProtocolMessage() = default;
  ProtocolMessage(const ProtocolMessage&) = default;
  ProtocolMessage& operator=(const ProtocolMessage&) = default;
};

}  // namespace quillet
