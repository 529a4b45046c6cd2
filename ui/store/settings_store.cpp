// Settings store operations: each one locks the settings file, reads it whole, changes the
// tree and writes it back whole. Nothing is cached between operations.
#include "store/settings_store.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <optional>

#include "devmode/trace.h"
#include "platform/durable_file.h"
#include "platform/utf16.h"
#include "store/config_object.h"
#include "win/shell.h"
#include "win/sysinfo.h"

namespace ui {
namespace {

constexpr char kUiParam[] = "UIParam";
constexpr char kVersionNode[] = "version";
constexpr char kFavorites[] = "savesetting";
constexpr char kCurrent[] = "cursetting";
constexpr char kCustomPapers[] = "cuspapersetting";
constexpr char kWatermarks[] = "watermarksetting";
constexpr char kContainer[] = "null";
constexpr char kBinary[] = "binary";
constexpr char16_t kSettingsFile[] = u"r6100settings.dat";

struct DocumentDeleter {
  void operator()(ConfigDocument* d) const { FreeConfigDocument(d); }
};
using Document = std::unique_ptr<ConfigDocument, DocumentDeleter>;

// Adds the collections a store needs (and "UIParam") where they are missing.
bool AddSkeleton(ConfigObject* root, bool allCollections) {
  ConfigObject* uiParam = FindChildUtf8(root, kUiParam);
  if (uiParam == nullptr) uiParam = AddChildUtf8(root, kUiParam, kContainer, nullptr, 0);
  if (uiParam == nullptr) return false;
  const char* all[] = {kFavorites, kCurrent, kCustomPapers, kWatermarks};
  for (size_t i = 0; i < (allCollections ? 4u : 3u); ++i) {
    if (FindChildUtf8(uiParam, all[i]) == nullptr && AddChildUtf8(uiParam, all[i], kContainer, nullptr, 0) == nullptr)
      return false;
  }
  return true;
}

// Moves a file the store cannot use out of the way, under a name a person finds beside it
// ("r6100settings.dat.damaged-20250131-142305", "-2" and on when that is taken). The caller
// holds the file's lock, so no other store picks the same name.
bool MoveAside(const std::string& file) {
  namespace fs = std::filesystem;
  std::error_code ec;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, ".damaged-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
  for (int n = 1; n < 1000; ++n) {
    std::string aside = file + stamp + (n > 1 ? "-" + std::to_string(n) : std::string());
    if (fs::exists(fs::symlink_status(aside, ec))) continue;
    fs::rename(file, aside, ec);
    if (ec) break;
    devmode::DebugTrace("settings store: %s could not be used; kept as %s\n", file.c_str(), aside.c_str());
    return true;
  }
  devmode::DebugTrace("settings store: cannot move %s aside (%s)\n", file.c_str(), ec.message().c_str());
  return false;
}

// One store operation. The settings file stays locked against every other store, in this and
// other processes, from the read to the write, so no change that reported success is lost.
// A file that cannot be read or parsed is moved aside and the operation goes on with a fresh
// skeleton: the user keeps working and the old bytes stay for whoever wants them.
class Session {
 public:
  explicit Session(bool allCollections) {
    auto path = SettingsFilePath();
    if (!path) return;
    file_ = platform::Utf16ToUtf8(*path);
    lock_.emplace(file_);
    ConfigOpenError why = ConfigOpenError::None;
    doc_.reset(OpenConfigDocument(*path, &why));
    if (doc_ != nullptr || why == ConfigOpenError::CannotCreate || !lock_->Held()) return;
    if (!MoveAside(file_)) return;
    doc_.reset(OpenConfigDocument(*path));
    if (doc_ == nullptr || doc_->root == nullptr || !AddSkeleton(doc_->root, allCollections) || !Write()) doc_.reset();
  }

  ConfigDocument* Doc() const { return doc_.get(); }
  const std::string& File() const { return file_; }
  bool Locked() const { return lock_ && lock_->Held(); }
  void Reopen() { doc_.reset(OpenConfigDocument(platform::Utf8ToUtf16(file_))); }
  ConfigObject* Collection(const char* collection) const {
    if (doc_ == nullptr || doc_->root == nullptr) return nullptr;
    return FindChildUtf8(FindChildUtf8(doc_->root, kUiParam), collection);
  }
  // Without the lock another process may be writing too, so nothing is written.
  bool Write() const {
    if (!Locked()) {
      devmode::DebugTrace("settings store: %s is not locked, not written\n", file_.c_str());
      return false;
    }
    return doc_ != nullptr && SaveConfigDocument(*doc_);
  }

