// The spooler's printer files when they are damaged, unreadable or cannot be written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/durable_file.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "support/temp_dir.h"
#include "support/traces.h"
#include "win/error.h"
#include "win/spooler.h"

namespace {

namespace fs = std::filesystem;
namespace hooks = platform::hooks;
namespace spooler = platform::spooler;

class PrinterStore : public testing::Test {
 protected:
  void SetUp() override { hooks::SetPlatformRoot(root_.str()); }
  static spooler::PrinterConfig Config(const std::string& port) {
    return {u"Office", u"Taliro R7700 PCL5e", "/opt/dr.so", "/opt/ui.so", u"winprint", port, {}};
  }
  // The printer's folder is the hex of its name's UTF-8.
  fs::path File() const { return root_.path() / "spooler" / "4f6666696365" / "printer.json"; }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  size_t EntriesBeside() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(File().parent_path())) ++n;
    return n;
  }
  testsupport::TempDir root_;
};

TEST_F(PrinterStore, PrinterFileThatIsAFolderFailsClearly) {
  fs::create_directories(File() / "inside");
  testsupport::TraceCapture traces;
  SetLastError(0xDEAD);
  EXPECT_FALSE(spooler::AddPrinter(Config("MEMORY:")));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  auto lines = traces.Take();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("printer.json"), std::string::npos) << lines[0];
  EXPECT_FALSE(spooler::FindPrinter(u"Office").has_value());
  EXPECT_TRUE(spooler::ListPrinters().empty());
  HANDLE h = nullptr;
  EXPECT_FALSE(OpenPrinterW(u"Office", &h, nullptr));
  EXPECT_EQ(EntriesBeside(), 1u) << "nothing written beside it";
}

TEST_F(PrinterStore, DamagedPrinterFileIsRepairedByAddingThePrinterAgain) {
  fs::create_directories(File().parent_path());
  std::ofstream(File()) << "{\"name\": \"Off";
  testsupport::TraceCapture traces;
  EXPECT_FALSE(spooler::FindPrinter(u"Office").has_value());
  EXPECT_EQ(traces.Take().size(), 1u) << "a damaged file is said to be so";
  ASSERT_TRUE(spooler::AddPrinter(Config("MEMORY:")));
  ASSERT_TRUE(spooler::FindPrinter(u"Office").has_value());
  EXPECT_EQ(spooler::FindPrinter(u"Office")->port, "MEMORY:");
}

TEST_F(PrinterStore, FailedWriteKeepsTheOldPrinter) {
  ASSERT_TRUE(spooler::AddPrinter(Config("MEMORY:")));
  const std::string before = Read(File());
  hooks::FailDurableReplaceAt(hooks::DurableStep::SyncData);
  SetLastError(0xDEAD);
  EXPECT_FALSE(spooler::AddPrinter(Config("FILE:/tmp/other.prn")));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  hooks::FailDurableReplaceAt(std::nullopt);
  EXPECT_EQ(Read(File()), before);
  EXPECT_EQ(EntriesBeside(), 1u);
}

TEST_F(PrinterStore, TextThatIsNotUtf8IsRefusedNotThrown) {
  SetLastError(0xDEAD);
  EXPECT_FALSE(spooler::AddPrinter(Config("FILE:/tmp/caf\xe9.prn")));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(spooler::FindPrinter(u"Office").has_value());
}

}  // namespace

namespace {

// Two processes that set printer data on one printer at once keep every value either set.
TEST_F(PrinterStore, TwoProcessesSettingPrinterDataLoseNothing) {
  ASSERT_TRUE(spooler::AddPrinter(Config("MEMORY:")));
  constexpr int kEach = 60;
  pid_t children[2];
  for (int who = 0; who < 2; ++who) {
    children[who] = fork();
    ASSERT_GE(children[who], 0);
    if (children[who] == 0) {
      HANDLE h = nullptr;
      if (!OpenPrinterW(const_cast<LPWSTR>(u"Office"), &h, nullptr)) _exit(2);
      for (int i = 0; i < kEach; ++i) {
        std::u16string name = (who == 0 ? u"A" : u"B") + platform::Utf8ToUtf16(std::to_string(i));
        DWORD v = static_cast<DWORD>(i);
        if (SetPrinterDataW(h, name.c_str(), REG_DWORD, reinterpret_cast<BYTE*>(&v), 4) != ERROR_SUCCESS) _exit(3);
      }
      ClosePrinter(h);
      _exit(0);
    }
  }
  for (pid_t c : children) {
    int status = 0;
    ASSERT_EQ(waitpid(c, &status, 0), c);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Office"), &h, nullptr));
  int missing = 0;
  for (const char16_t* who : {u"A", u"B"}) {
    for (int i = 0; i < kEach; ++i) {
      std::u16string name = who + platform::Utf8ToUtf16(std::to_string(i));
      DWORD v = 0xFFFF, type = 0, needed = 0;
      if (GetPrinterDataW(h, name.c_str(), &type, reinterpret_cast<BYTE*>(&v), 4, &needed) != ERROR_SUCCESS ||
          v != static_cast<DWORD>(i))
        ++missing;
    }
  }
  ClosePrinter(h);
  EXPECT_EQ(missing, 0);
}

}  // namespace
