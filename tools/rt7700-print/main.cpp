// rt7700-print: prints a job through the platform's GDI and the real driver libraries, to a file,
// a device or a network printer. A job file gives the document name, the settings and the pages;
// -o NAME=VALUE overrides settings by their IPP/CUPS names.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "devmode/stored_devmode.h"
#include "job_file.h"
#include "job_settings.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/wingdi.h"

namespace fs = std::filesystem;
using namespace rt7700print;

namespace {

constexpr char kProgram[] = "rt7700-print";
const std::u16string kPrinterName = u"Taliro R7700 PCL5e";
constexpr char kDriverLibrary[] = "rt7700PCL5edr.so";
constexpr char kInterfaceLibrary[] = "rt7700PCL5eui.so";

constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitCancelled = 130;

volatile std::sig_atomic_t g_interrupted = 0;

// Ctrl-C: the spooler cancels the job, the driver sees it through EngCheckAbort and stops; a
// second Ctrl-C ends the program at once.
void OnInterrupt(int) {
  g_interrupted = 1;
  platform::spooler::RequestCancelAllJobs();
}

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: rt7700-print [JOB.json | --pages N] [-o NAME=VALUE]... [-n COPIES] [-t TITLE]\n"
               "                    (--output FILE | -d URI)\n"
               "\n"
               "Prints a job on a Taliro R7700 printer through the driver.\n"
               "\n"
               "  JOB.json          job file: {\"document\": NAME, \"settings\": {NAME: VALUE, ...}, \"pages\": N}\n"
               "  --pages N         without a job file: N empty pages (a quick test job)\n"
               "  -o NAME=VALUE     a setting (several may share one -o, separated by spaces);\n"
               "                    overrides the job file's\n"
               "  -n COPIES         the same as -o copies=COPIES\n"
               "  -t, --title TEXT  the document name (default: the job file's, else its file name)\n"
               "  --output FILE     write the printer stream to FILE (replaced only when the job\n"
               "                    succeeds); - writes it to standard output\n"
               "  -d URI            send it to a device file (/dev/usb/lp0) or a network printer\n"
               "                    (socket://HOST:PORT)\n"
               "  -h, --help        this text\n"
               "\n"
               "Settings:\n%s"
               "\n"
               "Exit status: 0 printed, 1 the job failed, 2 bad input (nothing written), 130 cancelled.\n"
               "A summary goes to standard error; with a terminal there, a progress line per page.\n",
               SettingsHelp().c_str());
}

int BadInput(const InputError& e) {
  std::fprintf(stderr, "%s: %s: %s: %s\n", kProgram, e.where.c_str(), e.field.c_str(), e.expected.c_str());
  return kExitBadInput;
}

int CommandLineError(const std::string& field, const std::string& expected) {
  return BadInput(InputError{"command line", field, expected});
}

std::string ErrorText(DWORD error) {
  switch (error) {
    case ERROR_WRITE_FAULT: return "the printer did not take the whole job";
    case ERROR_PRINT_CANCELLED: return "the job was cancelled";
    case ERROR_MOD_NOT_FOUND: return "the driver library could not be loaded";
    case ERROR_PROC_NOT_FOUND: return "the driver library lacks an entry point";
    case ERROR_UNKNOWN_PRINTER_DRIVER: return "the driver library refused to start";
    case ERROR_INVALID_PRINTER_NAME: return "the printer is not set up";
    case ERROR_INVALID_PARAMETER: return "the driver refused the job";
    case ERROR_NOT_ENOUGH_MEMORY: return "out of memory";
    default: return "error " + std::to_string(error);
  }
}

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : nullptr;
}

// A fixed environment for reproducible streams: clock, names, country, and optionally the
// libraries and the program name the driver sees. Only with RT7700_TEST_MODE=1.
bool TestMode() { return Env("RT7700_TEST_MODE") != nullptr && std::strcmp(Env("RT7700_TEST_MODE"), "1") == 0; }

void SetUpTestMode() {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 1;
  t.wDayOfWeek = 5;
  t.wDay = 2;
  t.wHour = 3;
  t.wMinute = 4;
  t.wSecond = 5;
  platform::hooks::SetLocalTime(t);
  platform::hooks::SetComputerName(Env("RT7700_TEST_COMPUTER") != nullptr ? Env("RT7700_TEST_COMPUTER") : "TESTHOST");
  platform::hooks::SetUserName(platform::Utf8ToUtf16(Env("RT7700_TEST_USER") != nullptr ? Env("RT7700_TEST_USER") : "tester"));
  platform::hooks::SetCountryCode(49);
  if (const char* exe = Env("RT7700_TEST_EXE")) platform::hooks::SetExecutableName(exe);
}

