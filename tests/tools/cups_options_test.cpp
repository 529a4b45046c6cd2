// The generated PPD and the filter's translation of CUPS options into rt7700-print settings.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "devmode/paper_tables.h"
#include "devmode/stored_devmode.h"
#include "filter_options.h"
#include "job_settings.h"
#include "ppd_options.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using rt7700cups::Setting;

namespace {

class GeneratedPpd : public testing::Test {
 protected:
  void SetUp() override {
    ppd_ = ppdOpenFile(PPD_PATH);
    ASSERT_NE(ppd_, nullptr) << "cannot read " << PPD_PATH;
  }
  void TearDown() override {
    if (ppd_ != nullptr) ppdClose(ppd_);
  }

  // The settings as a map (the last value of a name wins, as in rt7700-print), or the error.
  std::map<std::string, std::string> Translate(const std::string& options, const std::string& copies = "1") {
    auto result = rt7700cups::TranslateJob(copies, options, ppd_);
    if (result.index() == 1) {
      ADD_FAILURE() << options << ": " << std::get<1>(result);
      return {};
    }
    std::map<std::string, std::string> out;
    for (const auto& [name, value] : std::get<0>(result)) out[name] = value;
    return out;
  }
  std::string Refusal(const std::string& options, const std::string& copies = "1") {
    auto result = rt7700cups::TranslateJob(copies, options, ppd_);
    return result.index() == 1 ? std::get<1>(result) : std::string();
  }

  ppd_file_t* ppd_ = nullptr;
};

double PointsOfPixels(int pixels) {
  return devmode::PixelsToTenthMm(pixels) * 72.0 / 254.0;
}

TEST_F(GeneratedPpd, PassesCupstestppdWithTheFilterInstalled) {
  testsupport::TempDir root;
  fs::create_directories(root.path() / "usr/lib/cups/filter");
  fs::create_symlink(FILTER_PATH, root.path() / "usr/lib/cups/filter/rt7700-pdftopcl");
  std::string command = std::string("cupstestppd -R '") + root.str() + "' '" + PPD_PATH + "' 2>&1";
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string report;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, p)) report.append(buffer, n);
  int status = pclose(p);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
  EXPECT_NE(report.find(": PASS"), std::string::npos) << report;
  EXPECT_EQ(report.find("FAIL"), std::string::npos) << report;
}

TEST_F(GeneratedPpd, OffersEveryPaperOfTheTableAtItsSizeAndCustomSizesWithinTheLimits) {
  ASSERT_EQ(rt7700cups::PaperKeywords().size(), devmode::Papers().size());
  for (const auto& entry : devmode::PaperGeometries()) {
    const rt7700cups::PaperKeyword* named = nullptr;
    for (const auto& k : rt7700cups::PaperKeywords()) {
      if (k.paper == entry.paperNumber) named = &k;
    }
    ASSERT_NE(named, nullptr) << "paper " << entry.paperNumber << " has no PPD size";
    ppd_size_t* size = ppdPageSize(ppd_, named->keyword);
    ASSERT_NE(size, nullptr) << named->keyword;
    const devmode::PageGeometry& g = entry.portrait;
    EXPECT_NEAR(size->width, PointsOfPixels(g.width), 0.01) << named->keyword;
    EXPECT_NEAR(size->length, PointsOfPixels(g.height), 0.01) << named->keyword;
    EXPECT_NEAR(size->left, PointsOfPixels(g.left), 0.01) << named->keyword;
    EXPECT_NEAR(size->top, PointsOfPixels(g.height - g.top), 0.01) << named->keyword;
    // Every size the PPD offers is one rt7700-print prints.
    rt7700print::JobSettings settings;
    EXPECT_FALSE(
        rt7700print::ApplySetting(settings, "media", rt7700cups::MediaValue(entry.paperNumber), "", ""))
        << named->keyword;
    EXPECT_EQ(settings.paper, entry.paperNumber) << named->keyword;
  }
  EXPECT_TRUE(ppd_->variable_sizes);
  EXPECT_NEAR(ppd_->custom_min[0], rt7700cups::kCustomWidthMin * 72.0 / 254.0, 0.01);
  EXPECT_NEAR(ppd_->custom_max[0], rt7700cups::kCustomWidthMax * 72.0 / 254.0, 0.01);
  EXPECT_NEAR(ppd_->custom_min[1], rt7700cups::kCustomLengthMin * 72.0 / 254.0, 0.01);
  EXPECT_NEAR(ppd_->custom_max[1], rt7700cups::kCustomLengthMax * 72.0 / 254.0, 0.01);
  // The corners of the custom range print; just outside it does not.
  for (const auto& [size, accepted] : std::map<std::string, bool>{{"Custom.90x120mm", true},
                                                                  {"Custom.216x356mm", true},
                                                                  {"Custom.89x120mm", false},
                                                                  {"Custom.216x357mm", false}}) {
    rt7700print::JobSettings settings;
    EXPECT_EQ(!rt7700print::ApplySetting(settings, "media", size, "", ""), accepted) << size;
  }
}