 private:
  std::string file_;
  std::optional<platform::FileLock> lock_;
  Document doc_;
};

// The item's UTF-8 name, or nothing when it is too long for its field.
std::optional<std::string> ItemName(std::u16string_view name) {
  if (name.size() > kItemNameChars) return std::nullopt;
  std::string utf8 = platform::Utf16ToUtf8(name);
  if (utf8.size() >= kConfigNameBytes || !NameReadsBack(utf8, kBinary)) return std::nullopt;
  return utf8;
}

// Runs one operation, keeping exceptions (out of memory) inside the store.
int Guard(const char* what, const std::function<int()>& op) {
  try {
    return op();
  } catch (const std::exception& e) {
    devmode::DebugTrace("settings store: %s failed: %s\n", what, e.what());
    return 0;
  }
}

int StoreItem(ConfigObject* collection, const std::string& name, std::span<const uint8_t> record) {
  if (record.size() > static_cast<size_t>(INT32_MAX - 64)) return 0;
  while (ConfigObject* old = FindChildUtf8(collection, name)) RemoveChildNode(collection, old);
  return AddChildUtf8(collection, name, kBinary, record.data(), static_cast<int32_t>(record.size())) != nullptr;
}

std::u16string NameOf(const ConfigObject* item) {
  std::u16string name = platform::Utf8ToUtf16(item->name);
  if (name.size() >= kListNameChars) name.resize(kListNameChars - 1);
  return name;
}

}  // namespace

std::optional<std::u16string> SettingsFilePath() {
  WCHAR folder[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder) != 0) {
    devmode::DebugTrace("settings store: no application-data folder\n");
    return std::nullopt;
  }
  std::u16string base(platform::WideField(folder, MAX_PATH));
  std::u16string maker = base + u"/Taliro";
  std::u16string product = maker + u"/rt7x5e/";
  std::u16string file = product + kSettingsFile;
  if (file.size() >= MAX_PATH) return std::nullopt;
  std::error_code ec;
  for (const auto& dir : {maker, product}) {
    std::string utf8 = platform::Utf16ToUtf8(dir);
    if (!std::filesystem::is_directory(utf8, ec)) std::filesystem::create_directory(utf8, ec);
  }
  return file;
}

int SettingsStore::Save(std::u16string_view name, std::span<const uint8_t> record) {
  return Guard("Save", [&] {
    auto utf8 = ItemName(name);
    if (!utf8) return 0;
    Session session(allCollections_);
    ConfigObject* collection = session.Collection(collection_);
    if (collection == nullptr || !StoreItem(collection, *utf8, record)) return 0;
    return session.Write() ? 1 : 0;
  });
}

int SettingsStore::Remove(std::u16string_view name) {
  return Guard("Remove", [&] {
    auto utf8 = ItemName(name);
    if (!utf8) return 0;
    Session session(allCollections_);
    ConfigObject* collection = session.Collection(collection_);
    ConfigObject* item = FindChildUtf8(collection, *utf8);
    if (item == nullptr) return 0;
    RemoveChildNode(collection, item);
    return session.Write() ? 1 : 0;
  });
}

int SettingsStore::Load(std::u16string_view name, void* record, size_t expectedSize) {
  return Guard("Load", [&] {
    auto utf8 = ItemName(name);
    if (!utf8 || record == nullptr) return 0;
    Session session(allCollections_);
    const ConfigObject* item = FindChildUtf8(session.Collection(collection_), *utf8);
    if (item == nullptr || item->dataLength <= 0 || static_cast<size_t>(item->dataLength) != expectedSize) return 0;
    std::memcpy(record, item->data.get(), expectedSize);
    return 1;
  });
}

int SettingsStore::SaveCurrent(std::u16string_view, std::span<const uint8_t>) { return 0; }

int SettingsStore::List(WCHAR (*names)[kListNameChars], int max) {
  return Guard("List", [&] {
    Session session(allCollections_);
    const ConfigObject* collection = session.Collection(collection_);
    if (collection == nullptr) return 0;
    int n = 0;
    for (const ConfigObject* c = collection->firstChild; c != nullptr; c = c->next) {
      if (names != nullptr) {
        if (n >= max) break;
        platform::CopyWideField(names[n], kListNameChars, NameOf(c));
      }
      ++n;
    }
    return n;
  });
}

int SettingsStore::Count() { return List(nullptr, 0); }

int SettingsStore::Capacity() { return kStoreCapacity; }

