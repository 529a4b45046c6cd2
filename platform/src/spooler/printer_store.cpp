#include "printer_store.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>

#include "../system/environment.h"
#include "platform/durable_file.h"
#include "platform/utf16.h"
#include "spooler_internal.h"
#include "win/debug.h"
#include "win/error.h"

namespace platform::spooler {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::mutex& StoreLock() {
  static std::mutex m;
  return m;
}

constexpr size_t kMaxPrinterFileBytes = 256u << 20;

fs::path StoreRoot() { return fs::path(PlatformRoot()) / "spooler"; }

// Printer names may hold any character; the folder name is their UTF-8 in hex.
std::string FolderName(const std::u16string& name) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : Utf16ToUtf8(name)) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

std::optional<std::vector<uint8_t>> Unhex(const std::string& text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> out(text.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    int v = 0;
    for (int k = 0; k < 2; ++k) {
      char c = text[2 * i + k];
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (d < 0) return std::nullopt;
      v = v * 16 + d;
    }
    out[i] = static_cast<uint8_t>(v);
  }
  return out;
}

json ToJson(const StoredPrinter& p) {
  json values = json::object();
  for (const auto& [name, value] : p.data) {
    values[Utf16ToUtf8(name)] = {{"type", value.type}, {"data", Hex(value.data)}};
  }
  return {{"name", Utf16ToUtf8(p.config.name)},
          {"driverName", Utf16ToUtf8(p.config.driverName)},
          {"driverPath", p.config.driverPath},
          {"configPath", p.config.configPath},
          {"printProcessor", Utf16ToUtf8(p.config.printProcessor)},
          {"port", p.config.port},
          {"attributes", p.config.attributes},
          {"defaultDevmode", Hex(p.config.defaultDevmode)},
          {"printerData", values}};
}

std::optional<StoredPrinter> FromJson(const json& j) {
  StoredPrinter p;
  try {
    p.config.name = Utf8ToUtf16(j.at("name").get<std::string>());
    p.config.driverName = Utf8ToUtf16(j.at("driverName").get<std::string>());
    p.config.driverPath = j.at("driverPath").get<std::string>();
    p.config.configPath = j.value("configPath", std::string());
    p.config.printProcessor = Utf8ToUtf16(j.value("printProcessor", std::string()));
    p.config.port = j.at("port").get<std::string>();
    p.config.attributes = j.value("attributes", PRINTER_ATTRIBUTE_LOCAL);
    auto devmode = Unhex(j.value("defaultDevmode", std::string()));
    if (!devmode) return std::nullopt;
    p.config.defaultDevmode = *devmode;
    if (j.contains("printerData")) {
      const json& values = j.at("printerData");
      if (!values.is_object()) return std::nullopt;
      for (auto it = values.begin(); it != values.end(); ++it) {
        auto bytes = Unhex(it.value().at("data").get<std::string>());
        if (!bytes) return std::nullopt;
        p.data[Utf8ToUtf16(it.key())] = {it.value().at("type").get<DWORD>(), *bytes};
      }
    }
  } catch (const json::exception&) {
    return std::nullopt;
  }
  return p;
}

void Trace(const char* format, const std::string& path, const char* why) {
  char line[512];
  std::snprintf(line, sizeof line, format, path.c_str(), why);
  OutputDebugStringA(line);
}

enum class ReadStatus { Read, Missing, Damaged, Unreadable };

// A file that is not there is a printer that is not there; one that cannot be read or does not
// parse is said so, with the last error set.
ReadStatus ReadFile(const fs::path& file, StoredPrinter& printer) {
  std::string text;
  if (!ReadWholeFile(file.string(), text, kMaxPrinterFileBytes)) {
    return GetLastError() == ERROR_FILE_NOT_FOUND ? ReadStatus::Missing : ReadStatus::Unreadable;
  }
  json j = json::parse(text, nullptr, /*allow_exceptions=*/false);
  std::optional<StoredPrinter> p;
  if (!j.is_discarded()) p = FromJson(j);
  if (!p) {
    Trace("spooler: %s is damaged (%s)\n", file.string(), j.is_discarded() ? "not JSON" : "fields missing");
    SetLastError(ERROR_INVALID_DATA);
    return ReadStatus::Damaged;
  }
  printer = std::move(*p);
  return ReadStatus::Read;
}

ReadStatus LoadPrinterLocked(const std::u16string& name, StoredPrinter& printer) {
  if (name.empty()) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return ReadStatus::Missing;
  }
  return ReadFile(fs::path(PrinterFolder(name)) / "printer.json", printer);
}

