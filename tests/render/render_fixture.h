// A printer on a memory port with a started job, an engine device for it, and the driver's hooks
// as the engine gets them from DrvEnableDriver.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include <filesystem>
#include <string>
#include <vector>

#include "core/hooks.h"
#include "core/pdev.h"
#include "devmode/caller_merge.h"
#include "engine/device_table.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "support/pcl_notation.h"
#include "support/temp_dir.h"
#include "win/spooler.h"

namespace rendertest {

inline constexpr char16_t kPrinterName[] = u"R7700 Test";
inline constexpr char16_t kDriverName[] = u"Taliro R7700 PCL5e";

class RenderTest : public testing::Test {
 protected:
  void SetUp() override {
    namespace hooks = platform::hooks;
    hooks::SetPlatformRoot(root_.str());
    std::filesystem::create_directories(TempFolder());
    hooks::SetTempFolder(TempFolder().string());
    hooks::SetComputerName("OFFICE-PC");
    hooks::SetCountryCode(49);
    hooks::SetLocalTime(SYSTEMTIME{2026, 12, 1, 7, 10, 5, 23, 45});
    ASSERT_TRUE(platform::spooler::AddPrinter(
        {kPrinterName, kDriverName, "rt7700PCL5edr.so", "rt7700PCL5eui.so", u"winprint", "MEMORY:", {}}));
    Printed();  // bytes an earlier test left on the memory port
    ASSERT_TRUE(OpenPrinterW(kPrinterName, &printer_, nullptr));
    DOC_INFO_1W doc{const_cast<LPWSTR>(u"Report"), nullptr, nullptr};
    jobId_ = StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&doc));
    ASSERT_NE(jobId_, 0u);
    hdev_ = platform::engine::CreateDevice({printer_, kPrinterName, u""});
    devmode::InitStoredDevmode(&stored_, kPrinterName, u"Default Settings");
    stored_.pub.dmPaperSize = 9;  // A4
    stored_.pub.dmPaperWidth = 2100;
    stored_.pub.dmPaperLength = 2970;
    DRVENABLEDATA ded{};
    ASSERT_TRUE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5, sizeof ded, &ded));
    hooks_.assign(ded.pdrvfn, ded.pdrvfn + ded.c);
  }

  void TearDown() override {
    for (DHPDEV d : enabled_) Hook<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV)(d);
    if (printer_ != nullptr) {
      EndDocPrinter(printer_);
      ClosePrinter(printer_);
    }
    platform::engine::DeleteDevice(hdev_);
  }

  std::filesystem::path TempFolder() const { return root_.path() / "tmp"; }

  template <typename F>
  F Hook(ULONG index) {
    for (const DRVFN& f : hooks_) {
      if (f.iFunc == index) return reinterpret_cast<F>(f.pfn);
    }
    ADD_FAILURE() << "no hook " << index;
    return nullptr;
  }

  // DrvEnablePDEV, DrvCompletePDEV and DrvEnableSurface as the engine calls them.
  render::Pdev* Enable(DEVMODEW* dm = nullptr, GDIINFO* gdi = nullptr) {
    GDIINFO localGdi{};
    DEVINFO devinfo{};
    HSURF patterns[8];
    DHPDEV d = Hook<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV)(
        dm != nullptr ? dm : &stored_.pub, nullptr, 8, patterns, sizeof(GDIINFO),
        reinterpret_cast<ULONG*>(gdi != nullptr ? gdi : &localGdi), sizeof devinfo, &devinfo, hdev_,
        const_cast<LPWSTR>(kPrinterName), printer_);
    if (d == nullptr) return nullptr;
    enabled_.push_back(d);
    Hook<PFN_DrvCompletePDEV>(INDEX_DrvCompletePDEV)(d, hdev_);
    HSURF s = Hook<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface)(d);
    EXPECT_NE(s, nullptr);
    return reinterpret_cast<render::Pdev*>(d);
  }

  void Disable(render::Pdev* pdev) {
    auto d = reinterpret_cast<DHPDEV>(pdev);
    std::erase(enabled_, d);
    Hook<PFN_DrvDisableSurface>(INDEX_DrvDisableSurface)(d);
    Hook<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV)(d);
  }

  SURFOBJ Surface(render::Pdev* pdev) {
    SURFOBJ so{};
    so.dhpdev = reinterpret_cast<DHPDEV>(pdev);
    so.hsurf = pdev->surface;
    so.hdev = hdev_;
    so.iType = STYPE_DEVICE;
    return so;
  }

  // What reached the printer since the last call.
  std::string Printed() { return testsupport::AsString(platform::hooks::TakeMemoryPrinterBytes(kPrinterName)); }

  // The spool-copy files now in the temporary folder.
  std::vector<std::filesystem::path> SpoolFiles() const {
    std::vector<std::filesystem::path> out;
    for (const auto& e : std::filesystem::directory_iterator(TempFolder())) out.push_back(e.path());
    return out;
  }

  testsupport::TempDir root_;
  HANDLE printer_ = nullptr;
  DWORD jobId_ = 0;
  HDEV hdev_ = nullptr;
  devmode::StoredDevmode stored_{};
  std::vector<DRVFN> hooks_;
  std::vector<DHPDEV> enabled_;
};

// Expected and actual streams compared whole; on a mismatch the decoded forms show where.
#define EXPECT_STREAM(expected, actual) \
  EXPECT_EQ(testsupport::Decode(expected), testsupport::Decode(actual)) << "raw streams differ"

}  // namespace rendertest
