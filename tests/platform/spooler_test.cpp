#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "spooler/spooler_internal.h"
#include "support/temp_dir.h"
#include "win/error.h"
#include "win/spooler.h"

namespace {

namespace hooks = platform::hooks;
namespace spooler = platform::spooler;
using Bytes = std::vector<uint8_t>;

class Spooler : public testing::Test {
 protected:
  void SetUp() override { hooks::SetPlatformRoot(root_.str()); }

  spooler::PrinterConfig Config(const std::u16string& name, const std::string& port) {
    return {name, u"Taliro R7700 PCL5e", "/opt/rt7700PCL5edr.so", "/opt/rt7700PCL5eui.so", u"winprint", port, {}};
  }

  HANDLE Open(const std::u16string& name) {
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(name.c_str(), &h, nullptr));
    return h;
  }

  DWORD Start(HANDLE h, const char16_t* document = u"Report", const char16_t* outputFile = nullptr) {
    DOC_INFO_1W doc{const_cast<LPWSTR>(document), const_cast<LPWSTR>(outputFile), nullptr};
    return StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc));
  }

  static BOOL Write(HANDLE h, const std::string& text, DWORD* written = nullptr) {
    DWORD n = 0;
    BOOL ok = WritePrinter(h, text.data(), static_cast<DWORD>(text.size()), &n);
    if (written != nullptr) *written = n;
    return ok;
  }

  static std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }
  static std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  testsupport::TempDir root_;
};

TEST_F(Spooler, PrintersAreKeptAndListed) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"Office \u00C9tage 2/\\:*", "MEMORY:")));
  ASSERT_TRUE(spooler::AddPrinter(Config(u"Basement", "FILE:/tmp/x.prn")));
  auto found = spooler::FindPrinter(u"Office \u00C9tage 2/\\:*");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->driverPath, "/opt/rt7700PCL5edr.so");
  EXPECT_EQ(found->port, "MEMORY:");
  auto all = spooler::ListPrinters();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, u"Basement");
  EXPECT_TRUE(spooler::DeletePrinter(u"Basement"));
  EXPECT_FALSE(spooler::FindPrinter(u"Basement").has_value());
  EXPECT_FALSE(spooler::FindPrinter(u"").has_value());
}

TEST_F(Spooler, DamagedStoreEntryIsNoPrinter) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "MEMORY:")));
  for (const auto& e : std::filesystem::recursive_directory_iterator(root_.path())) {
    if (e.path().filename() == "printer.json") std::ofstream(e.path()) << "{\"name\": 5, garbage";
  }
  EXPECT_FALSE(spooler::FindPrinter(u"P").has_value());
  HANDLE h = reinterpret_cast<HANDLE>(1);
  SetLastError(0xDEAD);
  EXPECT_FALSE(OpenPrinterW(u"P", &h, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
  EXPECT_EQ(h, nullptr);
}

TEST_F(Spooler, DriverInfoSizeQueryThenCopy) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "MEMORY:")));
  HANDLE h = Open(u"P");
  DWORD needed = 0;
  SetLastError(0xDEAD);
  EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GT(needed, sizeof(DRIVER_INFO_2W));
  std::vector<BYTE> buf(needed);
  SetLastError(0xDEAD);
  EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 2, buf.data(), needed - 1, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(GetPrinterDriverW(h, nullptr, 2, buf.data(), needed, &needed));
  auto* info = reinterpret_cast<DRIVER_INFO_2W*>(buf.data());
  EXPECT_EQ(std::u16string(info->pName), u"Taliro R7700 PCL5e");
  EXPECT_EQ(std::u16string(info->pDriverPath), u"/opt/rt7700PCL5edr.so");
  EXPECT_EQ(std::u16string(info->pConfigFile), u"/opt/rt7700PCL5eui.so");
  SetLastError(0xDEAD);
  EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 3, buf.data(), needed, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(ClosePrinter(h));
  SetLastError(0xDEAD);
  EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 2, buf.data(), needed, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Spooler, PrinterDataPersistsWithThePrinter) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "MEMORY:")));
  HANDLE h = Open(u"P");
  DWORD type = 0, needed = 0, value = 0;
  EXPECT_EQ(GetPrinterDataW(h, u"TrayInstallSize", &type, reinterpret_cast<LPBYTE>(&value), 4, &needed),
            ERROR_FILE_NOT_FOUND);
  DWORD twenty = 20;
  const BYTE record[20] = {1, 0, 0, 0, 2};
  EXPECT_EQ(SetPrinterDataW(h, u"TrayInstallSize", REG_DWORD, reinterpret_cast<const BYTE*>(&twenty), 4),
            ERROR_SUCCESS);
  EXPECT_EQ(SetPrinterDataW(h, u"TrayInstall", REG_BINARY, record, 20), ERROR_SUCCESS);
  EXPECT_EQ(SetPrinterDataW(h, u"SleepTime", REG_SZ, reinterpret_cast<const BYTE*>(u"15"), 6), ERROR_SUCCESS);
  EXPECT_EQ(SetPrinterDataW(h, u"Bad", REG_DWORD, record, 3), ERROR_INVALID_PARAMETER);
  ClosePrinter(h);

  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "FILE:/tmp/elsewhere.prn")));  // re-adding keeps the data
  h = Open(u"P");
  EXPECT_EQ(GetPrinterDataW(h, u"TrayInstallSize", &type, reinterpret_cast<LPBYTE>(&value), 4, &needed),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 20u);
  BYTE small[4];
  EXPECT_EQ(GetPrinterDataW(h, u"TrayInstall", &type, small, 4, &needed), ERROR_MORE_DATA);
  EXPECT_EQ(needed, 20u);
  BYTE back[20];
  ASSERT_EQ(GetPrinterDataW(h, u"TrayInstall", &type, back, 20, &needed), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(std::memcmp(back, record, 20), 0);
  WCHAR sleep[3];
  ASSERT_EQ(GetPrinterDataW(h, u"SleepTime", &type, reinterpret_cast<LPBYTE>(sleep), 6, &needed), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(sleep), u"15");
  ClosePrinter(h);
  EXPECT_EQ(GetPrinterDataW(h, u"SleepTime", &type, back, 20, &needed), ERROR_INVALID_HANDLE);
}

