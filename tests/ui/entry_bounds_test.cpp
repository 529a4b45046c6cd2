// DrvConvertDevMode and DevQueryPrintEx meet devmodes that claim any size. Each source ends
// exactly where its allocation ends (a read past dmSize + dmDriverExtra is caught by
// AddressSanitizer); each output is followed by guard bytes that must come back untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "entry/devmode_conversion.h"
#include "entry_fixture.h"

namespace {

constexpr size_t kHeader = 72;
constexpr size_t kGuard = 32;
constexpr uint8_t kGuardByte = 0xE7;

class ExactRecord {
 public:
  ExactRecord(const void* content, size_t contentSize, WORD dmSize, WORD dmDriverExtra)
      : size_(std::max(kHeader, static_cast<size_t>(dmSize) + dmDriverExtra)), bytes_(new uint8_t[size_]) {
    std::memset(bytes_.get(), 0xA5, size_);
    std::memcpy(bytes_.get(), content, std::min(size_, contentSize));
    std::memcpy(bytes_.get() + offsetof(DEVMODEW, dmSize), &dmSize, 2);
    std::memcpy(bytes_.get() + offsetof(DEVMODEW, dmDriverExtra), &dmDriverExtra, 2);
  }
  DEVMODEW* get() const { return reinterpret_cast<DEVMODEW*>(bytes_.get()); }

 private:
  size_t size_;
  std::unique_ptr<uint8_t[]> bytes_;
};

// An output buffer of `size` bytes with guard bytes behind it.
class Guarded {
 public:
  explicit Guarded(size_t size, const void* header = nullptr) : size_(size), bytes_(size + kGuard, 0x3C) {
    std::memset(bytes_.data() + size, kGuardByte, kGuard);
    if (header != nullptr) std::memcpy(bytes_.data(), header, std::min(size, kHeader));
  }
  DEVMODEW* devmode() { return reinterpret_cast<DEVMODEW*>(bytes_.data()); }
  WCHAR* text() { return reinterpret_cast<WCHAR*>(bytes_.data()); }
  bool GuardIntact() const {
    return std::all_of(bytes_.begin() + static_cast<long>(size_), bytes_.end(), [](uint8_t b) { return b == kGuardByte; });
  }

 private:
  size_t size_;
  std::vector<uint8_t> bytes_;
};

constexpr int kExtras[] = {0, 1, 111, 112, 113, 4855, 4856, 4857, 65535};

using EntryBoundsTest = testsupport::EntryTest;

TEST_F(EntryBoundsTest, ConvertReadsOnlyTheSourceAndWritesOnlyTheGivenSize) {
  const devmode::StoredDevmode stored = Current();
  for (int size = 0; size <= 300; ++size) {
    for (int extra : kExtras) {
      SCOPED_TRACE(::testing::Message() << "dmSize " << size << " dmDriverExtra " << extra);
      ExactRecord source(&stored, sizeof stored, static_cast<WORD>(size), static_cast<WORD>(extra));

      // Into the current layout.
      Guarded current(5076, &stored);
      LONG needed = 5076;
      if (ui::ConvertDevMode(nullptr, source.get(), current.devmode(), &needed, CDM_CONVERT)) {
        EXPECT_EQ(needed, 5076);
      }
      EXPECT_TRUE(current.GuardIntact());

      // Into an open layout of a fixed room: the source's layout is taken only when it fits.
      for (size_t room : {size_t{kHeader}, size_t{220}, size_t{5076}}) {
        DEVMODEW open{};
        open.dmSpecVersion = DM_SPECVERSION;
        open.dmSize = 72;
        Guarded out(room, &open);
        needed = static_cast<LONG>(room);
        if (ui::ConvertDevMode(nullptr, source.get(), out.devmode(), &needed, CDM_CONVERT)) {
          EXPECT_EQ(static_cast<size_t>(needed), static_cast<size_t>(size) + extra);
          EXPECT_LE(static_cast<size_t>(needed), room);
        }
        EXPECT_TRUE(out.GuardIntact()) << "room " << room;
      }

      // Into the old layout.
      Guarded old(304);
      needed = 304;
      ui::ConvertDevMode(nullptr, source.get(), old.devmode(), &needed, CDM_CONVERT351);
      EXPECT_TRUE(old.GuardIntact());

      // The source as the output: its own header says how much room there is.
      needed = static_cast<LONG>(std::max(kHeader, static_cast<size_t>(size) + extra));
      ExactRecord target(&stored, sizeof stored, static_cast<WORD>(size), static_cast<WORD>(extra));
      ui::ConvertDevMode(nullptr, &stored.pub, target.get(), &needed, CDM_CONVERT);
      if (HasFailure()) return;
    }
  }
}

TEST_F(EntryBoundsTest, QueryPrintReadsOnlyTheRecordAndWritesOnlyTheTextRoom) {
  ASSERT_NE(ui::SheetLanguageModule(), nullptr);  // so that refusals write their text
  const devmode::StoredDevmode stored = Current();
  for (int size = 0; size <= 300; ++size) {
    for (int extra : kExtras) {
      SCOPED_TRACE(::testing::Message() << "dmSize " << size << " dmDriverExtra " << extra);
      ExactRecord record(&stored, sizeof stored, static_cast<WORD>(size), static_cast<WORD>(extra));
      for (DWORD room : {0u, 1u, 7u, 300u}) {
        Guarded text(room * sizeof(WCHAR));
        DEVQUERYPRINT_INFO info{sizeof info, 1, nullptr, record.get(), room ? text.text() : nullptr, room, 0};
        BOOL ok = ui::QueryPrint(&info);
        EXPECT_EQ(ok, size == 220) << "room " << room;
        if (!ok) {
          EXPECT_GT(info.cchNeeded, 1u);
        }
        EXPECT_TRUE(text.GuardIntact()) << "room " << room;
      }
      if (HasFailure()) return;
    }
  }
}

}  // namespace
