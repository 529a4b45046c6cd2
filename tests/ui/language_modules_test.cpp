// The built language modules hold every resource the interface pages use, in each language.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/bitmaps.h"
#include "platform/utf16.h"
#include "win/actctx.h"
#include "win/error.h"
#include "win/modules.h"

namespace {

// String ids the interface uses: page titles, messages, paper and bin names, list entries
// and labels of the pages.
constexpr UINT kStringIds[] = {
    106,  216,  126,  142,  274,  275,  202,  207,  2000, 2040, 2045, 2057, 2060, 2061, 2062, 2063, 5004, 5008,
    5010, 5025, 5044, 5045, 5079, 108,  109,  110,  111,  116,  118,  119,  120,  121,  122,  123,  270,  340,
    411,  4063, 4064, 4065, 4067, 4068, 4069, 4070, 4072, 4073, 4074, 6001, 6002, 6003, 6004, 6005, 4017, 4018,
    4019, 143,  144,  147,  150,  151,  152,  153,  154,  155,  156,  157,  165,  166,  167,  168,  195,  415,
    4028, 4029, 136,  137,  1171, 1172, 1174, 4078, 4080, 4081, 4083, 4084, 4085, 4086, 5026, 5027, 5082, 5083,
    5088, 5089, 5100, 5101, 225,  227};
constexpr WORD kDialogIds[] = {111, 693, 626, 645, 651, 5086, 1056};

std::string Path(const char* module) { return std::string(RT7700_LIB_DIR) + "/" + module + ".so"; }

class LanguageModuleTest : public testing::TestWithParam<const char*> {};

TEST_P(LanguageModuleTest, HoldsEveryResource) {
  HMODULE m = LoadLibraryW(platform::Utf8ToUtf16(Path(GetParam())).c_str());
  ASSERT_NE(m, nullptr);
  for (UINT id : kStringIds) {
    WCHAR text[512];
    EXPECT_GT(LoadStringW(m, id, text, 512), 0) << "string " << id;
  }
  for (WORD id : kDialogIds) EXPECT_NE(FindResourceW(m, MAKEINTRESOURCEW(id), RT_DIALOG), nullptr) << "dialog " << id;
  for (WORD id = 144; id <= 169; ++id) EXPECT_NE(LoadBitmapW(m, MAKEINTRESOURCEW(id)), nullptr) << "picture " << id;
  EXPECT_NE(FindResourceW(m, MAKEINTRESOURCEW(64082), RT_GROUP_ICON), nullptr);
  ACTCTXW context{sizeof(ACTCTXW), ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID, nullptr, 0, 0,
                  nullptr, MAKEINTRESOURCEW(2), nullptr, m};
  HANDLE actctx = CreateActCtxW(&context);
  ASSERT_NE(actctx, INVALID_HANDLE_VALUE);
  ULONG_PTR cookie = 0;
  EXPECT_TRUE(ActivateActCtx(actctx, &cookie));
  EXPECT_TRUE(DeactivateActCtx(0, cookie));
  ReleaseActCtx(actctx);
  context.lpResourceName = MAKEINTRESOURCEW(3);
  SetLastError(0xDEAD);
  EXPECT_EQ(CreateActCtxW(&context), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(m));
}

INSTANTIATE_TEST_SUITE_P(Modules, LanguageModuleTest,
                         testing::Values("rt7700PCL5eenus", "rt7700PCL5ede", "rt7700PCL5ear", "rt7700PCL5ezhcn",
                                         "rt7700PCL5ezhtw", "rt7700PCL5eru", "rt7700PCL5eja", "rt7700PCL5efr",
                                         "rt7700PCL5eit", "rt7700PCL5eesmx", "rt7700PCL5esv", "rt7700PCL5eno",
                                         "rt7700PCL5etr"));

TEST(LanguageModules, TranslationsDiffer) {
  HMODULE en = LoadLibraryW(platform::Utf8ToUtf16(Path("rt7700PCL5eenus")).c_str());
  HMODULE ar = LoadLibraryW(platform::Utf8ToUtf16(Path("rt7700PCL5ear")).c_str());
  ASSERT_NE(en, nullptr);
  ASSERT_NE(ar, nullptr);
  WCHAR a[256], b[256];
  ASSERT_GT(LoadStringW(en, 202, a, 256), 0);
  ASSERT_GT(LoadStringW(ar, 202, b, 256), 0);
  EXPECT_EQ(platform::WideField(a, 256), u"Default Settings");
  EXPECT_EQ(b[0], u'\u0627') << "Arabic text";
  FreeLibrary(en);
  FreeLibrary(ar);
}

TEST(ModuleResources, StringsAndBitmapsFollowThePlatformRules) {
  HMODULE m = LoadLibraryW(platform::Utf8ToUtf16(Path("rt7700PCL5eenus")).c_str());
  ASSERT_NE(m, nullptr);
  WCHAR text[8];
  EXPECT_EQ(LoadStringW(m, 202, text, 8), 7) << "cut to the buffer, NUL included";
  EXPECT_EQ(platform::WideField(text, 8), u"Default");
  const WCHAR* direct = nullptr;
  EXPECT_EQ(LoadStringW(m, 202, reinterpret_cast<LPWSTR>(&direct), 0), 16);
  EXPECT_EQ(std::u16string_view(direct, 16), u"Default Settings");
  SetLastError(0xDEAD);
  EXPECT_EQ(LoadStringW(m, 59999, text, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  HBITMAP bitmap = LoadBitmapW(m, MAKEINTRESOURCEW(300));
  auto view = platform::ViewBitmap(bitmap);
  ASSERT_TRUE(view.has_value());
  EXPECT_EQ(view->header.biBitCount, 24);
  EXPECT_EQ(view->bits.size(), static_cast<size_t>((view->header.biWidth * 3 + 3) / 4 * 4 * view->header.biHeight));
  EXPECT_TRUE(FreeLibrary(m));
  SetLastError(0xDEAD);
  EXPECT_FALSE(FreeLibrary(m));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(0xDEAD);
  EXPECT_EQ(LoadLibraryW(u"/nonexistent/rt7700PCL5ezz.so"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

}  // namespace
