// Two processes change the settings file at once; every change that reported success must
// be in the file at the end.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "store/settings_store.h"
#include "support/temp_dir.h"

namespace {

constexpr int kSaves = 400;
constexpr int kKept = 8;

std::u16string Name(char process, int i) { return platform::Widen(std::string(1, process) + " " + std::to_string(i)); }

// Saves kSaves favourites, removing each one's eighth predecessor; exits 0 when every call
// reported success (1: a Save failed, 2: a Remove failed).
[[noreturn]] void SaveAndPrune(char process, int startFd) {
  char go;
  if (read(startFd, &go, 1) != 1) _exit(2);
  ui::FavoriteStore store;
  std::vector<uint8_t> record(sizeof(ui::SettingsRecord), static_cast<uint8_t>(process));
  bool saved = true, removed = true;
  for (int i = 0; i < kSaves; ++i) {
    saved = store.Save(Name(process, i), record) == 1 && saved;
    if (i >= kKept) removed = store.Remove(Name(process, i - kKept)) == 1 && removed;
  }
  _exit((saved ? 0 : 1) | (removed ? 0 : 2));
}

TEST(SettingsFileLock, TwoProcessesLoseNoChange) {
  testsupport::TempDir dir;
  platform::hooks::SetAppDataFolder(dir.str());
  ui::FavoriteStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);

  int start[2];
  ASSERT_EQ(pipe(start), 0);
  std::vector<pid_t> children;
  for (char process : {'A', 'B'}) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveAndPrune(process, start[0]);
    children.push_back(child);
  }
  // Both start together, so their operations interleave.
  ASSERT_EQ(write(start[1], "gg", 2), 2);
  close(start[0]);
  close(start[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a Save (1) or Remove (2) failed";
  }

  auto items = store.Items();
  ASSERT_TRUE(items.has_value());
  std::vector<std::u16string> a, b;
  for (const auto& item : *items) (item.name[0] == u'A' ? a : b).push_back(item.name);
  std::vector<std::u16string> expectA, expectB;
  for (int i = kSaves - kKept; i < kSaves; ++i) {
    expectA.push_back(Name('A', i));
    expectB.push_back(Name('B', i));
  }
  EXPECT_EQ(items->size(), 2u * kKept);
  EXPECT_EQ(a, expectA);
  EXPECT_EQ(b, expectB);
}

}  // namespace
