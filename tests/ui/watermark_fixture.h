// The printing preferences opened on the watermark page, with the user's watermark store at hand.
#pragma once

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "devmode/builtin_watermarks.h"
#include "entry/property_sheets.h"
#include "entry_fixture.h"
#include "platform/sheet_driver.h"
#include "platform/ui_hooks.h"
#include "platform/utf16.h"
#include "store/settings_store.h"
#include "win/dialogs.h"
#include "win/printer_ui.h"

namespace testsupport {

using devmode::StoredDevmode;
using devmode::WatermarkRecord;
using platform::ui::PropertySheet;

constexpr size_t kWatermarkPage = 3;
constexpr int kList = 1500;
constexpr int kNewText = 6541, kNewImage = 6542, kEdit = 6543, kDelete = 6544, kDefaults = 6545;
constexpr int kFirstPageOnly = 6546, kPortrait = 6547, kLandscape = 6548, kOverlay = 6549;
constexpr int kFlagOn = 6550, kFlagOff = 6551, kFlagOption = 6552, kLink = 6554;
// Text editor
constexpr int kTextName = 6560, kTextText = 6561, kTextAngle = 6562, kTextSpin = 6563, kTextCentre = 6564;
constexpr int kTextOther = 6565, kTextPosition = 6566, kTextBold = 6567, kTextItalic = 6568, kTextColour = 6569;
constexpr int kTextFont = 6570;
// Image editor
constexpr int kImageName = 6580, kImageFile = 6581, kImageTransparent = 6583;

inline std::u16string NameOf(const WatermarkRecord& r) { return std::u16string(platform::WideField(r.Name, 33)); }
inline std::u16string TextOf(const WatermarkRecord& r) { return std::u16string(platform::WideField(r.Text, 65)); }

inline WatermarkRecord UserWatermark(std::u16string_view name, uint16_t index, uint16_t kind = 1) {
  WatermarkRecord r = devmode::BuiltInWatermark(3);
  r.WatermarkIndex = index;
  r.WatermarkKind = kind;
  platform::CopyWideField(r.Name, std::size(r.Name), name);
  platform::CopyWideField(r.Text, std::size(r.Text), name);
  return r;
}

inline WatermarkRecord Seeded(int index) {
  WatermarkRecord r = devmode::BuiltInWatermark(index);
  r.WatermarkIndex = static_cast<uint16_t>(index);
  return r;
}

class WatermarkPageTest : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ui::SetSheetWindowCalls(ui::PlatformSheetWindowCalls());
    ASSERT_TRUE(OpenPrinterW(kPrinter, &printer_, nullptr));
  }
  void TearDown() override {
    sheet_.reset();
    ClosePrinter(printer_);
    EntryTest::TearDown();
  }

  // Opens the preferences (starting from `in` when given) and switches to the watermark page.
  void Open(const StoredDevmode* in = nullptr) {
    if (in != nullptr) in_ = *in;
    out_.assign(sizeof(StoredDevmode), 0);
    header_ = {sizeof(DOCUMENTPROPERTYHEADER),
               0,
               printer_,
               const_cast<LPWSTR>(kPrinter),
               in != nullptr ? &in_.pub : nullptr,
               reinterpret_cast<DEVMODEW*>(out_.data()),
               static_cast<DWORD>(out_.size()),
               static_cast<DWORD>((in != nullptr ? DM_IN_BUFFER : 0) | DM_OUT_BUFFER)};
    std::string error;
    sheet_ = PropertySheet::Open(ui::DocumentPropertySheets, reinterpret_cast<LPARAM>(&header_), error);
    ASSERT_NE(sheet_, nullptr) << error;
    ASSERT_TRUE(sheet_->SwitchTo(kWatermarkPage));
  }

  HWND Control(int id) const { return sheet_->Find(id); }
  platform::ui::ControlInfo Info(HWND dialog, int id) const {
    for (auto& c : platform::ui::DescribeControls(dialog))
      if (c.id == id) return c;
    ADD_FAILURE() << "no control " << id;
    return {};
  }
  platform::ui::ControlInfo Info(int id) const { return Info(sheet_->Page(), id); }
  std::vector<std::u16string> Listed() const { return Info(kList).items; }
  std::u16string Selected() const {
    auto list = Info(kList);
    return list.selection >= 0 ? list.items[static_cast<size_t>(list.selection)] : u"";
  }

  static std::vector<WatermarkRecord> Stored() {
    ui::WatermarkStore store;
    std::vector<WatermarkRecord> out;
    auto items = store.Items();
    if (!items) return out;
    for (auto& item : *items) {
      WatermarkRecord r{};
      if (item.data.size() == sizeof r) std::memcpy(&r, item.data.data(), sizeof r);
      out.push_back(r);
    }
    return out;
  }
  static std::vector<std::u16string> StoredNames() {
    std::vector<std::u16string> names;
    for (auto& r : Stored()) names.push_back(NameOf(r));
    return names;
  }
  static void Store(const std::vector<WatermarkRecord>& records) {
    ui::WatermarkStore store;
    ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
    for (const auto& r : records) ASSERT_EQ(store.Save(NameOf(r), ui::RecordBytes(r)), 1);
  }
  // The three built-ins and `users` user watermarks "User 3", "User 4", ...
  static void StoreBuiltInsAnd(int users) {
    std::vector<WatermarkRecord> all = {Seeded(0), Seeded(1), Seeded(2)};
    for (int i = 0; i < users; ++i) {
      std::string name = "User " + std::to_string(i + 3);
      all.push_back(UserWatermark(platform::Widen(name), static_cast<uint16_t>(i + 3)));
    }
    Store(all);
  }

  // OK on the sheet; the devmode it wrote.
  const StoredDevmode& ApplyAndClose() {
    EXPECT_TRUE(sheet_->Ok());
    return *reinterpret_cast<const StoredDevmode*>(out_.data());
  }

  std::string WriteFile(const std::string& name, const std::string& bytes) const {
    std::string path = (root_.path() / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // A 64 x 64 24-bit bitmap file of black and white squares.
  std::string WriteBitmap(const std::string& name) const {
    constexpr uint32_t kSide = 64, kStride = kSide * 3, kBits = kStride * kSide;
    std::string b = "BM";
    auto u32 = [&b](uint32_t v) {
      for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto u16 = [&b](uint16_t v) {
      b.push_back(static_cast<char>(v & 0xFF));
      b.push_back(static_cast<char>(v >> 8));
    };
    u32(54 + kBits);
    u32(0);
    u32(54);
    u32(40);
    u32(kSide);
    u32(kSide);
    u16(1);
    u16(24);
    u32(0);
    u32(kBits);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (uint32_t y = 0; y < kSide; ++y)
      for (uint32_t x = 0; x < kSide; ++x) b.append(3, ((x / 8 + y / 8) % 2) != 0 ? '\xFF' : '\x00');
    return WriteFile(name, b);
  }

  HANDLE printer_ = nullptr;
  StoredDevmode in_{};
  std::vector<uint8_t> out_;
  DOCUMENTPROPERTYHEADER header_{};
  std::unique_ptr<PropertySheet> sheet_;
};

}  // namespace testsupport
