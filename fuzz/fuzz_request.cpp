// Fuzz target: the whole request handler on arbitrary bytes. The input is handed to one module
// as a request; then what follows its first blank line (which that request never reads), or the
// same bytes again, as a second request to the same module; then the first request once more,
// which must be answered exactly as the first time. Every response is checked against what the
// request asks for, read with the module's own message layer:
// - it starts with "SAORI/1.0 " and ends with CR LF CR LF;
// - a command matching "GET Version" is answered "SAORI/1.0 200 OK" with no header lines, or,
//   when the request names a Charset, with one Charset line naming the encoding (one of four)
//   that EXECUTE answers in for that name;
// - any other command but one matching "EXECUTE" is answered 500 with no header lines;
// - an EXECUTE without Argument2, Argument0 or Argument1 is answered 400 with no header lines;
// - any other EXECUTE is answered 200 with exactly two header lines, Result and then Charset,
//   the latter repeating the request's Charset value ("Shift_JIS" when it has none); so a
//   UTF-8 request always answers exactly Result and Charset, and its Result is valid UTF-8;
//   no Result holds a zero byte;
// - an EXECUTE that carries Argument2 leaves in the module's mails exactly what parsing that
//   value on a fresh module gives, and every other request leaves the mails as they were.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/charset_code_of.h"
#include "common/compare_no_case.h"
#include "fuzz_check.h"
#include "mail_lines.h"
#include "module/plugin_module.h"
#include "protocol/saori_message.h"
#include "valid_utf8.h"

namespace quillet {
namespace {

const char kOk[] = "SAORI/1.0 200 OK\r\n";
const char kBadRequest[] = "SAORI/1.0 400 Bad Request\r\n\r\n";
const char kServerError[] = "SAORI/1.0 500 Internal Server Error\r\n\r\n";

// A command matches a name when it is, ignoring ASCII case, the name or a leading part of it.
// A command longer than the name never matches, not even when a zero byte inside it would end
// the comparison at the name's end ("EXECUTE", 0x00, "x" is no EXECUTE).
bool Matches(const std::string& command, const char* name) {
  return command.size() <= std::strlen(name) &&
         CompareNoCaseN(command.c_str(), name, command.size()) == 0;
}

bool StartsWith(const std::string& text, const std::string& head) {
  return text.size() >= head.size() && text.compare(0, head.size(), head) == 0;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct Expectation {
  bool replacesMails = false;
  std::string mailListText;  // the Argument2 value, when replacesMails
  int target = kCharsetSjis;
};

Expectation CheckResponse(const std::string& requestText, const std::string& response) {
  Expectation expectation;
  Require(StartsWith(response, "SAORI/1.0 "), "response starts with \"SAORI/1.0 \"");
  Require(response.size() >= 14 && EndsWith(response, "\r\n\r\n"),
          "response ends with CR LF CR LF");

  SaoriMessage request(nullptr);
  request.parse(requestText.data(), static_cast<std::uint32_t>(requestText.size()));
  std::string command;
  request.command(command);
  if (Matches(command, "GET Version")) {
    std::string charset;
    if (request.findHeader("Charset", charset, 0) < 0) {
      Require(response == "SAORI/1.0 200 OK\r\n\r\n",
              "GET Version without Charset answers 200 with no header lines");
      return expectation;
    }
    const std::string head = std::string(kOk) + "Charset: ";
    Require(StartsWith(response, head), "GET Version with Charset answers 200 and Charset");
    const std::string name = response.substr(head.size(), response.size() - head.size() - 4);
    Require(name == "ISO-2022-JP" || name == "Shift_JIS" || name == "EUC-JP" || name == "UTF-8",
            "GET Version names one of the four encodings");
    Require(CharsetCodeOf(name) == CharsetCodeOf(charset),
            "GET Version names the encoding EXECUTE answers in for the request's Charset");
    return expectation;
  }
  if (!Matches(command, "EXECUTE")) {
    Require(response == kServerError, "an unknown command answers 500 with no header lines");
    return expectation;
  }

  std::string charset = "Shift_JIS";
  std::string value;
  if (request.findHeader("Charset", value, 0) >= 0) charset = value;
  expectation.target = CharsetCodeOf(charset);
  if (request.findHeader("Argument2", value, 0) >= 0) {
    expectation.replacesMails = true;
    expectation.mailListText = value;
  }
  const bool complete = expectation.replacesMails &&
                        request.findHeader("Argument0", value, 0) >= 0 &&
                        request.findHeader("Argument1", value, 0) >= 0;
  if (!complete) {
    Require(response == kBadRequest,
            "EXECUTE without an argument answers 400 with no header lines");
    return expectation;
  }

  Require(StartsWith(response, kOk), "a complete EXECUTE answers 200");
  std::vector<std::string> lines;
  std::size_t p = std::strlen(kOk);
  for (std::size_t q = response.find("\r\n", p); q != std::string::npos;
       q = response.find("\r\n", p)) {
    lines.push_back(response.substr(p, q - p));
    p = q + 2;
  }
  Require(lines.size() == 3 && lines[2].empty(),
          "a 200 EXECUTE answers exactly two header lines and the blank line");
  Require(StartsWith(lines[0], "Result: "), "the first header line is Result");
  Require(lines[0].find('\0') == std::string::npos, "Result holds no zero byte");
  Require(StartsWith(lines[1], "Charset: "), "the second header line is Charset");
  // Header values are written up to their first zero byte.
  Require(lines[1].substr(9) == std::string(charset.c_str()),
          "Charset repeats the request's charset text");
  if (expectation.target == kCharsetUtf8) {
    Require(IsWellFormedUtf8(lines[0].substr(8)), "a UTF-8 request's Result is valid UTF-8");
  }
  return expectation;
}

void RequestAndCheck(PluginModule& module, const std::string& requestText, std::string& response) {
  const MailLines before = LinesOf(module.mails);
  module.request(requestText, response);
  const Expectation expectation = CheckResponse(requestText, response);
  if (!expectation.replacesMails) {
    Require(LinesOf(module.mails) == before,
            "a request without Argument2 leaves the mails as they were");
    return;
  }
  PluginModule fresh;
  fresh.parseMailList(expectation.mailListText.data(),
                      static_cast<std::uint32_t>(expectation.mailListText.size()),
                      expectation.target);
  Require(LinesOf(module.mails) == LinesOf(fresh.mails),
          "EXECUTE leaves the mails of its Argument2 in the module");
}

}  // namespace
}  // namespace quillet

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quillet::Require;
  const std::string whole(reinterpret_cast<const char*>(data), size);
  const std::size_t blank = whole.find("\r\n\r\n");
  const std::string second = blank == std::string::npos ? whole : whole.substr(blank + 4);

  quillet::PluginModule module;
  module.load("./");
  std::string first;
  quillet::RequestAndCheck(module, whole, first);
  std::string response;
  quillet::RequestAndCheck(module, second, response);
  quillet::RequestAndCheck(module, whole, response);
  Require(response == first, "the same request is answered the same way again");
  module.unload();
  return 0;
}
