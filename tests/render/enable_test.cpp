// Driver entry and device state: exports, the hook table, PDEV creation and its failures, the
// capability records, the surface and the hand-over of a document across DrvResetPDEV.
#include <elf.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "platform/system_hooks.h"
#include "render_fixture.h"
#include "support/traces.h"
#include "win/error.h"

namespace rendertest {
namespace {

namespace hooks = platform::hooks;
constexpr DWORD kSentinel = 0xDEADBEEF;

// Defined global symbols of a shared object's dynamic symbol table.
std::set<std::string> DynamicSymbols(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::string elf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::set<std::string> names;
  if (elf.size() < sizeof(Elf64_Ehdr)) return names;
  Elf64_Ehdr eh;
  std::memcpy(&eh, elf.data(), sizeof eh);
  for (int i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, elf.data() + eh.e_shoff + static_cast<size_t>(i) * eh.e_shentsize, sizeof sh);
    if (sh.sh_type != SHT_DYNSYM) continue;
    Elf64_Shdr strings;
    std::memcpy(&strings, elf.data() + eh.e_shoff + static_cast<size_t>(sh.sh_link) * eh.e_shentsize, sizeof strings);
    for (size_t k = 0; k < sh.sh_size / sizeof(Elf64_Sym); ++k) {
      Elf64_Sym sym;
      std::memcpy(&sym, elf.data() + sh.sh_offset + k * sizeof sym, sizeof sym);
      int bind = ELF64_ST_BIND(sym.st_info);
      if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
      names.insert(elf.data() + strings.sh_offset + sym.st_name);
    }
  }
  return names;
}

TEST(Exports, OnlyThePublishedEntryPointsAreExported) {
  EXPECT_EQ(DynamicSymbols(RT7700_RENDER_LIBRARY),
            (std::set<std::string>{"DllEntryPoint", "DrvDisableDriver", "DrvEnableDriver", "DrvQueryDriverInfo"}));
}

TEST(DrvEnableDriver, ChecksTheEngineVersionAndReportsTheHooksInOrder) {
  DRVENABLEDATA ded{};
  EXPECT_FALSE(DrvEnableDriver(0x1FFFF, sizeof ded, &ded));
  EXPECT_FALSE(DrvEnableDriver(0x20000, 15, &ded));
  ASSERT_TRUE(DrvEnableDriver(0x20000, sizeof ded, &ded));
  EXPECT_EQ(ded.iDriverVersion, 0x20000u);
  ASSERT_TRUE(DrvEnableDriver(0x30000, sizeof ded, &ded));
  EXPECT_EQ(ded.iDriverVersion, 0x30000u);
  ASSERT_TRUE(DrvEnableDriver(0x50001, sizeof ded, &ded));
  EXPECT_EQ(ded.iDriverVersion, 0x30000u);
  ASSERT_EQ(ded.c, 25u);
  const ULONG order[] = {0, 1, 2, 7, 3, 4, 35, 33, 34, 32, 12, 18, 19, 20, 68, 74, 24, 25, 53, 14, 15, 16, 26, 28, 23};
  for (ULONG i = 0; i < ded.c; ++i) {
    EXPECT_EQ(ded.pdrvfn[i].iFunc, order[i]) << i;
    EXPECT_NE(ded.pdrvfn[i].pfn, nullptr);
  }
  EXPECT_EQ(ded.pdrvfn[17].pfn, ded.pdrvfn[22].pfn);  // DrvDrawEscape and DrvQueryFont
}

TEST(DrvQueryDriverInfo, AnswersTheUserModeQuery) {
  DWORD needed = 0;
  uint8_t small[3] = {};
  SetLastError(kSentinel);
  EXPECT_FALSE(DrvQueryDriverInfo(DRVQUERY_USERMODE, small, sizeof small, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(needed, 4u);
  DWORD value = 0;
  needed = 0;
  SetLastError(kSentinel);
  EXPECT_TRUE(DrvQueryDriverInfo(DRVQUERY_USERMODE, &value, sizeof value, &needed));
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(needed, 4u);
  EXPECT_EQ(GetLastError(), kSentinel);
  SetLastError(kSentinel);
  EXPECT_FALSE(DrvQueryDriverInfo(2, &value, sizeof value, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

class EnablePdev : public RenderTest {};

void ExpectOneTrace(testsupport::TraceCapture& traces, const std::string& message) {
  auto lines = traces.Take();
  ASSERT_EQ(lines.size(), 1u) << (lines.empty() ? "" : lines[0]);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(message + " file:enable\\.cpp,lines:[0-9]+"))) << lines[0];
}

TEST_F(EnablePdev, EachFailureTracesOnceAndReturnsNull) {
  testsupport::TraceCapture traces;
  stored_.pub.dmDeviceName[0] = 0;
  EXPECT_EQ(Enable(), nullptr);
  ExpectOneTrace(traces, "Devmod2_MergeFieldsHigh fail!");

  devmode::InitStoredDevmode(&stored_, kPrinterName, u"Default Settings");
  GDIINFO gdi{};
  DEVINFO di{};
  EXPECT_EQ(Hook<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV)(nullptr, nullptr, 0, nullptr, sizeof gdi,
                                                           reinterpret_cast<ULONG*>(&gdi), sizeof di, &di, hdev_,
                                                           const_cast<LPWSTR>(kPrinterName), printer_),
            nullptr);
  ExpectOneTrace(traces, "Transform fail!");

  hooks::FailGlobalAllocAfter(0);
  EXPECT_EQ(Enable(), nullptr);
  ExpectOneTrace(traces, "Memalloc ppdev fail!");
  hooks::FailGlobalAllocAfter(1);
  EXPECT_EQ(Enable(), nullptr);
  ExpectOneTrace(traces, "Memalloc pdm fail!");
  hooks::FailGlobalAllocAfter(-1);
}

TEST_F(EnablePdev, PaletteFailureFailsTheDevice) {
  testsupport::TraceCapture traces;
  hooks::FailPaletteCreation(true);
  EXPECT_EQ(Enable(), nullptr);
  auto lines = traces.Take();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("EngCreatePalette fail! file:enable.cpp,lines:")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("FillNtDevInfo fail! file:enable.cpp,lines:")) << lines[1];
}

TEST_F(EnablePdev, A4CapabilitiesAt600Dpi) {
  GDIINFO gdi{};
  render::Pdev* pdev = Enable(nullptr, &gdi);
  ASSERT_NE(pdev, nullptr);
  EXPECT_EQ(gdi.ulVersion, 0x400u);
  EXPECT_EQ(gdi.ulTechnology, DT_RASPRINTER);
  EXPECT_EQ(gdi.ulHorzRes, 4724u);
  EXPECT_EQ(gdi.ulVertRes, 6779u);
  EXPECT_EQ(gdi.szlPhysSize.cx, 4960);
  EXPECT_EQ(gdi.szlPhysSize.cy, 7015);
  EXPECT_EQ(gdi.ptlPhysOffset.x, 118);
  EXPECT_EQ(gdi.ptlPhysOffset.y, 118);
  EXPECT_EQ(gdi.ulHorzSize, 199u);
  EXPECT_EQ(gdi.ulVertSize, 286u);
  EXPECT_EQ(gdi.ulLogPixelsX, 600u);
  EXPECT_EQ(gdi.ulLogPixelsY, 600u);
  EXPECT_EQ(gdi.ulAspectXY, 848u);
  EXPECT_EQ(gdi.denStyleStep, 12);
  EXPECT_EQ(gdi.flTextCaps, 0x5C1Fu);
  EXPECT_EQ(gdi.ulNumColors, 20u);
  EXPECT_EQ(gdi.ulHTPatternSize, 7u);
  EXPECT_EQ(gdi.flHTFlags, HT_FLAG_HAS_BLACK_DYE);
  EXPECT_EQ(gdi.flShadeBlend, 0x30u);
  EXPECT_EQ(gdi.ciDevice.Red.x, 6380);
  EXPECT_EQ(gdi.ciDevice.MagentaInYellowDye, 10000);
  EXPECT_EQ(pdev->doc.orientation, 1);

  auto surface = platform::engine::FindSurface(pdev->surface);
  ASSERT_TRUE(surface.has_value());
  EXPECT_EQ(surface->size.cx, 4724);
  EXPECT_EQ(surface->size.cy, 6779);
  EXPECT_EQ(surface->format, BMF_24BPP);
  EXPECT_EQ(surface->hooks, 0x284EBu);
  EXPECT_EQ(surface->hdev, hdev_);
  EXPECT_EQ(surface->dhsurf, reinterpret_cast<DHSURF>(pdev));
}

TEST_F(EnablePdev, HalfScaleHalvesTheLogicalResolutionOnly) {
  stored_.pub.dmScale = 50;
  GDIINFO gdi{};
  ASSERT_NE(Enable(nullptr, &gdi), nullptr);
  EXPECT_EQ(gdi.ulLogPixelsX, 300u);
  EXPECT_EQ(gdi.ulLogPixelsY, 300u);
  EXPECT_EQ(gdi.ulHorzRes, 4724u);
  EXPECT_EQ(gdi.ulVertRes, 6779u);
  EXPECT_EQ(gdi.ulHorzSize, 399u);
}

TEST_F(EnablePdev, DevInfoReportsCapabilitiesAndAPalette) {
  GDIINFO gdi{};
  DEVINFO di{};
  DHPDEV d = Hook<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV)(&stored_.pub, nullptr, 0, nullptr, 100,
                                                         reinterpret_cast<ULONG*>(&gdi), sizeof di, &di, hdev_,
                                                         const_cast<LPWSTR>(kPrinterName), printer_);
  ASSERT_NE(d, nullptr);
  enabled_.push_back(d);
  EXPECT_EQ(di.flGraphicsCaps, 0x211Du);
  EXPECT_EQ(di.iDitherFormat, BMF_24BPP);
  EXPECT_EQ(di.cFonts, 0u);
  EXPECT_NE(di.hpalDefault, nullptr);
  EXPECT_EQ(gdi.ulHorzRes, 4724u);  // within the 100 bytes asked for
  EXPECT_EQ(gdi.ciDevice.Red.x, 0);  // beyond them
}

TEST_F(EnablePdev, HooksIgnoreHandlesThatFailTheSignatureCheck) {
  render::Pdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  SURFOBJ so = Surface(pdev);
  pdev->trailingSignature = 0;
  EXPECT_FALSE(Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so, nullptr, 1));
  EXPECT_FALSE(Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(&so));
  uint32_t page = 7;
  EXPECT_EQ(Hook<PFN_DrvEscape>(INDEX_DrvEscape)(&so, 0x5004, 0, nullptr, 4, &page), 0u);
  EXPECT_EQ(Hook<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface)(so.dhpdev), nullptr);
  pdev->trailingSignature = render::kPdevSignature;
  SURFOBJ none{};
  EXPECT_FALSE(Hook<PFN_DrvEndDoc>(INDEX_DrvEndDoc)(&none, 0));
}

