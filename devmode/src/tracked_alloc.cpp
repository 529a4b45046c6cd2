#include "devmode/tracked_alloc.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "devmode/trace.h"

namespace devmode {
namespace {

constexpr const char* kPrefix = "UI: ";
// The block starts this far into the raw allocation so that the payload after its 4-byte head
// is 16-byte aligned.
constexpr size_t kLead = 12;

uint32_t ReadSize(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// The size of every live block by its payload address. The sizes stored in a block are what an
// overrun destroys, so they are checked against this copy and never used to find the other one.
// A plain static: the library that holds it may be unloaded, and a table left on the heap would
// then be lost memory. Every block is freed before that (the PDEV's end, the document's end).
struct LiveBlocks {
  std::mutex lock;
  std::unordered_map<const void*, uint32_t> sizes;  // n + 8
};

LiveBlocks& Live() {
  static LiveBlocks live;
  return live;
}

// n + 8 of a live block, or 0 for an address this allocator did not hand out.
uint32_t RecordedTotal(const void* payload) {
  LiveBlocks& live = Live();
  std::lock_guard<std::mutex> guard(live.lock);
  auto it = live.sizes.find(payload);
  return it == live.sizes.end() ? 0 : it->second;
}

}  // namespace

void* TrackedAlloc(size_t n, int32_t* runningTotal) {
  if (n > std::numeric_limits<uint32_t>::max() - 8 - kLead) {
    DebugTrace("%s:xMEMALLOC_%ld\n", kPrefix, static_cast<long>(n));
    return nullptr;
  }
  auto total = static_cast<uint32_t>(n + 8);
  auto* raw = static_cast<unsigned char*>(std::calloc(1, kLead + total));
  if (raw == nullptr) {
    DebugTrace("%s:xMEMALLOC_%ld\n", kPrefix, static_cast<long>(n));
    return nullptr;
  }
  unsigned char* block = raw + kLead;
  std::memcpy(block, &total, 4);
  std::memcpy(block + 4 + n, &total, 4);
  {
    LiveBlocks& live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    live.sizes[block + 4] = total;
  }
  if (runningTotal != nullptr) *runningTotal += static_cast<int32_t>(total);
  return block + 4;
}

void TrackedFree(void* payload) {
  if (payload == nullptr) {
    DebugTrace("%s:xMEMFREE get NULL pointer!\n", kPrefix);
    return;
  }
  auto* block = static_cast<unsigned char*>(payload) - 4;
  {
    LiveBlocks& live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    auto it = live.sizes.find(payload);
    // Both stored sizes are read where the block really ends, whatever the head now says.
    if (it == live.sizes.end() || ReadSize(block) != it->second || ReadSize(block + it->second - 4) != it->second) {
      DebugTrace("%s:xMEMFREE FATAL ERROR!\n", kPrefix);
      return;
    }
    live.sizes.erase(it);
  }
  std::free(block - kLead);
}

size_t TrackedSize(const void* payload) {
  if (payload == nullptr) return 0;
  const uint32_t total = RecordedTotal(payload);
  return total == 0 ? 0 : total - 8;
}

void* TrackedGrow(void* payload, size_t newSize, int32_t* runningTotal) {
  void* fresh = TrackedAlloc(newSize, runningTotal);
  if (fresh == nullptr) return nullptr;
  if (payload != nullptr) {
    size_t old = TrackedSize(payload);
    std::memcpy(fresh, payload, old < newSize ? old : newSize);
    TrackedFree(payload);
  }
  return fresh;
}

}  // namespace devmode
