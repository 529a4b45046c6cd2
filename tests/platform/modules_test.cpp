// Module loading: DllMain on the first load and the last free, reference counts, refusals.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf16.h"
#include "support/traces.h"
#include "win/error.h"
#include "win/modules.h"

namespace {

using Lines = std::vector<std::string>;

bool Resident(const char* path) {
  void* dl = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (dl == nullptr) return false;
  dlclose(dl);
  return true;
}

TEST(ModuleEntry, AttachOnTheFirstLoadDetachOnTheLastFree) {
  const std::u16string path = platform::Utf8ToUtf16(RT7700_PROBE_MODULE);
  testsupport::TraceCapture traces;
  HMODULE first = LoadLibraryW(path.c_str());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(traces.Take(), Lines{"probe attach with handle"});
  HMODULE second = LoadLibraryW(path.c_str());
  EXPECT_EQ(second, first) << "one module, one handle";
  EXPECT_TRUE(traces.Take().empty());

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_TRUE(traces.Take().empty()) << "still loaded once";
  EXPECT_TRUE(Resident(RT7700_PROBE_MODULE));
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(traces.Take(), Lines{"probe detach with handle"});
  EXPECT_FALSE(Resident(RT7700_PROBE_MODULE));

  SetLastError(0xDEAD);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  ASSERT_NE(first = LoadLibraryW(path.c_str()), nullptr);
  EXPECT_EQ(traces.Take(), Lines{"probe attach with handle"}) << "a new first load attaches again";
  EXPECT_TRUE(FreeLibrary(first));
}

TEST(ModuleEntry, RefusedAttachFailsTheLoadAndUnloads) {
  const std::u16string path = platform::Utf8ToUtf16(RT7700_REFUSING_MODULE);
  testsupport::TraceCapture traces;
  SetLastError(0xDEAD);
  EXPECT_EQ(LoadLibraryW(path.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_DLL_INIT_FAILED);
  Lines lines = traces.Take();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "probe attach with handle");
  EXPECT_EQ(lines[1], "probe detach with handle");
  EXPECT_NE(lines[2].find("refused"), std::string::npos) << lines[2];
  EXPECT_FALSE(Resident(RT7700_REFUSING_MODULE));
}

}  // namespace
