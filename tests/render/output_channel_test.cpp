// The output channel: buffering and flush rules, failure and discard, the spool copy, the two
// formatters, the language switches and the state-cached commands.
#include <fstream>
#include <iterator>

#include "platform/system_hooks.h"
#include "render_fixture.h"
#include "win/fileapi.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;
namespace hooks = platform::hooks;

std::string Pending(const render::Pdev& pdev) {
  return std::string(reinterpret_cast<const char*>(pdev.channel.buffer), pdev.channel.fill);
}

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Pattern(size_t n) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

class OutputChannel : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    pdev_ = Enable();
    ASSERT_NE(pdev_, nullptr);
  }
  int Write(const std::string& s) { return render::WriteBytes(*pdev_, s.data(), static_cast<uint32_t>(s.size())); }
  render::Pdev* pdev_ = nullptr;
};

TEST_F(OutputChannel, BufferFlushesOnlyWhenTheNextByteWouldNotFit) {
  const std::string full = Pattern(4096);
  ASSERT_EQ(Write(full.substr(0, 4000)), 1);
  ASSERT_EQ(Write(full.substr(4000)), 1);
  EXPECT_EQ(Printed(), "");
  EXPECT_EQ(pdev_->channel.fill, 4096u);
  ASSERT_EQ(Write("Z"), 1);
  EXPECT_EQ(Printed(), full);
  EXPECT_EQ(Pending(*pdev_), "Z");
}

TEST_F(OutputChannel, LongWriteGoesThroughInWholeChunksAndKeepsTheRest) {
  const std::string data = Pattern(10000);
  ASSERT_EQ(Write(data), 1);
  EXPECT_EQ(Printed(), data.substr(0, 8192));
  EXPECT_EQ(Pending(*pdev_), data.substr(8192));
  EXPECT_EQ(pdev_->channel.fill, 1808u);
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  EXPECT_EQ(Printed(), data.substr(8192));
}

TEST_F(OutputChannel, StringLengthIsTakenWhenNoLengthIsGiven) {
  ASSERT_EQ(render::WriteBytes(*pdev_, "\x1b&l1X", 0), 1);
  EXPECT_EQ(Pending(*pdev_), Pcl("\\e&l1X"));
}

TEST_F(OutputChannel, FailedPrinterWriteSilencesTheRestOfTheJob) {
  hooks::FailPrinterWritesAt(kPrinterName, 0);
  ASSERT_EQ(Write("page one"), 1);
  EXPECT_EQ(render::FlushOutput(*pdev_), 0);
  EXPECT_TRUE(pdev_->doc.OutputFlags & render::kOutputFailed);
  EXPECT_EQ(Pending(*pdev_), "page one");  // the bytes stay where they were
  EXPECT_EQ(Write("more"), 0);
  EXPECT_EQ(render::WriteCommand(*pdev_, "\x1b&l%dX", 1), 0);
  EXPECT_EQ(Pending(*pdev_), "page one");
  hooks::FailPrinterWritesAt(kPrinterName, 1u << 30);  // the printer would take bytes again
  EXPECT_EQ(render::FlushOutput(*pdev_), 1);
  EXPECT_EQ(Write(Pattern(5000)), 0);
  EXPECT_EQ(Printed(), "");
}

TEST_F(OutputChannel, ShortPrinterWriteCountsAsFailure) {
  hooks::ShortPrinterWriteAt(kPrinterName, 3);
  ASSERT_EQ(Write("abcdef"), 1);
  EXPECT_EQ(render::FlushOutput(*pdev_), 0);
  EXPECT_TRUE(pdev_->doc.OutputFlags & render::kOutputFailed);
}

TEST_F(OutputChannel, DiscardModeAcceptsEverythingAndKeepsNothing) {
  ASSERT_EQ(Write("kept"), 1);
  pdev_->doc.OutputFlags |= render::kDiscardMode;
  EXPECT_EQ(Write("thrown away"), 1);
  EXPECT_EQ(Write(Pattern(9000)), 1);
  EXPECT_EQ(pdev_->channel.fill, 0u);
  EXPECT_EQ(render::FlushOutput(*pdev_), 1);
  pdev_->doc.OutputFlags &= ~render::kDiscardMode;
  EXPECT_EQ(render::FlushOutput(*pdev_), 1);
  EXPECT_EQ(Printed(), "");
}

