// The output channel: a 4096-byte command buffer drained to the spooler, optionally mirrored into
// the job's spool-copy file, with the two formatted writers and the PCL / HP-GL/2 switches.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>

#include "devmode/tracked_alloc.h"
#include "pdev.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/fileapi.h"
#include "win/spooler.h"
#include "win/sysinfo.h"
#include "win/text.h"

namespace render {
namespace {

constexpr char kEnterHpgl2KeepCursor[] = "\x1b%1B";  // enter HP-GL/2, pen at the PCL cursor
constexpr char kEnterHpgl2[] = "\x1b%0B";            // enter HP-GL/2, pen at the last HP-GL/2 position
constexpr char kEnterPclPenPosition[] = "\x1b%1A";   // enter PCL, cursor at the pen position
constexpr char kEnterPcl[] = "\x1b%0A";              // enter PCL, cursor at the last PCL position
constexpr char kSpoolCopyName[] = "writefile%d%d%d%d%d%d%d%ld.p5c";
// The same name with a counter, when a file of the first name is already there.
constexpr char kSpoolCopyNextName[] = "writefile%d%d%d%d%d%d%d%ld-%d.p5c";
constexpr int kSpoolCopyNames = 100;
// Room after the folder for the longest name: seven 5-digit fields, an 11-character job id and
// a 2-digit counter, with "writefile", "-" and ".p5c".
constexpr DWORD kSpoolCopyNameRoom = 64;
constexpr uint32_t kPageRecordTableBytes = kPageRecordsPerStep * sizeof(PageRecord);

// Spool copy first, then the printer when the rule says the bytes go out now.
int WriteThrough(Pdev& pdev, const uint8_t* bytes, uint32_t length) {
  DocumentState& doc = pdev.doc;
  const bool spooling = doc.OutputFlags & kSpoolCopyActive;
  if (spooling) {
    DWORD written = 0;
    if (!WriteFile(doc.spoolFile, bytes, length, &written, nullptr) || written != length) {
      doc.OutputFlags |= kOutputFailed;
      return 0;
    }
    doc.spoolBytes += static_cast<int32_t>(length);
  }
  const devmode::RenderPrivate& p = pdev.settings.priv;
  const bool toPrinter = !spooling || (pdev.settings.pub.dmCollate == 1 && p.ReverseOrder == 0 && p.TwoSided == 0);
  if (toPrinter) {
    DWORD written = 0;
    if (!WritePrinter(pdev.printer, bytes, length, &written) || written != length) {
      doc.OutputFlags |= kOutputFailed;
      return 0;
    }
  }
  return 1;
}

void EmptyBuffer(OutputChannel& c) {
  c.fill = 0;
  c.position = 0;
  c.capacity = kCommandBufferSize;
}

// Last path separator of the host or of a Windows path.
size_t LastSeparator(std::u16string_view path) {
  size_t slash = path.rfind(u'/'), backslash = path.rfind(u'\\');
  if (slash == std::u16string_view::npos) return backslash;
  if (backslash == std::u16string_view::npos) return slash;
  return std::max(slash, backslash);
}

// The spool copy's path for the given attempt (0 first); empty when there is no folder for it.
std::u16string SpoolCopyPath(Pdev& pdev, int attempt) {
  WCHAR folder[kSpoolNameChars] = {};
  std::u16string base;
  // Asked for no more than leaves room for the name; the platform then offers a shorter folder.
  DWORD n = GetTempPathW(kSpoolNameChars - kSpoolCopyNameRoom, folder);
  if (n > 0 && n < kSpoolNameChars - kSpoolCopyNameRoom) {
    base = platform::WideField(folder, kSpoolNameChars);
  } else if (LPWSTR data = EngGetPrinterDataFileName(pdev.hdev); data != nullptr) {
    base = platform::WideField(data, 32768);
  }
  size_t sep = LastSeparator(base);
  if (sep == std::u16string::npos) return {};  // no folder: no file
  SYSTEMTIME t{};
  GetLocalTime(&t);
  char name[1024];
  if (attempt == 0) {
    wsprintfA(name, kSpoolCopyName, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
              static_cast<int>(pdev.jobId));
  } else {
    wsprintfA(name, kSpoolCopyNextName, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
              static_cast<int>(pdev.jobId), attempt);
  }
  std::u16string path = base.substr(0, sep + 1) + platform::AnsiToUtf16(name);
  if (path.size() >= kSpoolNameChars) return {};
  return path;
}

// Creates the spool copy as a new file of its own; a name already taken (another job's copy, a
// left-over, a planted link) is never opened, the next name is tried instead.
void CreateSpoolCopy(Pdev& pdev) {
  DocumentState& doc = pdev.doc;
  for (int attempt = 0; attempt < kSpoolCopyNames; ++attempt) {
    std::u16string path = SpoolCopyPath(pdev, attempt);
    if (path.empty()) return;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      platform::CopyWideField(doc.spoolName, kSpoolNameChars, path);
      doc.spoolFile = h;
      return;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return;
  }
}

}  // namespace

void ResetOutputBuffer(Pdev& pdev) { EmptyBuffer(pdev.channel); }

int FlushOutput(Pdev& pdev) {
  OutputChannel& c = pdev.channel;
  if (pdev.doc.OutputFlags & kDiscardMode) {
    EmptyBuffer(c);
    return 1;
  }
  if (c.fill == 0 || (pdev.doc.OutputFlags & kOutputFailed)) return 1;
  if (!WriteThrough(pdev, c.buffer, c.fill)) return 0;
  c.fill = 0;
  c.position = 0;
  return 1;
}

int WriteBytes(Pdev& pdev, const void* bytes, uint32_t length) {
  OutputChannel& c = pdev.channel;
  if (pdev.doc.OutputFlags & kOutputFailed) return 0;
  if (pdev.doc.OutputFlags & kDiscardMode) {
    EmptyBuffer(c);
    return 1;
  }
  if (bytes == nullptr) return length == 0 ? 1 : 0;
  if (length == 0) length = static_cast<uint32_t>(std::strlen(static_cast<const char*>(bytes)));
  auto* in = static_cast<const uint8_t*>(bytes);
  if (static_cast<uint64_t>(c.fill) + length <= c.capacity) {
    std::memcpy(c.buffer + c.position, in, length);
    c.position += length;
    c.fill += length;
    return 1;
  }
  if (!FlushOutput(pdev)) return 0;
  // Long data bypasses the buffer in whole chunks instead of being copied twice.
  while (length > kCommandBufferSize) {
    if (!WriteThrough(pdev, in, kCommandBufferSize)) return 0;
    in += kCommandBufferSize;
    length -= kCommandBufferSize;
  }
  std::memcpy(c.buffer, in, length);
  c.position = length;
  c.fill = length;
  return 1;
}

int WriteCommand(Pdev& pdev, const char* format, ...) {
  char scratch[kCommandBufferSize];  // the formatter terminates what it writes
  va_list ap;
  va_start(ap, format);
  int n = wvsprintfA(scratch, format, ap);
  va_end(ap);
  if (n <= 0) return 1;
  return WriteBytes(pdev, scratch, static_cast<uint32_t>(n));
}

int FormatCommandString(char* destination, size_t capacity, const char* format, const FormatArg* args,
                        size_t count) {
  if (destination == nullptr || capacity == 0) return 0;
  size_t n = 0, next = 0;
  auto put = [&](char ch) {
    if (n + 1 < capacity) destination[n++] = ch;
  };
  auto puts = [&](const char* s) {
    while (*s) put(*s++);
  };
  // A missing argument reads as 0 rather than as whatever follows.
  auto take = [&]() -> uint64_t { return next < count ? args[next++].slot : (next++, 0); };
  auto decimal = [&](uint64_t v) {
    char digits[24];
    int k = 0;
    do {
      digits[k++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    while (k > 0) put(digits[--k]);
  };
  for (const char* p = format ? format : ""; *p != 0; ++p) {
    if (*p != '%') {
      put(*p);
      continue;
    }
    ++p;
    if (*p == 0) break;
    int places = 3;
    if (p[0] == '.' && p[1] >= '0' && p[1] <= '9' && p[2] == 'f') {
      places = p[1] - '0';
      p += 2;
    }
    switch (*p) {
      case 'd':
      case 'l': {
        auto v = static_cast<int32_t>(take());
        if (v < 0) put('-');
        decimal(v < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint64_t>(v));
        break;
      }
      case 'u': decimal(static_cast<uint32_t>(take())); break;
      case 'x':
      case 'X': {
        auto v = static_cast<uint32_t>(take());
        const char* hex = "0123456789ABCDEF";
        char digits[8];
        int k = 0;
        do {
          digits[k++] = hex[v & 0xF];
          v >>= 4;
        } while (v != 0);
        if (k < 2) digits[k++] = '0';
        while (k > 0) put(digits[--k]);
        break;
      }
      case 'c': put(static_cast<char>(take())); break;
      case 's': {
        auto* s = reinterpret_cast<const char*>(static_cast<uintptr_t>(take()));
        if (s != nullptr) puts(s);
        break;
      }
      case 'b': puts(take() != 0 ? "true" : "false"); break;
      case 'f': {
        auto v = static_cast<int32_t>(take());
        uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        if (v < 0) put('-');
        decimal(magnitude >> 8);
        uint32_t fraction = magnitude & 0xFF;
        if (fraction == 0) break;
        put('.');
        uint32_t thousandths = (fraction * 100000 / 256 + 50) / 100;
        for (uint32_t unit = 100; unit > 0 && thousandths > 0 && places > 0; unit /= 10, --places) {
          put(static_cast<char>('0' + thousandths / unit % 10));
          thousandths %= unit;
        }
        break;
      }
      default: put(*p); break;
    }
  }
  destination[n] = 0;
  return static_cast<int>(n);
}

int WriteCommandFixedArgs(Pdev& pdev, const char* format, const FormatArg* args, size_t count) {
  char scratch[kCommandBufferSize];  // the formatter terminates what it writes
  int n = FormatCommandString(scratch, sizeof scratch, format, args, count);
  if (n <= 0) return 1;
  return WriteBytes(pdev, scratch, static_cast<uint32_t>(n));
}

int EnterHpgl2(Pdev& pdev, int keepCursor) {
  if (pdev.caches.CurrentLanguage == kLanguageHpgl2) return 1;
  int ok = WriteBytes(pdev, keepCursor == 1 ? kEnterHpgl2KeepCursor : kEnterHpgl2, 4);
  pdev.caches.CurrentLanguage = kLanguageHpgl2;
  return ok;
}

int EnterHpgl2Always(Pdev& pdev, int keepCursor) {
  int ok = EnterHpgl2(pdev, keepCursor);
  pdev.caches.CurrentLanguage = kLanguageHpgl2;
  return ok;
}

int EnterPcl(Pdev& pdev, int usePenPosition) {
  if (pdev.caches.CurrentLanguage == kLanguagePcl) return 1;
  int ok = WriteBytes(pdev, usePenPosition == 1 ? kEnterPclPenPosition : kEnterPcl, 4);
  pdev.caches.CurrentLanguage = kLanguagePcl;
  return ok;
}

int StartSpoolCopy(Pdev& pdev) {
  DocumentState& doc = pdev.doc;
  doc.OutputFlags |= kSpoolCopyActive;
  if (doc.spoolFile != nullptr) return 1;
  doc.spoolFile = nullptr;
  doc.spoolBytes = 0;
  std::memset(doc.spoolName, 0, sizeof doc.spoolName);
  if (doc.pageRecords == nullptr) doc.pageRecords = static_cast<PageRecord*>(devmode::TrackedAlloc(kPageRecordTableBytes));
  CreateSpoolCopy(pdev);
  if (doc.spoolFile != nullptr && doc.pageRecords == nullptr) {
    // Without records nothing could be replayed: no spool copy, and no file left behind.
    DeleteSpoolCopy(pdev);
    doc.OutputFlags &= ~kSpoolCopyActive;
  }
  return 1;
}

int ReplaySpoolRange(Pdev& pdev, int32_t offset, int32_t length) {
  DocumentState& doc = pdev.doc;
  if (doc.spoolFile == nullptr || offset < 0 || length < 0) return 0;
  // The replay reads into the command buffer: what is pending must go first.
  if (!FlushOutput(pdev)) return 0;
  if (SetFilePointer(doc.spoolFile, offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return 0;
  OutputChannel& c = pdev.channel;
  auto left = static_cast<uint32_t>(length);
  while (left > 0) {
    DWORD read = 0;
    if (!ReadFile(doc.spoolFile, c.buffer, std::min(left, kCommandBufferSize), &read, nullptr) || read == 0) break;
    DWORD written = 0;
    if (!WritePrinter(pdev.printer, c.buffer, read, &written) || written != read) {
      doc.OutputFlags |= kOutputFailed;
      return 0;
    }
    left -= read;
  }
  // Later spooled bytes append after everything written so far.
  SetFilePointer(doc.spoolFile, 0, nullptr, FILE_END);
  return FlushOutput(pdev) ? 1 : 0;
}

void DeleteSpoolCopy(Pdev& pdev) {
  DocumentState& doc = pdev.doc;
  if (doc.spoolFile != nullptr) {
    CloseHandle(doc.spoolFile);
    doc.spoolFile = nullptr;
  }
  if (doc.spoolName[0] != 0) {
    DeleteFileW(doc.spoolName);
    std::memset(doc.spoolName, 0, sizeof doc.spoolName);
  }
  doc.spoolBytes = 0;
}

int CopyFileToOutput(Pdev& pdev, const WCHAR* path) {
  if (path == nullptr || path[0] == 0) return 0;
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  uint8_t piece[kCommandBufferSize];
  int ok = 1;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(h, piece, sizeof piece, &read, nullptr) || read == 0) break;
    if (!WriteBytes(pdev, piece, read)) {
      ok = 0;
      break;
    }
  }
  CloseHandle(h);
  return ok;
}

int CopyOverlayFileToOutput(Pdev& pdev) {
  const devmode::OverlayBlock& overlay = pdev.settings.priv.overlay;
  if (overlay.mode != 1 || !platform::WideFieldTerminated(overlay.path, std::size(overlay.path))) return 0;
  return CopyFileToOutput(pdev, overlay.path);
}

void ReleasePageRecords(Pdev& pdev) {
  if (pdev.doc.pageRecords != nullptr) devmode::TrackedFree(pdev.doc.pageRecords);
  pdev.doc.pageRecords = nullptr;
}

}  // namespace render
