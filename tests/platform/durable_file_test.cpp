// Whole-file reads, durable replaces and the cross-process lock.
#include "platform/durable_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/traces.h"
#include "win/error.h"

namespace {

namespace fs = std::filesystem;
namespace hooks = platform::hooks;
using hooks::DurableStep;

class DurableFile : public testing::Test {
 protected:
  std::string File() const { return (dir_.path() / "settings.dat").string(); }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_.path())) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  testsupport::TempDir dir_;
};

TEST_F(DurableFile, ReplaceWritesEveryByteAndLeavesOnlyTheFile) {
  const std::string bytes = std::string("a\0b", 3) + std::string(100000, 'x');
  ASSERT_TRUE(platform::ReplaceFileDurably(File(), "old"));
  ASSERT_TRUE(platform::ReplaceFileDurably(File(), bytes));
  EXPECT_EQ(Read(File()), bytes);
  EXPECT_EQ(Entries(), std::vector<std::string>{"settings.dat"});
}

TEST_F(DurableFile, EveryFailingStepKeepsTheOldBytesAndRemovesTheTemporary) {
  for (DurableStep step :
       {DurableStep::CreateTemporary, DurableStep::WriteData, DurableStep::SyncData, DurableStep::Rename}) {
    SCOPED_TRACE(static_cast<int>(step));
    ASSERT_TRUE(platform::ReplaceFileDurably(File(), "old"));
    hooks::FailDurableReplaceAt(step);
    testsupport::TraceCapture traces;
    SetLastError(0xDEAD);
    EXPECT_FALSE(platform::ReplaceFileDurably(File(), "new"));
    EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
    EXPECT_EQ(traces.Take().size(), 1u);
    EXPECT_EQ(Read(File()), "old");
    EXPECT_EQ(Entries(), std::vector<std::string>{"settings.dat"});
    hooks::FailDurableReplaceAt(std::nullopt);
  }
}

TEST_F(DurableFile, FailedFolderSyncIsReportedAfterTheRename) {
  hooks::FailDurableReplaceAt(DurableStep::SyncFolder);
  SetLastError(0xDEAD);
  EXPECT_FALSE(platform::ReplaceFileDurably(File(), "new"));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  EXPECT_EQ(Read(File()), "new");
  EXPECT_EQ(Entries(), std::vector<std::string>{"settings.dat"});
}

TEST_F(DurableFile, FolderInThePlaceOfTheFileFailsWithoutATemporary) {
  fs::create_directories(fs::path(File()) / "inside");
  SetLastError(0xDEAD);
  EXPECT_FALSE(platform::ReplaceFileDurably(File(), "new"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Entries(), std::vector<std::string>{"settings.dat"});
  EXPECT_TRUE(fs::is_directory(fs::path(File()) / "inside"));
}

TEST_F(DurableFile, OnlyOldTemporariesAreRemoved) {
  const fs::path stale = File() + ".tmp123-1-0", fresh = File() + ".tmp456-1-0", other = dir_.path() / "other.tmp1";
  for (const auto& p : {stale, fresh, other}) std::ofstream(p) << "x";
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(11);
  fs::last_write_time(stale, old);
  fs::last_write_time(other, old);
  ASSERT_TRUE(platform::ReplaceFileDurably(File(), "new"));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh)) << "its writer may be only slow";
  EXPECT_TRUE(fs::exists(other)) << "not a temporary of this file";
}

TEST_F(DurableFile, ReadsSayWhyTheyFail) {
  std::string bytes = "left over";
  testsupport::TraceCapture traces;
  SetLastError(0xDEAD);
  EXPECT_FALSE(platform::ReadWholeFile(File(), bytes));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(traces.Take().empty()) << "a missing file is no news";

  fs::create_directory(File());
  EXPECT_FALSE(platform::ReadWholeFile(File(), bytes));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(traces.Take().size(), 1u);
  fs::remove(File());

  std::ofstream(File(), std::ios::binary) << std::string(5000, 'q');
  EXPECT_FALSE(platform::ReadWholeFile(File(), bytes, 4999));
  EXPECT_TRUE(bytes.empty());
  ASSERT_TRUE(platform::ReadWholeFile(File(), bytes, 5000));
  EXPECT_EQ(bytes, std::string(5000, 'q'));
}

TEST_F(DurableFile, LockExcludesEveryOtherHolderUntilReleased) {
  const std::string lockFile = File() + ".lock";
  auto tryLock = [&] {
    int fd = open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    bool got = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return got;
  };
  {
    platform::FileLock lock(File());
    ASSERT_TRUE(lock.Held());
    EXPECT_FALSE(tryLock());
  }
  EXPECT_TRUE(tryLock());
  EXPECT_TRUE(fs::exists(lockFile)) << "the lock file stays";

  SetLastError(0xDEAD);
  platform::FileLock nowhere((dir_.path() / "missing" / "f").string());
  EXPECT_FALSE(nowhere.Held());
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
