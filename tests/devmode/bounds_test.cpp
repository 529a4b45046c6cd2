// Devmodes that claim any size: each record ends exactly where its allocation ends, so a read past
// dmSize + dmDriverExtra is caught by AddressSanitizer in the sanitizer build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "devmode_fixtures.h"

namespace devmode {
namespace {

constexpr size_t kHeader = 72;  // the header says how long a record is, so it is always there

class ExactRecord {
 public:
  ExactRecord(const void* content, size_t contentSize, WORD dmSize, WORD dmDriverExtra, unsigned char fill)
      : size_(std::max(kHeader, static_cast<size_t>(dmSize) + dmDriverExtra)), bytes_(new unsigned char[size_]) {
    std::memset(bytes_.get(), fill, size_);
    std::memcpy(bytes_.get(), content, std::min(size_, contentSize));
    std::memcpy(bytes_.get() + offsetof(DEVMODEW, dmSize), &dmSize, 2);
    std::memcpy(bytes_.get() + offsetof(DEVMODEW, dmDriverExtra), &dmDriverExtra, 2);
  }
  const DEVMODEW* get() const { return reinterpret_cast<const DEVMODEW*>(bytes_.get()); }
  unsigned char* bytes() { return bytes_.get(); }
  size_t size() const { return size_; }

 private:
  size_t size_;
  std::unique_ptr<unsigned char[]> bytes_;
};

const CallerMergeContext kContext{u"Default Settings", [](int, CustomPaperRecord* r) {
                                    r->width = 3000;
                                    r->height = 4000;
                                    return true;
                                  }};

void RunAll(const ExactRecord& record) {
  RenderSettings r{}, scratch{};
  Devmod2_InitDevMode(&r, u"R7700");
  ASSERT_EQ(ImportStoredDevmode(record.get(), &scratch), 1);
  if (Devmod2_MergeFieldsHigh(&r, &scratch.pub) == 1) {
    EXPECT_TRUE(RenderSettingsValid(r));
  }
  // The merge also meets the record directly, as it would meet any devmode.
  RenderSettings direct{};
  Devmod2_InitDevMode(&direct, u"R7700");
  Devmod2_MergeFieldsHigh(&direct, record.get());
  EXPECT_EQ(direct.priv.trailer, kPrivSignature);

  StoredDevmode w = testing::DefaultStored();
  MergeCallerDevmode(&w, record.get(), kContext);
  StoredPrivate check = w.priv;
  EXPECT_EQ(ValidatePrivateBlock(&check, u"Default Settings"), 0);
  EXPECT_EQ(w.pub.dmSize, 220);
  EXPECT_EQ(w.pub.dmDriverExtra, 4856);
}

TEST(DevmodeBounds, EverySizeCrossedWithPrivateSizes) {
  const StoredDevmode stored = testing::DefaultStored();
  for (int size = 0; size <= 300; ++size) {
    for (int extra : {0, 1, 4855, 4856, 4857, 8864, 65535}) {
      ExactRecord record(&stored, sizeof stored, static_cast<WORD>(size), static_cast<WORD>(extra), 0xA5);
      SCOPED_TRACE(::testing::Message() << "dmSize " << size << " dmDriverExtra " << extra);
      RunAll(record);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(DevmodeBounds, EveryPrivateSizeAtFullPublicPart) {
  const StoredDevmode stored = testing::DefaultStored();
  for (int extra = 0; extra <= 5000; ++extra) {
    ExactRecord record(&stored, sizeof stored, 220, static_cast<WORD>(extra), 0x5A);
    SCOPED_TRACE(::testing::Message() << "dmDriverExtra " << extra);
    RunAll(record);
    if (HasFatalFailure()) return;
  }
}

TEST(DevmodeBounds, RandomContentWithOurHeader) {
  std::mt19937 rng(7700);
  const StoredDevmode stored = testing::DefaultStored();
  for (int round = 0; round < 2000; ++round) {
    ExactRecord record(&stored, sizeof stored, 220, 4856, 0);
    // Spoil a handful of bytes anywhere after the header, keeping the signature most of the time.
    for (int k = 0; k < 64; ++k) {
      size_t at = kHeader + rng() % (record.size() - kHeader);
      if (round % 8 != 0 && at >= 220 && at < 224) continue;
      record.bytes()[at] = static_cast<unsigned char>(rng());
    }
    SCOPED_TRACE(::testing::Message() << "round " << round);
    RunAll(record);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace devmode
