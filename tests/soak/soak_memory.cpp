// The global memory layer of the soak tests, in place of plugin/global_memory.cpp, and a
// replacement of operator new and delete that counts the bytes in use.
#include "soak_memory.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace quillet {
namespace {

struct Block {
  void* bytes;
  std::size_t size;
  bool pluginMade;
  std::uint64_t serial;
};

struct Ledger {
  Ledger() { live.reserve(64); }  // only a handful of blocks are ever live at once
  std::vector<Block> live;
  BlockCounts counts;
  std::uint64_t lastSerial = 0;
  std::uint64_t lastReleasedByPlugin = 0;
  bool hostSide = false;  // set while the test itself makes or releases a block
};

Ledger& TheLedger() {
  static Ledger ledger;
  return ledger;
}

std::size_t heapBytesInUse = 0;
std::size_t heapPeak = 0;

// The size of an allocation is kept in front of it, one max_align_t away so that the bytes
// handed out stay aligned.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* CountedNew(std::size_t size) {
  void* raw = std::malloc(size + kHeader);
  if (raw == nullptr) return nullptr;
  std::memcpy(raw, &size, sizeof size);
  heapBytesInUse += size;
  if (heapBytesInUse > heapPeak) heapPeak = heapBytesInUse;
  return static_cast<char*>(raw) + kHeader;
}

void CountedDelete(void* p) {
  if (p == nullptr) return;
  void* raw = static_cast<char*>(p) - kHeader;
  std::size_t size;
  std::memcpy(&size, raw, sizeof size);
  heapBytesInUse -= size;
  std::free(raw);
}

}  // namespace

const BlockCounts& Blocks() {
  return TheLedger().counts;
}

HGLOBAL GlobalAlloc(unsigned, std::size_t bytes) {
  Ledger& ledger = TheLedger();
  void* block = std::calloc(bytes != 0 ? bytes : 1, 1);
  if (block == nullptr) return nullptr;
  ledger.live.push_back(Block{block, bytes, !ledger.hostSide, ++ledger.lastSerial});
  ++(ledger.hostSide ? ledger.counts.hostMade : ledger.counts.pluginMade);
  ++ledger.counts.live;
  return block;
}

void* GlobalLock(HGLOBAL block) {
  for (const Block& b : TheLedger().live) {
    if (b.bytes == block) return block;
  }
  return nullptr;
}

void GlobalUnlock(HGLOBAL) {}

void GlobalFree(HGLOBAL block) {
  Ledger& ledger = TheLedger();
  if (block == nullptr) return;
  for (std::size_t i = 0; i < ledger.live.size(); ++i) {
    if (ledger.live[i].bytes != block) continue;
    if (ledger.hostSide) {
      ++ledger.counts.releasedByHost;
    } else if (ledger.live[i].pluginMade) {
      ++ledger.counts.ownReleases;
    } else {
      ++ledger.counts.releasedByPlugin;
      ledger.lastReleasedByPlugin = ledger.live[i].serial;
    }
    ledger.live[i] = ledger.live.back();
    ledger.live.pop_back();
    --ledger.counts.live;
    std::free(block);
    return;
  }
  ++ledger.counts.foreignReleases;
}

HGLOBAL HostBlock(const std::string& text, std::size_t size) {
  Ledger& ledger = TheLedger();
  ledger.hostSide = true;
  HGLOBAL block = GlobalAlloc(0, size > text.size() ? size : text.size());
  ledger.hostSide = false;
  if (block != nullptr && !text.empty()) std::memcpy(block, text.data(), text.size());
  return block;
}

void HostRelease(HGLOBAL block) {
  Ledger& ledger = TheLedger();
  ledger.hostSide = true;
  GlobalFree(block);
  ledger.hostSide = false;
}

std::size_t LiveBlockSize(HGLOBAL block, bool* pluginMade) {
  for (const Block& b : TheLedger().live) {
    if (b.bytes != block) continue;
    if (pluginMade != nullptr) *pluginMade = b.pluginMade;
    return b.size;
  }
  return 0;
}

std::uint64_t SerialOf(HGLOBAL block) {
  for (const Block& b : TheLedger().live) {
    if (b.bytes == block) return b.serial;
  }
  return 0;
}

bool IsLive(std::uint64_t serial) {
  for (const Block& b : TheLedger().live) {
    if (b.serial == serial) return true;
  }
  return false;
}

std::uint64_t LastReleasedByPlugin() {
  return TheLedger().lastReleasedByPlugin;
}

std::size_t HeapBytesInUse() {
  return heapBytesInUse;
}

std::size_t TakeHeapPeak() {
  const std::size_t peak = heapPeak;
  heapPeak = heapBytesInUse;
  return peak;
}

}  // namespace quillet

// Every allocation of the program goes through the counter, the plug-in's included.
void* operator new(std::size_t size) {
  void* p = quillet::CountedNew(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return quillet::CountedNew(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return quillet::CountedNew(size);
}
void operator delete(void* p) noexcept {
  quillet::CountedDelete(p);
}
void operator delete[](void* p) noexcept {
  quillet::CountedDelete(p);
}
void operator delete(void* p, std::size_t) noexcept {
  quillet::CountedDelete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  quillet::CountedDelete(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  quillet::CountedDelete(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  quillet::CountedDelete(p);
}