TEST_F(OutputChannel, SpoolCopyMirrorsToThePrinterOnlyForPlainCollatedCopies) {
  pdev_->jobId = 17;
  pdev_->settings.pub.dmCollate = 1;
  ASSERT_EQ(render::StartSpoolCopy(*pdev_), 1);
  ASSERT_TRUE(pdev_->doc.OutputFlags & render::kSpoolCopyActive);
  const auto file = TempFolder() / "writefile2026127105234517.p5c";
  ASSERT_TRUE(std::filesystem::exists(file));

  ASSERT_EQ(Write("sheet 1;"), 1);
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  EXPECT_EQ(Printed(), "sheet 1;");
  EXPECT_EQ(ReadAll(file), "sheet 1;");

  pdev_->settings.priv.ReverseOrder = 1;  // now the file alone keeps the bytes
  ASSERT_EQ(Write("sheet 2;"), 1);
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  EXPECT_EQ(Printed(), "");
  pdev_->settings.priv.ReverseOrder = 0;
  pdev_->settings.priv.TwoSided = 1;
  ASSERT_EQ(Write(Pattern(5000)), 1);  // chunks bypass the buffer by the same rule
  EXPECT_EQ(Printed(), "");
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  EXPECT_EQ(ReadAll(file), "sheet 1;sheet 2;" + Pattern(5000));
  EXPECT_EQ(pdev_->doc.spoolBytes, 16 + 5000);

  ASSERT_EQ(render::ReplaySpoolRange(*pdev_, 8, 8), 1);
  EXPECT_EQ(Printed(), "sheet 2;");
  render::DeleteSpoolCopy(*pdev_);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(pdev_->doc.spoolName[0], 0);
}

