// Size-tagged allocation: a block of n + 8 zeroed bytes that carries n + 8 in its first and last
// four bytes, so that a free can tell a block whose head or end was overwritten. The allocator also
// keeps each live block's size itself, so a damaged block is never measured by its own bytes. The
// payload handed out is 16-byte aligned.
#pragma once

#include <cstddef>
#include <cstdint>

namespace devmode {

// nullptr (after a trace) when the allocation fails. `runningTotal`, when given, grows by n + 8.
void* TrackedAlloc(size_t n, int32_t* runningTotal = nullptr);
// Frees nothing, after a trace, when either stored size is not the block's, or the pointer is null
// or not a live block.
void TrackedFree(void* payload);
// Allocates the new size, copies the smaller payload, frees the old block; nullptr keeps the old one.
void* TrackedGrow(void* payload, size_t newSize, int32_t* runningTotal = nullptr);
// The payload size of a live block; 0 for null or any other address.
size_t TrackedSize(const void* payload);

}  // namespace devmode
