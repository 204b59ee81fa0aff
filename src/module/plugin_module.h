// PluginModule: the object behind the plug-in's entry points (and the console). Turns one
// request text into one complete response text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "mail/mail_list.h"

namespace quillet {

class SaoriMessage;

class PluginModule {
 public:
  PluginModule();
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  bool load(const std::string& modulePath);
  // Handles one request; responseText is replaced by the whole response. Always true.
  bool request(const std::string& requestText, std::string& responseText);
  void dispatch(int& status, SaoriMessage& requestMessage, SaoriMessage& responseMessage);
  bool unload();

  // EXECUTE: Argument0 template, Argument1 separator, Argument2 mail header list, Charset.
  void execute(int& status, SaoriMessage& requestMessage, SaoriMessage& responseMessage);

  // Mail header list and template expansion.
  bool parseMailList(const char* text, std::uint32_t length, int target);
  std::size_t decodeEncodedWord(const char* p, const char* end, int target, std::string& out);
  int findHeaderValue(const Mail& mail, const char* name, std::string& value);
  void expandTemplate(const Mail& mail, const std::string& templateText, std::string& result);

  const char* version;  // "SAORI/1.0"
  std::string path;     // as handed to load; nothing reads it
  MailList mails;       // from the latest EXECUTE that carried Argument2
};

}  // namespace quillet
