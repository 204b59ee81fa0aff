#include "module/plugin_module.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "common/charset_code_of.h"
#include "common/compare_no_case.h"
#include "protocol/saori_message.h"

namespace quillet {
namespace {

// A command matches a name when it is, ignoring ASCII case, the name or a leading part of it:
// "GET" and the empty command match "GET Version", "EXEC" matches "EXECUTE", "EXECUTE2" does
// not. A command longer than the name never matches, even when a zero byte in it would stop
// the comparison at the name's end.
bool CommandMatches(std::string_view command, const char* name) {
  if (command.size() > std::strlen(name)) return false;
  return CompareNoCaseN(command.data(), name, command.size()) == 0;
}

}  // namespace

PluginModule::PluginModule() : version("SAORI/1.0") {}

// The mail list goes first, then the path (members are destroyed in reverse order).
PluginModule::~PluginModule() = default;

bool PluginModule::load(const std::string& modulePath) {
  path = modulePath;
  return true;
}

bool PluginModule::request(const std::string& requestText, std::string& responseText) {
  int status = 200;
  SaoriMessage requestMessage(version);
  SaoriMessage responseMessage(version);

  // The parser takes a 32-bit length; a longer text is read up to what that length can say
  // rather than wrapping around to a short prefix.
  const std::size_t length =
      std::min<std::size_t>(requestText.size(), std::numeric_limits<std::uint32_t>::max());
  requestMessage.parse(requestText.data(), static_cast<std::uint32_t>(length));
  dispatch(status, requestMessage, responseMessage);
  responseMessage.setStatus(static_cast<std::uint32_t>(status));
  // The message goes right after: its lines may lend their memory to the response.
  responseMessage.serializeAndClear(responseText);
  return true;
}

void PluginModule::dispatch(int& status, SaoriMessage& requestMessage,
                            SaoriMessage& responseMessage) {
  // The command as command() gives it (a message holds start words or a status, never both),
  // read where it stands: a request line of many megabytes is not copied once more.
  const std::string_view name = requestMessage.status.empty()
                                    ? requestMessage.startWords
                                    : std::string_view(requestMessage.status);
  // "GET Version" is tried first, so the empty command is answered like it.
  if (CommandMatches(name, "GET Version")) {
    // A host that names a Charset learns which encoding EXECUTE will answer in for that name.
    std::string charset;
    if (requestMessage.findHeader("Charset", charset, 0) >= 0) {
      responseMessage.addHeader("Charset", CanonicalCharsetName(CharsetCodeOf(charset)));
    }
    return;
  }
  if (CommandMatches(name, "EXECUTE")) {
    execute(status, requestMessage, responseMessage);
    return;
  }
  status = 500;
}

bool PluginModule::unload() {
  return true;
}

}  // namespace quillet
