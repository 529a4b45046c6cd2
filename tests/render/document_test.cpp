// Whole jobs through the real hooks: copies, collation, reverse order, two-sided blank backs,
// the watermark program's stream, watermark splicing, empty documents, cancellation.
#include <fstream>

#include "devmode/tracked_alloc.h"
#include "platform/utf16.h"
#include "render_fixture.h"
#include "support/traces.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;

constexpr char kToner[] = "54414C49524F2D52373730302D50434C35452D544D3031000000000000000000";

class Document : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    stored_.pub.dmDefaultSource = 7;
  }

  render::Pdev* Open() {
    pdev_ = Enable();
    if (pdev_ == nullptr) return nullptr;
    pdev_->settings.priv.DensityLevel = 2;
    so_ = Surface(pdev_);
    return pdev_;
  }

  BOOL StartDoc() { return Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so_, const_cast<LPWSTR>(u"job.txt"), 41); }
  BOOL StartPage() { return Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(&so_); }
  BOOL SendPage() { return Hook<PFN_DrvSendPage>(INDEX_DrvSendPage)(&so_); }
  BOOL EndDoc(FLONG fl = 0) { return Hook<PFN_DrvEndDoc>(INDEX_DrvEndDoc)(&so_, fl); }

  // One page as the engine drives it; the marker stands for what the drawing hooks would write.
  void Page(int n) {
    ASSERT_TRUE(StartPage());
    std::string marker = "<page " + std::to_string(n) + ">";
    render::WriteBytes(*pdev_, marker.data(), static_cast<uint32_t>(marker.size()));
    ASSERT_TRUE(SendPage());
  }

  // Header and job set-up as the first page writes them.
  std::string Header(int copies, bool twoSided = false) {
    std::string duplex = twoSided ? "@PJL SET DUPLEX=ON\\r\\n@PJL SET BINDING=LONGEDGE\\r\\n" : "@PJL SET DUPLEX=OFF\\r\\n";
    return Pcl("\\e%-12345X@PJL JOB NAME=\"job.txt\"\\r\\n@PJL SET PCNAME=\"OFFICE-PC\"\\r\\n") +
           Pcl("@PJL SET DRIVERNAME=\"Taliro R7700 PCL5e\"\\r\\n") +
           Pcl("@PJL SET SPOOLTIME=\"Mon, 07 Dec 2026 10:0523 +0045\"\\r\\n@PJL SET ORIENTATION=PORTRAIT\\r\\n") +
           PclF("@PJL SET COPIES=%d\\r\\n", copies) +
           PclF("@PJL SET RESOLUTION=600\\r\\n@PJL SET RENDERMODEL=G1\\r\\n@PJL SET TONERMODULUS=\"%s\"\\r\\n", kToner) +
           Pcl("@PJL SET PAPER=A4\\r\\n@PJL SET PAPERTYPE=PLAIN\\r\\n@PJL SET OUTPUTTRAY=OUTPUTTRAY0\\r\\n") +
           Pcl("@PJL SET DENSITY=LEVEL2\\r\\n") + Pcl(duplex) + Pcl("@PJL ENTER LANGUAGE=PCL\\r\\n") +
           PclF("\\eE\\e*t600R\\e&u600D\\e*r0F\\e&l%dS", twoSided ? 1 : 0);
  }

  std::string Frame() { return Pcl("\\e&a0P\\e*p0x0Y\\e*c0T\\e*c5668x8134Y\\e*p0x118Y"); }
  std::string FirstSetup() {
    return PclF("\\e%%0A\\e&l0O\\e&l%dH\\e&n6WdPLAIN\\e&l26A\\e&l9c1E\\e&k23H\\e&a1L",
                devmode::PclPaperSource(pdev_->settings.priv.TrayIndex)) +
           Frame();
  }
  std::string LaterSetup() { return Pcl("\\e&l0O\\e&n6WdPLAIN") + Frame(); }
  std::string Hpgl() {
    return Pcl("\\e%0BWU;TR0;AC6,4;SP1;CF2;PP1;PW0;TD1;IW;SC-0,1.6933,-0,-1.6933,2RO0IR0,100,0,100");
  }
  std::string End(int copies) { return PclF("\\e%%1A\\e&l%dX\\f", copies); }
  static std::string Marker(int n) { return "<page " + std::to_string(n) + ">"; }
  // A sheet as the stream holds it: its setup, the page, and its ejection.
  std::string Sheet(int n, int copies, bool first) {
    return (first ? FirstSetup() : LaterSetup()) + Hpgl() + Marker(n) + End(copies);
  }
  std::string Trailer() { return Pcl("\\e%-12345X"); }

  render::Pdev* pdev_ = nullptr;
  SURFOBJ so_{};
};

