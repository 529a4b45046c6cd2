#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "devmode/tracked_alloc.h"
#include "support/traces.h"

namespace devmode {
namespace {

uint32_t SizeAt(const void* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

TEST(TrackedAlloc, BlockCarriesItsSizeAtBothEnds) {
  int32_t total = 0;
  auto* p = static_cast<unsigned char*>(TrackedAlloc(100, &total));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(SizeAt(p - 4), 108u);
  EXPECT_EQ(SizeAt(p + 100), 108u);
  EXPECT_EQ(total, 108);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0);
  EXPECT_EQ(TrackedSize(p), 100u);
  TrackedFree(p);
}

TEST(TrackedAlloc, GrowKeepsThePayload) {
  int32_t total = 0;
  auto* p = static_cast<unsigned char*>(TrackedAlloc(4, &total));
  std::memcpy(p, "abcd", 4);
  auto* q = static_cast<unsigned char*>(TrackedGrow(p, 40, &total));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(std::memcmp(q, "abcd", 4), 0);
  EXPECT_EQ(q[39], 0);
  EXPECT_EQ(total, 12 + 48);
  auto* r = static_cast<unsigned char*>(TrackedGrow(q, 2));
  EXPECT_EQ(std::memcmp(r, "ab", 2), 0);
  TrackedFree(r);
}

TEST(TrackedAlloc, OverwrittenTrailerIsFatalAndLeaks) {
  testsupport::TraceCapture traces;
  auto* p = static_cast<unsigned char*>(TrackedAlloc(16));
  uint32_t saved = SizeAt(p + 16);
  std::memset(p + 16, 0xAB, 4);
  TrackedFree(p);
  auto lines = traces.Take();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "UI: :xMEMFREE FATAL ERROR!\n");
  // The block was left alone: mend it and free it for real.
  std::memcpy(p + 16, &saved, 4);
  TrackedFree(p);
  EXPECT_TRUE(traces.Take().empty());
}

TEST(TrackedAlloc, OverwrittenHeadIsFatalWithoutBeingFollowed) {
  testsupport::TraceCapture traces;
  auto* p = static_cast<unsigned char*>(TrackedAlloc(16));
  const uint32_t saved = SizeAt(p - 4);
  // A head that points at a copy of itself inside the payload, the trailer intact.
  const uint32_t inside = 12;
  std::memcpy(p - 4, &inside, 4);
  std::memcpy(p + 4, &inside, 4);
  TrackedFree(p);
  ASSERT_EQ(traces.Take(), std::vector<std::string>{"UI: :xMEMFREE FATAL ERROR!\n"});
  // A head far past the block (the sanitizer build fails on any read there).
  const uint32_t far = 0x40000000;
  std::memcpy(p - 4, &far, 4);
  TrackedFree(p);
  ASSERT_EQ(traces.Take(), std::vector<std::string>{"UI: :xMEMFREE FATAL ERROR!\n"});
  EXPECT_EQ(TrackedSize(p), 16u);  // measured by the allocator, not by the damaged head
  std::memcpy(p - 4, &saved, 4);
  TrackedFree(p);
  EXPECT_TRUE(traces.Take().empty());
}

TEST(TrackedAlloc, AddressesItDidNotHandOutAreFatal) {
  testsupport::TraceCapture traces;
  alignas(16) unsigned char foreign[64] = {};
  TrackedFree(foreign + 16);
  EXPECT_EQ(traces.Take(), (std::vector<std::string>{"UI: :xMEMFREE FATAL ERROR!\n"}));
  void* p = TrackedAlloc(8);
  TrackedFree(p);
  EXPECT_TRUE(traces.Take().empty());
  TrackedFree(p);  // twice
  EXPECT_EQ(traces.Take(), (std::vector<std::string>{"UI: :xMEMFREE FATAL ERROR!\n"}));
  EXPECT_EQ(TrackedSize(foreign + 16), 0u);
}

TEST(TrackedAlloc, NullAndHugeRequestsAreTraced) {
  testsupport::TraceCapture traces;
  TrackedFree(nullptr);
  EXPECT_EQ(TrackedAlloc(SIZE_MAX - 4), nullptr);
  auto lines = traces.Take();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "UI: :xMEMFREE get NULL pointer!\n");
  EXPECT_EQ(lines[1].rfind("UI: :xMEMALLOC_", 0), 0u);
}

}  // namespace
}  // namespace devmode
