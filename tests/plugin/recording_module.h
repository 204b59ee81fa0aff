// A PluginModule that records what the entry points hand it, in place of the real module, so
// that the entry-point tests see exactly which path and request texts arrive and how many
// modules are made. It answers a request with its path, "|" and the request text.
#pragma once

#include <string>
#include <vector>

namespace quillet {

struct ModuleRecord {
  int constructed = 0;
  int destroyed = 0;
  int unloaded = 0;
  std::vector<std::string> paths;     // each load's path
  std::vector<std::string> requests;  // each request's text
};

ModuleRecord& Record();

}  // namespace quillet
