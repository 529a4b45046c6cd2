// The Windows folder (<platform root>/windows, holding "inf" and "Fonts"), wildcard searches of a
// folder, and values of INI and INF files.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "environment.h"
#include "file_handles.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/fileapi.h"
#include "win/findfile.h"

namespace fs = std::filesystem;

namespace {

using platform::files::FileObject;

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// '*' any run, '?' any one character; without case.
bool Matches(std::u16string_view pattern, std::u16string_view name) {
  size_t p = 0, n = 0, star = std::u16string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      mark = n;
    } else if (star != std::u16string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

struct Search : platform::files::HandleExtension {
  fs::path folder;
  std::vector<std::u16string> names;
  size_t next = 0;
};

void Fill(const Search& search, const std::u16string& name, WIN32_FIND_DATAW* data) {
  std::memset(data, 0, sizeof *data);
  struct stat st{};
  if (::stat((search.folder / platform::Utf16ToUtf8(name)).c_str(), &st) == 0) {
    data->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    auto size = static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
  }
  platform::CopyWideField(data->cFileName, std::size(data->cFileName), name);
}

Search* FindSearch(HANDLE handle) {
  FileObject* f = platform::files::Find(handle);
  return f != nullptr ? dynamic_cast<Search*>(f->extension.get()) : nullptr;
}

std::u16string Trim(std::u16string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == u' ' || text[b] == u'\t' || text[b] == u'\r')) ++b;
  while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t' || text[e - 1] == u'\r')) --e;
  return std::u16string(text.substr(b, e - b));
}

std::u16string Unquote(std::u16string text) {
  if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') return text.substr(1, text.size() - 2);
  return text;
}

bool SameText(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return Lower(x) == Lower(y); });
}

// UTF-16 with its byte-order mark, else UTF-8 (with or without one).
std::optional<std::u16string> ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  std::string bytes = buffer.str();
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
    std::u16string text((bytes.size() - 2) / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
      text[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 + 2 * i]) |
                                      (static_cast<uint8_t>(bytes[3 + 2 * i]) << 8));
    return text;
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return platform::Utf8ToUtf16(bytes);
}

std::optional<std::u16string> ProfileValue(const std::u16string& text, std::u16string_view section,
                                           std::u16string_view key) {
  bool inSection = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string line = Trim(std::u16string_view(text).substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == u';') continue;
    if (line[0] == u'[') {
      size_t close = line.find(u']');
      inSection = close != std::u16string::npos && SameText(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    size_t equals = line.find(u'=');
    if (equals == std::u16string::npos) continue;
    if (!SameText(Unquote(Trim(line.substr(0, equals))), key)) continue;
    std::u16string value = line.substr(equals + 1);
    // A ';' outside quotes starts a comment.
    bool quoted = false;
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] == u'"') quoted = !quoted;
      if (value[i] == u';' && !quoted) {
        value.resize(i);
        break;
      }
    }
    return Unquote(Trim(value));
  }
  return std::nullopt;
}

}  // namespace

extern "C" UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
  std::u16string dir = platform::Utf8ToUtf16(platform::PlatformRoot() + "/windows");
  if (buffer == nullptr || size < dir.size() + 1) return static_cast<UINT>(dir.size() + 1);
  std::memcpy(buffer, dir.c_str(), (dir.size() + 1) * sizeof(WCHAR));
  return static_cast<UINT>(dir.size());
}

extern "C" HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data) {
  if (pattern == nullptr || pattern[0] == 0 || data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string full(platform::WideField(pattern, 32768));
  size_t cut = full.find_last_of(u"/\\");
  std::string folder = ".";
  std::u16string last = full;
  if (cut != std::u16string::npos) {
    folder = cut == 0 ? "/" : platform::Utf16ToUtf8(std::u16string_view(full).substr(0, cut));
    std::replace(folder.begin(), folder.end(), '\\', '/');
    last.erase(0, cut + 1);
  }
  auto search = std::make_unique<Search>();
  search->folder = folder;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(search->folder, ec)) {
    std::u16string name = platform::Utf8ToUtf16(entry.path().filename().string());
    if (Matches(last, name)) search->names.push_back(std::move(name));
  }
  if (ec && ec != std::errc::no_such_file_or_directory) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (search->names.empty()) {
    SetLastError(ec ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::sort(search->names.begin(), search->names.end());
  Fill(*search, search->names[0], data);
  search->next = 1;
  SetLastError(ERROR_SUCCESS);
  return platform::files::Register(new FileObject{-1, false, -1, {}, std::move(search)});
}

extern "C" BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
  Search* search = FindSearch(find);
  if (search == nullptr || data == nullptr) {
    SetLastError(search == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (search->next >= search->names.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  Fill(*search, search->names[search->next++], data);
  return TRUE;
}

extern "C" BOOL FindClose(HANDLE find) {
  if (FindSearch(find) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return CloseHandle(find);
}

extern "C" DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR out, DWORD size,
                                          LPCWSTR fileName) {
  if (out == nullptr || size == 0) return 0;
  std::u16string value(defaultValue != nullptr ? platform::WideField(defaultValue, 32768) : u"");
  if (section != nullptr && key != nullptr && fileName != nullptr) {
    std::u16string path(platform::WideField(fileName, 32768));
    std::replace(path.begin(), path.end(), u'\\', u'/');
    if (auto text = ReadText(platform::Utf16ToUtf8(path))) {
      if (auto found = ProfileValue(*text, platform::WideField(section, 32768), platform::WideField(key, 32768)))
        value = *found;
      else
        SetLastError(ERROR_FILE_NOT_FOUND);
    } else {
      SetLastError(ERROR_FILE_NOT_FOUND);
    }
  }
  size_t n = std::min<size_t>(value.size(), size - 1);
  std::memcpy(out, value.data(), n * sizeof(WCHAR));
  out[n] = 0;
  return static_cast<DWORD>(n);
}