// The spool copy is a new file of its own: a name already taken (another job's copy at the same
// moment, a link someone planted to make the driver overwrite a file) is left alone and the
// next name is used; nobody but the user can read the copy.
TEST_F(OutputChannel, SpoolCopyIsANewPrivateFileNeverAnExistingOne) {
  pdev_->jobId = 17;
  const auto first = TempFolder() / "writefile2026127105234517.p5c";
  const auto second = TempFolder() / "writefile2026127105234517-1.p5c";
  const auto third = TempFolder() / "writefile2026127105234517-2.p5c";
  const auto victim = root_.path() / "victim.txt";
  std::ofstream(victim) << "not the driver's";
  std::filesystem::create_symlink(victim, first);
  std::ofstream(second) << "another job's pages;";

  ASSERT_EQ(render::StartSpoolCopy(*pdev_), 1);
  ASSERT_TRUE(pdev_->doc.OutputFlags & render::kSpoolCopyActive);
  EXPECT_EQ(std::u16string(pdev_->doc.spoolName), third.u16string());
  ASSERT_EQ(Write("sheet 1;"), 1);
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  ASSERT_EQ(render::ReplaySpoolRange(*pdev_, 0, 8), 1);
  EXPECT_EQ(Printed(), "sheet 1;");
  EXPECT_EQ(ReadAll(victim), "not the driver's");
  EXPECT_EQ(ReadAll(second), "another job's pages;");
  EXPECT_EQ(ReadAll(third), "sheet 1;");
  EXPECT_EQ(std::filesystem::status(third).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  render::DeleteSpoolCopy(*pdev_);
  EXPECT_FALSE(std::filesystem::exists(third));
  EXPECT_TRUE(std::filesystem::is_symlink(first));
}

TEST_F(OutputChannel, FailedSpoolCopyWriteSetsTheFailureBit) {
  ASSERT_EQ(render::StartSpoolCopy(*pdev_), 1);
  hooks::FailFileWritesAt(4);
  ASSERT_EQ(Write("abcdef"), 1);
  EXPECT_EQ(render::FlushOutput(*pdev_), 0);
  EXPECT_TRUE(pdev_->doc.OutputFlags & render::kOutputFailed);
  EXPECT_EQ(Printed(), "");
}

TEST_F(OutputChannel, SpoolCopyFallsBackToThePrinterDataFolder) {
  hooks::SetTempFolder("");
  const auto data = root_.path() / "data" / "printer.dat";
  std::filesystem::create_directories(data.parent_path());
  platform::engine::DeleteDevice(hdev_);
  hdev_ = platform::engine::CreateDevice({printer_, kPrinterName, data.u16string()});
  pdev_->hdev = hdev_;
  pdev_->jobId = 3;
  ASSERT_EQ(render::StartSpoolCopy(*pdev_), 1);
  EXPECT_TRUE(std::filesystem::exists(data.parent_path() / "writefile202612710523453.p5c"));
}

TEST_F(OutputChannel, CopiesWholeFilesAndIgnoresMissingOnes) {
  const auto file = TempFolder() / "fragment.prn";
  std::ofstream(file, std::ios::binary) << Pattern(9000);
  ASSERT_EQ(render::CopyFileToOutput(*pdev_, file.u16string().c_str()), 1);
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  EXPECT_EQ(Printed(), Pattern(9000));
  EXPECT_EQ(render::CopyFileToOutput(*pdev_, (TempFolder() / "missing.prn").u16string().c_str()), 0);
  EXPECT_EQ(render::CopyFileToOutput(*pdev_, u""), 0);
  EXPECT_EQ(pdev_->channel.fill, 0u);
}

std::string Fixed(const char* format, std::initializer_list<render::FormatArg> args) {
  char out[256];
  int n = render::FormatCommandString(out, sizeof out, format, args.begin(), args.size());
  EXPECT_EQ(static_cast<size_t>(n), std::strlen(out));
  return out;
}

TEST(FormatCommandString, ConvertsAsTheDriverFormatterDoes) {
  EXPECT_EQ(Fixed("PW%f", {0x180}), "PW1.5");
  EXPECT_EQ(Fixed("%f", {0x100}), "1");
  EXPECT_EQ(Fixed("%f", {-0x40}), "-0.25");
  EXPECT_EQ(Fixed("%f", {0x155}), "1.332");   // 85/256 = 0.33203 -> 332
  EXPECT_EQ(Fixed("%.1f", {0x155}), "1.3");
  EXPECT_EQ(Fixed("%.2f", {0x1CC}), "1.79");  // 0.796875 -> 797, cut after two digits
  EXPECT_EQ(Fixed("%x|%X|%x", {5, 0xABCDE, 0}), "05|ABCDE|00");
  EXPECT_EQ(Fixed("%b %b", {false, 7}), "false true");
  EXPECT_EQ(Fixed("%d %l %u", {-12, 34, -1}), "-12 34 4294967295");
  EXPECT_EQ(Fixed("%c%s", {'Q', "rest"}), "Qrest");
  EXPECT_EQ(Fixed("100%% %q%", {}), "100% q");
  EXPECT_EQ(Fixed("%d,%d", {1}), "1,0");  // a missing argument reads as 0
}

TEST(FormatCommandString, NeverWritesPastTheDestination) {
  char out[8];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(render::FormatCommandString(out, sizeof out, "%s", std::initializer_list<render::FormatArg>{"0123456789"}.begin(), 1), 7);
  EXPECT_STREQ(out, "0123456");
}

TEST_F(OutputChannel, FixedWriterFormatsFractions) {
  ASSERT_EQ(render::WriteCommandFixed(*pdev_, "PW%f;", render::ToFixed(0.25)), 1);
  EXPECT_EQ(Pending(*pdev_), "PW0.25;");
}

TEST_F(OutputChannel, LanguageSwitchIsWrittenOnlyWhenTheLanguageChanges) {
  render::EnterHpgl2(*pdev_, 0);
  render::EnterHpgl2(*pdev_, 1);
  render::EnterPcl(*pdev_, 1);
  render::EnterPcl(*pdev_, 0);
  render::EnterHpgl2(*pdev_, 1);
  pdev_->caches.CurrentLanguage = 0x55;  // unknown: the next switch must go out
  render::EnterPcl(*pdev_, 0);
  EXPECT_STREAM(Pcl("\\e%0B\\e%1A\\e%1B\\e%0A"), Pending(*pdev_));
}

TEST_F(OutputChannel, StateCommandsWriteOnlyChangedValues) {
  render::ResetGraphicsCaches(*pdev_);
  render::EnterHpgl2(*pdev_, 0);
  RECTL clip{10, 20, 300, 400};
  render::SetClipWindow(*pdev_, &clip);
  render::SetClipWindow(*pdev_, &clip);
  render::SetClipWindow(*pdev_, nullptr);
  render::SetClipWindow(*pdev_, nullptr);
  render::SetFillType(*pdev_, 10, 50);
  render::SetFillType(*pdev_, 10, 50);
  render::SetFillType(*pdev_, 11, 50);
  render::SetFillType(*pdev_, 0, 0);
  render::SetScreenedVectors(*pdev_, 1, 20);
  render::SetScreenedVectors(*pdev_, 1, 20);
  render::SetScreenedVectors(*pdev_, 0, 0);
  render::SetMergeControl(*pdev_, 252, 0);
  render::SetMergeControl(*pdev_, 252, 0);
  render::SetMergeControl(*pdev_, 0, 0x090D);  // mixes 13 and 9: 0xF0 & 0xA0
  render::SetLineType(*pdev_, 2, 4);
  render::SetLineType(*pdev_, 0, 0);
  render::MovePenUp(*pdev_, 5, 6);
  EXPECT_STREAM(Pcl("\\e%0BIW10,400,300,20IWFT10,50FT11,50FTSV1,20SVMC1,252MC1,160LT2,4,1LTPU5,6"), Pending(*pdev_));
}

TEST_F(OutputChannel, RasterOperationsAreCachedAndForcedTransparentForDecorations) {
  render::ResetGraphicsCaches(*pdev_);
  render::SetPclRasterOps(*pdev_, 0, 0, 252);
  render::SetPclRasterOps(*pdev_, 0, 0, 252);
  render::SetPclRasterOps(*pdev_, 1, 0, 252);
  pdev_->doc.OutputFlags |= render::kDecorationMode;
  render::SetPclRasterOps(*pdev_, 1, 0, 252);  // no watermark selected: opaque pattern copy
  pdev_->settings.priv.decoration.WatermarkIndex = 2;
  render::SetPclRasterOps(*pdev_, 1, 0, 252);
  render::SetMergeControl(*pdev_, 252, 0);  // shares the cache: already 160
  pdev_->doc.OutputFlags &= ~render::kDecorationMode;
  render::SetMergeControl(*pdev_, 252, 0);
  EXPECT_STREAM(Pcl("\\e%0A\\e*v0N\\e*v0O\\e*l252O\\e*v1N\\e*l240O\\e*l160O\\e%0BMC1,252"), Pending(*pdev_));
}

TEST_F(OutputChannel, WatermarkProgramGetsTransparentMergeControl) {
  hooks::SetExecutableName("C:\\Tools\\rt7700pcl5ewm.exe");
  pdev_->doc.watermarkProgram = render::IsWatermarkProgram();  // as the document's start learns it
  render::ResetGraphicsCaches(*pdev_);
  render::SetMergeControl(*pdev_, 252, 0);
  pdev_->settings.priv.decoration.OverlayTransparent = 0;
  render::SetMergeControl(*pdev_, 252, 0);
  EXPECT_STREAM(Pcl("\\e%0BMC1,160MC1,240"), Pending(*pdev_));
}

TEST(RopTranslation, PatternOperationsBecomeSourceOperations) {
  const int from[] = {5, 10, 15, 80, 90, 95, 160, 165, 175, 240, 245, 250};
  const int to[] = {0x11, 0x22, 0x33, 0x44, 0x66, 0x77, 0x88, 0x99, 0xBB, 0xCC, 0xDD, 0xEE};
  for (size_t i = 0; i < std::size(from); ++i) EXPECT_EQ(render::TranslateRopToSource(from[i]), to[i]) << from[i];
  for (int other : {0, 1, 4, 6, 85, 170, 204, 251, 255}) EXPECT_EQ(render::TranslateRopToSource(other), other);
}

TEST(PolylineEncoding, PairsUseBase64WithTerminators) {
  char out[16];
  EXPECT_EQ(render::EncodePolylinePair(0, 0, out), 2);
  EXPECT_EQ(std::string(out), "\xBF\xBF");
  render::EncodePolylinePair(1, -1, out);
  EXPECT_EQ(std::string(out), "\xC1\xC2");
  render::EncodePolylinePair(100, -100, out);  // 200 = 3*64 + 8; 201 = 3*64 + 9
  EXPECT_EQ(std::string(out), "G\xC2H\xC2");
  EXPECT_EQ(render::EncodePolylinePair(INT32_MIN, INT32_MAX, out), 12);
}

TEST(Angles, VectorAnglesCoverAllQuadrants) {
  EXPECT_EQ(render::VectorAngle(0, 0), 0);
  EXPECT_EQ(render::VectorAngle(100, 0), 0);
  EXPECT_EQ(render::VectorAngle(100, 100), 450);
  EXPECT_EQ(render::VectorAngle(0, 100), 900);
  EXPECT_EQ(render::VectorAngle(-100, 0), 1800);
  EXPECT_EQ(render::VectorAngle(-100, -100), 2250);
  EXPECT_EQ(render::VectorAngle(0, -100), 2700);
  EXPECT_EQ(render::VectorAngle(10000, 1763), 100);  // tan 10 degrees
  EXPECT_EQ(render::VectorAngle(1763, 10000), 800);
  EXPECT_EQ(render::VectorAngle(-10000, 1763), 1700);
  EXPECT_EQ(render::VectorAngle(10000, -1763), 3500);
}

TEST(Angles, VectorsFromAnglesRoundTrip) {
  int32_t dx, dy;
  render::VectorFromAngle(900, 1000, &dx, &dy);
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, 1000);
  render::VectorFromAngle(-900, 1000, &dx, &dy);
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, -1000);
  render::VectorFromAngle(450, 10000, &dx, &dy);
  EXPECT_EQ(dx, 7071);
  EXPECT_EQ(dy, 7071);
  for (int a = 0; a < 3600; a += 75) {
    render::VectorFromAngle(a, 100000, &dx, &dy);
    EXPECT_NEAR(render::VectorAngle(dx, dy), a, 1) << a;
  }
}

}  // namespace
}  // namespace rendertest
