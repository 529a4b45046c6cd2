// Named pipes as the helper notifications use them, the built-in "spoolss.dll", and the
// application window a driver asks about.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>

#include "platform/event_hooks.h"
#include "platform/test_hooks.h"
#include "support/pipe_listener.h"
#include "support/temp_dir.h"
#include "win/error.h"
#include "win/fileapi.h"
#include "win/modules.h"
#include "win/namedpipe.h"
#include "win/spooler.h"
#include "win/windows_ui.h"

namespace {

using namespace std::chrono_literals;
using testsupport::PipeListener;

constexpr char16_t kPipe[] = u"\\\\.\\pipe\\xpsnamedpipe";
constexpr DWORD kSentinel = 0xDEAD;

HANDLE OpenClient(const char16_t* pipe) {
  return CreateFileW(pipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

class NamedPipeTest : public testing::Test {
 protected:
  void SetUp() override {
    runtime_ = root_.path() / "run";
    ASSERT_EQ(::mkdir(runtime_.c_str(), 0700), 0);
    platform::hooks::SetPipeRuntimeFolder(runtime_.string());
  }
  std::filesystem::path PipeFolder() const { return runtime_ / "rt7700" / "pipes"; }

  testsupport::TempDir root_;
  std::filesystem::path runtime_;
};

TEST_F(NamedPipeTest, AClientSendsOneMessageTheServerReadsWhole) {
  PipeListener listener(kPipe);
  ASSERT_TRUE(listener.Serving());
  EXPECT_EQ(std::filesystem::status(PipeFolder()).permissions(), std::filesystem::perms::owner_all);
  listener.Start();
  // Pipe names compare without case.
  HANDLE client = OpenClient(u"\\\\.\\PIPE\\XpsNamedPipe");
  ASSERT_NE(client, INVALID_HANDLE_VALUE);
  DWORD mode = PIPE_READMODE_MESSAGE;
  EXPECT_TRUE(SetNamedPipeHandleState(client, &mode, nullptr, nullptr));
  const char first[] = "first message", second[] = "2nd";
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(client, first, sizeof first, &written, nullptr));
  EXPECT_EQ(written, sizeof first);
  EXPECT_TRUE(WriteFile(client, second, sizeof second, &written, nullptr));
  EXPECT_TRUE(CloseHandle(client));
  auto messages = listener.WaitForMessages(2, 10s);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], std::vector<uint8_t>(first, first + sizeof first));
  EXPECT_EQ(messages[1], std::vector<uint8_t>(second, second + sizeof second));
}

TEST_F(NamedPipeTest, NobodyServingIsFileNotFoundAndNoWait) {
  SetLastError(kSentinel);
  EXPECT_EQ(OpenClient(kPipe), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  SetLastError(kSentinel);
  EXPECT_FALSE(WaitNamedPipeW(kPipe, 20000));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // A socket left behind by a server that died serves nobody either.
  {
    PipeListener dead(kPipe);
    ASSERT_TRUE(dead.Serving());
  }
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string path = (PipeFolder() / "xpsnamedpipe").string();
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  SetLastError(kSentinel);
  EXPECT_EQ(OpenClient(kPipe), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(WaitNamedPipeW(kPipe, 20000));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  // A new server takes the dead one's name.
  PipeListener revived(kPipe);
  EXPECT_TRUE(revived.Serving());
}

TEST_F(NamedPipeTest, ABusyPipeIsWaitedForAndTheWaitKeepsTheInstance) {
  PipeListener listener(kPipe, 1);
  ASSERT_TRUE(listener.Serving());
  HANDLE first = OpenClient(kPipe);  // waits in the queue: the one free instance
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  SetLastError(kSentinel);
  EXPECT_EQ(OpenClient(kPipe), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);
  SetLastError(kSentinel);
  EXPECT_FALSE(WaitNamedPipeW(kPipe, 1));
  EXPECT_EQ(GetLastError(), ERROR_SEM_TIMEOUT);

  auto waited = std::async(std::launch::async, [] {
    if (!WaitNamedPipeW(kPipe, 20000)) return INVALID_HANDLE_VALUE;
    return OpenClient(kPipe);
  });
  listener.Start();
  EXPECT_TRUE(CloseHandle(first));
  ASSERT_EQ(waited.wait_for(15s), std::future_status::ready);
  HANDLE second = waited.get();
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  const char text[] = "after the wait";
  EXPECT_TRUE(WriteFile(second, text, sizeof text, nullptr, nullptr));
  EXPECT_TRUE(CloseHandle(second));
  auto messages = listener.WaitForMessages(1, 10s);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].size(), sizeof text);
}

TEST_F(NamedPipeTest, AServedNameIsNotTakenBySecondServer) {
  PipeListener listener(kPipe);
  ASSERT_TRUE(listener.Serving());
  SetLastError(kSentinel);
  EXPECT_EQ(CreateNamedPipeW(kPipe, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1, 0, 0, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(NamedPipeTest, NamesStayInsideThePipeFolder) {
  PipeListener listener(u"\\\\.\\pipe\\..\\..\\escape/x");
  ASSERT_TRUE(listener.Serving());
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(PipeFolder())) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"%2E.%5C..%5Cescape%2Fx"});
  PipeListener dots(u"\\\\.\\pipe\\..");
  EXPECT_TRUE(dots.Serving());
  EXPECT_TRUE(std::filesystem::is_socket(PipeFolder() / "%2E."));
  EXPECT_EQ(CreateNamedPipeW(u"\\\\.\\pipe\\", PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1, 0, 0, 0, nullptr),
            INVALID_HANDLE_VALUE);
  // A pipe handle is no file: it has no position.
  HANDLE client = OpenClient(u"\\\\.\\pipe\\..\\..\\ESCAPE/x");
  ASSERT_NE(client, INVALID_HANDLE_VALUE);
  DWORD mode = PIPE_READMODE_MESSAGE | 0x100;
  EXPECT_FALSE(SetNamedPipeHandleState(client, &mode, nullptr, nullptr));
  CloseHandle(client);
}

