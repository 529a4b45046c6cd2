// rt7700-preferences: opens a printer's printing preferences (or its printer properties) through
// the interface library as the system does, without a screen; plays a script of user actions on
// the pages, then applies or cancels, as the user's OK or Cancel would.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/sheet_driver.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "png_file.h"
#include "printer_setup.h"
#include "script.h"
#include "sheet_session.h"
#include "win/compstui.h"
#include "win/error.h"
#include "win/modules.h"
#include "win/printer_ui.h"
#include "win/spooler.h"

namespace fs = std::filesystem;
using namespace rt7700prefs;

namespace {

constexpr char kProgram[] = "rt7700-preferences";
constexpr char16_t kDriverName[] = u"Taliro R7700 PCL5e";
constexpr char kDriverLibrary[] = "rt7700PCL5edr.so";
constexpr char kInterfaceLibrary[] = "rt7700PCL5eui.so";
constexpr int kExitFailed = 1;
constexpr size_t kMaxScriptBytes = 1 << 20;

void Say(const std::string& text) {
  std::string shown;
  for (char c : text) shown += (static_cast<unsigned char>(c) < 0x20 && c != '\t') ? '?' : c;
  std::fprintf(stderr, "%s: %s\n", kProgram, shown.c_str());
}

int Fail(int status, const std::string& text) {
  Say(text);
  return status;
}

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: rt7700-preferences PRINTER [--device] [--script FILE | -e ACTION]...\n"
               "                          [--show] [--preview FILE.png] [--apply | --cancel]\n"
               "\n"
               "Opens the printing preferences of PRINTER (with --device its printer properties)\n"
               "without a screen, acts on the pages as a user would, then presses OK or Cancel.\n"
               "OK makes the preferences the printer's default settings, which rt7700-print uses\n"
               "for a job that sets nothing itself; the pages keep favourites and the like\n"
               "themselves. Printers live under $RT7700_PLATFORM_ROOT (rt7700-print uses the same);\n"
               "one that does not exist there is set up first.\n"
               "\n"
               "  --script FILE   actions from FILE (- for standard input), one a line\n"
               "  -e ACTION       one action (or several separated by ';'); may be repeated\n"
               "  --show          list every page's controls with their state (after the actions)\n"
               "  --preview FILE  write the current page's preview picture as PNG\n"
               "  --apply         press OK at the end (the default when there are actions)\n"
               "  --cancel        press Cancel at the end (the default without actions)\n"
               "  --port PORT     the port of a printer set up here (default FILE:/dev/null)\n"
               "  -h, --help      this text\n"
               "\n"
               "Actions (a control is its id or its label text in quotes):\n"
               "  page TITLE|N            choose 1300 \"4 Pages per Sheet\"  select-index ID N\n"
               "  check ID on|off         type ID \"text\"       click ID      double-click ID\n"
               "  spin ID STEPS           slide ID POSITION   help ID\n"
               "  answer yes|no|ok|cancel...  (the next message boxes)\n"
               "  answer-color #RRGGBB|cancel   answer-file PATH|cancel   wait MILLISECONDS\n"
               "  modal { ACTIONS... ok }  (inside the next dialog a page opens)\n"
               "  apply   ok   cancel\n"
               "\n"
               "Exit status: 0 done, 1 an action was refused (a disabled control, a page that\n"
               "refuses its settings) or the printer could not be opened, 2 a bad command line,\n"
               "script, page or control.\n");
}

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : nullptr;
}

std::string LibraryPath(const char* name) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return (exe.parent_path() / ".." / "lib" / name).lexically_normal().string();
}

struct Request {
  std::string printer;
  bool device = false;
  std::vector<ScriptSource> script;
  bool show = false;
  std::optional<std::string> preview;
  std::optional<bool> apply;
  std::string port = "FILE:/dev/null";
};

std::optional<std::string> ReadScript(const std::string& file, std::string& text) {
  std::istream* in = &std::cin;
  std::ifstream opened;
  if (file != "-") {
    std::error_code ec;
    if (fs::is_directory(file, ec)) return "--script " + file + ": expected a file, got a folder";
    opened.open(file, std::ios::binary);
    if (!opened) return "--script " + file + ": " + std::strerror(errno);
    in = &opened;
  }
  text.clear();
  char buffer[65536];
  while (in->read(buffer, sizeof buffer) || in->gcount() > 0) {
    text.append(buffer, static_cast<size_t>(in->gcount()));
    if (text.size() > kMaxScriptBytes) return "--script " + file + ": longer than 1 MB";
  }
  if (in->bad()) return "--script " + file + ": cannot read it";
  return std::nullopt;
}

