// rt7700-preferences: its action language, and the tool run as a child process over a fake
// interface library whose sheets have known controls, and over the real one.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "script.h"
#include "support/temp_dir.h"
#include "tool_runner.h"
#include "win/devmode.h"
#include "win/error.h"
#include "win/spooler.h"

namespace {

using rt7700prefs::Action;
using rt7700prefs::ParseScript;
using rt7700prefs::ScriptError;
using rt7700prefs::ScriptSource;
using rt7700prefs::Verb;

std::vector<Action> Parsed(const std::string& text) {
  auto r = ParseScript({{"prefs.txt", text, false}});
  if (auto* e = std::get_if<ScriptError>(&r)) ADD_FAILURE() << e->where << ": " << e->message;
  return std::holds_alternative<ScriptError>(r) ? std::vector<Action>() : std::get<std::vector<Action>>(r);
}

ScriptError Error(const std::vector<ScriptSource>& sources) {
  auto r = ParseScript(sources);
  if (auto* e = std::get_if<ScriptError>(&r)) return *e;
  ADD_FAILURE() << "the script was accepted";
  return {};
}

TEST(PreferencesScript, ReadsEveryActionWithItsArguments) {
  auto a = Parsed(
      "# a session\n"
      "page Layout\n"
      "choose 1300 \"4 Pages per Sheet\"   # by id\n"
      "choose \"Pages per Sheet\" \"2 Pages\"; check 1201 off\n"
      "type 1110 \"say \\\"hi\\\"\"\n"
      "select-index 1500 2\n"
      "spin 1310 -3\n"
      "answer yes no cancel\n"
      "answer-color #ff8000\n"
      "modal {\n"
      "  type 2001 \"Draft\"\n"
      "  ok\n"
      "}\n"
      "click Save\n"
      "ok\n");
  ASSERT_EQ(a.size(), 12u);
  EXPECT_EQ(a[0].verb, Verb::Page);
  EXPECT_EQ(a[0].text, "Layout");
  EXPECT_EQ(a[0].number, 0) << "a title, not a position";
  EXPECT_EQ(a[1].control.id, 1300);
  EXPECT_EQ(a[1].text, "4 Pages per Sheet");
  EXPECT_EQ(a[1].where, "prefs.txt line 3");
  EXPECT_FALSE(a[2].control.id);
  EXPECT_EQ(a[2].control.text, "Pages per Sheet");
  EXPECT_EQ(a[3].verb, Verb::Check);
  EXPECT_FALSE(a[3].on);
  EXPECT_EQ(a[3].where, "prefs.txt line 4") << "';' separates actions on one line";
  EXPECT_EQ(a[4].text, "say \"hi\"");
  EXPECT_EQ(a[5].number, 2);
  EXPECT_EQ(a[6].number, -3);
  EXPECT_EQ(a[7].answers, (std::vector<int>{6, 7, 2}));
  EXPECT_EQ(a[8].color, 0x0080ffu) << "COLORREF keeps red in the low byte";
  ASSERT_EQ(a[9].verb, Verb::Modal);
  ASSERT_EQ(a[9].body.size(), 2u);
  EXPECT_EQ(a[9].body[0].where, "prefs.txt line 11");
  EXPECT_EQ(a[9].body[1].verb, Verb::Ok);
  EXPECT_EQ(a[10].control.text, "Save");
  EXPECT_EQ(a[11].verb, Verb::Ok);
  EXPECT_EQ(Parsed("page 3")[0].number, 3);
}

TEST(PreferencesScript, ErrorsNameTheLineAndWhatWasExpected) {
  struct Case {
    std::string script, where, message;
  };
  const Case cases[] = {
      {"page 1\n\nchose 1300 x\n", "prefs.txt line 3", "unknown action \"chose\""},
      {"page 1\ntype 1110 \"open\n", "prefs.txt line 2", "expected a closing quote"},
      {"check 1201 yes", "prefs.txt line 1", "expected on or off after check, got \"yes\""},
      {"check 1201", "prefs.txt line 1", "expected a control and on or off"},
      {"click 70000", "prefs.txt line 1", "expected a control id from 1 to 65535"},
      {"select-index 1500 -1", "prefs.txt line 1", "expected a position from 0"},
      {"spin 1310 many", "prefs.txt line 1", "expected a number of steps"},
      {"answer maybe", "prefs.txt line 1", "expected yes, no, ok or cancel after answer, got \"maybe\""},
      {"answer-color #12345", "prefs.txt line 1", "expected #RRGGBB or cancel"},
      {"type 1 \"a\\q\"", "prefs.txt line 1", "unknown escape \\q"},
      {"page 1\nmodal\n{ ok }", "prefs.txt line 2", "expected { after modal"},
      {"page 1\nmodal {\n  click 5\n", "prefs.txt line 2", "expected } to close the modal block"},
      {"click 5\n}\n", "prefs.txt line 2", "unexpected }: no modal block is open"},
      {"click 5 { ok }", "prefs.txt line 1", "unexpected {: only modal takes a block"},
      {"modal {\n page 2\n}", "prefs.txt line 2", "page is for the sheet"},
      {"modal { apply }", "prefs.txt line 1", "apply is for the sheet"},
      {"modal { cancel; click 3 }", "prefs.txt line 1", "the dialog is already closed by cancel"},
      {"ok\nclick 5\n", "prefs.txt line 2", "the sheet is already closed by ok on prefs.txt line 1"},
      {"apply now", "prefs.txt line 1", "expected nothing after apply"},
      {"\"page\" 1", "prefs.txt line 1", "expected an action, got \"page\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    ScriptError e = Error({{"prefs.txt", c.script, false}});
    EXPECT_EQ(e.where, c.where);
    EXPECT_NE(e.message.find(c.message), std::string::npos) << e.message;
  }
}

TEST(PreferencesScript, CommandLineActionsAreNamedByTheirPosition) {
  ScriptError e = Error({{"-e 1", "page 1", true}, {"-e 2", "click", true}});
  EXPECT_EQ(e.where, "-e 2");
  e = Error({{"-e 1", "page 1\nclick", true}});
  EXPECT_EQ(e.where, "-e 1 line 2");
  e = Error({{"-e 1", "cancel", true}, {"-e 2", "page 2", true}});
  EXPECT_EQ(e.where, "-e 2");
  EXPECT_NE(e.message.find("closed by cancel on -e 1"), std::string::npos) << e.message;
}

// ---- The tool over the fake sheets ----

constexpr char16_t kPrinter[] = u"Office";

struct Png {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  uint32_t At(int x, int y) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
    return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
  }
};

std::optional<Png> ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  Png out{static_cast<int>(image.width), static_cast<int>(image.height), std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
  if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) return std::nullopt;
  return out;
}

class PreferencesToolTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::hooks::SetPlatformRoot(Root()); }

  std::string Root() const { return (dir_.path() / "root").string(); }

  tooltest::Env Environment(bool fake = true) const {
    tooltest::Env env{{"RT7700_TEST_MODE", "1"},
                      {"RT7700_TEST_DRIVER", FAKE_DRIVER_PATH},
                      {"RT7700_PLATFORM_ROOT", Root()},
                      {"XDG_CONFIG_HOME", dir_.str()}};
    if (fake) env["RT7700_TEST_INTERFACE"] = FAKE_SHEETS_PATH;
    return env;
  }

  tooltest::Result Run(std::vector<std::string> args, bool fake = true) {
    args.insert(args.begin(), PREFERENCES_TOOL_PATH);
    return tooltest::Run(args, Environment(fake), dir_.str());
  }

  std::vector<uint8_t> DefaultDevmode(const std::u16string& printer = kPrinter) const {
    auto p = platform::spooler::FindPrinter(printer);
    return p ? p->defaultDevmode : std::vector<uint8_t>();
  }

  const DEVMODEW* Devmode(const std::vector<uint8_t>& bytes) const {
    return bytes.size() >= sizeof(DEVMODEW) ? reinterpret_cast<const DEVMODEW*>(bytes.data()) : nullptr;
  }

  std::string Write(const std::string& name, const std::string& text) {
    std::string path = (dir_.path() / name).string();
    std::ofstream(path) << text;
    return path;
  }

  testsupport::TempDir dir_;
};

