// The global memory blocks in which request and response texts cross the plug-in boundary.
// On Windows these are the system's own calls. Elsewhere a host makes a request block with
// malloc and frees the block it gets back with free, so the same names stand for a small layer
// over the C heap: a block handle is the pointer to its bytes.
#pragma once

#include <cstddef>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // keep std::min and std::max usable wherever this header goes
#endif
#include <windows.h>
#endif

namespace quillet {

#ifdef _WIN32
using ::HGLOBAL;
#else
using HGLOBAL = void*;
#endif

// The only flag used: a fixed block whose bytes start as zero (GMEM_ZEROINIT; GMEM_FIXED is 0).
constexpr unsigned kZeroInit = 0x0040;

// Null when the block cannot be had. POSIX: calloc, whatever the flags.
HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes);
// The block's first byte, or null. POSIX: the handle itself.
void* GlobalLock(HGLOBAL block);
// POSIX: nothing to do.
void GlobalUnlock(HGLOBAL block);
// Releases a block; a null handle is ignored. POSIX: free.
void GlobalFree(HGLOBAL block);

}  // namespace quillet
