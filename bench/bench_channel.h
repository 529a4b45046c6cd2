// A PDEV whose channel drains into a job on a /dev/null printer, for the benchmarks of what the
// rendering library writes.
#pragma once

#include <cstdlib>
#include <string>

#include "core/pdev.h"
#include "devmode/tracked_alloc.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "win/memory.h"
#include "win/spooler.h"

class Channel {
 public:
  Channel() {
    char dir[] = "/tmp/rt7700-bench-XXXXXX";
    root_ = mkdtemp(dir);
    platform::hooks::SetPlatformRoot(root_);
    platform::spooler::AddPrinter({u"Bench", u"Taliro R7700 PCL5e", "", "", u"winprint", "/dev/null", {}});
    OpenPrinterW(u"Bench", &printer_, nullptr);
    DOC_INFO_1W doc{const_cast<LPWSTR>(u"bench"), nullptr, nullptr};
    StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&doc));
    pdev_ = static_cast<render::Pdev*>(GlobalAlloc(GPTR, sizeof(render::Pdev)));
    render::ResetOutputBuffer(*pdev_);
    pdev_->printer = printer_;
    pdev_->doc.scaleX = pdev_->doc.scaleY = 100;
    pdev_->doc.nupFactor = 1.0;
  }
  ~Channel() {
    EndDocPrinter(printer_);
    ClosePrinter(printer_);
    for (render::RasterBuffer& b : pdev_->raster)
      if (b.data != nullptr) devmode::TrackedFree(b.data);
    GlobalFree(pdev_);
    std::string cmd = "rm -rf '" + root_ + "'";
    (void)std::system(cmd.c_str());
  }
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;
  render::Pdev& pdev() { return *pdev_; }

 private:
  std::string root_;
  HANDLE printer_ = nullptr;
  render::Pdev* pdev_ = nullptr;
};