TEST_F(Document, UncollatedCopiesAreMadeByThePrinter) {
  stored_.pub.dmCopies = 3;
  stored_.pub.dmCollate = 0;
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(StartDoc());
  Page(1);
  Page(2);
  ASSERT_TRUE(EndDoc());
  EXPECT_STREAM(Header(3) + Sheet(1, 3, true) + Sheet(2, 3, false) + Trailer(), Printed());
  EXPECT_TRUE(SpoolFiles().empty());
}

TEST_F(Document, CollatedCopiesPrintWhileSpoolingAndReplayTheRest) {
  stored_.pub.dmCopies = 3;
  stored_.pub.dmCollate = 1;
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(StartDoc());
  Page(1);
  Page(2);
  EXPECT_EQ(SpoolFiles().size(), 1u);
  // The first copy has gone out as far as it was flushed.
  EXPECT_STREAM(Header(1) + Sheet(1, 1, true) + LaterSetup() + Hpgl() + Marker(2), Printed());
  ASSERT_TRUE(EndDoc());
  const std::string copy = Sheet(1, 1, true) + Sheet(2, 1, false);
  EXPECT_STREAM(End(1) + copy + copy + Trailer(), Printed());
  EXPECT_TRUE(SpoolFiles().empty());
}

TEST_F(Document, ReverseOrderSendsTheLastSheetFirstAfterOneBlockOfSetup) {
  ASSERT_NE(Open(), nullptr);
  pdev_->settings.priv.ReverseOrder = 1;
  ASSERT_TRUE(StartDoc());
  Page(1);
  Page(2);
  Page(3);
  // Only the job header reaches the printer before the end of the document.
  EXPECT_STREAM(Header(1), Printed());
  ASSERT_TRUE(EndDoc());
  const std::string first = Pcl("\\e%0A\\e&l0O\\e&n6WdPLAIN") + Frame() + Hpgl() + Marker(1) + End(1);
  auto later = [&](int n) { return LaterSetup() + Hpgl() + Marker(n) + End(1); };
  const std::string setup =
      PclF("\\e&l0O\\e&l%dH\\e&l26A\\e&l9c1E\\e&k23H\\e&a1L", devmode::PclPaperSource(pdev_->settings.priv.TrayIndex));
  EXPECT_STREAM(setup + later(3) + later(2) + first + Trailer(), Printed());
}

TEST_F(Document, ReversedPosterKeepsEachGroupOfFourInOrder) {
  ASSERT_NE(Open(), nullptr);
  pdev_->settings.priv.ReverseOrder = 1;
  pdev_->settings.priv.LayoutMode = devmode::kLayoutPoster;
  ASSERT_TRUE(StartDoc());
  for (int n = 1; n <= 6; ++n) Page(n);
  Printed();
  ASSERT_TRUE(EndDoc());
  const std::string out = Printed();
  std::vector<int> order;
  for (size_t at = out.find("<page "); at != std::string::npos; at = out.find("<page ", at + 1))
    order.push_back(out[at + 6] - '0');
  EXPECT_EQ(order, (std::vector<int>{5, 6, 1, 2, 3, 4}));
}

TEST_F(Document, TwoSidedCollatedCopiesStartOnAFreshSheet) {
  stored_.pub.dmCopies = 2;
  stored_.pub.dmCollate = 1;
  ASSERT_NE(Open(), nullptr);
  pdev_->settings.priv.TwoSided = 1;
  pdev_->settings.priv.FlipShortEdge = 0;
  ASSERT_TRUE(StartDoc());
  Page(1);
  Page(2);
  Page(3);
  EXPECT_STREAM(Header(1, true), Printed());
  ASSERT_TRUE(EndDoc());
  const std::string blank = LaterSetup() + Pcl("\\e&l1X\\f");
  const std::string pass = Sheet(1, 1, true) + Sheet(2, 1, false) + Sheet(3, 1, false) + blank;
  EXPECT_STREAM(pass + pass + Trailer(), Printed());
}