// Removes what the run created unless it is handed over.
struct Cleanup {
  std::string root;     // a private platform root
  std::string partial;  // the output file while it is being written
  ~Cleanup() {
    std::error_code ec;
    if (!partial.empty()) fs::remove(partial, ec);
    if (!root.empty()) fs::remove_all(root, ec);
  }
};

struct Request {
  std::string jobFile;
  std::optional<long long> pages;
  std::optional<std::string> title;
  std::optional<std::string> output;
  std::optional<std::string> device;
  struct Option {
    std::string name, value, field;
  };
  std::vector<Option> options;
};

std::optional<int> ParseArguments(int argc, char** argv, Request& r) {
  auto take = [&](int& i) -> std::optional<std::string> {
    if (i + 1 >= argc) return std::nullopt;
    return std::string(argv[++i]);
  };
  auto settingWords = [&](const std::string& text) -> std::optional<int> {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find(' ', start);
      std::string word = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
      start = end == std::string::npos ? text.size() : end + 1;
      if (word.empty()) continue;
      size_t eq = word.find('=');
      if (eq == std::string::npos || eq == 0)
        return CommandLineError("-o " + word, "expected NAME=VALUE (see rt7700-print --help)");
      r.options.push_back({word.substr(0, eq), word.substr(eq + 1), "-o " + word});
    }
    return std::nullopt;
  };
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    std::optional<std::string> v;
    if (a == "-h" || a == "--help") {
      Usage(stdout);
      return 0;
    } else if (a == "-o" || (a.size() > 2 && a.rfind("-o", 0) == 0 && a[2] != '-')) {
      if (a == "-o" && !(v = take(i))) return CommandLineError("-o", "expected NAME=VALUE after -o");
      if (auto e = settingWords(a == "-o" ? *v : a.substr(2))) return e;
    } else if (a == "-n") {
      if (!(v = take(i))) return CommandLineError("-n", "expected a number of copies after -n");
      r.options.push_back({"copies", *v, "-n " + *v});
    } else if (a == "-t" || a == "--title") {
      if (!(v = take(i))) return CommandLineError(a, "expected the document name after " + a);
      r.title = *v;
    } else if (a == "--output" || a.rfind("--output=", 0) == 0) {
      if (a == "--output" && !(v = take(i))) return CommandLineError(a, "expected a file name or - after --output");
      r.output = a == "--output" ? *v : a.substr(9);
      if (r.output->empty()) return CommandLineError("--output", "expected a file name or -");
    } else if (a == "-d") {
      if (!(v = take(i))) return CommandLineError("-d", "expected a device file or socket://HOST:PORT after -d");
      r.device = *v;
    } else if (a == "--pages") {
      if (!(v = take(i))) return CommandLineError("--pages", "expected a page count after --pages");
      const std::string& n = *v;
      if (n.empty() || n.size() > 7 || n.find_first_not_of("0123456789") != std::string::npos ||
          std::stoll(n) > kMaxPages)
        return CommandLineError("--pages " + n, "expected a page count from 0 to " + std::to_string(kMaxPages));
      r.pages = std::stoll(n);
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return CommandLineError(a, "expected one of the options of rt7700-print --help");
    } else {
      if (!r.jobFile.empty()) return CommandLineError(a, "expected one job file, got a second");
      r.jobFile = a;
    }
  }
  if (r.jobFile.empty() && !r.pages) return CommandLineError("(job)", "expected a job file or --pages N");
  if (!r.jobFile.empty() && r.pages) return CommandLineError("--pages", "expected a job file or --pages, not both");
  if (r.output.has_value() == r.device.has_value())
    return CommandLineError("(output)", "expected one of --output FILE and -d URI");
  return std::nullopt;
}

