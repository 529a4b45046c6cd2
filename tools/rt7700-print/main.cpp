// rt7700-print: prints a job through the platform's GDI and the real driver libraries, to a file,
// a device or a network printer. A job file gives the document name, the settings and the pages;
// -o NAME=VALUE overrides settings by their IPP/CUPS names.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "capabilities.h"
#include "destination.h"
#include "devmode/stored_devmode.h"
#include "job_file.h"
#include "job_settings.h"
#include "page_drawing.h"
#include "pdf_job.h"
#include "preview.h"
#include "printer_setup.h"
#include "temporaries.h"
#include "terminal_text.h"
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

volatile std::sig_atomic_t g_signal = 0;

// Ctrl-C, a hang-up, a kill: the spooler cancels the job, the driver sees it through
// EngCheckAbort, stops and removes its spool copy, and the run removes its own files on the way
// out. The same signal a second time ends the program at once; the next run removes what it left.
void OnSignal(int signal) {
  if (g_signal == 0) g_signal = signal;
  platform::spooler::RequestCancelAllJobs();
}

void CatchSignals() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2, SIGPOLL, SIGPROF, SIGVTALRM,
                SIGXCPU, SIGPWR, SIGSTKFLT})
    sigaction(s, &action, nullptr);
  for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) sigaction(s, &action, nullptr);
  // A closed pipe or a file size limit shows as a failed write, which fails the job.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

// One line on standard error; whatever came from the input shows its control characters escaped.
void Say(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", kProgram, Printable(text).c_str());
}

void Usage(FILE* out) {
  std::fprintf(
      out,
      "usage: rt7700-print [JOB.json | --pages N] [-o NAME=VALUE]... [-n COPIES] [-t TITLE]\n"
      "                    (--output FILE | -d URI [--timeout SECONDS])\n"
      "       rt7700-print --capabilities\n"
      "       rt7700-print [JOB.json | --pages N] [-o NAME=VALUE]... --preview DIR [--preview-dpi N]\n"
      "\n"
      "Prints a job on a Taliro R7700 printer through the driver.\n"
      "\n"
      "  JOB.json          job file: {\"document\": NAME, \"settings\": {NAME: VALUE, ...},\n"
      "                    \"pages\": N or [PAGE, ...]}, where a page may draw lines, shapes and\n"
      "                    paths: {\"unit\": \"mm\", \"draw\": [{\"op\": \"line\", ...}, ...]}\n"
      "                    (see the README; at most %zu MB)\n"
      "  --pages N         without a job file: N empty pages (a quick test job)\n"
      "  FILE.pdf, -       instead of a job file, a PDF (known by its content; - reads it\n"
      "                    from standard input): each page on the paper that fits it;\n"
      "                    -o page-ranges=1-3,7 and -o fit-to-page as well\n"
      "  -o NAME=VALUE     a setting (several may share one -o, separated by spaces);\n"
      "                    overrides the job file's\n"
      "  -n COPIES         the same as -o copies=COPIES\n"
      "  -t, --title TEXT  the document name (default: the job file's, else its file name);\n"
      "                    --title=TEXT for one that starts with -\n"
      "  --output FILE     write the printer stream to FILE (replaced only when the job\n"
      "                    succeeds, keeping its mode; a device, a pipe or what a link\n"
      "                    points to is written in place); - writes it to standard output\n"
      "  -d URI            send it to a device file (/dev/usb/lp0) or a network printer\n"
      "                    (socket://HOST:PORT, socket://[IPV6]:PORT)\n"
      "  --timeout SECONDS for a network printer: give up when it does not connect, take\n"
      "                    data or finish for this long (%d to %d; default %d); the same as\n"
      "                    socket://HOST:PORT?timeout=SECONDS\n"
      "  --capabilities    list what the driver reports for the printer, one item a line:\n"
      "                    papers (custom ones too) with ids, sizes and names, paper\n"
      "                    sources, resolutions, copies, two-sided, collation, landscape\n"
      "  --preview DIR     print nothing: draw each page as the application drew it, on the\n"
      "                    printer's paper, into DIR/page-001.png, ... (DIR is created)\n"
      "  --preview-dpi N   the previews' resolution (%d to %d; default %d)\n"
      "  --progress-fd FD  write \"page N of M\" to FD as each page is done (for filters)\n"
      "  -h, --help        this text\n"
      "\n"
      "Settings:\n%s"
      "\n"
      "Exit status: 0 printed, 1 the job failed, 2 bad input (nothing written), 128 + the\n"
      "signal's number when a signal cancelled it (130 for Ctrl-C).\n"
      "A summary goes to standard error; with a terminal there, a progress line per page.\n",
      kMaxJobFileBytes >> 20, kMinTimeout, kMaxTimeout, kDefaultTimeout, kMinPreviewDpi, kMaxPreviewDpi,
      kDefaultPreviewDpi, (SettingsHelp() + WatermarkHelp()).c_str());
}