std::optional<int> ParseArguments(int argc, char** argv, Request& r) {
  int expressions = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    if (a == "-h" || a == "--help") {
      Usage(stdout);
      return 0;
    } else if (a == "--device") {
      r.device = true;
    } else if (a == "--show") {
      r.show = true;
    } else if (a == "--apply" || a == "--cancel") {
      if (r.apply && *r.apply != (a == "--apply")) return Fail(kExitBadScript, a + ": expected --apply or --cancel, not both");
      r.apply = a == "--apply";
    } else if (a == "-e") {
      auto v = value();
      if (!v) return Fail(kExitBadScript, "-e: expected an action after -e");
      r.script.push_back({"-e " + std::to_string(++expressions), *v, true});
    } else if (a == "--script") {
      auto v = value();
      if (!v || v->empty()) return Fail(kExitBadScript, "--script: expected a file name or - after --script");
      ScriptSource source{*v == "-" ? "standard input" : *v, "", false};
      if (auto e = ReadScript(*v, source.text)) return Fail(kExitBadScript, *e);
      r.script.push_back(std::move(source));
    } else if (a == "--preview") {
      auto v = value();
      if (!v || v->empty()) return Fail(kExitBadScript, "--preview: expected a PNG file name after --preview");
      r.preview = *v;
    } else if (a == "--port") {
      auto v = value();
      if (!v || v->empty()) return Fail(kExitBadScript, "--port: expected a port after --port");
      r.port = *v;
    } else if (!a.empty() && a[0] == '-') {
      return Fail(kExitBadScript, a + ": expected one of the options of rt7700-preferences --help");
    } else {
      if (!r.printer.empty()) return Fail(kExitBadScript, a + ": expected one printer, got a second");
      r.printer = a;
    }
  }
  if (r.printer.empty()) return Fail(kExitBadScript, "expected a printer name (see rt7700-preferences --help)");
  if (r.device && r.preview)
    return Fail(kExitBadScript, "--preview: the printer properties have no preview (leave out --device)");
  return std::nullopt;
}

// Top-down 0x00RRGGBB pixels.
std::optional<std::string> WritePicture(const std::string& file, const platform::ui::Picture& picture) {
  return rt7700print::WriteRgbPng(file, picture.width, picture.height, [&](int y, uint8_t* rgb) {
    const uint32_t* src = picture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width);
    for (size_t x = 0; x < static_cast<size_t>(picture.width); ++x) {
      rgb[3 * x] = static_cast<uint8_t>(src[x] >> 16);
      rgb[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);
      rgb[3 * x + 2] = static_cast<uint8_t>(src[x]);
    }
  });
}

class Library {
 public:
  explicit Library(const std::string& path) : module_(LoadLibraryW(platform::Utf8ToUtf16(path).c_str())) {}
  ~Library() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  PFNPROPSHEETUI Entry(const char* name) const {
    return module_ != nullptr
               ? reinterpret_cast<PFNPROPSHEETUI>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)))
               : nullptr;
  }

 private:
  HMODULE module_;
};

class Printer {
 public:
  explicit Printer(const std::u16string& name) {
    if (!OpenPrinterW(name.c_str(), &handle_, nullptr)) handle_ = nullptr;
  }
  ~Printer() {
    if (handle_ != nullptr) ClosePrinter(handle_);
  }
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  Request request;
  if (auto done = ParseArguments(argc, argv, request)) return *done;
  auto parsed = ParseScript(request.script);
  if (auto* e = std::get_if<ScriptError>(&parsed)) return Fail(kExitBadScript, e->where + ": " + e->message);
  const auto& actions = std::get<std::vector<Action>>(parsed);

  if (TestMode()) SetUpTestMode();
  std::string interfacePath = TestMode() && Env("RT7700_TEST_INTERFACE") ? Env("RT7700_TEST_INTERFACE")
                                                                         : LibraryPath(kInterfaceLibrary);
  std::error_code ec;
  if (!fs::exists(interfacePath, ec)) return Fail(kExitFailed, "the interface library is missing: " + interfacePath);

