#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "support/temp_dir.h"
#include "support/traces.h"
#include "win/fileapi.h"
#include "win/sysinfo.h"
#include "win/windows.h"

namespace {

namespace hooks = platform::hooks;

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
 public:
  ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> vars) {
    for (auto [name, value] : vars) {
      const char* old = std::getenv(name);
      saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
      if (value) setenv(name, value, 1); else unsetenv(name);
    }
  }
  ~ScopedEnv() {
    for (auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1); else unsetenv(name.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

std::u16string Country() {
  WCHAR buf[8] = {};
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, buf, 8);
  return n > 0 ? std::u16string(buf) : u"(none)";
}

TEST(LastError, PerThreadValue) {
  SetLastError(1234);
  EXPECT_EQ(GetLastError(), 1234u);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), 0u);
}

TEST(DebugTraces, CapturedInOrderAndDroppedWhenOff) {
  OutputDebugStringA("before capture\n");
  testsupport::TraceCapture traces;
  OutputDebugStringA("first\n");
  OutputDebugStringW(u"zweite \u00FC\n");
  OutputDebugStringA(nullptr);
  auto lines = traces.Take();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "first\n");
  EXPECT_EQ(lines[1], "zweite \xC3\xBC\n");
  EXPECT_EQ(lines[2], "");
  EXPECT_TRUE(traces.Take().empty());
}

TEST(LocaleCountry, FromTerritoryOfThePosixLocale) {
  {
    ScopedEnv env{{"LC_ALL", nullptr}, {"LC_PAPER", nullptr}, {"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(Country(), u"49");
  }
  {
    ScopedEnv env{{"LC_ALL", nullptr}, {"LC_PAPER", "es_MX.UTF-8"}, {"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(Country(), u"52");
  }
  {
    ScopedEnv env{{"LC_ALL", "en_US.UTF-8@euro"}, {"LC_PAPER", "es_MX"}, {"LANG", "de_DE"}};
    EXPECT_EQ(Country(), u"1");
  }
  {
    ScopedEnv env{{"LC_ALL", nullptr}, {"LC_PAPER", nullptr}, {"LANG", "C.UTF-8"}};
    SetLastError(0xDEAD);
    EXPECT_EQ(Country(), u"(none)");
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  }
}

TEST(LocaleCountry, HookOverridesAndSizeQuery) {
  hooks::SetCountryCode(358);
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, nullptr, 0), 4);
  WCHAR small[2];
  SetLastError(0xDEAD);
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, small, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(Country(), u"358");
  hooks::SetCountryCode(std::nullopt);
  EXPECT_EQ(Country(), u"(none)");
  hooks::ResetAll();
  ScopedEnv env{{"LC_ALL", "fr_FR.UTF-8"}};
  EXPECT_EQ(Country(), u"33");
  SetLastError(0);
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, 0x9999, small, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(SystemLanguage, FromPosixLocaleOrHook) {
  {
    ScopedEnv env{{"LC_ALL", nullptr}, {"LC_MESSAGES", "de_AT.UTF-8"}};
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0C07);
  }
  {
    ScopedEnv env{{"LC_ALL", "es.UTF-8"}};
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0C0A);
  }
  {
    ScopedEnv env{{"LC_ALL", "C"}};
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0409);
  }
  hooks::SetSystemLangId(0x0C04);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x0C04);
}

TEST(Utf16, FieldsNeverReadPastTheirCapacity) {
  const WCHAR field[4] = {u'a', u'b', u'c', u'd'};
  EXPECT_EQ(platform::WideLength(field, 4), 4u);
  EXPECT_FALSE(platform::WideFieldTerminated(field, 4));
  EXPECT_EQ(platform::WideField(field, 4), u"abcd");
  WCHAR out[4] = {u'x', u'x', u'x', u'x'};
  platform::CopyWideField(out, 4, u"hello");
  EXPECT_EQ(std::u16string(out), u"hel");
  platform::CopyWideField(out, 4, u"h");
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[3], 0);
}

