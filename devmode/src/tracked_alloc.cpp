#include "devmode/tracked_alloc.h"

#include <cstdlib>
#include <cstring>
#include <limits>

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
  if (runningTotal != nullptr) *runningTotal += static_cast<int32_t>(total);
  return block + 4;
}

void TrackedFree(void* payload) {
  if (payload == nullptr) {
    DebugTrace("%s:xMEMFREE get NULL pointer!\n", kPrefix);
    return;
  }
  auto* block = static_cast<unsigned char*>(payload) - 4;
  uint32_t head = ReadSize(block);
  if (head < 8 || ReadSize(block + head - 4) != head) {
    DebugTrace("%s:xMEMFREE FATAL ERROR!\n", kPrefix);
    return;
  }
  std::free(block - kLead);
}

size_t TrackedSize(const void* payload) {
  return payload == nullptr ? 0 : ReadSize(static_cast<const unsigned char*>(payload) - 4) - 8;
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