TEST_F(PreferencesToolTest, ShowListsEveryPageWithItsControlsAndChangesNothing) {
  auto r = Run({"Office", "--show"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Sheet \"Fake sheet\"\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Page 1 \"General\" (current)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  1006 combo \"Red\" {*Red | Green | Blue}\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  1004 check \"Locked\" [ ] disabled\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  1002 edit \"1\"\n"), std::string::npos) << r.out;
  // The second page was never opened by the script; --show opens it to list it.
  EXPECT_NE(r.out.find("Page 2 \"Preview\"\n  1101 static \"Preview\""), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("not shown yet"), std::string::npos) << r.out;
  EXPECT_TRUE(DefaultDevmode().empty()) << "without actions the sheet is cancelled";
  auto printer = platform::spooler::FindPrinter(kPrinter);
  ASSERT_TRUE(printer) << "the printer is set up in the platform root";
  EXPECT_EQ(printer->configPath, FAKE_SHEETS_PATH);
  EXPECT_EQ(printer->port, "FILE:/dev/null");
}

TEST_F(PreferencesToolTest, ApplyMakesTheSheetsResultThePrintersDefault) {
  auto r = Run({"Office", "-e", "type 1002 \"5\"", "-e", "check Collate on; choose Colour Blue"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto bytes = DefaultDevmode();
  const DEVMODEW* d = Devmode(bytes);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->dmCopies, 5);
  EXPECT_EQ(d->dmCollate, DMCOLLATE_TRUE);
  EXPECT_EQ(d->dmColor, 3) << "the label \"Colour\" names the combo box after it";

  // The next session starts from that default and changes only what it touches.
  r = Run({"Office", "-e", "check 1003 off", "--show"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  1002 edit \"5\"\n"), std::string::npos) << r.out;
  bytes = DefaultDevmode();
  ASSERT_NE(Devmode(bytes), nullptr);
  EXPECT_EQ(Devmode(bytes)->dmCopies, 5);
  EXPECT_EQ(Devmode(bytes)->dmCollate, DMCOLLATE_FALSE);

  // An explicit apply followed by --cancel keeps what was applied, as the sheet reported OK.
  r = Run({"Office", "-e", "type 1002 \"8\"; apply", "--cancel"});
  ASSERT_EQ(r.status, 0) << r.err;
  bytes = DefaultDevmode();
  ASSERT_NE(Devmode(bytes), nullptr);
  EXPECT_EQ(Devmode(bytes)->dmCopies, 8);
}

TEST_F(PreferencesToolTest, CancelChangesNothing) {
  ASSERT_EQ(Run({"Office", "-e", "type 1002 \"3\""}).status, 0);
  const auto before = DefaultDevmode();
  ASSERT_FALSE(before.empty());
  for (std::vector<std::string> args : {std::vector<std::string>{"Office", "-e", "type 1002 \"7\"", "--cancel"},
                                        std::vector<std::string>{"Office", "-e", "type 1002 \"7\"; cancel"},
                                        std::vector<std::string>{"Office", "-e", "type 1002 \"7\"", "--cancel",
                                                                 "--apply"}}) {
    SCOPED_TRACE(args.back());
    auto r = Run(args);
    EXPECT_EQ(r.status, args.back() == "--apply" ? 2 : 0) << r.err;
    EXPECT_EQ(DefaultDevmode(), before);
  }
}

TEST_F(PreferencesToolTest, RefusedActionsExitOneAndApplyNothing) {
  auto r = Run({"Office", "-e", "type 1002 \"4\"", "-e", "check 1004 on"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "rt7700-preferences: -e 2: control 1004 \"Locked\" is disabled\n");
  EXPECT_TRUE(DefaultDevmode().empty()) << "a failed script cancels the sheet";

  // The page refuses 150 copies with a message; nothing is applied.
  r = Run({"Office", "-e", "type 1002 \"150\""});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("message \"Copies must be 1 to 99.\": ok"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("page \"General\" refused the settings"), std::string::npos) << r.err;
  EXPECT_TRUE(DefaultDevmode().empty());

  r = Run({"Office", "-e", "apply"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("-e 1: apply: the Apply button is disabled"), std::string::npos) << r.err;

  // What an apply before the refusal applied stays, as the sheet reported it.
  r = Run({"Office", "-e", "type 1002 \"6\"; apply", "-e", "type 1002 \"9\"; check 1004 on"});
  EXPECT_EQ(r.status, 1);
  auto bytes = DefaultDevmode();
  ASSERT_NE(Devmode(bytes), nullptr);
  EXPECT_EQ(Devmode(bytes)->dmCopies, 6);

  r = Run({"Office", "-e", "type 1002 \"12x\""});
  EXPECT_EQ(r.status, 1) << "a number-only edit refuses letters";
  EXPECT_EQ(r.err, "rt7700-preferences: -e 1: control 1002 refused the text \"12x\" (it holds \"12\")\n");
}

TEST_F(PreferencesToolTest, UnknownPagesControlsAndEntriesAreBadScripts) {
  struct Case {
    std::string action, error;
  };
  const Case cases[] = {
      {"click 4242", "rt7700-preferences: -e 1: no control 4242 on page \"General\"\n"},
      {"click \"Print now\"", "rt7700-preferences: -e 1: no control \"Print now\" on page \"General\"\n"},
      {"page Finishing", "rt7700-preferences: -e 1: no page \"Finishing\" (the pages: \"General\", \"Preview\")\n"},
      {"choose 1006 Purple",
       "rt7700-preferences: -e 1: control 1006 has no entry \"Purple\" (entries: \"Red\", \"Green\", \"Blue\")\n"},
      {"select-index 1006 3", "rt7700-preferences: -e 1: control 1006 has 3 entries; 3 is past the last (0 is the first)\n"},
      {"type 1003 \"x\"",
       "rt7700-preferences: -e 1: control 1003 \"Collate\" is a check box, not an edit box or combo box\n"},
      {"chose 1006 Red", "rt7700-preferences: -e 1: unknown action \"chose\"\n"},
      {"modal { ok }", "rt7700-preferences: -e 1: no dialog opened for this modal block\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action);
    auto r = Run({"Office", "-e", c.action});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, c.error);
  }
  EXPECT_TRUE(DefaultDevmode().empty());

  std::string script = Write("bad.txt", "page General\ntype 1002 \"2\"\nclick 1007 1008\n");
  auto r = Run({"Office", "--script", script});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-preferences: " + script + " line 3: expected a control after click\n");
  r = Run({"Office", "--script", (dir_.path() / "missing.txt").string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("missing.txt: No such file"), std::string::npos) << r.err;
}

TEST_F(PreferencesToolTest, MessageBoxesAndModalDialogsTakeTheScriptsAnswers) {
  std::string script = Write("session.txt",
                             "answer no\n"
                             "click Ask\n"
                             "modal {\n"
                             "  type 2001 \"Draft\"\n"
                             "  ok\n"
                             "}\n"
                             "click 1009\n");
  auto r = Run({"Office", "--script", script, "--show", "--cancel"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "rt7700-preferences: message \"Keep the change?\": no\n");
  EXPECT_NE(r.out.find("  1008 static \"no\"\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  1010 static \"Draft\"\n"), std::string::npos) << r.out;

  // Cancelled, the dialog leaves the page as it was; unanswered, a question gets its default.
  r = Run({"Office", "-e", "modal { type 2001 \"Draft\"; cancel }; click 1009; click 1007", "--show", "--cancel"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  1010 static\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  1008 static \"yes\"\n"), std::string::npos) << r.out;

  // A refusal inside the dialog is reported with its own line.
  r = Run({"Office", "-e", "modal { click 4242 }; click 1009"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-preferences: -e 1: no control 4242 in the dialog\n");
}

TEST_F(PreferencesToolTest, PreviewWritesTheCurrentPagesPictureAtTheControlsSize) {
  std::string png = (dir_.path() / "preview.png").string();
  auto r = Run({"Office", "-e", "choose 1006 Green; page Preview", "--preview", png, "--cancel"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto picture = ReadPng(png);
  ASSERT_TRUE(picture);
  // 80 x 40 dialog units at the 8-point dialog font: 120 x 65 pixels.
  EXPECT_EQ(picture->width, 120);
  EXPECT_EQ(picture->height, 65);
  EXPECT_EQ(picture->At(0, 0), 0x00FF00u) << "painted after the choice";
  EXPECT_EQ(picture->At(59, 64), 0x00FF00u);
  EXPECT_EQ(picture->At(60, 0), 0xFFFFFFu);
  EXPECT_TRUE(DefaultDevmode().empty());

  std::filesystem::remove(png);
  r = Run({"Office", "-e", "page 2; ok", "--preview", png});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-preferences: --preview: the script closed the sheet\n");
  r = Run({"Office", "--preview", png});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-preferences: --preview: the current page shows no preview\n");
  EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(PreferencesToolTest, PrinterPropertiesWriteTheirPrinterData) {
  auto quiet = [&]() -> std::optional<DWORD> {
    HANDLE printer = nullptr;
    if (!OpenPrinterW(kPrinter, &printer, nullptr)) return std::nullopt;
    DWORD type = 0, value = 0, needed = 0;
    DWORD e = GetPrinterDataW(printer, u"QuietMode", &type, reinterpret_cast<LPBYTE>(&value), sizeof value, &needed);
    ClosePrinter(printer);
    return e == ERROR_SUCCESS ? std::optional<DWORD>(value) : std::nullopt;
  };
  auto r = Run({"Office", "--device", "-e", "check \"Quiet mode\" on", "--cancel"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(quiet());
  r = Run({"Office", "--device", "-e", "check \"Quiet mode\" on"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(quiet(), 1u);
  EXPECT_TRUE(DefaultDevmode().empty()) << "the printer properties leave the default settings alone";
  r = Run({"Office", "--device", "--preview", (dir_.path() / "x.png").string()});
  EXPECT_EQ(r.status, 2);
}

// ---- The tool over the interface library ----

TEST_F(PreferencesToolTest, TheInterfaceLibrarysSheetsOpenShowAndApply) {
  const std::u16string name = u"Taliro R7700 PCL5e";
  auto r = Run({"Taliro R7700 PCL5e", "--show"}, false);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Sheet \"Taliro R7700 PCL5e\"\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\nPage 4 \""), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\nPage 5 \""), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("not shown yet"), std::string::npos) << r.out;
  EXPECT_TRUE(DefaultDevmode(name).empty()) << "shown, then cancelled";

  r = Run({"Taliro R7700 PCL5e", "--apply"}, false);
  ASSERT_EQ(r.status, 0) << r.err;
  auto bytes = DefaultDevmode(name);
  const DEVMODEW* d = Devmode(bytes);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(d->dmDeviceName)), name);
  EXPECT_GT(d->dmDriverExtra, 0) << "the driver's own settings travel with it";
  EXPECT_EQ(bytes.size(), size_t(d->dmSize) + d->dmDriverExtra);

  r = Run({"Taliro R7700 PCL5e", "--device", "--show"}, false);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nPage 1 \""), std::string::npos) << r.out;
  EXPECT_EQ(DefaultDevmode(name), bytes) << "the printer properties leave the default settings alone";
}

}  // namespace