TEST_F(GeneratedPpd, EveryChoiceIsASettingRt7700PrintTakes) {
  for (const auto& option : rt7700cups::Options()) {
    ASSERT_NE(ppdFindOption(ppd_, option.keyword), nullptr) << option.keyword;
    ppd_choice_t* marked = nullptr;
    ppdMarkDefaults(ppd_);
    marked = ppdFindMarkedChoice(ppd_, option.keyword);
    ASSERT_NE(marked, nullptr) << option.keyword;
    EXPECT_STREQ(marked->choice, option.defaultChoice);
    // Watermarks by name are read by the watermark options of the tool, not by these settings.
    if (std::strcmp(option.setting, "watermark") == 0) continue;
    for (const auto& choice : option.choices) {
      if (choice.value == nullptr) continue;
      rt7700print::JobSettings settings;
      EXPECT_FALSE(rt7700print::ApplySetting(settings, option.setting, choice.value, "", ""))
          << option.keyword << "=" << choice.keyword;
    }
  }
}

// A job with no options prints with exactly the devmode rt7700-print uses without settings.
TEST_F(GeneratedPpd, DefaultsAreTheToolsDefaults) {
  auto settings = Translate("");
  EXPECT_EQ(settings.count("media"), 0u) << "without a size each page picks its paper";
  rt7700print::JobSettings fromPpd, plain;
  for (const auto& [name, value] : settings) {
    if (name == "watermark") continue;
    ASSERT_FALSE(rt7700print::ApplySetting(fromPpd, name, value, "", "")) << name << "=" << value;
  }
  devmode::StoredDevmode a{}, b{};
  rt7700print::BuildStoredDevmode(fromPpd, u"R7700", &a);
  rt7700print::BuildStoredDevmode(plain, u"R7700", &b);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

TEST(TonerSavingSetting, ReachesTheStoredDevmode) {
  rt7700print::JobSettings settings;
  devmode::StoredDevmode stored{};
  rt7700print::BuildStoredDevmode(settings, u"R7700", &stored);
  EXPECT_EQ(stored.priv.TonerSavingMode, 0);
  ASSERT_FALSE(rt7700print::ApplySetting(settings, "toner-saving", "true", "", ""));
  rt7700print::BuildStoredDevmode(settings, u"R7700", &stored);
  EXPECT_EQ(stored.priv.TonerSavingMode, 1);
  EXPECT_TRUE(rt7700print::ApplySetting(settings, "toner-saving", "maybe", "", ""));
}

TEST_F(GeneratedPpd, JobOptionsAndPpdChoicesBecomeSettings) {
  auto s = Translate("media=A5 sides=two-sided-long-edge", "3");
  EXPECT_EQ(s["copies"], "3");
  EXPECT_EQ(s["media"], "a5");
  EXPECT_EQ(s["sides"], "two-sided-long-edge");

  // PPD choices, as a print dialog sends them.
  s = Translate(
      "PageSize=Env10 Duplex=DuplexTumble InputSlot=Tray3 MediaType=Labels Resolution=1200dpi "
      "PagesPerSheet=4 LayoutOrder=TBRL LayoutBorder=Single Density=Dark TonerSaving=True Zoom=75 "
      "Rotate180=True OutputOrder=Reverse Collate=True");
  EXPECT_EQ(s["media"], "com10");
  EXPECT_EQ(s["sides"], "two-sided-short-edge");
  EXPECT_EQ(s["media-source"], "tray-3");
  EXPECT_EQ(s["media-type"], "labels");
  EXPECT_EQ(s["printer-resolution"], "1200dpi");
  EXPECT_EQ(s["number-up"], "4");
  EXPECT_EQ(s["number-up-layout"], "tbrl");
  EXPECT_EQ(s["page-border"], "single");
  EXPECT_EQ(s["density"], "dark");
  EXPECT_EQ(s["toner-saving"], "true");
  EXPECT_EQ(s["zoom"], "75");
  EXPECT_EQ(s["rotate-180"], "true");
  EXPECT_EQ(s["output-order"], "reverse");
  EXPECT_EQ(s["collate"], "true");

  // IPP names: sizes by their PWG or legacy names, and IPP options over the PPD's choices.
  EXPECT_EQ(Translate("media=iso_a5_148x210mm")["media"], "a5");
  EXPECT_EQ(Translate("media=na_letter_8.5x11in")["media"], "letter");
  EXPECT_EQ(Translate("number-up=2")["number-up"], "2");
  EXPECT_EQ(Translate("multiple-document-handling=separate-documents-collated-copies")["collate"], "true");
  // A PPD choice the job names wins over the IPP option.
  EXPECT_EQ(Translate("PagesPerSheet=4 number-up=2")["number-up"], "4");
  EXPECT_EQ(
      Translate("Collate=False multiple-document-handling=separate-documents-collated-copies")["collate"],
      "false");
  EXPECT_EQ(Translate("outputorder=reverse")["output-order"], "reverse");
  EXPECT_EQ(Translate("landscape")["orientation-requested"], "landscape");
  EXPECT_EQ(Translate("page-ranges=1-3,7 fit-to-page=true")["page-ranges"], "1-3,7");
  EXPECT_EQ(Translate("Watermark=Confidential")["watermark"], "Confidential");
  EXPECT_EQ(Translate("Watermark=None").count("watermark"), 0u);
  EXPECT_EQ(Translate("watermark-text=Draft")["watermark-text"], "Draft");
  // A size given only by a tray leaves the paper to the document.
  EXPECT_EQ(Translate("media=Tray2").count("media"), 0u);
}

// The scheduler adds number-up=1 to every job; a queue whose default is four pages per sheet
// (lpadmin -o PagesPerSheet-default=4 rewrites the queue's PPD) still prints four.
TEST_F(GeneratedPpd, TheQueuesDefaultsHoldAgainstTheSchedulersNumberUp) {
  std::ifstream in(PPD_PATH);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string from = "*DefaultPagesPerSheet: 1", to = "*DefaultPagesPerSheet: 4";
  ASSERT_NE(text.find(from), std::string::npos);
  text.replace(text.find(from), from.size(), to);
  testsupport::TempDir dir;
  std::string path = (dir.path() / "queue.ppd").string();
  std::ofstream(path) << text;
  ppdClose(ppd_);
  ppd_ = ppdOpenFile(path.c_str());
  ASSERT_NE(ppd_, nullptr);
  EXPECT_EQ(Translate("number-up=1 finishings=3")["number-up"], "4");
  EXPECT_EQ(Translate("number-up=2")["number-up"], "2");
  EXPECT_EQ(Translate("PagesPerSheet=1 number-up=1")["number-up"], "1");
}

TEST_F(GeneratedPpd, CustomSizesGoOverInPoints) {
  EXPECT_EQ(Translate("PageSize=Custom.300x500")["media"], "Custom.300.00x500.00");
  EXPECT_EQ(Translate("media=Custom.150x200mm")["media"], "Custom.425.20x566.93");
  rt7700print::JobSettings settings;
  ASSERT_FALSE(rt7700print::ApplySetting(settings, "media", "Custom.425.20x566.93", "", ""));
  ASSERT_TRUE(settings.customSize);
  EXPECT_EQ(settings.customSize->first, 1500);
  EXPECT_EQ(settings.customSize->second, 2000);
}

TEST_F(GeneratedPpd, JobsThePrinterCannotPrintAreRefusedWithTheReason) {
  EXPECT_EQ(Refusal("media=Tabloid"), "media: the printer has no paper Tabloid");
  EXPECT_EQ(Refusal("media=na_ledger_11x17in"), "media: the printer has no paper na_ledger_11x17in");
  EXPECT_NE(Refusal("", "0").find("copies"), std::string::npos);
  EXPECT_NE(Refusal("", "1000").find("copies"), std::string::npos);
  EXPECT_NE(Refusal("", "two").find("copies"), std::string::npos);
  EXPECT_NE(Refusal("page-ranges='1, 3'").find("page-ranges"), std::string::npos);
  EXPECT_EQ(Refusal("media=A4 sides=two-sided-long-edge"), "");
}

TEST(FilterWithoutPpd, UsesTheJobsIppOptionsOnly) {
  auto result =
      rt7700cups::TranslateJob("2", "media=iso_a5_148x210mm Duplex=DuplexTumble number-up=2", nullptr);
  ASSERT_EQ(result.index(), 0u);
  std::map<std::string, std::string> s;
  for (const auto& [name, value] : std::get<0>(result)) s[name] = value;
  EXPECT_EQ(s["copies"], "2");
  EXPECT_EQ(s["media"], "iso_a5_148x210mm");
  EXPECT_EQ(s["number-up"], "2");
  EXPECT_EQ(s.count("sides"), 0u) << "a PPD choice means nothing without the PPD";
}

}  // namespace