// The port the printer gets for -d: a device file that exists, or socket://HOST:PORT.
std::optional<InputError> CheckDevice(const std::string& uri) {
  if (uri.rfind("socket://", 0) == 0) {
    std::string rest = uri.substr(9);
    size_t colon = rest.rfind(':');
    std::string port = colon == std::string::npos ? "" : rest.substr(colon + 1);
    if (colon == 0 || port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(port) < 1 || std::stoi(port) > 65535)
      return InputError{"command line", "-d " + uri, "expected socket://HOST:PORT with a port from 1 to 65535"};
    return std::nullopt;
  }
  if (uri.empty() || uri[0] != '/')
    return InputError{"command line", "-d " + uri, "expected an absolute device path or socket://HOST:PORT"};
  std::error_code ec;
  if (!fs::exists(uri, ec) || fs::is_directory(uri, ec))
    return InputError{"command line", "-d " + uri, "expected an existing device file"};
  return std::nullopt;
}

std::string LibraryPath(const char* name) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return (exe.parent_path() / ".." / "lib" / name).lexically_normal().string();
}

bool CopyToStdout(const std::string& path) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return true;  // nothing was written: an empty stream
  char buffer[65536];
  size_t n;
  bool ok = true;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) ok = ok && std::fwrite(buffer, 1, n, stdout) == n;
  std::fclose(in);
  return std::fflush(stdout) == 0 && ok;
}

