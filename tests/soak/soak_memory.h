// What the soak tests count: every global memory block (the plug-in's memory layer is replaced
// by one that knows who made each block) and every byte taken with operator new.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "plugin/global_memory.h"

namespace quillet {

struct BlockCounts {
  long hostMade = 0;          // blocks the test made as the host
  long pluginMade = 0;        // blocks the plug-in made (its responses)
  long releasedByPlugin = 0;  // host blocks the plug-in released
  long releasedByHost = 0;    // blocks the test released as the host
  long foreignReleases = 0;   // releases of blocks that are not live: twice, or never made
  long ownReleases = 0;       // the plug-in released a block it had handed to the host
  long live = 0;              // blocks made and not yet released
};

const BlockCounts& Blocks();

// A block as a host makes one: size bytes (at least one), holding a copy of text at its start.
HGLOBAL HostBlock(const std::string& text, std::size_t size);
inline HGLOBAL HostBlock(const std::string& text) {
  return HostBlock(text, text.size());
}
// Releases a block as the host does with what request returns.
void HostRelease(HGLOBAL block);
// The size of a live block, or 0 when it is not live; whether the plug-in made it.
std::size_t LiveBlockSize(HGLOBAL block, bool* pluginMade = nullptr);

// Every block gets a serial number when it is made, so that a block stays known after its
// address has been handed out again. 0 for a block that is not live.
std::uint64_t SerialOf(HGLOBAL block);
bool IsLive(std::uint64_t serial);
// The serial of the block the plug-in released last.
std::uint64_t LastReleasedByPlugin();

// Bytes taken with operator new (any form but the aligned ones) and not yet given back.
std::size_t HeapBytesInUse();
// The most bytes taken with operator new at any one time since the last call (or the start).
std::size_t TakeHeapPeak();

}  // namespace quillet
