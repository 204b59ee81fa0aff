#include "plugin/global_memory.h"

#include <cstdlib>

namespace quillet {

#ifdef _WIN32

static_assert(kZeroInit == GMEM_ZEROINIT, "the flag is passed to the system as it is");

HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes) {
  return ::GlobalAlloc(flags, bytes);
}

void* GlobalLock(HGLOBAL block) {
  return ::GlobalLock(block);
}

void GlobalUnlock(HGLOBAL block) {
  ::GlobalUnlock(block);
}

void GlobalFree(HGLOBAL block) {
  if (block != nullptr) ::GlobalFree(block);
}

#else

// Always zero-filled. calloc(0) may answer null, so a block has at least one byte.
HGLOBAL GlobalAlloc(unsigned, std::size_t bytes) {
  return std::calloc(bytes != 0 ? bytes : 1, 1);
}

void* GlobalLock(HGLOBAL block) {
  return block;
}

void GlobalUnlock(HGLOBAL) {}

void GlobalFree(HGLOBAL block) {
  std::free(block);
}

#endif

}  // namespace quillet
