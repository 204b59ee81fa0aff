#include "plugin/entry_points.h"

#include <string>

#include "module/plugin_module.h"
#include "plugin/block_to_string.h"
#include "plugin/string_to_block.h"
#include "protocol/saori_message.h"

namespace quillet {

namespace {

// The one module: set by load, destroyed by unload. Detaching the library leaves it alone.
PluginModule* module = nullptr;

}  // namespace

namespace {

// Makes the module with path as its folder: 1, or 0 when there is no memory for it.
int MakeModule(const std::string& path) noexcept {
  try {
    module = new PluginModule();
    module->load(path);
  } catch (...) {  // std::bad_alloc
    delete module;
    module = nullptr;
    return 0;
  }
  return 1;
}

}  // namespace

int PluginLoad(HGLOBAL block, long length) noexcept {
  if (module != nullptr) return 1;
  std::string path;
  if (!BlockToString(block, length, path)) return 0;
  return MakeModule(path);
}

#ifndef _WIN32

int PosixPluginLoad(HGLOBAL block, long length) noexcept {
  std::string path;
  if (module == nullptr && block != nullptr && length > 0) {
    // The block is released here even when its copy fails; the folder then stays empty.
    BlockToString(block, length, path);
  } else {
    GlobalFree(block);
  }
  if (module != nullptr) return 1;
  return MakeModule(path);
}

HGLOBAL PosixPluginRequest(HGLOBAL block, long* length) noexcept {
  if (block != nullptr && (length == nullptr || *length <= 0)) {
    GlobalFree(block);
    block = nullptr;
  }
  return PluginRequest(block, length);
}

#endif

HGLOBAL PluginRequest(HGLOBAL block, long* length) noexcept {
  if (length == nullptr) return nullptr;
  try {
    std::string requestText;
    std::string responseText;
    if (block != nullptr && *length > 0) {
      if (!BlockToString(block, *length, requestText)) {
        *length = 0;
        return nullptr;
      }
      if (module != nullptr) {
        module->request(requestText, responseText);
        // The request is done with: its memory goes back before the response is copied.
        std::string().swap(requestText);
      } else {
        SaoriMessage answer(nullptr);
        answer.setStatus(500);
        answer.serialize(responseText);
      }
    }
    return StringToBlock(responseText, length);
  } catch (...) {  // std::bad_alloc
    *length = 0;
    return nullptr;
  }
}

int PluginUnload() noexcept {
  PluginModule* ending = module;
  module = nullptr;
  if (ending != nullptr) {
    try {
      ending->unload();
    } catch (...) {
    }
    delete ending;
  }
  return 1;
}

}  // namespace quillet

extern "C" {

int QUILLET_CDECL load(quillet::HGLOBAL h, long len) {
  return quillet::PluginLoad(h, len);
}

quillet::HGLOBAL QUILLET_CDECL request(quillet::HGLOBAL h, long* len) {
  return quillet::PluginRequest(h, len);
}

int QUILLET_CDECL unload() {
  return quillet::PluginUnload();
}

#ifndef _WIN32

long saori_quillet_saori_load(char* path, long len) {
  return quillet::PosixPluginLoad(path, len);
}

char* saori_quillet_saori_request(long, char* text, long* len) {
  return static_cast<char*>(quillet::PosixPluginRequest(text, len));
}

int saori_quillet_saori_unload(long) {
  return quillet::PluginUnload();
}

#endif

}  // extern "C"
