// The PJL job header, the PCL job set-up and the trailer, compared whole.
#include "render_fixture.h"
#include "support/traces.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;

constexpr char kToner[] = "54414C49524F2D52373730302D50434C35452D544D3031000000000000000000";

struct Expected {
  std::string jobName = "Quarterly report.docx";
  std::string computer = "OFFICE-PC";
  std::string orientation = "PORTRAIT";
  std::string tray = "";
  int copies = 1;
  std::string paper = "@PJL SET PAPER=A4\\r\\n";
  std::string paperType = "PLAIN";
  int density = 2;
  std::string duplex = "@PJL SET DUPLEX=OFF\\r\\n";
  std::string driver = "Taliro R7700 PCL5e";
};

std::string Header(const Expected& e) {
  return Pcl("\\e%-12345X") + "@PJL JOB NAME=\"" + e.jobName + Pcl("\"\\r\\n") + "@PJL SET PCNAME=\"" + e.computer +
         Pcl("\"\\r\\n") + "@PJL SET DRIVERNAME=\"" + e.driver + Pcl("\"\\r\\n") +
         Pcl("@PJL SET SPOOLTIME=\"Mon, 07 Dec 2026 10:0523 +0045\"\\r\\n") +
         PclF("@PJL SET ORIENTATION=%s\\r\\n", e.orientation.c_str()) + Pcl(e.tray) +
         PclF("@PJL SET COPIES=%d\\r\\n", e.copies) + Pcl("@PJL SET RESOLUTION=600\\r\\n@PJL SET RENDERMODEL=G1\\r\\n") +
         PclF("@PJL SET TONERMODULUS=\"%s\"\\r\\n", kToner) + Pcl(e.paper) +
         PclF("@PJL SET PAPERTYPE=%s\\r\\n", e.paperType.c_str()) + Pcl("@PJL SET OUTPUTTRAY=OUTPUTTRAY0\\r\\n") +
         PclF("@PJL SET DENSITY=LEVEL%d\\r\\n", e.density) + Pcl(e.duplex) + Pcl("@PJL ENTER LANGUAGE=PCL\\r\\n");
}

class JobHeader : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    stored_.pub.dmDefaultSource = 7;
    stored_.pub.dmMediaType = 0;
  }

  render::Pdev* Start() {
    render::Pdev* pdev = Enable();
    if (pdev == nullptr) return nullptr;
    SURFOBJ so = Surface(pdev);
    EXPECT_TRUE(DrvStartDoc(so, u"C:\\Users\\ann\\Quarterly report.docx"));
    pdev->settings.priv.DensityLevel = 2;
    return pdev;
  }

  bool DrvStartDoc(SURFOBJ& so, const char16_t* name) {
    return Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so, const_cast<LPWSTR>(name), 41);
  }

  std::string HeaderOf(render::Pdev* pdev) {
    render::WriteJobHeader(*pdev);
    EXPECT_EQ(render::FlushOutput(*pdev), 1);
    return Printed();
  }
};

TEST_F(JobHeader, WholeHeaderForAFixedClock) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  EXPECT_STREAM(Header({}), HeaderOf(pdev));
}

TEST_F(JobHeader, CopiesAreLeftToThePrinterOnlyWhenUncollated) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->settings.pub.dmCopies = 5;
  pdev->settings.pub.dmCollate = 1;
  EXPECT_STREAM(Header({.copies = 1}), HeaderOf(pdev));
  pdev->settings.pub.dmCollate = 0;
  EXPECT_STREAM(Header({.copies = 5}), HeaderOf(pdev));
  pdev->settings.pub.dmCopies = 0;
  EXPECT_STREAM(Header({.copies = 1}), HeaderOf(pdev));
}

TEST_F(JobHeader, LockedTrayLineOnlyForTheFourTrays) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  const std::pair<int, const char*> trays[] = {{4, "@PJL SET INTRAY1=LOCKED\\r\\n"},
                                               {1, "@PJL SET INTRAY2=LOCKED\\r\\n"},
                                               {257, "@PJL SET INTRAY3=LOCKED\\r\\n"},
                                               {258, "@PJL SET INTRAY4=LOCKED\\r\\n"},
                                               {7, ""},
                                               {15, ""}};
  for (auto [source, line] : trays) {
    pdev->settings.pub.dmDefaultSource = static_cast<SHORT>(source);
    pdev->settings.priv.TrayIndex = devmode::TrayIndexFor(source, 9);
    EXPECT_STREAM(Header({.tray = line}), HeaderOf(pdev)) << source;
  }
}