int BadInput(const InputError& e) {
  Say(e.where + ": " + e.field + ": " + e.expected);
  return kExitBadInput;
}

int CommandLineError(const std::string& field, const std::string& expected) {
  return BadInput(InputError{"command line", field, expected});
}

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : nullptr;
}

// Test mode (printer_setup.h) may also name the program the driver sees.
void SetUpPrintTestMode() {
  SetUpTestMode();
  if (const char* exe = Env("RT7700_TEST_EXE")) platform::hooks::SetExecutableName(exe);
}

struct Request {
  std::string jobFile;
  std::optional<long long> pages;
  std::optional<std::string> title;
  std::optional<std::string> output;
  std::optional<std::string> device;
  std::optional<int> timeout;
  std::string timeoutField;
  std::optional<std::string> preview;
  std::optional<int> previewDpi;
  std::optional<int> progressFd;  // "page N of M" lines for a program that runs this one
  struct Option {
    std::string name, value, field;
  };
  std::vector<Option> options;
  bool capabilities = false;
};

std::optional<int> ParseArguments(int argc, char** argv, Request& r) {
  auto take = [&](int& i) -> std::optional<std::string> {
    if (i + 1 >= argc) return std::nullopt;
    return std::string(argv[++i]);
  };
  // The value of an option whose value could be mistaken for the next option: one that starts
  // with - (other than "-" itself, standard output) is taken for a forgotten value.
  auto takeText = [&](int& i) -> std::optional<std::string> {
    if (i + 1 >= argc || (argv[i + 1][0] == '-' && argv[i + 1][1] != '\0')) return std::nullopt;
    return std::string(argv[++i]);
  };
  // Words are split at spaces outside quotes, as CUPS reads them: NAME="TWO WORDS" or
  // NAME='TWO WORDS' keeps the spaces, and a backslash takes the next character as it is.
  auto settingWords = [&](const std::string& text) -> std::optional<int> {
    std::vector<std::pair<std::string, std::string>> words;  // (as read, as written)
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (quote == 0 && c == ' ') {
        inWord = false;
        continue;
      }
      if (!inWord) words.emplace_back(), inWord = true;
      words.back().second += c;
      if (c == '\\' && i + 1 < text.size()) {
        words.back().first += text[++i];
        words.back().second += text[i];
      } else if (quote == 0 && (c == '"' || c == '\'')) {
        quote = c;
      } else if (c == quote) {
        quote = 0;
      } else {
        words.back().first += c;
      }
    }
    if (quote != 0) return CommandLineError("-o " + words.back().second, "expected a closing quote");
    for (auto [word, written] : words) {
      if (word == "fit-to-page") word += "=true";  // CUPS gives it bare
      size_t eq = word.find('=');
      if (eq == std::string::npos || eq == 0)
        return CommandLineError("-o " + written, "expected NAME=VALUE (see rt7700-print --help)");
      r.options.push_back({word.substr(0, eq), word.substr(eq + 1), "-o " + written});
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
      if (!(v = takeText(i)))
        return CommandLineError(
            a, "expected the document name after " + a + " (--title=TEXT for one that starts with -)");
      r.title = *v;
    } else if (a.rfind("--title=", 0) == 0) {
      r.title = a.substr(8);
    } else if (a == "--output" || a.rfind("--output=", 0) == 0) {
      if (a == "--output" && !(v = takeText(i)))
        return CommandLineError(
            a, "expected a file name or - after --output (./NAME for a file that starts with -)");
      r.output = a == "--output" ? *v : a.substr(9);
      if (r.output->empty()) return CommandLineError("--output", "expected a file name or -");
    } else if (a == "-d") {
      if (!(v = takeText(i)))
        return CommandLineError("-d", "expected a device file or socket://HOST:PORT after -d");
      r.device = *v;
    } else if (a == "--timeout") {
      v = take(i);
      r.timeoutField = "--timeout" + (v ? " " + *v : std::string());
      const std::string expected = "expected a number of seconds from " + std::to_string(kMinTimeout) +
                                   " to " + std::to_string(kMaxTimeout) + " after --timeout";
      if (!v || v->empty() || v->size() > 4 || v->find_first_not_of("0123456789") != std::string::npos)
        return CommandLineError(r.timeoutField, expected);
      r.timeout = std::stoi(*v);
      if (*r.timeout < kMinTimeout || *r.timeout > kMaxTimeout)
        return CommandLineError(r.timeoutField, expected);
    } else if (a == "--capabilities") {
      r.capabilities = true;
    } else if (a == "--preview" || a.rfind("--preview=", 0) == 0) {
      if (a == "--preview" && !(v = takeText(i)))
        return CommandLineError(a, "expected a folder after --preview (./NAME for one that starts with -)");
      r.preview = a == "--preview" ? *v : a.substr(10);
      if (r.preview->empty()) return CommandLineError("--preview", "expected a folder");
    } else if (a == "--preview-dpi") {
      v = take(i);
      const std::string field = "--preview-dpi" + (v ? " " + *v : std::string());
      const std::string expected = "expected a resolution from " + std::to_string(kMinPreviewDpi) + " to " +
                                   std::to_string(kMaxPreviewDpi) + " after --preview-dpi";
      if (!v || v->empty() || v->size() > 4 || v->find_first_not_of("0123456789") != std::string::npos)
        return CommandLineError(field, expected);
      r.previewDpi = std::stoi(*v);
      if (*r.previewDpi < kMinPreviewDpi || *r.previewDpi > kMaxPreviewDpi)
        return CommandLineError(field, expected);
    } else if (a == "--progress-fd") {
      v = take(i);
      if (!v || v->empty() || v->size() > 4 || v->find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(*v) < 3)
        return CommandLineError("--progress-fd", "expected a file descriptor from 3 up after --progress-fd");
      r.progressFd = std::stoi(*v);
    } else if (a == "--pages") {
      if (!(v = take(i))) return CommandLineError("--pages", "expected a page count after --pages");
      const std::string& n = *v;
      if (n.empty() || n.size() > 7 || n.find_first_not_of("0123456789") != std::string::npos ||
          std::stoll(n) > kMaxPages)
        return CommandLineError("--pages " + n,
                                "expected a page count from 0 to " + std::to_string(kMaxPages));
      r.pages = std::stoll(n);
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return CommandLineError(a, "expected one of the options of rt7700-print --help");
    } else {
      if (!r.jobFile.empty()) return CommandLineError(a, "expected one job file, got a second");
      r.jobFile = a;
    }
  }
  if (r.capabilities) {
    if (!r.jobFile.empty() || r.pages || r.output || r.device || r.preview || !r.options.empty())
      return CommandLineError("--capabilities", "expected no job, settings or output with --capabilities");
    return std::nullopt;
  }
  if (r.jobFile.empty() && !r.pages) return CommandLineError("(job)", "expected a job file or --pages N");
  if (!r.jobFile.empty() && r.pages)
    return CommandLineError("--pages", "expected a job file or --pages, not both");
  if (r.previewDpi && !r.preview) return CommandLineError("--preview-dpi", "expected --preview DIR with it");
  if (r.preview && (r.output || r.device || r.timeout))
    return CommandLineError("--preview", "expected either a preview or an output, not both");
  if (!r.preview && r.output.has_value() == r.device.has_value())
    return CommandLineError("(output)", "expected one of --output FILE, -d URI and --preview DIR");
  return std::nullopt;
}

