// A user's session end to end: the printing preferences set 4 pages per sheet and the
// "Confidential" watermark and keep them as a favourite; a job that sets nothing then prints
// with them, exactly as a job that asks for them on the command line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "job_settings.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "store/settings_store.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

constexpr char kPrinter[] = "Taliro R7700 PCL5e";
constexpr char kFavourite[] = "Four up, confidential";

// Five pages of the letter example: two sheets at four pages per sheet, the second one part full.
std::string MultiPageJob(const std::filesystem::path& dir) {
  nlohmann::json letter = nlohmann::json::parse(tooltest::ReadFile(std::string(EXAMPLES_DIR) + "/letter.json"));
  nlohmann::json job = letter;
  job["pages"] = nlohmann::json::array();
  for (int i = 0; i < 5; ++i) job["pages"].push_back(letter["pages"][0]);
  std::string path = (dir / "letters.json").string();
  std::ofstream(path) << job.dump();
  return path;
}

TEST(PreferencesSession, TheSessionsSettingsBecomeTheDefaultsOfTheNextJob) {
  testsupport::TempDir dir;
  const std::string job = MultiPageJob(dir.path());
  const std::string user = (dir.path() / "user").string(), other = (dir.path() / "other").string();
  std::filesystem::create_directories(user);
  std::filesystem::create_directories(other);
  tooltest::Env env{{"RT7700_TEST_MODE", "1"},
                    {"RT7700_PLATFORM_ROOT", (dir.path() / "root").string()},
                    {"XDG_CONFIG_HOME", user}};

  const std::string script = (dir.path() / "session.txt").string();
  std::ofstream(script) << "page 3                            # layout\n"
                           "choose 1300 \"4 Pages per Sheet\"\n"
                           "page 4                            # watermark\n"
                           "choose 1500 \"Confidential\"\n"
                           "page 1                            # basic\n"
                           "type 1110 \"" << kFavourite << "\"\n"
                           "answer yes                        # should it ask to replace one\n"
                           "click 1111\n"
                           "ok\n";
  auto r = tooltest::Run({PREFERENCES_TOOL_PATH, kPrinter, "--script", script}, env, dir.str());
  ASSERT_EQ(r.status, 0) << r.err;

  const std::string fromDefaults = (dir.path() / "defaults.prn").string();
  r = tooltest::Run({PRINT_TOOL_PATH, job, "--output", fromDefaults}, env, dir.str());
  ASSERT_EQ(r.status, 0) << r.err;

  // The same job asking for the settings itself, for a user and printer that have no defaults.
  tooltest::Env fresh{{"RT7700_TEST_MODE", "1"},
                      {"RT7700_PLATFORM_ROOT", (dir.path() / "fresh-root").string()},
                      {"XDG_CONFIG_HOME", other}};
  const std::string fromOptions = (dir.path() / "options.prn").string();
  r = tooltest::Run({PRINT_TOOL_PATH, job, "-o", "number-up=4", "-o", "watermark=Confidential", "--output",
                     fromOptions},
                    fresh, dir.str());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string expected = tooltest::ReadFile(fromOptions), printed = tooltest::ReadFile(fromDefaults);
  ASSERT_FALSE(expected.empty());
  EXPECT_TRUE(printed == expected) << "the job without options printed " << printed.size()
                                   << " bytes, the one with -o number-up=4 -o watermark=Confidential "
                                   << expected.size();

  // The favourite is in the user's settings store.
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string previous = saved != nullptr ? saved : "";
  setenv("XDG_CONFIG_HOME", user.c_str(), 1);
  auto items = ui::FavoriteStore().Items();
  if (saved != nullptr) setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  ASSERT_TRUE(items);
  std::u16string wanted(kFavourite, kFavourite + sizeof kFavourite - 1);
  bool found = false;
  for (const auto& item : *items) found = found || item.name == wanted;
  EXPECT_TRUE(found) << items->size() << " favourites, none named \"" << kFavourite << "\"";
}

// What the session relies on in rt7700-print, whatever the pages do: the printer's default
// settings reach a job that sets nothing, and only such a job.
TEST(PreferencesSession, AJobThatSetsNothingPrintsWithThePrintersDefaults) {
  testsupport::TempDir dir;
  const std::string job = MultiPageJob(dir.path());
  const std::string root = (dir.path() / "root").string();
  tooltest::Env env{{"RT7700_TEST_MODE", "1"}, {"RT7700_PLATFORM_ROOT", root}, {"XDG_CONFIG_HOME", dir.str()}};
  tooltest::Env fresh{{"RT7700_TEST_MODE", "1"},
                      {"RT7700_PLATFORM_ROOT", (dir.path() / "fresh-root").string()},
                      {"XDG_CONFIG_HOME", dir.str()}};
  auto print = [&](const tooltest::Env& e, std::vector<std::string> options, const std::string& name) {
    std::vector<std::string> args{PRINT_TOOL_PATH, job, "--output", (dir.path() / name).string()};
    args.insert(args.end(), options.begin(), options.end());
    auto r = tooltest::Run(args, e, dir.str());
    EXPECT_EQ(r.status, 0) << r.err;
    return tooltest::ReadFile((dir.path() / name).string());
  };
  const std::string plain = print(env, {}, "first.prn");
  ASSERT_FALSE(plain.empty());

  // The user makes four pages per sheet the printer's default, as the preferences' OK would.
  platform::hooks::SetPlatformRoot(root);
  auto printer = platform::spooler::FindPrinter(u"Taliro R7700 PCL5e");
  ASSERT_TRUE(printer);
  platform::hooks::SetCountryCode(49);  // as the tool's test mode, so that the paper is the same
  rt7700print::JobSettings settings;
  ASSERT_FALSE(rt7700print::ApplySetting(settings, "number-up", "4", "test", "number-up").has_value());
  devmode::StoredDevmode fourUp{};
  rt7700print::BuildStoredDevmode(settings, u"Taliro R7700 PCL5e", &fourUp);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&fourUp);
  printer->defaultDevmode.assign(bytes, bytes + sizeof fourUp);
  ASSERT_TRUE(platform::spooler::AddPrinter(*printer));

  const std::string asked = print(fresh, {"-o", "number-up=4"}, "asked.prn");
  ASSERT_NE(asked, plain);
  EXPECT_TRUE(print(env, {}, "defaults.prn") == asked) << "a job that sets nothing prints with the defaults";
  EXPECT_TRUE(print(env, {}, "again.prn") == asked) << "printing does not replace the defaults";
  EXPECT_TRUE(print(env, {"-o", "number-up=1"}, "own.prn") == plain) << "a job's own settings win";
}

}  // namespace
