// The platform calls the rendering library relies on: the formatter, system information, files
// and the engine services.
#include <cstdarg>

#include "platform/system_hooks.h"
#include "platform/utf16.h"
#include "spooler/spooler_internal.h"
#include "render_fixture.h"
#include "win/error.h"
#include "win/fileapi.h"
#include "win/sysinfo.h"
#include "win/text.h"

namespace rendertest {
namespace {

namespace hooks = platform::hooks;
constexpr DWORD kSentinel = 0xDEADBEEF;

std::string Format(const char* format, ...) {
  char out[1024];
  std::memset(out, '#', sizeof out);
  va_list ap;
  va_start(ap, format);
  int n = wvsprintfA(out, format, ap);
  va_end(ap);
  EXPECT_EQ(static_cast<size_t>(n), std::strlen(out));
  return out;
}

TEST(Wvsprintf, PlatformConversions) {
  EXPECT_EQ(Format("%d|%i|%u|%x|%X", -42, 7, -1, 255, 0xBEEF), "-42|7|4294967295|ff|BEEF");
  EXPECT_EQ(Format("%02d:%02d%02d +%04d", 10, 5, 23, 45), "10:0523 +0045");
  EXPECT_EQ(Format("[%5d][%-5d][%05d][%.3d]", -12, 12, -12, 7), "[  -12][12   ][-0012][007]");
  EXPECT_EQ(Format("%#x %#X %lx %ld", 26, 26, 26, -3), "0x1a 0X1A 1a -3");
  EXPECT_EQ(Format("%s|%.3s|%-6s|%6s", "PCL", "PJLX", "ab", "cd"), "PCL|PJL|ab    |    cd");
  EXPECT_EQ(Format("%S|%ls|%hs", u"wide", u"\u00e9", "narrow"), "wide|\xe9|narrow");
  EXPECT_EQ(Format("%c%C%hd", 'A', u'B', 70000), "AB4464");
  EXPECT_EQ(Format("%I64d %I64u", static_cast<int64_t>(-5000000000), static_cast<uint64_t>(5000000000)),
            "-5000000000 5000000000");
  EXPECT_EQ(Format("100%% %f %q %"), "100% f q ");
  EXPECT_EQ(Format("%s", static_cast<const char*>(nullptr)), "(null)");
}

TEST(Wvsprintf, StopsAt1024CharactersWithTheNul) {
  const std::string long_(3000, 'x');
  char out[1024];
  EXPECT_EQ(wsprintfA(out, "%s", long_.c_str()), 1023);
  EXPECT_EQ(out[1023], 0);
  EXPECT_EQ(std::string(out), long_.substr(0, 1023));
}

TEST(SystemInfo, ComputerNameTempFolderAndExecutable) {
  hooks::SetComputerName("OFFICE-PC");
  char name[16];
  DWORD size = 4;
  SetLastError(kSentinel);
  EXPECT_FALSE(GetComputerNameA(name, &size));
  EXPECT_EQ(size, 10u);
  EXPECT_NE(GetLastError(), kSentinel);
  size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_EQ(size, 9u);
  EXPECT_STREQ(name, "OFFICE-PC");

  hooks::SetTempFolder("/var/tmp/job");
  WCHAR path[64];
  EXPECT_EQ(GetTempPathW(4, path), 14u);  // needed, with the NUL
  EXPECT_EQ(GetTempPathW(64, path), 13u);
  EXPECT_EQ(std::u16string(path), u"/var/tmp/job/");

  hooks::SetExecutableName("rt7700PCL5eWM.EXE");
  char exe[8];
  SetLastError(kSentinel);
  EXPECT_EQ(GetModuleFileNameA(nullptr, exe, sizeof exe), 8u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(exe, "rt7700P");
  char full[64];
  EXPECT_EQ(GetModuleFileNameA(nullptr, full, sizeof full), 17u);
  EXPECT_TRUE(render::IsWatermarkProgram());
  hooks::SetExecutableName("/usr/bin/writer");
  EXPECT_FALSE(render::IsWatermarkProgram());
}

TEST(Files, CreateWriteSeekReadDelete) {
  testsupport::TempDir dir;
  const std::u16string path = (dir.path() / "f.bin").u16string();
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "abcdef", 6, &n, nullptr));
  EXPECT_EQ(n, 6u);
  EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
  char buf[8] = {};
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(n, 4u);
  EXPECT_STREQ(buf, "cdef");
  hooks::FailFileWritesAt(2);
  EXPECT_FALSE(WriteFile(h, "ghij", 4, &n, nullptr));
  EXPECT_EQ(n, 2u);
  EXPECT_TRUE(CloseHandle(h));
  SetLastError(kSentinel);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(WriteFile(nullptr, "x", 1, &n, nullptr));
  EXPECT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_FALSE(DeleteFileW(path.c_str()));
}

class EngineServices : public RenderTest {};

TEST_F(EngineServices, SurfacesPalettesAbortAndDataFile) {
  SIZEL size{100, 50};
  HSURF s = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(0x10), size, BMF_24BPP);
  ASSERT_NE(s, nullptr);
  SetLastError(kSentinel);
  EXPECT_FALSE(EngAssociateSurface(s, reinterpret_cast<HDEV>(0x7), HOOK_BITBLT));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(EngAssociateSurface(s, hdev_, HOOK_BITBLT));
  EXPECT_EQ(platform::engine::FindSurface(s)->hooks, HOOK_BITBLT);
  EXPECT_TRUE(EngDeleteSurface(s));
  EXPECT_FALSE(EngDeleteSurface(s));
  EXPECT_EQ(EngCreateDeviceSurface(nullptr, SIZEL{0, 10}, BMF_24BPP), nullptr);

  HPALETTE pal = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
  ASSERT_NE(pal, nullptr);
  EXPECT_TRUE(EngDeletePalette(pal));
  EXPECT_FALSE(EngDeletePalette(pal));

  SURFOBJ so{};
  so.hdev = hdev_;
  EXPECT_FALSE(EngCheckAbort(&so));
  hooks::CancelJobAt(kPrinterName, 0);
  EXPECT_TRUE(EngCheckAbort(&so));
  EXPECT_FALSE(EngCheckAbort(nullptr));

  LPWSTR data = EngGetPrinterDataFileName(hdev_);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::u16string(data), platform::Utf8ToUtf16(*platform::spooler::PrinterDataFilePath(kPrinterName)));
  EXPECT_EQ(EngGetPrinterDataFileName(reinterpret_cast<HDEV>(0x7)), nullptr);
}

}  // namespace
}  // namespace rendertest