bool SavePrinterLocked(const StoredPrinter& printer) {
  if (printer.config.name.empty()) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return false;
  }
  std::string text;
  try {
    text = ToJson(printer).dump(1);
  } catch (const json::exception& e) {
    // Strings that are not UTF-8 (a device path in another encoding) cannot be kept in JSON.
    Trace("spooler: cannot keep the printer in %s: %s\n", PrinterFolder(printer.config.name), e.what());
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::error_code ec;
  fs::path folder = PrinterFolder(printer.config.name);
  fs::create_directories(folder, ec);
  if (ec) {
    Trace("spooler: cannot create %s: %s\n", folder.string(), ec.message().c_str());
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return ReplaceFileDurably((folder / "printer.json").string(), text);
}

}  // namespace

std::string PrinterFolder(const std::u16string& name) { return (StoreRoot() / FolderName(name)).string(); }

std::optional<StoredPrinter> LoadPrinter(const std::u16string& name) {
  std::lock_guard g(StoreLock());
  StoredPrinter p;
  if (LoadPrinterLocked(name, p) != ReadStatus::Read) return std::nullopt;
  return p;
}

bool SavePrinter(const StoredPrinter& printer) {
  std::lock_guard g(StoreLock());
  return SavePrinterLocked(printer);
}

bool RemovePrinter(const std::u16string& name) {
  std::lock_guard g(StoreLock());
  std::error_code ec;
  return fs::remove_all(PrinterFolder(name), ec) > 0 && !ec;
}

std::vector<StoredPrinter> LoadAllPrinters() {
  std::lock_guard g(StoreLock());
  std::vector<StoredPrinter> out;
  std::error_code ec;
  for (fs::directory_iterator it(StoreRoot(), ec), end; !ec && it != end; it.increment(ec)) {
    StoredPrinter p;
    if (ReadFile(it->path() / "printer.json", p) == ReadStatus::Read) out.push_back(std::move(p));
  }
  std::sort(out.begin(), out.end(),
            [](const StoredPrinter& a, const StoredPrinter& b) { return a.config.name < b.config.name; });
  return out;
}

namespace {

// Held from a printer's read to its write, so that another process changing the same printer
// (printer data, the default devmode) loses nothing. The lock file lies beside the printer's
// folder, which a delete removes.
std::unique_ptr<FileLock> LockPrinterFile(const std::u16string& name) {
  std::error_code ec;
  fs::create_directories(StoreRoot(), ec);
  auto lock = std::make_unique<FileLock>(PrinterFolder(name));
  if (!lock->Held()) {
    Trace("spooler: cannot lock the printer file of %s: %s\n", PrinterFolder(name), "lock refused");
    return nullptr;
  }
  return lock;
}

}  // namespace

bool UpdatePrinter(const std::u16string& name, const std::function<bool(StoredPrinter&)>& change) {
  std::lock_guard g(StoreLock());
  auto lock = LockPrinterFile(name);
  if (!lock) return false;
  StoredPrinter p;
  if (LoadPrinterLocked(name, p) != ReadStatus::Read) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return false;
  }
  return change(p) && SavePrinterLocked(p);
}

bool AddPrinter(const PrinterConfig& config) {
  std::lock_guard g(StoreLock());
  auto lock = LockPrinterFile(config.name);
  if (!lock) return false;
  StoredPrinter p;
  // Printer data survives a re-add. A damaged file is replaced (re-adding is how a printer is
  // repaired); one that cannot be read at all is left alone rather than overwritten blind.
  StoredPrinter old;
  switch (LoadPrinterLocked(config.name, old)) {
    case ReadStatus::Read: p.data = std::move(old.data); break;
    case ReadStatus::Missing:
    case ReadStatus::Damaged: break;
    case ReadStatus::Unreadable: return false;
  }
  p.config = config;
  return SavePrinterLocked(p);
}

bool DeletePrinter(const std::u16string& name) { return RemovePrinter(name); }

std::optional<PrinterConfig> FindPrinter(const std::u16string& name) {
  auto p = LoadPrinter(name);
  if (!p) return std::nullopt;
  return p->config;
}

std::vector<PrinterConfig> ListPrinters() {
  std::vector<PrinterConfig> out;
  for (auto& p : LoadAllPrinters()) out.push_back(std::move(p.config));
  return out;
}

std::optional<std::string> PrinterDataFilePath(const std::u16string& printerName) {
  if (!LoadPrinter(printerName)) return std::nullopt;
  return PrinterFolder(printerName) + "/printer.dat";
}

}  // namespace platform::spooler
