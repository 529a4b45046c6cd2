#include "printer_store.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "../system/environment.h"
#include "platform/utf16.h"
#include "spooler_internal.h"

namespace platform::spooler {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::mutex& StoreLock() {
  static std::mutex m;
  return m;
}

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

std::optional<StoredPrinter> ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  json j = json::parse(in, nullptr, /*allow_exceptions=*/false);
  if (j.is_discarded()) return std::nullopt;
  return FromJson(j);
}

}  // namespace

std::string PrinterFolder(const std::u16string& name) { return (StoreRoot() / FolderName(name)).string(); }

std::optional<StoredPrinter> LoadPrinter(const std::u16string& name) {
  if (name.empty()) return std::nullopt;
  std::lock_guard g(StoreLock());
  return ReadFile(fs::path(PrinterFolder(name)) / "printer.json");
}

bool SavePrinter(const StoredPrinter& printer) {
  if (printer.config.name.empty()) return false;
  std::lock_guard g(StoreLock());
  std::error_code ec;
  fs::path folder = PrinterFolder(printer.config.name);
  fs::create_directories(folder, ec);
  if (ec) return false;
  // Write beside, then rename: a crash never leaves a half-written printer.
  fs::path tmp = folder / ("printer.json.tmp" + std::to_string(getpid()));
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << ToJson(printer).dump(1);
    out.flush();
    if (!out) return false;
  }
  fs::rename(tmp, folder / "printer.json", ec);
  return !ec;
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
  for (const auto& entry : fs::directory_iterator(StoreRoot(), ec)) {
    if (auto p = ReadFile(entry.path() / "printer.json")) out.push_back(std::move(*p));
  }
  std::sort(out.begin(), out.end(),
            [](const StoredPrinter& a, const StoredPrinter& b) { return a.config.name < b.config.name; });
  return out;
}

bool AddPrinter(const PrinterConfig& config) {
  StoredPrinter p;
  if (auto old = LoadPrinter(config.name)) p.data = old->data;  // printer data survives a re-add
  p.config = config;
  return SavePrinter(p);
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
