// Every language of the interface has a module that holds what the English one holds, translated,
// and each is reached through the configured language and through the system language.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "devmode/stored_devmode.h"
#include "entry/property_sheets.h"
#include "entry_fixture.h"
#include "platform/resource_table.h"
#include "platform/sheet_driver.h"
#include "platform/utf16.h"
#include "win/dialogs.h"
#include "win/modules.h"

namespace {

struct LanguageRow {
  std::u16string_view name;  // the registry value "Language"
  const char* module;
  LANGID systemId;  // one system language that chooses it
  bool decimalComma;
  bool rightToLeft;
};

// Several system languages choose some of these; the rows spread over them.
constexpr LanguageRow kLanguages[] = {
    {u"Simplified_Chinese", "rt7700PCL5ezhcn", 0x1004, false, false},
    {u"Traditional_Chinese", "rt7700PCL5ezhtw", 0x0404, false, false},
    {u"English", "rt7700PCL5eenus", 0x0409, false, false},
    {u"Russian", "rt7700PCL5eru", 0x0419, true, false},
    {u"Japanese", "rt7700PCL5eja", 0x0411, false, false},
    {u"Arabic", "rt7700PCL5ear", 0x3C01, false, true},
    {u"French", "rt7700PCL5efr", 0x0C0C, true, false},
    {u"Italian", "rt7700PCL5eit", 0x0810, true, false},
    {u"Spanish", "rt7700PCL5eesmx", 0x080A, false, false},
    {u"Swedish", "rt7700PCL5esv", 0x081D, true, false},
    {u"Norwegian", "rt7700PCL5eno", 0x0814, true, false},
    {u"German", "rt7700PCL5ede", 0x0807, true, false},
    {u"Turkish", "rt7700PCL5etr", 0x041F, true, false},
};

void PrintTo(const LanguageRow& row, std::ostream* os) { *os << platform::Utf16ToUtf8(std::u16string(row.name)); }

std::string ModulePath(const char* module) { return std::string(RT7700_LIB_DIR) + "/" + module + ".so"; }

// A module loaded for the length of a test.
class Module {
 public:
  explicit Module(const char* name) : handle_(LoadLibraryW(platform::Utf8ToUtf16(ModulePath(name)).c_str())) {}
  ~Module() {
    if (handle_ != nullptr) FreeLibrary(handle_);
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  HMODULE get() const { return handle_; }

  // Every resource as (type, id), from the table the module file exports.
  std::set<std::pair<uint32_t, uint32_t>> Resources() const {
    std::set<std::pair<uint32_t, uint32_t>> out;
    auto* table = reinterpret_cast<const platform::ResourceTable*>(GetProcAddress(handle_, platform::kResourceTableSymbol));
    if (table == nullptr || table->magic != platform::kResourceTableMagic) return out;
    for (uint32_t i = 0; i < table->count; ++i) out.emplace(table->entries[i].type, table->entries[i].id);
    return out;
  }
  std::u16string String(UINT id) const {
    const WCHAR* text = nullptr;
    int length = LoadStringW(handle_, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::u16string(text, static_cast<size_t>(length)) : std::u16string();
  }

 private:
  HMODULE handle_;
};

// The format directives of a text, in order: printf conversions ("%d", "%-5.2f", "%ls", "%%")
// and message inserts ("%1", "%2!d!"). A '%' followed by a space or punctuation is a percent
// sign in prose ("100% first", "100 %."), so the space flag of printf is not taken as one.
std::vector<std::u16string> Directives(std::u16string_view text) {
  constexpr std::u16string_view kFlags = u"-+#0";
  constexpr std::u16string_view kLengths = u"hlLqjzt";
  constexpr std::u16string_view kConversions = u"diouxXeEfFgGaAcCsSpn";
  auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  std::vector<std::u16string> out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%' || i + 1 == text.size()) continue;
    size_t k = i + 1;
    if (text[k] == u'%') {
      out.emplace_back(u"%%");
      i = k;
      continue;
    }
    if (text[k] >= u'1' && text[k] <= u'9') {
      while (k < text.size() && digit(text[k])) ++k;
      if (k < text.size() && text[k] == u'!') {
        size_t close = text.find(u'!', k + 1);
        if (close != std::u16string_view::npos) k = close + 1;
      }
      out.emplace_back(text.substr(i, k - i));
      i = k - 1;
      continue;
    }
    while (k < text.size() && kFlags.find(text[k]) != std::u16string_view::npos) ++k;
    while (k < text.size() && (digit(text[k]) || text[k] == u'*')) ++k;
    if (k < text.size() && text[k] == u'.') {
      ++k;
      while (k < text.size() && (digit(text[k]) || text[k] == u'*')) ++k;
    }
    while (k < text.size() && kLengths.find(text[k]) != std::u16string_view::npos) ++k;
    if (k < text.size() && kConversions.find(text[k]) != std::u16string_view::npos) {
      out.emplace_back(text.substr(i, k + 1 - i));
      i = k;
    }
  }
  return out;
}

size_t Count(std::u16string_view text, char16_t c) {
  size_t n = 0;
  for (char16_t t : text) n += t == c ? 1 : 0;
  return n;
}

// A sentence has a space and ends as one: '.', '?' or '!'. Names, labels and list entries
// ("Letter", "Layout", "1 minute") may rightly read the same in another language.
bool IsSentence(std::u16string_view text) {
  return text.find(u' ') != std::u16string_view::npos && !text.empty() &&
         (text.back() == u'.' || text.back() == u'?' || text.back() == u'!');
}

std::string Describe(const std::pair<uint32_t, uint32_t>& r) {
  const char* kind = r.first == RT_STRING_ID   ? "string"
                     : r.first == RT_DIALOG_ID ? "dialog"
                     : r.first == RT_BITMAP_ID ? "picture"
                     : r.first == RT_GROUP_ICON_ID ? "icon"
                                                   : "resource";
  std::ostringstream s;
  s << kind << " " << r.second << " (type " << r.first << ")";
  return s.str();
}

TEST(LanguageCoverage, TheDirectiveScannerFindsWhatATranslationCouldLose) {
  using V = std::vector<std::u16string>;
  EXPECT_EQ(Directives(u"Page %d of %s"), (V{u"%d", u"%s"}));
  EXPECT_EQ(Directives(u"%-5.2f%% %ls %lu"), (V{u"%-5.2f", u"%%", u"%ls", u"%lu"}));
  EXPECT_EQ(Directives(u"%2!d! before %1"), (V{u"%2!d!", u"%1"}));
  EXPECT_EQ(Directives(u"%100"), (V{u"%100"})) << "a percent sign before a number reads as an insert";
  EXPECT_EQ(Directives(u"a zoom of 100%. Set it to 100% first, 100 % d'abord, 100%"), V{});
  EXPECT_TRUE(IsSentence(u"Do you want to replace it?"));
  EXPECT_FALSE(IsSentence(u"Thin Line"));
  EXPECT_FALSE(IsSentence(u"Driver version:"));
}

class ModuleCoverageTest : public testing::TestWithParam<LanguageRow> {};

TEST_P(ModuleCoverageTest, HoldsTheEnglishResourcesTranslated) {
  Module english("rt7700PCL5eenus");
  Module module(GetParam().module);
  ASSERT_NE(english.get(), nullptr);
  ASSERT_NE(module.get(), nullptr) << ModulePath(GetParam().module);
  auto expected = english.Resources();
  auto held = module.Resources();
  ASSERT_FALSE(expected.empty());
  for (const auto& r : expected) EXPECT_TRUE(held.count(r)) << "missing " << Describe(r);
  for (const auto& r : held) EXPECT_TRUE(expected.count(r)) << "not in English: " << Describe(r);
  for (const auto& r : {std::pair<uint32_t, uint32_t>{RT_DIALOG_ID, 111}, {RT_BITMAP_ID, 300}, {RT_GROUP_ICON_ID, 64082}}) {
    EXPECT_TRUE(expected.count(r)) << "the English module lacks " << Describe(r);
  }

  bool translated = GetParam().name != u"English";
  for (const auto& [type, id] : expected) {
    if (type != RT_STRING_ID || !held.count({type, id})) continue;
    std::u16string source = english.String(id), text = module.String(id);
    SCOPED_TRACE("string " + std::to_string(id) + ": " + platform::Utf16ToUtf8(text));
    EXPECT_NE(text.find_first_not_of(u" \t\n\u00A0"), std::u16string::npos) << "empty";
    EXPECT_EQ(Directives(text), Directives(source)) << "format directives changed";
    EXPECT_EQ(Count(text, u'\\'), Count(source, u'\\')) << "a backslash was lost or added";
    EXPECT_EQ(Count(text, u'\n'), Count(source, u'\n')) << "line breaks changed";
    if (translated && IsSentence(source)) {
      EXPECT_NE(text, source) << "not translated";
    }
  }
}

std::string RowName(const testing::TestParamInfo<LanguageRow>& info) {
  return platform::Utf16ToUtf8(std::u16string(info.param.name));
}

INSTANTIATE_TEST_SUITE_P(Languages, ModuleCoverageTest, testing::ValuesIn(kLanguages), RowName);

const LanguageRow& Row(std::u16string_view name) {
  for (const auto& row : kLanguages) {
    if (row.name == name) return row;
  }
  ADD_FAILURE() << "no row " << platform::Utf16ToUtf8(std::u16string(name));
  return kLanguages[0];
}

// The language as a user meets it: a message box and a property sheet of the document settings.
class LanguageUserTest : public testsupport::EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    platform::hooks::TakeMessageBoxes();
    ASSERT_TRUE(OpenPrinterW(kPrinter, &printer_, nullptr));
  }
  void TearDown() override {
    ClosePrinter(printer_);
    EntryTest::TearDown();
  }