int SettingsStore::EnsureSettingsSkeleton() {
  return Guard("EnsureSettingsSkeleton", [&] {
    Session session(allCollections_);
    if (session.Doc() == nullptr) return 0;
    ConfigDocument* doc = session.Doc();
    if (doc->root == nullptr || FindChildUtf8(doc->root, kVersionNode) == nullptr) {
      // Reset to the skeleton; what was there is kept aside (an empty file holds nothing to keep).
      devmode::DebugTrace("settings store: file without version, starting afresh\n");
      std::error_code ec;
      bool empty = std::filesystem::file_size(session.File(), ec) == 0 && !ec;
      if (!session.Locked()) return 0;
      if (empty) {
        std::filesystem::remove(session.File(), ec);
      } else if (!MoveAside(session.File())) {
        return 0;
      }
      session.Reopen();
      doc = session.Doc();
      if (doc == nullptr || doc->root == nullptr) return 0;
    }
    if (!AddSkeleton(doc->root, allCollections_)) return 0;
    return session.Write() ? 1 : 0;
  });
}

std::optional<std::vector<SettingsStore::Item>> SettingsStore::Items() {
  try {
    Session session(allCollections_);
    const ConfigObject* collection = session.Collection(collection_);
    if (collection == nullptr) return std::nullopt;
    std::vector<Item> items;
    for (const ConfigObject* c = collection->firstChild; c != nullptr; c = c->next) {
      Item item{platform::Utf8ToUtf16(c->name), {}};
      if (c->dataLength > 0) item.data.assign(c->data.get(), c->data.get() + c->dataLength);
      items.push_back(std::move(item));
    }
    return items;
  } catch (const std::exception& e) {
    devmode::DebugTrace("settings store: Items failed: %s\n", e.what());
    return std::nullopt;
  }
}

int FavoriteStore::SaveCurrent(std::u16string_view name, std::span<const uint8_t> record) {
  return Guard("SaveCurrent", [&] {
    auto utf8 = ItemName(name);
    if (!utf8) return 0;
    Session session(allCollections_);
    ConfigObject* current = session.Collection(kCurrent);
    if (current == nullptr) return 0;
    // The collection holds at most one setting; anything more is left over from damage.
    while (current->lastChild != nullptr) RemoveChildNode(current, current->lastChild);
    if (!StoreItem(current, *utf8, record)) return 0;
    return session.Write() ? 1 : 0;
  });
}

int FavoriteStore::LoadInto(std::u16string_view name, devmode::StoredDevmode& working) {
  auto record = std::make_unique<SettingsRecord>();
  if (!Load(name, record.get(), sizeof(SettingsRecord))) return 0;
  std::memcpy(&working.priv, &record->priv, sizeof working.priv);
  std::memcpy(&working.pub, &record->pub, sizeof working.pub);
  return 1;
}

int FavoriteStore::LoadCurrent(SettingsRecord& record, std::u16string* name) {
  return Guard("LoadCurrent", [&] {
    Session session(allCollections_);
    const ConfigObject* item = session.Collection(kCurrent);
    item = item != nullptr ? item->lastChild : nullptr;
    if (item == nullptr || item->dataLength != static_cast<int32_t>(sizeof record)) return 0;
    std::memcpy(&record, item->data.get(), sizeof record);
    if (name != nullptr) *name = NameOf(item);
    return 1;
  });
}

int CustomPaperStore::AllocatePaperId() {
  auto items = Items();
  if (!items || items->size() >= static_cast<size_t>(kStoreCapacity)) return -1;
  if (items->empty()) return static_cast<int>(kFirstCustomPaperId);
  bool used[kLastCustomPaperId - kFirstCustomPaperId + 1] = {};
  for (const auto& item : *items) {
    if (item.data.size() != sizeof(devmode::CustomPaperRecord)) continue;
    devmode::CustomPaperRecord r;
    std::memcpy(&r, item.data.data(), sizeof r);
    if (r.paperId >= kFirstCustomPaperId && r.paperId <= kLastCustomPaperId) used[r.paperId - kFirstCustomPaperId] = true;
  }
  for (uint32_t i = 0; i < sizeof used; ++i) {
    if (!used[i]) return static_cast<int>(kFirstCustomPaperId + i);
  }
  return -1;
}

std::vector<devmode::CustomPaperRecord> CustomPaperStore::Records() {
  std::vector<devmode::CustomPaperRecord> out;
  auto items = Items();
  if (!items) return out;
  for (const auto& item : *items) {
    if (item.data.size() != sizeof(devmode::CustomPaperRecord)) continue;
    devmode::CustomPaperRecord r;
    std::memcpy(&r, item.data.data(), sizeof r);
    out.push_back(r);
  }
  return out;
}

}  // namespace ui
