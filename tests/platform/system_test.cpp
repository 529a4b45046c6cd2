#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "support/traces.h"
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

}  // namespace