// -d: a device file that exists, or a TCP printer; the port the printer gets for it.
std::variant<std::string, InputError> DevicePort(const Request& r, Destination& destination) {
  const std::string& uri = *r.device;
  destination.name = uri;
  if (IsSocketUri(uri)) {
    auto parsed = ParseSocketUri(uri);
    if (auto* expected = std::get_if<std::string>(&parsed))
      return InputError{"command line", "-d " + uri, *expected};
    destination.kind = Destination::Kind::Socket;
    destination.socket = std::get<SocketAddress>(parsed);
    if (!r.timeout) return uri;
    if (destination.socket.timeout)
      return InputError{"command line", r.timeoutField,
                        "expected the timeout once: the URI already names one"};
    destination.socket.timeout = r.timeout;
    return uri + "?timeout=" + std::to_string(*r.timeout);
  }
  if (r.timeout) return InputError{"command line", r.timeoutField, "expected a socket:// printer after -d"};
  if (uri.empty() || uri[0] != '/')
    return InputError{"command line", "-d " + uri, "expected an absolute device path or socket://HOST:PORT"};
  std::error_code ec;
  if (!fs::exists(uri, ec) || fs::is_directory(uri, ec))
    return InputError{"command line", "-d " + uri, "expected an existing device file"};
  // Written from its start, a file would keep the old tail of a longer one.
  if (fs::is_regular_file(uri, ec))
    return InputError{"command line", "-d " + uri,
                      "expected a device file, got a regular file (use --output FILE)"};
  destination.kind = Destination::Kind::Device;
  return uri;
}