TEST_F(Document, ReversedTwoSidedSheetsKeepTheirOwnFrontAndBack) {
  stored_.pub.dmCopies = 2;
  stored_.pub.dmCollate = 1;
  ASSERT_NE(Open(), nullptr);
  pdev_->settings.priv.TwoSided = 1;
  pdev_->settings.priv.FlipShortEdge = 0;
  pdev_->settings.priv.ReverseOrder = 1;
  ASSERT_TRUE(StartDoc());
  Page(1);
  Page(2);
  Page(3);
  EXPECT_STREAM(Header(1, true), Printed());
  ASSERT_TRUE(EndDoc());
  const std::string setup =
      PclF("\\e&l0O\\e&l%dH\\e&l26A\\e&l9c1E\\e&k23H\\e&a1L", devmode::PclPaperSource(pdev_->settings.priv.TrayIndex));
  const std::string first = Pcl("\\e%0A\\e&l0O\\e&n6WdPLAIN") + Frame() + Hpgl() + Marker(1) + End(1);
  auto later = [&](int n) { return LaterSetup() + Hpgl() + Marker(n) + End(1); };
  const std::string blank = LaterSetup() + Pcl("\\e&l1X\\f");
  // The second sheet (page 3, blank back) first, then the first sheet (pages 1 and 2).
  const std::string pass = setup + later(3) + blank + first + later(2);
  EXPECT_STREAM(pass + pass + Trailer(), Printed());
}

// The order of the pages and blank sides (0) a job sends, for jobs whose sheets differ only in
// their pages.
std::vector<int> SideOrder(const std::string& out) {
  std::vector<int> order;
  size_t at = 0;
  while (true) {
    size_t page = out.find("<page ", at), blank = out.find("\x1b*p0x118Y\x1b&l", at);
    if (page == std::string::npos && blank == std::string::npos) break;
    if (page < blank) {
      order.push_back(std::stoi(out.substr(page + 6)));
      at = page + 1;
    } else {
      order.push_back(0);
      at = blank + 1;
    }
  }
  return order;
}

