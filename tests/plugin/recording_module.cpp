#include "recording_module.h"

#include "module/plugin_module.h"

namespace quillet {

ModuleRecord& Record() {
  static ModuleRecord record;
  return record;
}

PluginModule::PluginModule() : version("SAORI/1.0") {
  ++Record().constructed;
}

PluginModule::~PluginModule() {
  ++Record().destroyed;
}

bool PluginModule::load(const std::string& modulePath) {
  path = modulePath;
  Record().paths.push_back(modulePath);
  return true;
}

bool PluginModule::request(const std::string& requestText, std::string& responseText) {
  Record().requests.push_back(requestText);
  responseText = path + "|" + requestText;
  return true;
}

bool PluginModule::unload() {
  ++Record().unloaded;
  return true;
}

}  // namespace quillet
