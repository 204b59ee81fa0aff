#include "plugin/string_to_block.h"

#include <climits>
#include <cstring>

namespace quillet {

HGLOBAL StringToBlock(const std::string& text, long* length) {
  *length = 0;
  if (text.size() > static_cast<unsigned long>(LONG_MAX)) return nullptr;
  HGLOBAL block = GlobalAlloc(kZeroInit, text.size() + 1);
  if (block == nullptr) return nullptr;
  void* bytes = GlobalLock(block);
  if (bytes == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(bytes, text.data(), text.size());
  GlobalUnlock(block);
  *length = static_cast<long>(text.size());
  return block;
}

}  // namespace quillet
