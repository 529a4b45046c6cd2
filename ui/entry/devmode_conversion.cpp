// DrvConvertDevMode, DrvUpgradePrinter and DevQueryPrintEx, and the version-tolerant copy they share.
#include "entry/devmode_conversion.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "devmode/caller_merge.h"
#include "devmode/trace.h"
#include "entry/language.h"
#include "entry/working_devmode.h"
#include "platform/utf16.h"
#include "store/printer_data.h"
#include "store/settings_store.h"
#include "win/modules.h"
#include "win/error.h"
#include "win/spooler.h"

namespace ui {
namespace {

constexpr size_t kHeaderEnd = offsetof(DEVMODEW, dmDriverExtra) + 2;  // every record holds its header

// The layout of the old (3.51) devmode.
constexpr WORD kOldSpecVersion = 0x0320;
constexpr WORD kOldPublicSize = 192;
constexpr WORD kOldDriverVersion = 0x0350;
constexpr WORD kOldPrivateSize = 112;
constexpr LONG kOldDevmodeSize = kOldPublicSize + kOldPrivateSize;
constexpr LONG kCurrentDevmodeSize = devmode::kPublicSize + devmode::kStoredPrivateSize;

constexpr UINT kUnsuitableSettingsId = 207;

struct Header {
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
};

Header ReadHeader(const DEVMODEW* record) {
  Header h;
  std::memcpy(&h, reinterpret_cast<const BYTE*>(record) + offsetof(DEVMODEW, dmSpecVersion), sizeof h);
  return h;
}

void WriteHeader(DEVMODEW* record, const Header& h) {
  std::memcpy(reinterpret_cast<BYTE*>(record) + offsetof(DEVMODEW, dmSpecVersion), &h, sizeof h);
}

WORD SpecVersionOf(const Header& h) {
  switch (h.dmSize) {
    case 192: return 0x0320;
    case 216: return 0x0400;
    case 224: return 0x0401;
    default: return h.dmSpecVersion;
  }
}

void Append(WCHAR* out, size_t capacity, size_t& length, std::u16string_view text) {
  for (char16_t c : text) {
    if (out != nullptr && length + 1 < capacity) out[length] = c;
    ++length;
  }
}

}  // namespace

WORD EffectiveSpecVersion(const DEVMODEW* record) { return SpecVersionOf(ReadHeader(record)); }

size_t CopyDevmodeAcrossVersions(DEVMODEW* target, size_t targetCapacity, const DEVMODEW* source) {
  if (target == nullptr || source == nullptr || targetCapacity < kHeaderEnd) return 0;
  const Header in = ReadHeader(source);
  Header out = ReadHeader(target);
  if (SpecVersionOf(in) == 0 || SpecVersionOf(out) == 0) return 0;
  if (out.dmDriverVersion != 0) {
    out.dmSpecVersion = SpecVersionOf(out);
  } else {
    out = in;
  }
  // A record shorter than its own header would have its private part over the header.
  if (in.dmSize < kHeaderEnd || out.dmSize < kHeaderEnd) return 0;
  if (static_cast<size_t>(out.dmSize) + out.dmDriverExtra > targetCapacity) return 0;

  auto* to = reinterpret_cast<BYTE*>(target);
  const auto* from = reinterpret_cast<const BYTE*>(source);
  const size_t publicBytes = std::min(in.dmSize, out.dmSize);
  std::memmove(to, from, publicBytes);
  WriteHeader(target, out);
  if (in.dmDriverExtra == out.dmDriverExtra) {
    std::memmove(to + out.dmSize, from + in.dmSize, out.dmDriverExtra);
    return publicBytes + out.dmDriverExtra;
  }
  std::memset(to + out.dmSize, 0, out.dmDriverExtra);
  return publicBytes;
}

BOOL ConvertDevMode(LPCWSTR printerName, const DEVMODEW* in, DEVMODEW* out, LONG* needed, DWORD mode) {
  if (needed == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  switch (mode) {
    case CDM_CONVERT: {
      // The target's header is read only from a buffer that holds it.
      if (out == nullptr || in == nullptr || *needed < static_cast<LONG>(kHeaderEnd)) break;
      const Header h = ReadHeader(out);
      if (*needed < static_cast<LONG>(h.dmSize) + h.dmDriverExtra) break;
      if (CopyDevmodeAcrossVersions(out, static_cast<size_t>(*needed), in) == 0) break;
      const Header written = ReadHeader(out);
      *needed = static_cast<LONG>(written.dmSize) + written.dmDriverExtra;
      return TRUE;
    }
    case CDM_CONVERT351: {
      if (out == nullptr || *needed < kOldDevmodeSize) {
        *needed = kOldDevmodeSize;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
      }
      if (in == nullptr) break;
      WriteHeader(out, {kOldSpecVersion, kOldDriverVersion, kOldPublicSize, kOldPrivateSize});
      if (CopyDevmodeAcrossVersions(out, kOldDevmodeSize, in) == 0) break;
      *needed = kOldDevmodeSize;
      return TRUE;
    }
    case CDM_DRIVER_DEFAULT: {
      if (out == nullptr || *needed < kCurrentDevmodeSize) {
        *needed = kCurrentDevmodeSize;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
      }
      *needed = kCurrentDevmodeSize;
      HANDLE printer = nullptr;
      if (printerName == nullptr || !OpenPrinterW(printerName, &printer, nullptr)) return FALSE;
      DWORD size = 0;
      GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &size);
      std::unique_ptr<BYTE[]> info(size >= sizeof(DRIVER_INFO_2W) ? new (std::nothrow) BYTE[size] : nullptr);
      if (!info || !GetPrinterDriverW(printer, nullptr, 2, info.get(), size, &size)) {
        DWORD error = GetLastError();
        ClosePrinter(printer);
        SetLastError(error);
        return FALSE;
      }
      // The private block too, so the record is whole wherever the caller's buffer came from.
      auto* stored = reinterpret_cast<devmode::StoredDevmode*>(out);
      MergeContext context;
      devmode::InitStoredDevmode(stored, reinterpret_cast<DRIVER_INFO_2W*>(info.get())->pName,
                                 context.get().defaultFavoriteName);
      ClosePrinter(printer);
      return TRUE;
    }
    default: break;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

BOOL UpgradePrinter(DWORD level, const BYTE* info) {
  const auto* upgrade = reinterpret_cast<const DRIVER_UPGRADE_INFO_1W*>(info);
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (level != 1 || upgrade == nullptr || upgrade->pPrinterName == nullptr ||
      !OpenPrinterW(upgrade->pPrinterName, &printer, &defaults)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  PrinterDataRecord record{kPrinterDataVersion, sizeof(PrinterDataRecord), 0};
  if (auto stored = ReadPrinterDataPair(printer, PrinterDataPair::PrinterData)) {
    PrinterDataRecord old{};
    std::memcpy(&old, stored->data(), std::min(stored->size(), sizeof old));
    if (old.version < kPrinterDataVersion) {
      // Only as much of the old record as it says it holds.
      size_t keep = std::min<size_t>({old.size, stored->size(), sizeof record});
      record = PrinterDataRecord{};
      std::memcpy(&record, &old, keep);
      record.version = kPrinterDataVersion;
      record.size = sizeof(PrinterDataRecord);
    } else {
      record = old;
    }
  }
  if (!WritePrinterDataPair(printer, PrinterDataPair::PrinterData, RecordBytes(record))) {
    devmode::DebugTrace("DrvUpgradePrinter: printer data not written, error %u\n",
                        static_cast<unsigned>(GetLastError()));
  }
  ClosePrinter(printer);
  return TRUE;
}

BOOL QueryPrint(DEVQUERYPRINT_INFO* info) {
  if (info == nullptr || info->Level < 1) return FALSE;
  if (info->pDevMode == nullptr) return TRUE;
  WCHAR deviceName[CCHDEVICENAME];
  std::memcpy(deviceName, info->pDevMode->dmDeviceName, sizeof deviceName);
  deviceName[CCHDEVICENAME - 1] = 0;
  WorkingDevmode working = BuildWorkingDevmode(deviceName, info->pDevMode);
  if (!working.devmode || working.merged) return TRUE;

  const uintptr_t args[] = {kUnsuitableSettingsId};
  size_t length = FormatMessageText(HeldSheetLanguageModule(), info->pszErrorStr, info->cchErrorStr, u"%!", args);
  info->cchNeeded = static_cast<DWORD>(length + 1);
  return FALSE;
}

size_t FormatMessageText(HMODULE module, WCHAR* out, size_t capacity, const WCHAR* format,
                         std::span<const uintptr_t> args) {
  if (out == nullptr) capacity = 0;
  size_t length = 0;
  size_t next = 0;
  auto arg = [&]() -> uintptr_t { return next < args.size() ? args[next++] : 0; };
  for (const WCHAR* p = format; p != nullptr && *p != 0; ++p) {
    if (*p != u'%') {
      Append(out, capacity, length, std::u16string_view(p, 1));
      continue;
    }
    if (p[1] == 0) break;
    const WCHAR directive = *++p;
    char number[16];
    switch (directive) {
      case u'!': {
        WCHAR text[256] = {};
        if (module != nullptr && LoadStringW(module, static_cast<UINT>(arg()), text, 256) > 0)
          Append(out, capacity, length, platform::WideField(text, 256));
        break;
      }
      case u's': {
        const auto* s = reinterpret_cast<const WCHAR*>(arg());
        Append(out, capacity, length, s != nullptr ? std::u16string_view(s) : std::u16string_view(u" "));
        break;
      }
      case u'd':
      case u'u':
      case u'x':
      case u'X': {
        const auto value = static_cast<uint32_t>(arg());
        const char* spec = directive == u'd' ? "%ld" : directive == u'u' ? "%lu" : directive == u'x' ? "%lx" : "%lX";
        if (directive == u'd') {
          std::snprintf(number, sizeof number, spec, static_cast<long>(static_cast<int32_t>(value)));
        } else {
          std::snprintf(number, sizeof number, spec, static_cast<unsigned long>(value));
        }
        Append(out, capacity, length, platform::Widen(number));
        break;
      }
      case u'c': {
        const auto c = static_cast<WCHAR>(arg());
        Append(out, capacity, length, std::u16string_view(&c, 1));
        break;
      }
      default: Append(out, capacity, length, std::u16string_view(p, 1)); break;
    }
  }
  if (capacity > 0) out[std::min(length, capacity - 1)] = 0;
  return length;
}

}  // namespace ui
