#include "counting_global_memory.h"

#include <cstdlib>
#include <cstring>

namespace quillet {

BlockLedger& Ledger() {
  static BlockLedger ledger;
  return ledger;
}

HGLOBAL GlobalAlloc(unsigned, std::size_t bytes) {
  BlockLedger& ledger = Ledger();
  if (ledger.failAlloc) return nullptr;
  void* block = std::calloc(bytes != 0 ? bytes : 1, 1);
  if (block == nullptr) return nullptr;
  ledger.live[block] = bytes;
  ++ledger.allocations;
  return block;
}

void* GlobalLock(HGLOBAL block) {
  const BlockLedger& ledger = Ledger();
  if (ledger.failLock || ledger.live.count(block) == 0) return nullptr;
  return block;
}

void GlobalUnlock(HGLOBAL) {}

void GlobalFree(HGLOBAL block) {
  BlockLedger& ledger = Ledger();
  if (block == nullptr) return;
  if (ledger.live.erase(block) == 0) {
    ++ledger.strayReleases;
    return;
  }
  std::free(block);
  ++ledger.releases;
}

HGLOBAL HostBlock(const std::string& bytes) {
  HGLOBAL block = GlobalAlloc(kZeroInit, bytes.size());
  if (block != nullptr) std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

std::string BlockBytes(HGLOBAL block) {
  auto found = Ledger().live.find(block);
  if (found == Ledger().live.end()) return std::string();
  return std::string(static_cast<const char*>(block), found->second);
}

}  // namespace quillet