TEST(Utf16, Conversions) {
  EXPECT_EQ(platform::Utf8ToUtf16("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), u"A\u00E9\u20AC\U0001F600");
  EXPECT_EQ(platform::Utf16ToUtf8(u"A\u00E9\u20AC\U0001F600"), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(platform::Utf8ToUtf16("\xFF\xC3"), u"\uFFFD\uFFFD");  // bad and cut sequences
  EXPECT_EQ(platform::Utf16ToAnsi(u"\u00E9\u20AC\u4E2D"), "\xE9\x80?");
  EXPECT_EQ(platform::AnsiToUtf16("\xE9\x80"), u"\u00E9\u20AC");
}

// Every ill-formed sequence yields U+FFFD: none may decode to a character, least of all to ASCII
// that a filter on the bytes would have caught (C0 A2 as '"', C0 8A as a line feed).
TEST(Utf16, IllFormedUtf8BecomesReplacementCharacters) {
  const std::u16string r = u"\uFFFD";
  EXPECT_EQ(platform::Utf8ToUtf16("a\xC0\xA2z"), u"a" + r + r + u"z");        // overlong '"'
  EXPECT_EQ(platform::Utf8ToUtf16("\xC0\x8A"), r + r);                         // overlong line feed
  EXPECT_EQ(platform::Utf8ToUtf16("\xE0\x80\xAF"), r + r + r);                 // overlong '/'
  EXPECT_EQ(platform::Utf8ToUtf16("\xF0\x80\x80\xA2"), r + r + r + r);         // overlong '"'
  EXPECT_EQ(platform::Utf8ToUtf16("\xED\xA0\x80"), r + r + r);                 // a surrogate
  EXPECT_EQ(platform::Utf8ToUtf16("\xF4\x90\x80\x80"), r + r + r + r);         // past U+10FFFF
  EXPECT_EQ(platform::Utf8ToUtf16("\xF8\x88\x80\x80\x80"), r + r + r + r + r);  // five-byte form
  EXPECT_EQ(platform::Utf8ToUtf16("\xE2\x82"), r);                              // cut at the end
  EXPECT_EQ(platform::Utf8ToUtf16("\xE2\x82\""), r + u"\"");                    // cut by a quote
  EXPECT_EQ(platform::Utf8ToUtf16("\xF0\x9F\x98"), r);
  // The edges of what is valid still decode.
  EXPECT_EQ(platform::Utf8ToUtf16("\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"),
            u"\u0080\u0800\uD7FF\uE000\U00010000\U0010FFFF");

  const char overlong[] = "\xC0\xA2\xC0\x8A";
  WCHAR wide[8] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, overlong, 4, wide, 8), 4);
  EXPECT_EQ(std::u16string(wide, 4), r + r + r + r);
}

// Whatever decodes without a replacement character encodes back to the very same bytes: no second
// spelling of a character, and nothing a wide string cannot hold.
TEST(Utf16, DecodedUtf8RoundTripsExactly) {
  auto check = [](const std::string& bytes) {
    std::u16string wide = platform::Utf8ToUtf16(bytes);
    if (wide.find(u'\uFFFD') == std::u16string::npos && platform::Utf16ToUtf8(wide) != bytes) {
      ADD_FAILURE() << "bytes decode to a character that encodes differently, first byte " << +(bytes[0] & 0xFF);
      return false;
    }
    return true;
  };
  for (int a = 0x80; a < 0x100; ++a) {
    for (int b = 0; b < 0x100; ++b) {
      if (!check({static_cast<char>(a), static_cast<char>(b)})) return;
      for (int c = 0x80; c < 0xC0 && a >= 0xE0; ++c) {
        if (!check({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)})) return;
        if (a >= 0xF0 && !check({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), '\x80'})) return;
        if (a >= 0xF0 && !check({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), '\xBF'})) return;
      }
    }
  }
}