TEST_F(Spooler, PrintProcessorAndDefaultDevmode) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "MEMORY:")));
  HANDLE h = Open(u"P");
  std::vector<BYTE> devmode(sizeof(DEVMODEW) + 8, 7);
  auto* dm = reinterpret_cast<DEVMODEW*>(devmode.data());
  dm->dmSize = sizeof(DEVMODEW);
  dm->dmDriverExtra = 8;
  PRINTER_INFO_2W set{};
  set.pPrintProcessor = const_cast<LPWSTR>(u"rt7700proc");
  set.pDevMode = dm;
  ASSERT_TRUE(SetPrinterW(h, 2, reinterpret_cast<LPBYTE>(&set), 0));
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterW(h, 2, nullptr, 0, &needed));
  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(GetPrinterW(h, 2, buf.data(), needed, &needed));
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
  EXPECT_EQ(std::u16string(info->pPrintProcessor), u"rt7700proc");
  EXPECT_EQ(std::u16string(info->pPortName), u"MEMORY:");
  ASSERT_NE(info->pDevMode, nullptr);
  EXPECT_EQ(std::memcmp(info->pDevMode, devmode.data(), devmode.size()), 0);
  ClosePrinter(h);
}

TEST_F(Spooler, JobsToMemoryWithIdsAndStatus) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "MEMORY:")));
  HANDLE h = Open(u"P");
  DWORD first = Start(h, u"Report");
  ASSERT_NE(first, 0u);
  SetLastError(0xDEAD);
  EXPECT_EQ(Start(h), 0u);  // one job at a time on a handle
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(Write(h, "\x1b%-12345X"));
  EXPECT_TRUE(Write(h, "@PJL\r\n"));
  DWORD needed = 0;
  EXPECT_FALSE(GetJobW(h, first, 1, nullptr, 0, &needed));
  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(GetJobW(h, first, 1, buf.data(), needed, &needed));
  auto* job = reinterpret_cast<JOB_INFO_1W*>(buf.data());
  EXPECT_EQ(job->JobId, first);
  EXPECT_EQ(std::u16string(job->pDocument), u"Report");
  EXPECT_TRUE(job->Status & JOB_STATUS_PRINTING);
  EXPECT_TRUE(EndDocPrinter(h));
  ASSERT_TRUE(GetJobW(h, first, 1, buf.data(), needed, &needed));
  EXPECT_EQ(reinterpret_cast<JOB_INFO_1W*>(buf.data())->Status, JOB_STATUS_PRINTED);
  EXPECT_EQ(Text(hooks::TakeMemoryPrinterBytes(u"P")), "\x1b%-12345X@PJL\r\n");
  EXPECT_TRUE(hooks::TakeMemoryPrinterBytes(u"P").empty());
  DWORD second = Start(h);
  EXPECT_GT(second, first);
  SetLastError(0xDEAD);
  EXPECT_FALSE(GetJobW(h, 99999, 1, buf.data(), needed, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(EndDocPrinter(h));
  SetLastError(0xDEAD);
  EXPECT_FALSE(Write(h, "late"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  ClosePrinter(h);
}

TEST_F(Spooler, WriteFailureAtByteIsSticky) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "MEMORY:")));
  hooks::FailPrinterWritesAt(u"P", 10);
  HANDLE h = Open(u"P");
  Start(h);
  EXPECT_TRUE(Write(h, "0123456789"));  // reaches byte 10 exactly
  DWORD written = 77;
  SetLastError(0xDEAD);
  EXPECT_FALSE(Write(h, "x", &written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  EXPECT_FALSE(Write(h, "y"));
  SetLastError(0xDEAD);
  EXPECT_FALSE(EndDocPrinter(h));  // the job failed, and says so at its end
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  EXPECT_EQ(Text(hooks::TakeMemoryPrinterBytes(u"P")), "0123456789");
  ClosePrinter(h);
}

TEST_F(Spooler, ShortWriteReportsTheCountWritten) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "MEMORY:")));
  hooks::ShortPrinterWriteAt(u"P", 6);
  HANDLE h = Open(u"P");
  Start(h);
  DWORD written = 0;
  EXPECT_TRUE(Write(h, "0123", &written));
  EXPECT_EQ(written, 4u);
  EXPECT_TRUE(Write(h, "4567", &written));
  EXPECT_EQ(written, 2u);
  EndDocPrinter(h);
  EXPECT_EQ(Text(hooks::TakeMemoryPrinterBytes(u"P")), "012345");
  ClosePrinter(h);
}