// The file a path names once symbolic links are followed (also a link that points nowhere yet).
std::optional<fs::path> FollowLinks(fs::path path) {
  std::error_code ec;
  for (int hops = 0; hops < 40; ++hops) {
    if (!fs::is_symlink(path, ec)) return path;
    fs::path next = fs::read_symlink(path, ec);
    if (ec) return std::nullopt;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return std::nullopt;
}

std::string LibraryPath(const char* name) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return (exe.parent_path() / ".." / "lib" / name).lexically_normal().string();
}

// 0, or the errno of the write that failed.
int CopyToStdout(const std::string& path) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return 0;  // nothing was written: an empty stream
  char buffer[65536];
  size_t n;
  int error = 0;
  while (error == 0 && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    if (std::fwrite(buffer, 1, n, stdout) != n) error = errno != 0 ? errno : EIO;
  }
  std::fclose(in);
  if (error == 0 && std::fflush(stdout) != 0) error = errno != 0 ? errno : EIO;
  return error;
}

int Cancelled(int signal) {
  Say("cancelled");
  return signal != 0 ? 128 + signal : kExitCancelled;
}

// Draws each page into DIR/page-NNN.png; progress and failures as for printing.
int Preview(HDC printer, const JobFile& job, long long pages, const std::string& dir, int dpi,
            const std::string& document, const PdfInput& pdf) {
  bool progress = isatty(STDERR_FILENO) != 0;
  size_t nextDrawn = 0;
  for (long long page = 1; page <= pages; ++page) {
    if (g_signal != 0) return Cancelled(g_signal);
    const PageDrawing* drawing = nullptr;
    if (nextDrawn < job.drawn.size() && job.drawn[nextDrawn].number == page)
      drawing = &job.drawn[nextDrawn++].drawing;
    Unit unit = drawing != nullptr ? drawing->unit.value_or(job.unit.value_or(Unit::Point)) : Unit::Point;
    if (auto e = pdf.document
                     ? PreviewPdfPage(printer, pdf, page, dpi, PreviewFileName(dir, page), kPrinterName)
                     : PreviewPage(printer, drawing, unit, dpi, PreviewFileName(dir, page))) {
      if (progress) std::fprintf(stderr, "\n");
      Say("the preview failed: page " + std::to_string(page) + ", " + *e);
      return kExitFailed;
    }
    if (progress) std::fprintf(stderr, "\r%s: page %lld of %lld", kProgram, page, pages);
  }
  if (progress && pages > 0) std::fprintf(stderr, "\n");
  if (g_signal != 0) return Cancelled(g_signal);
  Say("\"" + document + "\": " + std::to_string(pages) + " page" + (pages == 1 ? "" : "s") +
      " previewed at " + std::to_string(dpi) + " dpi in " + dir);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Request request;
  if (auto done = ParseArguments(argc, argv, request)) return *done;

  JobSettings settings;
  std::string document = "rt7700-print test job";
  long long pages = request.pages.value_or(0);
  JobFile job;
  PdfInput pdf;  // a PDF prints its own pages
  if (auto e = OpenPdfInput(request.jobFile, pdf)) return BadInput(*e);
  if (pdf.document) document = fs::path(pdf.name).filename().string();
  if (!request.jobFile.empty() && !pdf.document) {
    auto read = pdf.jobText ? ReadJobText(*pdf.jobText, request.jobFile, settings)
                            : ReadJobFile(request.jobFile, settings);
    if (auto* e = std::get_if<InputError>(&read)) return BadInput(*e);
    job = std::move(std::get<JobFile>(read));
    pages = job.pages;
    document = job.document.value_or(fs::path(request.jobFile).filename().string());
  }
  if (auto e = TakePdfOptions(pdf, request.options)) return BadInput(*e);
  for (const auto& o : request.options) {
    if (auto e = ApplySetting(settings, o.name, o.value, "command line", o.field)) return BadInput(*e);
  }
  if (auto e = CheckCombination(settings)) return BadInput(*e);
  auto watermark = ResolveWatermark(settings.watermark, SavedWatermark);
  if (auto* e = std::get_if<InputError>(&watermark)) return BadInput(*e);
  if (pdf.document) pages = PdfPagesToPrint(pdf, settings);
  if (request.title) document = *request.title;

  Destination destination;
  std::string port;
  std::optional<fs::path> target;  // a regular file replaced on success
  std::optional<mode_t> targetMode;
  if (request.capabilities) {
    // Nothing is printed.
  } else if (request.preview) {
    std::error_code ec;
    fs::create_directories(*request.preview, ec);
    if (!fs::is_directory(*request.preview, ec))
      return CommandLineError("--preview " + *request.preview,
                              "expected a folder that exists or can be made");
    // Nothing is printed: the printer is set up for its paper and resolution only.
    port = "MEMORY:";
    destination.name = *request.preview;
  } else if (request.device) {
    auto device = DevicePort(request, destination);
    if (auto* e = std::get_if<InputError>(&device)) return BadInput(*e);
    port = std::get<std::string>(device);
  } else if (request.timeout) {
    return CommandLineError(request.timeoutField, "expected a socket:// printer after -d");
  } else if (*request.output == "-") {
    destination.kind = Destination::Kind::StandardOutput;
    destination.name = "standard output";
  } else {
    destination.name = *request.output;
    auto followed = FollowLinks(*request.output);
    if (!followed)
      return CommandLineError("--output " + *request.output, "expected a file, got a loop of links");
    fs::path dir = followed->parent_path();
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec))
      return CommandLineError("--output " + *request.output, "expected a file in an existing folder");
    struct stat st {};
    if (stat(followed->c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode))
        return CommandLineError("--output " + *request.output, "expected a file name, got a folder");
      if (S_ISREG(st.st_mode)) {
        target = *followed;
        targetMode = st.st_mode & 07777;
      } else {
        port = fs::absolute(*followed, ec).string();  // a device or a pipe is written in place
        destination.kind = Destination::Kind::Device;
      }
    } else {
      target = *followed;
    }
  }

  CatchSignals();
  Temporary root;
  if (Env("RT7700_PLATFORM_ROOT") == nullptr) {
    std::string base = Env("TMPDIR") != nullptr ? Env("TMPDIR") : "/tmp";
    RemoveStaleRoots(base);
    root = CreatePrivateRoot(base);
    if (root.empty()) {
      Say("cannot create a folder in " + base + ": " + std::strerror(errno));
      return kExitFailed;
    }
    setenv("RT7700_PLATFORM_ROOT", root.path().c_str(), 1);
    setenv("TMPDIR", root.path().c_str(), 1);  // the driver's spool copy goes with the root
  }
  bool testMode = TestMode();
  if (testMode) SetUpPrintTestMode();

  std::string driverPath =
      testMode && Env("RT7700_TEST_DRIVER") ? Env("RT7700_TEST_DRIVER") : LibraryPath(kDriverLibrary);
  std::string interfacePath = testMode && Env("RT7700_TEST_INTERFACE") ? Env("RT7700_TEST_INTERFACE")
                                                                       : LibraryPath(kInterfaceLibrary);
  std::error_code ec;
  if (!fs::exists(driverPath, ec)) {
    Say("the rendering library is missing: " + driverPath);
    return kExitFailed;
  }
  if (!fs::exists(interfacePath, ec)) interfacePath.clear();
  if (request.capabilities) {
    if (!ListCapabilities(interfacePath, kPrinterName, stdout)) {
      Say("the interface library is missing or reports no capabilities");
      return kExitFailed;
    }
    return 0;
  }

  Temporary spool;  // where the stream is written before it is shown or renamed
  if (destination.kind == Destination::Kind::StandardOutput) {
    std::string path =
        (fs::path(Env("RT7700_PLATFORM_ROOT")) / ("rt7700-print-" + std::to_string(getpid()) + ".prn"))
            .string();
    spool = Temporary(path, -1, false);
    port = "FILE:" + path;
  } else if (target) {
    RemoveStalePartials(*target);
    spool = CreatePartial(*target, targetMode);
    if (spool.empty()) {
      Say("cannot write beside " + target->string() + ": " + std::strerror(errno));
      return kExitFailed;
    }
    port = "FILE:" + spool.path();
  }

  devmode::StoredDevmode stored{};
  BuildStoredDevmode(settings, kPrinterName, &stored);
  ApplyWatermark(std::get<WatermarkChoice>(watermark), &stored);
  platform::spooler::PrinterConfig printer;
  printer.name = kPrinterName;
  printer.driverName = kPrinterName;
  printer.driverPath = driverPath;
  printer.configPath = interfacePath;
  printer.printProcessor = u"winprint";
  printer.port = port;
  // The printer's default settings are its user's (rt7700-preferences sets them), never a job's:
  // a printer the root already has keeps them, a new one gets the driver's. A job file or --pages
  // job that sets nothing prints with them.
  if (auto existing = platform::spooler::FindPrinter(kPrinterName); existing && !existing->defaultDevmode.empty()) {
    printer.defaultDevmode = existing->defaultDevmode;
  } else {
    devmode::StoredDevmode defaults{};
    BuildStoredDevmode(JobSettings{}, kPrinterName, &defaults);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&defaults);
    printer.defaultDevmode.assign(bytes, bytes + sizeof defaults);
  }
  if (!pdf.document && settings.origins.empty() && settings.watermark.given.empty() &&
      printer.defaultDevmode.size() == sizeof stored)
    std::memcpy(&stored, printer.defaultDevmode.data(), sizeof stored);
  if (!SetUpPrinter(printer)) {
    Say(std::string("cannot set up the printer under ") + Env("RT7700_PLATFORM_ROOT"));
    return kExitFailed;
  }
  if (g_signal != 0) return Cancelled(g_signal);
  // The job's settings reach the printer as the interface library merges and validates them.
  (void)InterfaceDevmode(interfacePath, kPrinterName, stored, &stored);

  // As the spooler does before a queued job prints.
  if (auto refused = RefusedDevmode(interfacePath, kPrinterName, &stored.pub)) {
    Say("the printer refuses the job's settings" + (refused->empty() ? std::string() : ": " + *refused));
    return kExitBadInput;
  }

  HDC hdc = CreateDCW(nullptr, kPrinterName.c_str(), nullptr, &stored.pub);
  if (hdc == nullptr) {
    Say("cannot open the printer: " + FailureText(GetLastError(), destination));
    return kExitFailed;
  }
  if (request.preview) {
    int code = Preview(hdc, job, pages, *request.preview, request.previewDpi.value_or(kDefaultPreviewDpi),
                       document, pdf);
    (void)DeleteDC(hdc);
    return code;
  }
  std::u16string docName = platform::Utf8ToUtf16(document);
  DOCINFOW doc{sizeof(DOCINFOW), docName.c_str(),
               [&port] {
                 // The run's own output: the printer's stored port may be another run's by now.
                 static const std::u16string output = platform::Utf8ToUtf16(port);
                 return output.c_str();
               }(),
               nullptr, 0};
  bool progress = isatty(STDERR_FILENO) != 0;
  int result = StartDocW(hdc, &doc) > 0 ? 1 : SP_ERROR;
  std::optional<std::string> drawFailure;
  size_t nextDrawn = 0;
  for (long long page = 1; result > 0 && page <= pages && g_signal == 0; ++page) {
    if (pdf.document && (drawFailure = ResetForPdfPage(hdc, pdf, page, kPrinterName))) result = SP_ERROR;
    if (result > 0) result = StartPage(hdc) > 0 ? 1 : SP_ERROR;
    if (result > 0 && pdf.document && (drawFailure = DrawPdfPage(hdc, pdf, page))) result = SP_ERROR;
    if (result > 0 && nextDrawn < job.drawn.size() && job.drawn[nextDrawn].number == page) {
      const PageDrawing& drawing = job.drawn[nextDrawn++].drawing;
      if (auto e = DrawPage(hdc, drawing, drawing.unit.value_or(job.unit.value_or(Unit::Point)))) {
        drawFailure = "page " + std::to_string(page) + ", " + *e;
        result = SP_ERROR;
      }
    }
    if (result > 0) result = EndPage(hdc) > 0 ? 1 : SP_ERROR;
    if (result > 0 && request.progressFd) dprintf(*request.progressFd, "page %lld of %lld\n", page, pages);
    if (progress) std::fprintf(stderr, "\r%s: page %lld of %lld", kProgram, page, pages);
  }
  if (progress && pages > 0) std::fprintf(stderr, "\n");
  DWORD error = GetLastError();
  if (result > 0 && g_signal == 0) {
    result = EndDoc(hdc);
    error = GetLastError();
  } else {
    (void)AbortDoc(hdc);
  }
  (void)DeleteDC(hdc);

  if (g_signal != 0 || (result <= 0 && error == ERROR_PRINT_CANCELLED)) return Cancelled(g_signal);
  if (drawFailure) {
    Say("the job failed: " + *drawFailure);
    return kExitFailed;
  }
  if (result <= 0) {
    Say("the job failed: " + FailureText(error, destination));
    return kExitFailed;
  }

  std::string size;
  if (!spool.empty()) {
    auto n = fs::exists(spool.path(), ec) ? fs::file_size(spool.path(), ec) : 0;
    size = ", " + std::to_string(n) + " bytes";
    if (destination.kind == Destination::Kind::StandardOutput) {
      if (int e = CopyToStdout(spool.path()); e != 0) {
        if (g_signal != 0) return Cancelled(g_signal);
        Say(e == EPIPE ? "the job failed: standard output was closed before it took the whole job"
                       : std::string("the job failed: cannot write to standard output: ") + std::strerror(e));
        return kExitFailed;
      }
    } else {
      if (g_signal != 0) return Cancelled(g_signal);
      if (std::rename(spool.path().c_str(), target->c_str()) != 0) {
        Say("cannot replace " + target->string() + ": " + std::strerror(errno));
        return kExitFailed;
      }
      spool.Keep();
    }
  }
  long long sheets = SheetCount(settings, pages);
  Say("\"" + document + "\": " + std::to_string(pages) + " page" + (pages == 1 ? "" : "s") + ", " +
      std::to_string(sheets) + " sheet" + (sheets == 1 ? "" : "s") + size + " to " + destination.name);
  return 0;
}