TEST(Utf16, WideCharToMultiByteQueriesThenConverts) {
  const WCHAR text[] = u"Gr\u00FC\u00DF";
  SetLastError(0xDEAD);
  int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(needed, 7);  // four characters, two of them two bytes, and the NUL
  char small[3];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, small, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  char out[16];
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, out, 16, nullptr, nullptr), 5);
  EXPECT_STREQ(out, "Gr\xFC\xDF");
  WCHAR back[16];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, out, -1, back, 16), 5);
  EXPECT_EQ(std::u16string(back), text);
  EXPECT_EQ(lstrlenW(text), 4);
  WCHAR copy[3];
  lstrcpynW(copy, text, 3);
  EXPECT_EQ(std::u16string(copy), u"Gr");
}

// The temporary folder is the user's own: made 0700 in $TMPDIR, refused when it is a link, someone
// else's or open to others, and a short one under /tmp when the caller's buffer is too small.
class TempPath : public testing::Test {
 protected:
  std::string Own(const std::filesystem::path& base) {
    return (base / ("rt7700-" + std::to_string(geteuid()))).string() + "/";
  }
  static std::string Get(DWORD size) {
    std::vector<WCHAR> buf(size + 1, u'#');
    DWORD n = GetTempPathW(size, buf.data());
    if (n == 0 || n >= size) return "(" + std::to_string(n) + ")";
    return platform::Utf16ToUtf8(std::u16string(buf.data()));
  }
  static mode_t Mode(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
  }
  testsupport::TempDir dir_;
};

TEST_F(TempPath, IsAFolderOfTheUsersOwnInTmpdir) {
  ScopedEnv env({{"TMPDIR", dir_.str().c_str()}});
  std::string own = Own(dir_.path());
  EXPECT_EQ(GetTempPathW(0, nullptr), own.size() + 1);  // size query, with the NUL
  EXPECT_EQ(Get(1024), own);
  EXPECT_TRUE(S_ISDIR(Mode(own)));
  EXPECT_EQ(Mode(own) & 07777, 0700u);

  // Too small a buffer for it: a short folder of the user's own, checked the same way.
  std::string shortOwn = Own("/tmp");
  EXPECT_EQ(Get(static_cast<DWORD>(own.size())), shortOwn);
  EXPECT_EQ(Mode(shortOwn) & 07777, 0700u);
  EXPECT_EQ(GetTempPathW(4, std::vector<WCHAR>(4).data()), shortOwn.size() + 1);
}

TEST_F(TempPath, AFolderThatIsNotPrivateIsNotUsed) {
  ScopedEnv env({{"TMPDIR", dir_.str().c_str()}});
  std::string own = Own(dir_.path());
  own.pop_back();
  auto elsewhere = dir_.path() / "elsewhere";
  std::filesystem::create_directory(elsewhere);
  chmod(elsewhere.c_str(), 0700);
  std::filesystem::create_directory_symlink(elsewhere, own);  // planted in a shared folder
  EXPECT_EQ(Get(1024), Own("/tmp"));
  std::filesystem::remove(own);

  std::filesystem::create_directory(own);
  chmod(own.c_str(), 0755);  // readable by everyone
  EXPECT_EQ(Get(1024), Own("/tmp"));
  EXPECT_EQ(Mode(own) & 07777, 0755u);  // not someone's to change
  chmod(own.c_str(), 0700);
  EXPECT_EQ(Get(1024), own + "/");
}

// A new file is made exclusively, never through a planted link, and private to its user.
TEST(CreateFile, NewFilesAreExclusiveAndPrivate) {
  testsupport::TempDir dir;
  auto victim = dir.path() / "victim";
  std::ofstream(victim) << "keep";
  auto link = dir.path() / "planted";
  std::filesystem::create_symlink(victim, link);
  auto dangling = dir.path() / "dangling";
  std::filesystem::create_symlink(dir.path() / "nowhere", dangling);
  for (const auto& taken : {link, dangling, victim}) {
    SetLastError(0xDEAD);
    HANDLE h = CreateFileW(taken.u16string().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << taken;
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS) << taken;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere"));
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");

  auto fresh = dir.path() / "fresh";
  mode_t old = umask(0);
  HANDLE h =
      CreateFileW(fresh.u16string().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  umask(old);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  struct stat st {};
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

}  // namespace
