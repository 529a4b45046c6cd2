// rt7700-pdftopcl: the CUPS filter. It turns the job's options and the queue's PPD choices into
// rt7700-print settings and runs the installed rt7700-print on the document, so a queue prints
// exactly what the command line prints. The PCL stream goes to standard output; progress and
// failures go to standard error as CUPS reads them.
//
//   rt7700-pdftopcl job-id user title copies options [file]
#include <cups/ppd.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "filter_options.h"

namespace fs = std::filesystem;

namespace {

constexpr int kProgressFd = 3;
volatile sig_atomic_t g_child = 0;

// CUPS cancels a job with SIGTERM: rt7700-print cancels its own job and removes its files.
void OnTerminate(int) {
  if (g_child > 0) kill(g_child, SIGTERM);
}

// One line for the scheduler; control characters of the text are blanked so it stays one line.
void Say(const char* prefix, std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  std::fprintf(stderr, "%s: %s\n", prefix, text.c_str());
  std::fflush(stderr);
}

// rt7700-print beside this program (a build, or a link to the filter in a private ServerBin
// resolves to the build), else where it is installed.
std::string ToolPath() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path beside = self.parent_path() / "rt7700-print";
    if (access(beside.c_str(), X_OK) == 0) return beside.string();
  }
  return RT7700_PRINT_INSTALLED;
}

struct LineReader {
  int fd;
  std::string pending;
  bool open = true;
  // Reads what is there and returns the complete lines.
  std::vector<std::string> Read() {
    std::vector<std::string> lines;
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) return lines;
      open = false;
      if (!pending.empty()) lines.push_back(pending);
      pending.clear();
      return lines;
    }
    pending.append(buffer, static_cast<size_t>(n));
    for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
      lines.push_back(pending.substr(0, nl));
      pending.erase(0, nl + 1);
    }
    return lines;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6 || argc > 7) {
    Say("ERROR", "usage: rt7700-pdftopcl job-id user title copies options [file]");
    return 1;
  }
  signal(SIGPIPE, SIG_IGN);
  // The scheduler sends PDF only; anything else reached this filter by a wrong conversion rule.
  if (const char* type = std::getenv("CONTENT_TYPE"); type != nullptr &&
                                                      std::strcmp(type, "application/pdf") != 0 &&
                                                      std::strcmp(type, "application/vnd.cups-pdf") != 0) {
    Say("ERROR", std::string("expected a PDF document, got ") + type);
    return 1;
  }
  for (const char* name : {"PRINTER", "DEVICE_URI", "CONTENT_TYPE"}) {
    if (const char* value = std::getenv(name)) Say("DEBUG", std::string(name) + "=" + value);
  }

  ppd_file_t* ppd = nullptr;
  if (const char* path = std::getenv("PPD"); path != nullptr && *path != '\0') {
    ppd = ppdOpenFile(path);
    if (ppd == nullptr) {
      int line = 0;
      ppd_status_t status = ppdLastError(&line);
      Say("ERROR", std::string("cannot read the PPD ") + path + ": " + ppdErrorString(status) + " on line " +
                       std::to_string(line));
      return 1;
    }
  }
  auto translated = rt7700cups::TranslateJob(argv[4], argv[5], ppd);
  if (ppd != nullptr) ppdClose(ppd);
  if (translated.index() == 1) {
    Say("ERROR", std::get<1>(translated));
    return 1;
  }

  std::string tool = ToolPath();
  std::vector<std::string> args = {tool, argc == 7 ? argv[6] : "-", std::string("--title=") + argv[3]};
  std::string copies = "1";
  for (const auto& setting : std::get<0>(translated)) {
    args.push_back("-o");
    args.push_back(setting.first + "=" + setting.second);
    if (setting.first == "copies") copies = setting.second;
  }
  for (const char* a : {"--output", "-", "--progress-fd", "3"}) args.emplace_back(a);
  std::string command;
  for (const auto& a : args) command += (command.empty() ? "" : " ") + a;
  Say("DEBUG", "running " + command);

  int progress[2], errors[2];
  if (pipe(progress) != 0 || pipe(errors) != 0) {
    Say("ERROR", std::string("cannot make a pipe: ") + std::strerror(errno));
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);

  Say("STATE", "+rt7700-rendering-report");
  pid_t child = fork();
  if (child < 0) {
    Say("ERROR", std::string("cannot start rt7700-print: ") + std::strerror(errno));
    return 1;
  }
  if (child == 0) {
    signal(SIGTERM, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    // The read ends first: one of them may be the descriptor the progress end moves to.
    close(progress[0]);
    close(errors[0]);
    dup2(errors[1], STDERR_FILENO);
    if (errors[1] != STDERR_FILENO) close(errors[1]);
    if (progress[1] != kProgressFd) {
      dup2(progress[1], kProgressFd);
      close(progress[1]);
    }
    std::vector<char*> raw;
    for (auto& a : args) raw.push_back(a.data());
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    std::fprintf(stderr, "rt7700-print: cannot run %s: %s\n", raw[0], std::strerror(errno));
    _exit(127);
  }
  g_child = child;
  close(progress[1]);
  close(errors[1]);

  LineReader pages{progress[0], {}}, messages{errors[0], {}};
  std::string lastMessage;
  while (pages.open || messages.open) {
    pollfd fds[2] = {{pages.fd, POLLIN, 0}, {messages.fd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (pages.open && fds[0].revents != 0) {
      for (const auto& line : pages.Read()) {
        long long page = 0, total = 0;
        if (std::sscanf(line.c_str(), "page %lld of %lld", &page, &total) == 2 && page > 0) {
          std::fprintf(stderr, "PAGE: %lld %s\n", page, copies.c_str());
          if (total > 0) std::fprintf(stderr, "ATTR: job-media-progress=%lld\n", page * 100 / total);
          std::fflush(stderr);
        }
      }
    }
    if (messages.open && fds[1].revents != 0) {
      for (const auto& line : messages.Read()) {
        if (line.empty()) continue;
        lastMessage = line;
        Say("DEBUG", line);
      }
    }
  }
  close(progress[0]);
  close(errors[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  g_child = 0;
  Say("STATE", "-rt7700-rendering-report");
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    Say("INFO", "printed");
    return 0;
  }
  if (lastMessage.empty())
    lastMessage = WIFSIGNALED(status)
                      ? "rt7700-print ended by signal " + std::to_string(WTERMSIG(status))
                      : "rt7700-print failed with status " + std::to_string(WEXITSTATUS(status));
  Say("ERROR", lastMessage);
  return 1;
}