TEST_F(JobHeader, PaperFedByHandLocksTheTrayThePageSetupSelects) {
  stored_.pub.dmPaperSize = 20;  // envelope #10
  stored_.pub.dmPaperWidth = 1048;
  stored_.pub.dmPaperLength = 2413;
  stored_.pub.dmDefaultSource = 1;  // tray 2 asked for
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  ASSERT_EQ(pdev->settings.priv.TrayIndex, 1);
  EXPECT_STREAM(Header({.tray = "@PJL SET INTRAY1=LOCKED\\r\\n", .paper = "@PJL SET PAPER=COM10\\r\\n"}), HeaderOf(pdev));
  render::WritePageSetup(*pdev, pdev->settings.priv.TrayIndex);
  ASSERT_EQ(render::FlushOutput(*pdev), 1);
  // manual feed ("\\e&l0H")
  EXPECT_STREAM(Pcl("\\e%0A\\e&l0O\\e&l0H\\e&n6WdPLAIN\\e&l81A\\e&l9c1E\\e&k23H\\e&a1L") +
                    Pcl("\\e&a0P\\e*p0x0Y\\e*c0T\\e*c2685x6556Y\\e*p0x118Y"),
                Printed());
  // Automatic selection still locks nothing.
  pdev->settings.pub.dmDefaultSource = 7;
  EXPECT_STREAM(Header({.paper = "@PJL SET PAPER=COM10\\r\\n"}), HeaderOf(pdev));
}

TEST_F(JobHeader, QuotedTextsCannotEndTheirLineOrLeavePjl) {
  // Quotes, line ends and escapes from a document name, the computer name and the driver name.
  ASSERT_TRUE(platform::spooler::AddPrinter({u"Hostile", std::u16string(u"R7700 \"x\"\r\n\x1b") + std::u16string(300, u'D'),
                                             "rt7700PCL5edr.so", "rt7700PCL5eui.so", u"winprint", "MEMORY:", {}}));
  HANDLE hostile = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"Hostile", &hostile, nullptr));
  DOC_INFO_1W doc{const_cast<LPWSTR>(u"x"), nullptr, nullptr};
  ASSERT_NE(StartDocPrinterW(hostile, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
  platform::hooks::SetComputerName("PC\"\x7f\t1");
  render::Pdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  SURFOBJ so = Surface(pdev);
  ASSERT_TRUE(DrvStartDoc(so, u"a\"\r\n@PJL RDYMSG DISPLAY=\"X\"\r\n\x1b%-12345X\u00e9"));
  pdev->settings.priv.DensityLevel = 2;
  pdev->printer = hostile;
  render::WriteJobHeader(*pdev);
  ASSERT_EQ(render::FlushOutput(*pdev), 1);
  const std::string got = testsupport::AsString(platform::hooks::TakeMemoryPrinterBytes(u"Hostile"));
  pdev->printer = printer_;
  EndDocPrinter(hostile);
  ClosePrinter(hostile);
  // The Latin-1 letter stays; the driver name is cut to what a job name may hold.
  const std::string driver = "R7700 'x'   " + std::string(255 - 12, 'D');
  EXPECT_STREAM(Header({.jobName = "a'  @PJL RDYMSG DISPLAY='X'   %-12345X\xe9", .computer = "PC'  1", .driver = driver}),
                got);
  EXPECT_EQ(testsupport::StructureFaults(got + Pcl("\\e%-12345X")), std::vector<std::string>{});
}

TEST_F(JobHeader, CustomPaperSendsItsSizeInsteadOfAName) {
  stored_.pub.dmPaperSize = 300;
  stored_.pub.dmPaperWidth = 1000;
  stored_.pub.dmPaperLength = 2000;
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  EXPECT_STREAM(Header({.paper = "@PJL SET CUSTOMWIDTH=1000\\r\\n@PJL SET CUSTOMHEIGHT=2000\\r\\n"}), HeaderOf(pdev));
}

TEST_F(JobHeader, A5FedLongEdgeFirstHasItsOwnName) {
  stored_.pub.dmPaperSize = 11;
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->settings.priv.feedShortEdge = 0;
  EXPECT_STREAM(Header({.paper = "@PJL SET PAPER=A5L\\r\\n"}), HeaderOf(pdev));
  pdev->settings.priv.feedShortEdge = 1;
  EXPECT_STREAM(Header({.paper = "@PJL SET PAPER=A5\\r\\n"}), HeaderOf(pdev));
}

TEST_F(JobHeader, MediaTypeNameOrPlain) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->settings.pub.dmMediaType = 259;
  EXPECT_STREAM(Header({.paperType = "CARDSTOCK"}), HeaderOf(pdev));
  pdev->settings.pub.dmMediaType = 9999;
  EXPECT_STREAM(Header({.paperType = "PLAIN"}), HeaderOf(pdev));
}