  // What a user of `row` sees, checked against that language's own module file.
  void ExpectShownIn(const LanguageRow& row) {
    Module expected(row.module);
    ASSERT_NE(expected.get(), nullptr);

    ui::LanguageModuleLoad load = ui::LoadLanguageModule();
    ASSERT_NE(load.module, nullptr) << load.error;
    ui::ShowModuleMessage(nullptr, load.module, 207, 2000, MB_OK | MB_ICONWARNING);
    EXPECT_TRUE(FreeLibrary(load.module));
    auto boxes = platform::hooks::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, expected.String(207));
    EXPECT_EQ(boxes[0].caption, expected.String(2000));
    EXPECT_EQ(boxes[0].type & (MB_RTLREADING | MB_RIGHT), row.rightToLeft ? MB_RTLREADING | MB_RIGHT : 0u);

    std::vector<uint8_t> out(devmode::kStoredDevmodeSize);
    DOCUMENTPROPERTYHEADER header{sizeof(DOCUMENTPROPERTYHEADER), 0, printer_, const_cast<LPWSTR>(kPrinter), nullptr,
                                  reinterpret_cast<DEVMODEW*>(out.data()), static_cast<DWORD>(out.size()),
                                  DM_IN_BUFFER | DM_OUT_BUFFER};
    std::string error;
    auto sheet = platform::ui::PropertySheet::Open(ui::DocumentPropertySheets, reinterpret_cast<LPARAM>(&header), error);
    ASSERT_NE(sheet, nullptr) << error;
    const UINT titles[] = {106, 216, 126, 142};
    ASSERT_EQ(sheet->PageCount(), std::size(titles));
    for (size_t i = 0; i < std::size(titles); ++i) EXPECT_EQ(sheet->PageTitle(i), expected.String(titles[i])) << i;
    WCHAR caption[256] = {};
    GetWindowTextW(sheet->Page(), caption, 256);
    EXPECT_EQ(platform::WideField(caption, 256), expected.String(106)) << "caption of dialog 111";
    EXPECT_TRUE(sheet->Cancel());

    EXPECT_EQ(ui::DecimalComma(), row.decimalComma);
    EXPECT_EQ(ui::RightToLeft(), row.rightToLeft);
  }

  HANDLE printer_ = nullptr;
};

class LanguageSelectionTest : public LanguageUserTest, public testing::WithParamInterface<LanguageRow> {};

TEST_P(LanguageSelectionTest, ChosenInTheRegistry) {
  SetLanguage(GetParam().name);
  ExpectShownIn(GetParam());
}

TEST_P(LanguageSelectionTest, ChosenByTheSystemLanguage) {
  platform::hooks::SetSystemLangId(GetParam().systemId);
  ExpectShownIn(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageSelectionTest, testing::ValuesIn(kLanguages), RowName);

TEST_F(LanguageUserTest, SpanishWithTheTraditionalSortGetsEnglish) {
  platform::hooks::SetSystemLangId(0x040A);
  ExpectShownIn(Row(u"English"));
  ui::ReleaseLanguageResources();
  ui::ClearDisplayFlags();
  platform::hooks::SetSystemLangId(0x0C0A);
  ExpectShownIn(Row(u"Spanish"));
}

}  // namespace