TEST_F(Document, ReversedTwoSidedPosterAndNupSheetsStayWhole) {
  struct Case {
    const char* name;
    uint8_t layout;
    uint8_t perSheet;
    int pages;
    std::vector<int> order;
  } cases[] = {
      // tiles in groups of four (two sheets), the last group first, a lone tile backed by a blank
      {"poster", devmode::kLayoutPoster, 1, 5, {5, 0, 1, 2, 3, 4}},
      {"poster, whole groups", devmode::kLayoutPoster, 1, 6, {5, 6, 1, 2, 3, 4}},
      // three 2-up sides: the last side alone on its sheet, then the first sheet front and back
      {"2-up", devmode::kLayoutNormal, 2, 6, {5, 6, 0, 1, 2, 3, 4}},
      {"simplex-like even count", devmode::kLayoutNormal, 1, 4, {3, 4, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(Open(), nullptr);
    pdev_->settings.priv.TwoSided = 1;
    pdev_->settings.priv.ReverseOrder = 1;
    pdev_->settings.priv.LayoutMode = c.layout;
    pdev_->settings.priv.PagesPerSheet = c.perSheet;
    ASSERT_TRUE(StartDoc());
    for (int n = 1; n <= c.pages; ++n) Page(n);
    Printed();
    ASSERT_TRUE(EndDoc());
    EXPECT_EQ(SideOrder(Printed()), c.order);
    Disable(pdev_);
  }
}

TEST_F(Document, TwoSidedNupCopiesStartOnAFreshSheet) {
  stored_.pub.dmCopies = 2;
  stored_.pub.dmCollate = 1;
  ASSERT_NE(Open(), nullptr);
  pdev_->settings.priv.TwoSided = 1;
  pdev_->settings.priv.PagesPerSheet = 2;
  ASSERT_TRUE(StartDoc());
  for (int n = 1; n <= 5; ++n) Page(n);
  ASSERT_TRUE(EndDoc());
  EXPECT_EQ(SideOrder(Printed()), (std::vector<int>{1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0}));
}

TEST_F(Document, WatermarkProgramGetsPagesWithoutFraming) {
  platform::hooks::SetExecutableName("rt7700PCL5eWM.EXE");
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(StartDoc());
  Page(1);
  Page(2);
  EXPECT_EQ(Printed(), "");  // kept in the spool copy
  ASSERT_TRUE(EndDoc());
  EXPECT_STREAM(Marker(1) + End(1) + Marker(2), Printed());
  EXPECT_TRUE(SpoolFiles().empty());
}

class Watermark : public Document {
 protected:
  render::Pdev* OpenWithWatermark(bool firstPageOnly) {
    if (Open() == nullptr) return nullptr;
    const auto file = TempFolder().parent_path() / "wm-portrait.prn";
    std::ofstream(file, std::ios::binary) << "<watermark>";
    devmode::DecorationBlock& d = pdev_->settings.priv.decoration;
    d.WatermarkIndex = 1;
    d.firstPageOnly = firstPageOnly ? 1 : 0;
    platform::CopyWideField(d.portraitMonoFile, 260, file.u16string());
    platform::CopyWideField(d.landscapeMonoFile, 260, u"/nonexistent/landscape.prn");
    return pdev_;
  }
};

TEST_F(Watermark, SplicedIntoEveryPageOrOnlyTheFirst) {
  for (bool firstOnly : {false, true}) {
    SCOPED_TRACE(firstOnly ? "first page only" : "every page");
    ASSERT_NE(OpenWithWatermark(firstOnly), nullptr);
    ASSERT_TRUE(StartDoc());
    Page(1);
    Page(2);
    ASSERT_TRUE(EndDoc());
    const std::string second = firstOnly ? "" : "<watermark>";
    EXPECT_STREAM(Header(1) + FirstSetup() + Hpgl() + Marker(1) + "<watermark>" + Pcl("\\e%1A\\e&l1X\\f") +
                      LaterSetup() + Hpgl() + Marker(2) + second + Pcl("\\e%1A") + End(1) + Trailer(),
                  Printed());
    Disable(pdev_);
  }
}

TEST_F(Watermark, MissingPrintFileAddsNothing) {
  stored_.pub.dmOrientation = 2;
  ASSERT_NE(OpenWithWatermark(false), nullptr);
  ASSERT_TRUE(StartDoc());
  ASSERT_TRUE(StartPage());
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  Printed();
  ASSERT_TRUE(SendPage());
  EXPECT_STREAM(Pcl("\\e%1A"), Printed());
}

TEST_F(Document, EmptyDocumentWritesNothing) {
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(StartDoc());
  ASSERT_TRUE(EndDoc());
  EXPECT_EQ(Printed(), "");
  EXPECT_EQ(pdev_->doc.OutputFlags, 0u);
}

TEST_F(Document, CancelledJobStopsAllOutput) {
  stored_.pub.dmCopies = 2;
  stored_.pub.dmCollate = 1;
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(StartDoc());
  Page(1);
  Printed();
  platform::hooks::CancelJobAt(kPrinterName, 0);
  EXPECT_FALSE(StartPage());
  EXPECT_TRUE(pdev_->doc.OutputFlags & render::kOutputFailed);
  EXPECT_FALSE(SendPage());
  EXPECT_TRUE(EndDoc());
  EXPECT_EQ(Printed(), "");
  EXPECT_TRUE(SpoolFiles().empty());  // no temporary file outlives the job
}

TEST_F(Document, EndDocRefusesUnknownFlags) {
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(StartDoc());
  testsupport::TraceCapture traces;
  EXPECT_FALSE(EndDoc(2));
  EXPECT_EQ(traces.Take(), std::vector<std::string>{"Error in DrvEndDoc\n"});
  EXPECT_TRUE(pdev_->doc.OutputFlags & render::kDocumentStarted);
}

TEST_F(Document, PageRecordsGrowPastThirtySheets) {
  stored_.pub.dmCopies = 2;
  stored_.pub.dmCollate = 1;
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(StartDoc());
  for (int n = 1; n <= 65; ++n) Page(n);
  EXPECT_GE(devmode::TrackedSize(pdev_->doc.pageRecords), 65 * sizeof(render::PageRecord));
  const std::string firstCopy = Printed();
  ASSERT_TRUE(EndDoc());
  const std::string out = Printed();
  // the replayed copy is the spooled one, sheet for sheet
  const std::string spooled = firstCopy.substr(Header(1).size()) + End(1);
  EXPECT_EQ(out.substr(End(1).size(), spooled.size()), spooled);
  EXPECT_EQ(out.size(), End(1).size() + spooled.size() + Trailer().size());
}

TEST_F(Document, NupSheetsCarryTheirPagesInCells) {
  ASSERT_NE(Open(), nullptr);
  pdev_->settings.priv.PagesPerSheet = 4;
  ASSERT_TRUE(StartDoc());
  std::vector<int32_t> offsets;
  for (int n = 1; n <= 5; ++n) {
    ASSERT_TRUE(StartPage());
    offsets.push_back(pdev_->doc.pclOffsetX);
    ASSERT_TRUE(SendPage());
  }
  ASSERT_TRUE(EndDoc());
  const std::string out = Printed();
  size_t sheets = 0;
  for (size_t at = out.find("\x1b&n6WdPLAIN"); at != std::string::npos; at = out.find("\x1b&n6WdPLAIN", at + 1)) ++sheets;
  EXPECT_EQ(sheets, 2u);
  EXPECT_EQ(offsets[0], offsets[2]);
  EXPECT_LT(offsets[0], offsets[1]);
  EXPECT_EQ(offsets[4], offsets[0]);  // the fifth page opens the second sheet in the first cell
  EXPECT_EQ(pdev_->settings.priv.PagesPerSheet, 4);
}

}  // namespace
}  // namespace rendertest

