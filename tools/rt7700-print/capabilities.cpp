#include "capabilities.h"

#include <vector>

#include "devmode/caller_merge.h"
#include "platform/utf16.h"
#include "win/compstui.h"
#include "win/modules.h"
#include "win/printer_ui.h"
#include "win/spooler.h"

namespace rt7700print {
namespace {

using DeviceCapabilitiesFn = DWORD (*)(HANDLE, PWSTR, WORD, void*, PDEVMODEW);
using DevQueryPrintExFn = BOOL (*)(PDEVQUERYPRINT_INFO);
using DocumentPropertySheetsFn = LONG (*)(PPROPSHEETUI_INFO, LPARAM);

class Library {
 public:
  explicit Library(const std::string& path)
      : module_(path.empty() ? nullptr : LoadLibraryW(platform::Utf8ToUtf16(path).c_str())) {}
  ~Library() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  template <typename F>
  F Entry(const char* name) const {
    return module_ != nullptr ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name))) : nullptr;
  }

 private:
  HMODULE module_;
};

std::string Utf8(const WCHAR* text, size_t chars) { return platform::Utf16ToUtf8(platform::WideField(text, chars)); }

std::string Millimetres(LONG tenths) {
  char text[32];
  std::snprintf(text, sizeof text, "%ld.%ld", static_cast<long>(tenths / 10), static_cast<long>(tenths % 10));
  return text;
}

}  // namespace

bool ListCapabilities(const std::string& interfacePath, const std::u16string& printer, FILE* out) {
  Library library(interfacePath);
  auto caps = library.Entry<DeviceCapabilitiesFn>("DrvDeviceCapabilities");
  if (caps == nullptr) return false;
  std::u16string name = printer;
  auto ask = [&](WORD index, void* output) { return caps(nullptr, name.data(), index, output, nullptr); };

  const DWORD papers = ask(DC_PAPERS, nullptr);
  if (papers == GDI_ERROR || papers == 0 || papers > 1000) return false;
  std::vector<WORD> ids(papers);
  std::vector<POINT> sizes(papers);
  std::vector<WCHAR> names(papers * 64);
  if (ask(DC_PAPERS, ids.data()) != papers || ask(DC_PAPERSIZE, sizes.data()) != papers ||
      ask(DC_PAPERNAMES, names.data()) != papers)
    return false;
  for (DWORD i = 0; i < papers; ++i) {
    std::fprintf(out, "%s %u: %s x %s mm, %s\n", ids[i] >= 288 ? "custom paper" : "paper", ids[i],
                 Millimetres(sizes[i].x).c_str(), Millimetres(sizes[i].y).c_str(), Utf8(&names[i * 64], 64).c_str());
  }
  const DWORD bins = ask(DC_BINS, nullptr);
  if (bins == GDI_ERROR || bins > 100) return false;
  std::vector<WORD> binIds(bins);
  std::vector<WCHAR> binNames(bins * 24);
  if (ask(DC_BINS, binIds.data()) != bins || ask(DC_BINNAMES, binNames.data()) != bins) return false;
  for (DWORD i = 0; i < bins; ++i) std::fprintf(out, "bin %u: %s\n", binIds[i], Utf8(&binNames[i * 24], 24).c_str());
  const DWORD resolutions = ask(DC_ENUMRESOLUTIONS, nullptr);
  if (resolutions == GDI_ERROR || resolutions > 100) return false;
  std::vector<LONG> pairs(resolutions * 2);
  ask(DC_ENUMRESOLUTIONS, pairs.data());
  for (DWORD i = 0; i < resolutions; ++i) {
    std::fprintf(out, "resolution: %ld x %ld dpi\n", static_cast<long>(pairs[2 * i]), static_cast<long>(pairs[2 * i + 1]));
  }
  std::fprintf(out, "copies: 1 to %u\n", ask(DC_COPIES, nullptr));
  std::fprintf(out, "two-sided: %s\n", ask(DC_DUPLEX, nullptr) == 1 ? "yes" : "no");
  std::fprintf(out, "collation: %s\n", ask(DC_COLLATE, nullptr) == 1 ? "yes" : "no");
  const DWORD angle = ask(DC_ORIENTATION, nullptr);
  std::fprintf(out, "landscape: %s\n", angle == 90 ? "turned 90 degrees" : angle == 270 ? "turned 270 degrees" : "no");
  return true;
}

std::optional<std::string> RefusedDevmode(const std::string& interfacePath, const std::u16string& printer,
                                          DEVMODEW* devmode) {
  Library library(interfacePath);
  auto check = library.Entry<DevQueryPrintExFn>("DevQueryPrintEx");
  if (check == nullptr) return std::nullopt;
  HANDLE handle = nullptr;
  if (!OpenPrinterW(printer.c_str(), &handle, nullptr)) handle = nullptr;
  WCHAR reason[512] = {};
  DEVQUERYPRINT_INFO info{sizeof info, 1, handle, devmode, reason, 512, 0};
  BOOL ok = check(&info);
  if (handle != nullptr) ClosePrinter(handle);
  if (ok) return std::nullopt;
  return Utf8(reason, 512);
}

bool InterfaceDevmode(const std::string& interfacePath, const std::u16string& printer,
                      const devmode::StoredDevmode& job, devmode::StoredDevmode* out) {
  Library library(interfacePath);
  auto sheets = library.Entry<DocumentPropertySheetsFn>("DrvDocumentPropertySheets");
  if (sheets == nullptr) return false;
  HANDLE handle = nullptr;
  if (!OpenPrinterW(printer.c_str(), &handle, nullptr)) return false;
  devmode::StoredDevmode in = job;
  devmode::StoredDevmode merged{};
  std::u16string name = printer;
  DOCUMENTPROPERTYHEADER header{sizeof header, 0, handle, name.data(), &in.pub, &merged.pub, sizeof merged, DM_COPY};
  LONG result = sheets(nullptr, reinterpret_cast<LPARAM>(&header));
  ClosePrinter(handle);
  if (result != 1 || merged.priv.signature != devmode::kPrivSignature) return false;
  if (job.pub.dmPaperSize >= devmode::kFirstCustomPaperId) {
    merged.pub.dmPaperWidth = job.pub.dmPaperWidth;
    merged.pub.dmPaperLength = job.pub.dmPaperLength;
  }
  *out = merged;
  return true;
}

}  // namespace rt7700print