// The engine never passes null objects, but a hook must not trust that: it refuses.
TEST_F(EnablePdev, DrawingHooksWithoutTheirObjectsRefuse) {
  render::Pdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  SURFOBJ so = Surface(pdev);
  EXPECT_FALSE(Hook<PFN_DrvTextOut>(INDEX_DrvTextOut)(&so, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                      nullptr, nullptr, 0x0D0D));
  EXPECT_FALSE(Hook<PFN_DrvStrokePath>(INDEX_DrvStrokePath)(&so, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                            nullptr, 0x0D0D));
  EXPECT_FALSE(Hook<PFN_DrvFillPath>(INDEX_DrvFillPath)(&so, nullptr, nullptr, nullptr, nullptr, 0x0D0D, 0));
}

TEST_F(EnablePdev, ResetKeepsTheDocumentsSpoolCopyAndRecords) {
  stored_.pub.dmCopies = 3;
  stored_.pub.dmCollate = 1;
  render::Pdev* old = Enable();
  ASSERT_NE(old, nullptr);
  SURFOBJ so = Surface(old);
  ASSERT_TRUE(Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so, const_cast<LPWSTR>(u"C:\\docs\\report.txt"), 9));
  ASSERT_TRUE(Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(&so));
  ASSERT_TRUE(Hook<PFN_DrvSendPage>(INDEX_DrvSendPage)(&so));
  ASSERT_TRUE(old->doc.OutputFlags & render::kSpoolCopyActive);
  render::WriteBytes(*old, "pending", 7);  // not yet flushed at the reset
  const HANDLE file = old->doc.spoolFile;
  const render::PageRecord* records = old->doc.pageRecords;
  const std::u16string name(old->doc.spoolName);
  const int32_t bytes = old->doc.spoolBytes;

  render::Pdev* now = Enable();
  ASSERT_NE(now, nullptr);
  ASSERT_TRUE(Hook<PFN_DrvResetPDEV>(INDEX_DrvResetPDEV)(reinterpret_cast<DHPDEV>(old), reinterpret_cast<DHPDEV>(now)));
  EXPECT_EQ(now->doc.spoolFile, file);
  EXPECT_EQ(now->doc.pageRecords, records);
  EXPECT_EQ(std::u16string(now->doc.spoolName), name);
  EXPECT_EQ(now->doc.spoolBytes, bytes + 7);
  EXPECT_EQ(now->doc.pageCounter, 0);
  EXPECT_STREQ(now->jobName, "report.txt");
  EXPECT_TRUE(now->doc.OutputFlags & render::kSpoolCopyActive);
  EXPECT_FALSE(old->doc.OutputFlags & render::kSpoolCopyActive);

  Disable(old);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(name)));
  SURFOBJ so2 = Surface(now);
  EXPECT_TRUE(Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so2, nullptr, 10));  // carried over: no change
  EXPECT_EQ(now->jobId, 9u);
  ASSERT_TRUE(Hook<PFN_DrvEndDoc>(INDEX_DrvEndDoc)(&so2, 0));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(name)));
}

}  // namespace
}  // namespace rendertest
