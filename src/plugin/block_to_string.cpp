#include "plugin/block_to_string.h"

namespace quillet {

bool BlockToString(HGLOBAL block, long length, std::string& text) {
  if (block == nullptr || length <= 0) return false;
  const char* bytes = static_cast<const char*>(GlobalLock(block));
  if (bytes == nullptr) return false;
  bool copied = true;
  try {
    text.append(bytes, static_cast<std::size_t>(length));
  } catch (...) {  // std::bad_alloc, std::length_error
    copied = false;
  }
  GlobalUnlock(block);
  GlobalFree(block);
  return copied;
}

}  // namespace quillet
