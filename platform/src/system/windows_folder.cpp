// The Windows folder under the platform root and directory searches. Its "Fonts" folder holds a
// link for every installed font file (fontconfig's list, under the files' own names), refreshed
// whenever someone searches it, so that programs that read the font files by name find them.
#include "win/findfile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "fonts/font_faces.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "platform/windows_folder.h"
#include "system/environment.h"
#include "win/error.h"

namespace fs = std::filesystem;

namespace {

struct Entry {
  std::u16string name;
  bool directory = false;
  uint64_t size = 0;
};

struct Search {
  std::vector<Entry> entries;
  size_t next = 0;
};

struct State {
  std::mutex lock;
  std::map<HANDLE, std::unique_ptr<Search>> searches;
  std::string fontsSource;  // empty: the installed fonts
  bool resetHooked = false;
};

State& S() {
  static State* s = new State;  // outlives every static destructor that might still search
  return *s;
}

std::string WindowsFolder() { return platform::PlatformRoot() + "/windows"; }
std::string FontsFolder() { return WindowsFolder() + "/Fonts"; }

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// '*' any run, '?' one character; case-insensitive for ASCII letters as the real file system.
bool Matches(std::u16string_view mask, std::u16string_view name) {
  size_t m = 0, n = 0, starM = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'?' || Lower(mask[m]) == Lower(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == u'*') {
      starM = m++;
      starN = n;
    } else if (starM != std::u16string_view::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

std::vector<std::string> FontSourceFiles(const std::string& source) {
  std::vector<std::string> files;
  std::error_code ec;
  if (!source.empty()) {
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file(ec)) files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }
  std::set<std::string> seen;
  for (const auto& face : platform::fonts::ListFaces(u"")) {
    if (!face.path.empty() && seen.insert(face.path).second) files.push_back(face.path);
  }
  return files;
}

// Replaces the folder's links by one per source file; the first file of a name wins. Files
// someone put there themselves stay.
void RefreshFontsFolder() {
  std::string source;
  {
    std::lock_guard g(S().lock);
    source = S().fontsSource;
  }
  const std::string folder = FontsFolder();
  std::error_code ec;
  fs::create_directories(folder, ec);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (it->is_symlink(e2)) fs::remove(it->path(), e2);
  }
  for (const auto& file : FontSourceFiles(source)) {
    const fs::path link = fs::path(folder) / fs::path(file).filename();
    std::error_code e2;
    if (fs::exists(fs::symlink_status(link, e2))) continue;
    fs::create_symlink(file, link, e2);
  }
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

void Fill(const Entry& e, WIN32_FIND_DATAW* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = e.directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  data->nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(e.size);
  platform::CopyWideField(data->cFileName, MAX_PATH, e.name);
}

}  // namespace

namespace platform::hooks {

void SetFontsFolderSource(std::string folder) {
  std::lock_guard g(S().lock);
  S().fontsSource = std::move(folder);
  if (!S().resetHooked) {
    S().resetHooked = true;
    OnReset([] {
      std::lock_guard again(S().lock);
      S().fontsSource.clear();
    });
  }
}

}  // namespace platform::hooks

extern "C" UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
  const std::string folder = WindowsFolder();
  std::error_code ec;
  fs::create_directories(folder + "/Fonts", ec);
  const std::u16string wide = platform::Utf8ToUtf16(folder);
  if (buffer == nullptr || size <= wide.size()) return static_cast<UINT>(wide.size() + 1);
  std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  return static_cast<UINT>(wide.size());
}

extern "C" HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data) {
  if (pattern == nullptr || data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string text(platform::WideField(pattern, 32768));
  std::replace(text.begin(), text.end(), u'\\', u'/');
  const size_t slash = text.rfind(u'/');
  std::u16string mask = slash == std::u16string::npos ? text : text.substr(slash + 1);
  if (mask == u"*.*") mask.resize(1);  // "*": as on Windows, names without a dot match too
  const std::string folder = slash == std::u16string::npos ? "." : platform::Utf16ToUtf8(text.substr(0, slash));
  if (mask.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  try {
    if (SameFolder(folder, FontsFolder())) RefreshFontsFolder();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_unique<Search>();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      Entry e;
      e.name = platform::Utf8ToUtf16(it->path().filename().string());
      if (!Matches(mask, e.name)) continue;
      std::error_code e2;
      e.directory = it->is_directory(e2);
      if (!e.directory) {
        const auto size = it->file_size(e2);
        e.size = e2 ? 0 : size;
      }
      search->entries.push_back(std::move(e));
    }
    std::sort(search->entries.begin(), search->entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    if (search->entries.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    Fill(search->entries[0], data);
    search->next = 1;
    HANDLE handle = search.get();
    std::lock_guard g(S().lock);
    S().searches[handle] = std::move(search);
    SetLastError(ERROR_SUCCESS);
    return handle;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
}

extern "C" BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
  std::lock_guard g(S().lock);
  auto it = S().searches.find(find);
  if (it == S().searches.end() || data == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Search& s = *it->second;
  if (s.next >= s.entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  Fill(s.entries[s.next++], data);
  return TRUE;
}

extern "C" BOOL FindClose(HANDLE find) {
  std::lock_guard g(S().lock);
  if (S().searches.erase(find) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
