// The global-memory layer of the entry-point tests. It stands in for plugin/global_memory.cpp
// and keeps every block in a ledger, so that a test can tell which blocks are live, how often
// blocks were made and released, and can make GlobalAlloc or GlobalLock fail.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "plugin/global_memory.h"

namespace quillet {

struct BlockLedger {
  std::map<const void*, std::size_t> live;  // each live block and its size
  int allocations = 0;
  int releases = 0;
  int strayReleases = 0;  // GlobalFree of a block that is not live: released twice, or foreign
  bool failAlloc = false;
  bool failLock = false;
};

BlockLedger& Ledger();

// A block as a host makes one, holding a copy of bytes (at least one byte long).
HGLOBAL HostBlock(const std::string& bytes);

// The bytes of a live block (its whole size); empty when the block is not live.
std::string BlockBytes(HGLOBAL block);

}  // namespace quillet
