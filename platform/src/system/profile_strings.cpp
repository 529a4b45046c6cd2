// Values of INI and INF files (the Windows folder and its searches are in windows_folder.cpp).
#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/utf16.h"
#include "win/error.h"
#include "win/findfile.h"

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

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
