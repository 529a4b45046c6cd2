// The user's settings file: favourites, the last applied setting, custom papers and
// watermarks, each a collection of named records under "UIParam".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devmode/stored_devmode.h"
#include "win/base.h"

namespace ui {

// The data of a favourite and of the current setting (5588 bytes).
struct SettingsRecord {
  devmode::StoredPrivate priv;
  DEVMODEW pub;
  uint8_t reserved[512];  // ignored when read
};
static_assert(sizeof(SettingsRecord) == 5588);
static_assert(offsetof(SettingsRecord, pub) == 4856);
static_assert(offsetof(SettingsRecord, reserved) == 5076);

constexpr size_t kItemNameChars = 32;      // display names of stored items
constexpr size_t kListNameChars = 128;     // each entry of a List names array
constexpr int kStoreCapacity = 16;
constexpr uint32_t kFirstCustomPaperId = 288;
constexpr uint32_t kLastCustomPaperId = 351;

// Folder and file of the settings file; created folders on the way. Nothing when the
// application-data folder cannot be had.
std::optional<std::u16string> SettingsFilePath();

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // 1 on success, 0 on failure (name too long, file unreadable, skeleton node missing, write failure).
  [[nodiscard]] virtual int Save(std::u16string_view name, std::span<const uint8_t> record);
  [[nodiscard]] virtual int Remove(std::u16string_view name);
  // Fails when the item is absent or its stored length differs from expectedSize.
  [[nodiscard]] virtual int Load(std::u16string_view name, void* record, size_t expectedSize);
  [[nodiscard]] virtual int SaveCurrent(std::u16string_view name, std::span<const uint8_t> record);
  // names null: the number of items. Otherwise up to max names (NUL-terminated) in store order.
  virtual int List(WCHAR (*names)[kListNameChars], int max);
  [[nodiscard]] virtual int EnsureSettingsSkeleton();
  virtual int Count();
  virtual int Capacity();

  struct Item {
    std::u16string name;
    std::vector<uint8_t> data;
  };
  // Every item with its data, read in one pass; nothing when the file is unreadable.
  std::optional<std::vector<Item>> Items();

 protected:
  SettingsStore(const char* collection, bool allCollections)
      : collection_(collection), allCollections_(allCollections) {}

  const char* collection_;
  bool allCollections_;  // whether EnsureSettingsSkeleton adds "watermarksetting" too
};

class FavoriteStore : public SettingsStore {
 public:
  FavoriteStore() : SettingsStore("savesetting", false) {}
  int SaveCurrent(std::u16string_view name, std::span<const uint8_t> record) override;
  // Load that unpacks a favourite into a working devmode (private block, then public part).
  [[nodiscard]] int LoadInto(std::u16string_view name, devmode::StoredDevmode& working);
  // The current setting, when one is stored.
  [[nodiscard]] int LoadCurrent(SettingsRecord& record, std::u16string* name = nullptr);
};

class CustomPaperStore : public SettingsStore {
 public:
  CustomPaperStore() : SettingsStore("cuspapersetting", true) {}
  // Lowest free id from 288 to 351; -1 when the store is full or unreadable.
  int AllocatePaperId();
  std::vector<devmode::CustomPaperRecord> Records();
};

class WatermarkStore : public SettingsStore {
 public:
  WatermarkStore() : SettingsStore("watermarksetting", true) {}
};

// A record's bytes as the store takes them.
template <typename T>
std::span<const uint8_t> RecordBytes(const T& record) {
  return {reinterpret_cast<const uint8_t*>(&record), sizeof record};
}

}  // namespace ui