// A file beside the target, so the final rename stays on one file system.
std::optional<std::string> CreatePartial(const std::string& target) {
  fs::path t(target);
  fs::path dir = t.has_parent_path() ? t.parent_path() : fs::path(".");
  std::string pattern = (dir / ("." + t.filename().string() + ".partXXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return std::nullopt;
  mode_t mask = umask(0);
  umask(mask);
  (void)fchmod(fd, 0666 & ~mask);
  close(fd);
  return std::string(name.data());
}

}  // namespace

int main(int argc, char** argv) {
  Request request;
  if (auto done = ParseArguments(argc, argv, request)) return *done;

  JobSettings settings;
  std::string document = "rt7700-print test job";
  long long pages = request.pages.value_or(0);
  if (!request.jobFile.empty()) {
    auto read = ReadJobFile(request.jobFile, settings);
    if (auto* e = std::get_if<InputError>(&read)) return BadInput(*e);
    const JobFile& job = std::get<JobFile>(read);
    pages = job.pages;
    document = job.document.value_or(fs::path(request.jobFile).filename().string());
  }
  for (const auto& o : request.options) {
    if (auto e = ApplySetting(settings, o.name, o.value, "command line", o.field)) return BadInput(*e);
  }
  if (auto e = CheckCombination(settings)) return BadInput(*e);
  if (request.title) document = *request.title;
  if (request.device) {
    if (auto e = CheckDevice(*request.device)) return BadInput(*e);
  }
  if (request.output && *request.output != "-") {
    fs::path dir = fs::path(*request.output).parent_path();
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec))
      return CommandLineError("--output " + *request.output, "expected a file in an existing folder");
    if (fs::is_directory(*request.output, ec))
      return CommandLineError("--output " + *request.output, "expected a file name, got a folder");
  }

  Cleanup cleanup;
  if (Env("RT7700_PLATFORM_ROOT") == nullptr) {
    std::string base = Env("TMPDIR") != nullptr ? Env("TMPDIR") : "/tmp";
    std::string pattern = base + "/rt7700-print.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
      std::fprintf(stderr, "%s: cannot create a folder in %s: %s\n", kProgram, base.c_str(), std::strerror(errno));
      return kExitFailed;
    }
    cleanup.root = name.data();
    setenv("RT7700_PLATFORM_ROOT", cleanup.root.c_str(), 1);
  }
  bool testMode = TestMode();
  if (testMode) SetUpTestMode();

  std::string driverPath = testMode && Env("RT7700_TEST_DRIVER") ? Env("RT7700_TEST_DRIVER") : LibraryPath(kDriverLibrary);
  std::string interfacePath =
      testMode && Env("RT7700_TEST_INTERFACE") ? Env("RT7700_TEST_INTERFACE") : LibraryPath(kInterfaceLibrary);
  std::error_code ec;
  if (!fs::exists(driverPath, ec)) {
    std::fprintf(stderr, "%s: the rendering library is missing: %s\n", kProgram, driverPath.c_str());
    return kExitFailed;
  }
  if (!fs::exists(interfacePath, ec)) interfacePath.clear();

  std::string port;
  std::string spoolFile;  // where the stream is written before it is shown or renamed
  if (request.device) {
    port = *request.device;
  } else if (*request.output == "-") {
    spoolFile = (fs::path(cleanup.root.empty() ? Env("RT7700_PLATFORM_ROOT") : cleanup.root) /
                 ("rt7700-print-" + std::to_string(getpid()) + ".prn"))
                    .string();
    cleanup.partial = spoolFile;
    port = "FILE:" + spoolFile;
  } else {
    auto partial = CreatePartial(*request.output);
    if (!partial) {
      std::fprintf(stderr, "%s: cannot write beside %s: %s\n", kProgram, request.output->c_str(), std::strerror(errno));
      return kExitFailed;
    }
    spoolFile = *partial;
    cleanup.partial = spoolFile;
    port = "FILE:" + spoolFile;
  }

  devmode::StoredDevmode stored{};
  BuildStoredDevmode(settings, kPrinterName, &stored);
  platform::spooler::PrinterConfig printer;
  printer.name = kPrinterName;
  printer.driverName = kPrinterName;
  printer.driverPath = driverPath;
  printer.configPath = interfacePath;
  printer.printProcessor = u"winprint";
  printer.port = port;
  const auto* bytes = reinterpret_cast<const uint8_t*>(&stored);
  printer.defaultDevmode.assign(bytes, bytes + sizeof stored);
  if (!platform::spooler::AddPrinter(printer)) {
    std::fprintf(stderr, "%s: cannot set up the printer under %s\n", kProgram, Env("RT7700_PLATFORM_ROOT"));
    return kExitFailed;
  }

  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  HDC hdc = CreateDCW(nullptr, kPrinterName.c_str(), nullptr, &stored.pub);
  if (hdc == nullptr) {
    std::fprintf(stderr, "%s: cannot open the printer: %s\n", kProgram, ErrorText(GetLastError()).c_str());
    return kExitFailed;
  }
  std::u16string docName = platform::Utf8ToUtf16(document);
  DOCINFOW doc{sizeof(DOCINFOW), docName.c_str(), [&port] {
                 // The run's own output: the printer's stored port may be another run's by now.
                 static const std::u16string output = platform::Utf8ToUtf16(port);
                 return output.c_str();
               }(), nullptr, 0};
  bool progress = isatty(STDERR_FILENO) != 0;
  int result = StartDocW(hdc, &doc) > 0 ? 1 : SP_ERROR;
  for (long long page = 1; result > 0 && page <= pages && !g_interrupted; ++page) {
    result = StartPage(hdc) > 0 && EndPage(hdc) > 0 ? 1 : SP_ERROR;
    if (progress) std::fprintf(stderr, "\r%s: page %lld of %lld", kProgram, page, pages);
  }
  if (progress && pages > 0) std::fprintf(stderr, "\n");
  DWORD error = GetLastError();
  if (result > 0 && !g_interrupted) {
    result = EndDoc(hdc);
    error = GetLastError();
  } else {
    (void)AbortDoc(hdc);
  }
  (void)DeleteDC(hdc);

  if (g_interrupted || (result <= 0 && error == ERROR_PRINT_CANCELLED)) {
    std::fprintf(stderr, "%s: cancelled\n", kProgram);
    return kExitCancelled;
  }
  if (result <= 0) {
    std::fprintf(stderr, "%s: the job failed: %s\n", kProgram, ErrorText(error).c_str());
    return kExitFailed;
  }

  std::string destination = request.device ? *request.device : *request.output;
  std::string size;
  if (!spoolFile.empty()) {
    auto n = fs::exists(spoolFile, ec) ? fs::file_size(spoolFile, ec) : 0;
    size = ", " + std::to_string(n) + " bytes";
    if (*request.output == "-") {
      if (!CopyToStdout(spoolFile)) {
        std::fprintf(stderr, "%s: cannot write to standard output\n", kProgram);
        return kExitFailed;
      }
      destination = "standard output";
    } else {
      if (std::rename(spoolFile.c_str(), request.output->c_str()) != 0) {
        std::fprintf(stderr, "%s: cannot replace %s: %s\n", kProgram, request.output->c_str(), std::strerror(errno));
        return kExitFailed;
      }
      cleanup.partial.clear();
    }
  }
  long long sheets = SheetCount(settings, pages);
  std::fprintf(stderr, "%s: \"%s\": %lld page%s, %lld sheet%s%s to %s\n", kProgram, document.c_str(), pages,
               pages == 1 ? "" : "s", sheets, sheets == 1 ? "" : "s", size.c_str(), destination.c_str());
  return 0;
}