TEST_F(Spooler, CancelledJobs) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "MEMORY:")));
  HANDLE h = Open(u"P");
  hooks::CancelJobAt(u"P", 4);
  Start(h);
  EXPECT_FALSE(spooler::JobCancelled(h));
  EXPECT_TRUE(Write(h, "abcd"));
  EXPECT_TRUE(spooler::JobCancelled(h));
  SetLastError(0xDEAD);
  EXPECT_FALSE(Write(h, "e"));
  EXPECT_EQ(GetLastError(), ERROR_PRINT_CANCELLED);
  EndDocPrinter(h);
  hooks::ResetAll();
  hooks::SetPlatformRoot(root_.str());

  DWORD id = Start(h);
  EXPECT_FALSE(spooler::JobCancelled(h));
  EXPECT_TRUE(spooler::CancelJob(id));
  EXPECT_TRUE(spooler::JobCancelled(h));
  EndDocPrinter(h);
  Start(h);
  spooler::RequestCancelAllJobs();
  EXPECT_TRUE(spooler::JobCancelled(h));
  EXPECT_TRUE(AbortPrinter(h));
  ClosePrinter(h);
}

TEST_F(Spooler, FileAndDevicePorts) {
  auto file = root_.path() / "out.prn";
  ASSERT_TRUE(spooler::AddPrinter(Config(u"F", "FILE:" + file.string())));
  HANDLE h = Open(u"F");
  Start(h);
  Write(h, "first job");
  EndDocPrinter(h);
  Start(h);
  Write(h, "second");
  EndDocPrinter(h);
  EXPECT_EQ(ReadFile(file), "second");  // rewritten per job
  auto other = root_.path() / "other.prn";
  Start(h, u"Doc", other.u16string().c_str());
  EndDocPrinter(h);
  EXPECT_TRUE(std::filesystem::exists(other));  // an empty job still makes its file
  EXPECT_EQ(ReadFile(other), "");
  ClosePrinter(h);

  auto device = root_.path() / "lp0";
  std::ofstream(device).put('\0');
  ASSERT_TRUE(spooler::AddPrinter(Config(u"D", device.string())));
  h = Open(u"D");
  Start(h);
  EXPECT_TRUE(Write(h, "to the device"));
  EXPECT_TRUE(EndDocPrinter(h));
  ClosePrinter(h);
  EXPECT_EQ(ReadFile(device), "to the device");

  ASSERT_TRUE(spooler::AddPrinter(Config(u"Gone", (root_.path() / "no-such-device").string())));
  h = Open(u"Gone");
  Start(h);
  SetLastError(0xDEAD);
  EXPECT_FALSE(Write(h, "x"));
  EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
  EXPECT_FALSE(Write(h, "x"));
  ClosePrinter(h);
}

TEST_F(Spooler, UnusablePortRefusesTheJob) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "LPT1:")));
  HANDLE h = Open(u"P");
  SetLastError(0xDEAD);
  EXPECT_EQ(Start(h), 0u);
  EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
  ClosePrinter(h);
}

