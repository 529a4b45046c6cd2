// lstr* and the code-page conversions.
#include "win/text.h"

#include <cstring>
#include <string>

#include "platform/utf16.h"
#include "win/error.h"

extern "C" int lstrlenW(LPCWSTR s) {
  return s == nullptr ? 0 : static_cast<int>(platform::WideLength(s, INT32_MAX));
}

extern "C" int lstrlenA(LPCSTR s) { return s == nullptr ? 0 : static_cast<int>(std::strlen(s)); }

extern "C" LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int n) {
  if (dst == nullptr || n <= 0) return dst;
  int i = 0;
  if (src != nullptr) {
    for (; i < n - 1 && src[i] != 0; ++i) dst[i] = src[i];
  }
  dst[i] = 0;
  return dst;
}

extern "C" LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int n) {
  if (dst == nullptr || n <= 0) return dst;
  int i = 0;
  if (src != nullptr) {
    for (; i < n - 1 && src[i] != 0; ++i) dst[i] = src[i];
  }
  dst[i] = 0;
  return dst;
}

extern "C" int lstrcmpW(LPCWSTR a, LPCWSTR b) {
  std::u16string_view x = a ? std::u16string_view(a) : std::u16string_view();
  std::u16string_view y = b ? std::u16string_view(b) : std::u16string_view();
  int c = x.compare(y);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

extern "C" int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int cchWideChar, LPSTR multi,
                                   int cbMultiByte, LPCSTR, LPBOOL usedDefaultChar) {
  if (wide == nullptr || cchWideChar == 0 || cbMultiByte < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = cchWideChar < 0 ? platform::WideLength(wide, INT32_MAX) + 1 : static_cast<size_t>(cchWideChar);
  std::u16string_view in(wide, n);
  std::string out = codePage == CP_UTF8 ? platform::Utf16ToUtf8(in) : platform::Utf16ToAnsi(in);
  if (usedDefaultChar != nullptr) *usedDefaultChar = FALSE;
  if (cbMultiByte == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(cbMultiByte)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(multi, out.data(), out.size());
  return static_cast<int>(out.size());
}

extern "C" int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR multi, int cbMultiByte, LPWSTR wide,
                                   int cchWideChar) {
  if (multi == nullptr || cbMultiByte == 0 || cchWideChar < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = cbMultiByte < 0 ? std::strlen(multi) + 1 : static_cast<size_t>(cbMultiByte);
  std::string_view in(multi, n);
  std::u16string out = codePage == CP_UTF8 ? platform::Utf8ToUtf16(in) : platform::AnsiToUtf16(in);
  if (cchWideChar == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(cchWideChar)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(wide, out.data(), out.size() * sizeof(WCHAR));
  return static_cast<int>(out.size());
}