namespace rendertest {
namespace {

TEST_F(Document, DocumentCarriesOverAResetBetweenPages) {
  stored_.pub.dmCopies = 2;
  stored_.pub.dmCollate = 1;
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(StartDoc());
  Page(1);
  Page(2);
  render::Pdev* old = pdev_;
  const std::string firstCopy = Printed();

  render::Pdev* now = Enable();  // the engine makes the new device, then hands the document over
  ASSERT_NE(now, nullptr);
  ASSERT_TRUE(Hook<PFN_DrvResetPDEV>(INDEX_DrvResetPDEV)(reinterpret_cast<DHPDEV>(old), reinterpret_cast<DHPDEV>(now)));
  Disable(old);
  pdev_ = now;
  so_ = Surface(now);
  now->settings.priv.DensityLevel = 2;
  ASSERT_TRUE(StartDoc());  // sees the started document and changes nothing
  Page(3);
  ASSERT_TRUE(EndDoc());
  const std::string out = Printed();
  // sheet 3 continues the job; the new page transform sends the tray again, the paper is known
  const std::string third = Pcl("\\e%1A\\e&l1X\\f") +
                            PclF("\\e&l0O\\e&l%dH\\e&n6WdPLAIN", devmode::PclPaperSource(now->settings.priv.TrayIndex)) +
                            Frame() + Hpgl() + Marker(3) + End(1);
  const std::string spooled = firstCopy.substr(Header(1).size()) + third;
  EXPECT_STREAM(third + spooled + Trailer(), out);
  EXPECT_TRUE(SpoolFiles().empty());
}

}  // namespace
}  // namespace rendertest

namespace rendertest {
namespace {

TEST_F(Document, AbortedOrAbandonedDocumentsLeaveNoSpoolCopy) {
  stored_.pub.dmCopies = 2;
  stored_.pub.dmCollate = 1;
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(StartDoc());
  Page(1);
  ASSERT_EQ(SpoolFiles().size(), 1u);
  EXPECT_TRUE(EndDoc(ED_ABORTDOC));  // the spooler job is ended first; nothing more gets through
  EXPECT_EQ(pdev_->doc.OutputFlags, 0u);
  EXPECT_TRUE(SpoolFiles().empty());

  DOC_INFO_1W doc{const_cast<LPWSTR>(u"again"), nullptr, nullptr};
  ASSERT_NE(StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
  ASSERT_TRUE(StartDoc());
  Page(1);
  ASSERT_EQ(SpoolFiles().size(), 1u);
  Disable(pdev_);  // the engine gives up on the device in the middle of the document
  EXPECT_TRUE(SpoolFiles().empty());
}

}  // namespace
}  // namespace rendertest