// A handle keeps the port the printer had when it was opened, and a document that names its
// output goes there instead: a file, or any port, whatever the stored printer says by then.
TEST_F(Spooler, JobsGoWhereTheHandleAndTheDocumentSay) {
  auto first = root_.path() / "first.prn", second = root_.path() / "second.prn";
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "FILE:" + first.string())));
  HANDLE h = Open(u"P");
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "FILE:" + second.string())));  // another process's set-up
  ASSERT_NE(Start(h), 0u);
  Write(h, "one");
  ASSERT_TRUE(EndDocPrinter(h));
  EXPECT_EQ(ReadFile(first), "one");
  EXPECT_FALSE(std::filesystem::exists(second));

  auto named = root_.path() / "named.prn";
  std::u16string port = u"FILE:" + named.u16string();
  ASSERT_NE(Start(h, u"Doc", port.c_str()), 0u);
  Write(h, "two");
  ASSERT_TRUE(EndDocPrinter(h));
  EXPECT_EQ(ReadFile(named), "two");
  EXPECT_EQ(ReadFile(first), "one");

  ASSERT_NE(Start(h, u"Doc", u"MEMORY:"), 0u);
  Write(h, "three");
  ASSERT_TRUE(EndDocPrinter(h));
  EXPECT_EQ(Text(hooks::TakeMemoryPrinterBytes(u"P")), "three");

  SetLastError(0xDEAD);
  EXPECT_EQ(Start(h, u"Doc", u"socket://printer:9100?colour=red"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
  ClosePrinter(h);
  EXPECT_EQ(ReadFile(first), "one");
}

// Two processes printing at the same moment never share a job id: names made from it (the
// driver's spool copies) stay apart.
TEST_F(Spooler, JobIdsDifferBetweenProcesses) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P", "MEMORY:")));
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  HANDLE h = Open(u"P");
  DWORD id = Start(h);
  if (child == 0) {
    ssize_t n = write(pipeFds[1], &id, sizeof id);
    _exit(n == sizeof id ? 0 : 1);
  }
  DWORD childId = 0;
  ASSERT_EQ(read(pipeFds[0], &childId, sizeof childId), static_cast<ssize_t>(sizeof childId));
  int status = 0;
  waitpid(child, &status, 0);
  close(pipeFds[0]);
  close(pipeFds[1]);
  EXPECT_NE(id, 0u);
  EXPECT_NE(childId, 0u);
  EXPECT_NE(id, childId);
  EXPECT_LE(id, 0x7FFFFFFFu);  // StartDoc hands it out as a positive int
  EndDocPrinter(h);
  ClosePrinter(h);
}

TEST_F(Spooler, TcpPrinterReceivesTheJob) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  ASSERT_EQ(listen(listener, 1), 0);
  std::string received;
  std::thread server([&] {
    int c = accept(listener, nullptr, nullptr);
    char buf[4096];
    for (ssize_t n; (n = read(c, buf, sizeof buf)) > 0;) received.append(buf, n);
    close(c);
  });
  ASSERT_TRUE(spooler::AddPrinter(Config(u"Net", "socket://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)))));
  HANDLE h = Open(u"Net");
  Start(h);
  std::string big(100000, 'z');
  EXPECT_TRUE(Write(h, "head:"));
  EXPECT_TRUE(Write(h, big));
  EXPECT_TRUE(EndDocPrinter(h));
  server.join();
  close(listener);
  EXPECT_EQ(received, "head:" + big);

  // A port nobody listens on fails the first write.
  ASSERT_TRUE(spooler::AddPrinter(Config(u"Down", "socket://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)))));
  HANDLE d = Open(u"Down");
  Start(d);
  EXPECT_FALSE(Write(d, "x"));
  ClosePrinter(d);
  ClosePrinter(h);
}

}  // namespace

namespace {

TEST(SpoolerReset, MemoryPrinterBytesDoNotOutliveATest) {
  testsupport::TempDir root;
  platform::hooks::SetPlatformRoot(root.str());
  ASSERT_TRUE(platform::spooler::AddPrinter({u"Left", u"d", "", "", u"", "MEMORY:", {}}));
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"Left", &h, nullptr));
  DOC_INFO_1W doc{const_cast<LPWSTR>(u"x"), nullptr, nullptr};
  StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc));
  DWORD n = 0;
  WritePrinter(h, "left over", 9, &n);
  EndDocPrinter(h);
  ClosePrinter(h);
  platform::hooks::ResetAll();  // also drops the root hook before the modules reset
  EXPECT_TRUE(platform::hooks::TakeMemoryPrinterBytes(u"Left").empty());
}

}  // namespace