  // A printer this root does not know yet is set up as rt7700-print sets up its own.
  const std::u16string name = platform::Utf8ToUtf16(request.printer);
  if (!platform::spooler::FindPrinter(name)) {
    platform::spooler::PrinterConfig printer;
    printer.name = name;
    printer.driverName = kDriverName;
    printer.driverPath = TestMode() && Env("RT7700_TEST_DRIVER") ? Env("RT7700_TEST_DRIVER") : LibraryPath(kDriverLibrary);
    printer.configPath = interfacePath;
    printer.printProcessor = u"winprint";
    printer.port = request.port;
    if (!SetUpPrinter(printer))
      return Fail(kExitFailed, "cannot set up the printer \"" + request.printer + "\" (error " +
                                   std::to_string(GetLastError()) + ")");
  }
  Printer handle(name);
  if (handle.get() == nullptr) return Fail(kExitFailed, "cannot open the printer \"" + request.printer + "\"");
  auto config = platform::spooler::FindPrinter(name);
  // The interface library the printer is installed with, as the system would load it.
  std::string configPath = config && !config->configPath.empty() ? config->configPath : interfacePath;
  Library library(configPath);
  PFNPROPSHEETUI entry = library.Entry(request.device ? "DrvDevicePropertySheets" : "DrvDocumentPropertySheets");
  if (entry == nullptr) return Fail(kExitFailed, "the interface library has no property sheets: " + configPath);

  std::u16string printerName = name;
  std::vector<uint8_t> in = config ? config->defaultDevmode : std::vector<uint8_t>();
  if (in.size() < sizeof(DEVMODEW)) in.clear();
  DOCUMENTPROPERTYHEADER document{sizeof document, 0, handle.get(), printerName.data(), nullptr, nullptr, 0, 0};
  std::vector<uint8_t> out;
  DEVICEPROPERTYHEADER device{sizeof device, 0, handle.get(), printerName.data()};
  LPARAM header = reinterpret_cast<LPARAM>(&device);
  if (!request.device) {
    LONG size = entry(nullptr, reinterpret_cast<LPARAM>(&document));  // the size of its devmode
    if (size < static_cast<LONG>(sizeof(DEVMODEW)) || size > (1 << 20))
      return Fail(kExitFailed, "the interface library reports no devmode size");
    out.assign(static_cast<size_t>(size), 0);
    document.pdmIn = in.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(in.data());
    document.pdmOut = reinterpret_cast<DEVMODEW*>(out.data());
    document.cbOut = static_cast<DWORD>(out.size());
    document.fMode = DM_PROMPT | DM_OUT_BUFFER | (in.empty() ? 0 : DM_IN_BUFFER);
    header = reinterpret_cast<LPARAM>(&document);
  }

  std::string error;
  auto sheet = platform::ui::PropertySheet::Open(entry, header, error);
  if (!sheet) return Fail(kExitFailed, "the " + std::string(request.device ? "printer properties" : "printing preferences") +
                                           " did not open: " + error);
  SheetSession session(*sheet, stderr);
  std::optional<RunError> failure = session.Run(actions);
  if (!failure && request.preview) {
    auto picture = session.CurrentPreview();
    if (!sheet->IsOpen()) {
      failure = RunError{kExitBadScript, "--preview: the script closed the sheet"};
    } else if (!picture) {
      failure = RunError{kExitBadScript, "--preview: the current page shows no preview"};
    } else if (auto e = WritePicture(*request.preview, *picture)) {
      failure = RunError{kExitFailed, *e};
    }
  }
  if (!failure && request.show) {
    session.VisitAllPages();
    std::fputs(sheet->Show().c_str(), stdout);
  }
  // A failed run is cancelled; what an apply before the failure applied stays applied.
  if (auto e = session.Close(!failure && request.apply.value_or(!actions.empty()))) failure = e;
  // As the system does with the preferences' result: the printer's default devmode.
  const bool accepted = sheet->Result() == CPSUI_OK;
  sheet.reset();
  if (!request.device && accepted) {
    const auto* written = reinterpret_cast<const DEVMODEW*>(out.data());
    if (written->dmSize < sizeof(DEVMODEW) || size_t(written->dmSize) + written->dmDriverExtra > out.size())
      return Fail(kExitFailed, "the printing preferences returned no settings");
    PRINTER_INFO_2W info{};
    info.pDevMode = reinterpret_cast<DEVMODEW*>(out.data());
    if (!SetPrinterW(handle.get(), 2, reinterpret_cast<LPBYTE>(&info), 0))
      return Fail(kExitFailed, "cannot store the printer's settings (error " + std::to_string(GetLastError()) + ")");
  }
  return failure ? Fail(failure->status, failure->message) : 0;
}