TEST_F(JobHeader, BindingFollowsTheOrientationButTheJobSetupDoesNot) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->settings.priv.TwoSided = 1;
  const char* on = "@PJL SET DUPLEX=ON\\r\\n";
  struct Case {
    int orientation;
    int flipShortEdge;
    const char* binding;
    int pclBinding;
  } cases[] = {{2, 1, "LONGEDGE", 2}, {2, 0, "SHORTEDGE", 1}, {1, 1, "SHORTEDGE", 2}, {1, 0, "LONGEDGE", 1}};
  for (const Case& c : cases) {
    pdev->doc.orientation = static_cast<int16_t>(c.orientation);
    pdev->settings.priv.FlipShortEdge = static_cast<uint8_t>(c.flipShortEdge);
    Expected e{.orientation = c.orientation == 1 ? "PORTRAIT" : "LANDSCAPE"};
    e.duplex = std::string(on) + "@PJL SET BINDING=" + c.binding + "\\r\\n";
    EXPECT_STREAM(Header(e), HeaderOf(pdev)) << c.orientation << "/" << c.flipShortEdge;
    render::WriteJobSetup(*pdev);
    ASSERT_EQ(render::FlushOutput(*pdev), 1);
    EXPECT_STREAM(PclF("\\eE\\e*t600R\\e&u600D\\e*r0F\\e&l%dS", c.pclBinding), Printed());
  }
  pdev->settings.priv.TwoSided = 0;
  render::WriteJobSetup(*pdev);
  render::WriteJobTrailer(*pdev);
  ASSERT_EQ(render::FlushOutput(*pdev), 1);
  EXPECT_STREAM(Pcl("\\eE\\e*t600R\\e&u600D\\e*r0F\\e&l0S\\e%-12345X"), Printed());
}

TEST_F(JobHeader, EmptyDocumentNameAndFailedDriverQuery) {
  render::Pdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  SURFOBJ so = Surface(pdev);
  ASSERT_TRUE(Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so, nullptr, 1));
  EXPECT_STREQ(pdev->jobName, "");
  // A handle the spooler does not know: the query fails and so does every write.
  testsupport::TraceCapture traces;
  pdev->printer = reinterpret_cast<HANDLE>(0x4321);
  render::WriteJobHeader(*pdev);
  EXPECT_EQ(traces.Take(), std::vector<std::string>{"MyGetPrinterDriver fail, level:2\n"});
  const std::string pending(reinterpret_cast<const char*>(pdev->channel.buffer), pdev->channel.fill);
  EXPECT_TRUE(pdev->doc.OutputFlags & render::kOutputFailed);
  EXPECT_STREAM(Pcl("\\e%-12345X@PJL JOB NAME=\"\"\\r\\n@PJL SET PCNAME=\"OFFICE-PC\"\\r\\n") +
                    Pcl("@PJL SET DRIVERNAME=\"R7700 Test\"\\r\\n"),
                pending.substr(0, pending.find("@PJL SET SPOOLTIME")));
  pdev->printer = printer_;
}

}  // namespace
}  // namespace rendertest
