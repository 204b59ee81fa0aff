// EXECUTE and the mail list, until the real ones land: every EXECUTE is answered as one that
// lacks its arguments.
#include "module/plugin_module.h"

#include "protocol/saori_message.h"

namespace quillet {

void PluginModule::execute(int& status, SaoriMessage& /*requestMessage*/,
                           SaoriMessage& responseMessage) {
  responseMessage.clear();
  status = 400;
}

bool PluginModule::parseMailList(const char* /*text*/, std::uint32_t /*length*/, int /*target*/) {
  mails.clear();
  return true;
}

std::size_t PluginModule::decodeEncodedWord(const char* /*p*/, const char* /*end*/, int /*target*/,
                                            std::string& /*out*/) {
  return 0;
}

int PluginModule::findHeaderValue(const Mail& /*mail*/, const char* /*name*/,
                                  std::string& /*value*/) {
  return -1;
}

void PluginModule::expandTemplate(const Mail& /*mail*/, const std::string& /*templateText*/,
                                  std::string& /*result*/) {}

}  // namespace quillet