// Sockets in a folder that is not this user's own are never connected to: anyone could have put
// them there to pose as a helper.
TEST_F(NamedPipeTest, PipesOfAFolderOthersCanReachAreNotUsed) {
  std::filesystem::create_directories(PipeFolder());
  ::chmod((runtime_ / "rt7700").c_str(), 0700);
  auto plant = [&] {
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = (PipeFolder() / "xpsnamedpipe").string();
    std::strcpy(address.sun_path, path.c_str());
    ::unlink(path.c_str());
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd, 4), 0);
    return fd;
  };
  int planted = plant();
  ::chmod(PipeFolder().c_str(), 0777);
  SetLastError(kSentinel);
  EXPECT_EQ(OpenClient(kPipe), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CreateNamedPipeW(kPipe, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1, 0, 0, 0, nullptr), INVALID_HANDLE_VALUE);

  // The same folder put right is used again, so the refusal was the folder's.
  ::chmod(PipeFolder().c_str(), 0700);
  HANDLE client = OpenClient(kPipe);
  EXPECT_NE(client, INVALID_HANDLE_VALUE);
  if (client != INVALID_HANDLE_VALUE) CloseHandle(client);

  // A folder of another user, or a link to one.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(PipeFolder().c_str(), 65534, 65534), 0);
    EXPECT_EQ(OpenClient(kPipe), INVALID_HANDLE_VALUE);
    ASSERT_EQ(::chown(PipeFolder().c_str(), 0, 0), 0);
  }
  std::filesystem::rename(PipeFolder(), runtime_ / "elsewhere");
  std::filesystem::create_directory_symlink(runtime_ / "elsewhere", PipeFolder());
  EXPECT_EQ(OpenClient(kPipe), INVALID_HANDLE_VALUE);
  ::close(planted);
}

TEST(SpoolssModule, ServedWithoutAFileAndSwitchesIdentity) {
  HMODULE spoolss = LoadLibraryW(u"SPOOLSS.DLL");
  ASSERT_NE(spoolss, nullptr);
  EXPECT_EQ(LoadLibraryW(u"spoolss.dll"), spoolss);
  auto revert = reinterpret_cast<PFN_RevertToPrinterSelf>(
      reinterpret_cast<void (*)()>(GetProcAddress(spoolss, "RevertToPrinterSelf")));
  auto impersonate = reinterpret_cast<PFN_ImpersonatePrinterClient>(
      reinterpret_cast<void (*)()>(GetProcAddress(spoolss, "ImpersonatePrinterClient")));
  ASSERT_NE(revert, nullptr);
  ASSERT_NE(impersonate, nullptr);
  SetLastError(kSentinel);
  EXPECT_EQ(GetProcAddress(spoolss, "AddJobW"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  HANDLE token = revert();
  ASSERT_NE(token, nullptr);
  SetLastError(kSentinel);
  EXPECT_FALSE(impersonate(reinterpret_cast<HANDLE>(reinterpret_cast<uintptr_t>(token) + 1)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(impersonate(token));
  EXPECT_FALSE(impersonate(token));  // a token serves once
  std::string value = std::to_string(reinterpret_cast<uintptr_t>(token));
  EXPECT_EQ(platform::hooks::TakeIdentitySwitches(),
            (std::vector<std::string>{"revert " + value, "impersonate " + value}));
  EXPECT_TRUE(FreeLibrary(spoolss));
  EXPECT_TRUE(FreeLibrary(spoolss));
  SetLastError(kSentinel);
  EXPECT_FALSE(FreeLibrary(spoolss));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(SpoolssModule, TestsCanMakeTheModuleOrAFunctionMissing) {
  platform::hooks::HideBuiltinFunction("spoolss.dll", "ImpersonatePrinterClient");
  HMODULE spoolss = LoadLibraryW(u"spoolss.dll");
  ASSERT_NE(spoolss, nullptr);
  EXPECT_NE(GetProcAddress(spoolss, "RevertToPrinterSelf"), nullptr);
  EXPECT_EQ(GetProcAddress(spoolss, "ImpersonatePrinterClient"), nullptr);
  FreeLibrary(spoolss);
  platform::hooks::HideBuiltinModule("SpoolSS.dll");
  SetLastError(kSentinel);
  EXPECT_EQ(LoadLibraryW(u"spoolss.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(ApplicationWindow, LeadsToTheProgramsFileName) {
  platform::hooks::SetExecutableName("C:\\Office\\MSPUB.EXE");
  HWND window = GetActiveWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), nullptr);
  WORD instance = GetWindowWord(window, GWL_HINSTANCE);
  WCHAR path[256] = {};
  ASSERT_GT(GetModuleFileNameW(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(instance)), path, 256), 0u);
  EXPECT_EQ(std::u16string(path), u"C:\\Office\\MSPUB.EXE");
  SetLastError(kSentinel);
  EXPECT_EQ(GetWindowWord(reinterpret_cast<HWND>(&path), GWL_HINSTANCE), 0);
  EXPECT_EQ(GetLastError(), 1400u);  // ERROR_INVALID_WINDOW_HANDLE
}

}  // namespace
