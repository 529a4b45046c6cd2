// Printer device contexts for applications: the engine's side of a print job. A device context owns
// a spooler handle, the loaded driver, one PDEV with its surface, and the document and page state;
// the calls map onto the driver's hooks the way the platform's engine calls them.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "dc_state.h"
#include "document_events.h"
#include "driver_library.h"
#include "gdi_bitmaps.h"
#include "engine/device_table.h"
#include "gdi_trace.h"
#include "memory_dc_render.h"
#include "platform/spooler_admin.h"
#include "platform/utf16.h"
#include "spooler/spooler_internal.h"
#include "win/error.h"
#include "win/spooler.h"
#include "win/wingdi.h"

namespace platform::gdi {
namespace {

// The smallest record that still tells its own size.
constexpr size_t kDevmodeHeader = offsetof(DEVMODEW, dmDriverExtra) + sizeof(WORD);

struct PrinterDc {
  std::u16string printerName;
  std::u16string deviceName;  // handed to DrvEnablePDEV, which may keep the pointer
  std::u16string portName;
  HANDLE printer = nullptr;
  std::shared_ptr<DriverLibrary> driver;
  std::unique_ptr<DocumentEvents> events;
  HDEV hdev = nullptr;
  DHPDEV dhpdev = nullptr;
  HSURF hsurf = nullptr;
  SURFOBJ surface{};
  GDIINFO gdiInfo{};
  DEVINFO devInfo{};
  std::vector<uint8_t> devmode;  // the record the PDEV was enabled with; empty for none
  DWORD jobId = 0;
  bool inDoc = false;
  bool inPage = false;
  bool pageFailed = false;  // a page of the current document failed in the driver
  bool broken = false;      // a reset left the device without a surface
  DcGraphics graphics;      // what the drawing calls keep (dc_state.h)
  uint64_t pdevSerial = 0;  // a new one with every surface enabled
};

std::mutex g_lock;
uintptr_t g_nextDc = 0x7D000;
std::map<uintptr_t, std::shared_ptr<PrinterDc>>& Dcs() {
  static std::map<uintptr_t, std::shared_ptr<PrinterDc>> dcs;
  return dcs;
}

std::shared_ptr<PrinterDc> Find(HDC hdc) {
  std::lock_guard g(g_lock);
  auto it = Dcs().find(reinterpret_cast<uintptr_t>(hdc));
  if (it == Dcs().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

// The bytes a devmode claims, zero-padded to a whole public part so the driver never reads past
// what the caller handed over.
std::vector<uint8_t> CopyDevmode(const DEVMODEW* devmode) {
  size_t claimed = size_t{devmode->dmSize} + devmode->dmDriverExtra;
  std::vector<uint8_t> bytes(std::max(claimed, sizeof(DEVMODEW)));
  std::memcpy(bytes.data(), devmode, claimed);
  return bytes;
}

// The printer's default devmode, when it holds a whole record.
std::vector<uint8_t> DefaultDevmode(const spooler::PrinterConfig& config) {
  const auto& stored = config.defaultDevmode;
  if (stored.size() < kDevmodeHeader) return {};
  DEVMODEW header{};
  std::memcpy(&header, stored.data(), kDevmodeHeader);
  size_t claimed = size_t{header.dmSize} + header.dmDriverExtra;
  if (claimed > stored.size() || claimed < kDevmodeHeader) {
    GdiTrace("GDI: default devmode of the printer claims %zu bytes, holds %zu; not used\n", claimed, stored.size());
    return {};
  }
  std::vector<uint8_t> bytes(std::max(claimed, sizeof(DEVMODEW)));
  std::memcpy(bytes.data(), stored.data(), claimed);
  return bytes;
}

DEVMODEW* DevmodeOf(std::vector<uint8_t>& bytes) {
  return bytes.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(bytes.data());
}

// A new PDEV for the device (DrvEnablePDEV, then DrvCompletePDEV); null when the driver refuses.
DHPDEV EnablePdev(PrinterDc& dc, std::vector<uint8_t>& devmode, GDIINFO* gdiInfo, DEVINFO* devInfo) {
  auto enable = dc.driver->Hook<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV);
  auto complete = dc.driver->Hook<PFN_DrvCompletePDEV>(INDEX_DrvCompletePDEV);
  *gdiInfo = {};
  *devInfo = {};
  DHPDEV pdev = enable(DevmodeOf(devmode), dc.portName.data(), 0, nullptr, sizeof(GDIINFO),
                       reinterpret_cast<ULONG*>(gdiInfo), sizeof(DEVINFO), devInfo, dc.hdev, dc.deviceName.data(),
                       dc.printer);
  if (pdev == nullptr) {
    GdiTrace("GDI: DrvEnablePDEV refused the device\n");
    return nullptr;
  }
  complete(pdev, dc.hdev);
  return pdev;
}

// DrvEnableSurface and the surface object every document and drawing hook receives.
bool EnableSurface(PrinterDc& dc) {
  auto enable = dc.driver->Hook<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface);
  HSURF hsurf = enable(dc.dhpdev);
  if (hsurf == nullptr) {
    GdiTrace("GDI: DrvEnableSurface failed\n");
    return false;
  }
  dc.hsurf = hsurf;
  SURFOBJ so{};
  so.dhpdev = dc.dhpdev;
  so.hsurf = hsurf;
  so.hdev = dc.hdev;
  so.iType = STYPE_DEVICE;
  if (auto known = engine::FindSurface(hsurf)) {
    so.dhsurf = known->dhsurf;
    so.sizlBitmap = known->size;
    so.iBitmapFormat = known->format;
  } else {
    so.sizlBitmap = {static_cast<LONG>(dc.gdiInfo.ulHorzRes), static_cast<LONG>(dc.gdiInfo.ulVertRes)};
  }
  dc.surface = so;
  static std::atomic<uint64_t> serial{0};
  dc.pdevSerial = ++serial;
  return true;
}

void DisablePdev(PrinterDc& dc, DHPDEV pdev, bool withSurface) {
  if (withSurface) dc.driver->Hook<PFN_DrvDisableSurface>(INDEX_DrvDisableSurface)(pdev);
  dc.driver->Hook<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV)(pdev);
}

// Releases everything the device context holds, in the reverse order of CreateDCW.
void Teardown(PrinterDc& dc) {
  if (dc.dhpdev != nullptr) DisablePdev(dc, dc.dhpdev, dc.hsurf != nullptr);
  dc.dhpdev = nullptr;
  dc.hsurf = nullptr;
  if (dc.hdev != nullptr) engine::DeleteDevice(dc.hdev);
  dc.hdev = nullptr;
  dc.events.reset();
  if (dc.printer != nullptr) (void)ClosePrinter(dc.printer);
  dc.printer = nullptr;
  dc.driver.reset();
}

bool HasRequiredHooks(const DriverLibrary& driver) {
  return driver.Hook<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV) != nullptr &&
         driver.Hook<PFN_DrvCompletePDEV>(INDEX_DrvCompletePDEV) != nullptr &&
         driver.Hook<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV) != nullptr &&
         driver.Hook<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface) != nullptr &&
         driver.Hook<PFN_DrvDisableSurface>(INDEX_DrvDisableSurface) != nullptr;
}

// Why the job failed: cancelled, its delivery's own reason, or else the driver could not go on.
// Asked of the spooler, as whatever the driver called since may have overwritten the last error.
DWORD JobError(const PrinterDc& dc) {
  if (spooler::JobCancelled(dc.printer)) return ERROR_PRINT_CANCELLED;
  DWORD delivery = spooler::JobFailureReason(dc.printer);
  return delivery != ERROR_SUCCESS ? delivery : ERROR_WRITE_FAULT;
}

int JobFailure(const PrinterDc& dc) {
  SetLastError(JobError(dc));
  return SP_ERROR;
}

// A delivery that failed part way (the printer went away) marks the job in error; the driver's own
// result does not show it when the failure came during its end-of-document replay.
bool DeliveryFailed(const PrinterDc& dc) {
  std::vector<BYTE> buffer(sizeof(JOB_INFO_1W) + 1024);
  DWORD needed = 0;
  if (!GetJobW(dc.printer, dc.jobId, 1, buffer.data(), static_cast<DWORD>(buffer.size()), &needed)) {
    if (needed <= buffer.size()) return false;
    buffer.resize(needed);
    if (!GetJobW(dc.printer, dc.jobId, 1, buffer.data(), needed, &needed)) return false;
  }
  return (reinterpret_cast<const JOB_INFO_1W*>(buffer.data())->Status & JOB_STATUS_ERROR) != 0;
}

int Refuse(DWORD error) {
  SetLastError(error);
  return SP_ERROR;
}

// Ends the open page: the interface library decorates it first, while the page is still open, so
// its escapes and drawing reach the driver before DrvSendPage.
bool FinishPage(PrinterDc& dc, HDC hdc) {
  dc.events->Send(dc.printer, hdc, DOCUMENTEVENT_ENDPAGE);
  dc.inPage = false;
  auto send = dc.driver->Hook<PFN_DrvSendPage>(INDEX_DrvSendPage);
  if (send != nullptr && !send(&dc.surface)) {
    dc.pageFailed = true;
    return false;
  }
  return true;
}

// Cancels the job first, so nothing the driver writes while it cleans up reaches the printer.
void AbortJob(PrinterDc& dc, HDC hdc) {
  dc.events->Send(dc.printer, hdc, DOCUMENTEVENT_ABORTDOC);
  (void)AbortPrinter(dc.printer);
  if (auto end = dc.driver->Hook<PFN_DrvEndDoc>(INDEX_DrvEndDoc)) (void)end(&dc.surface, ED_ABORTDOC);
  dc.inDoc = false;
  dc.inPage = false;
  dc.jobId = 0;
}

HDC CreatePrinterDc(LPCWSTR device, const DEVMODEW* devmode) {
  if (device == nullptr || *device == u'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::u16string name(device);
  auto config = spooler::FindPrinter(name);
  if (!config) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return nullptr;
  }

  auto dc = std::make_shared<PrinterDc>();
  dc->printerName = name;
  dc->deviceName = name;
  dc->portName = Utf8ToUtf16(config->port);
  if (!OpenPrinterW(name.c_str(), &dc->printer, nullptr)) return nullptr;
  dc->driver = DriverLibrary::Load(config->driverPath);
  if (dc->driver == nullptr || !HasRequiredHooks(*dc->driver)) {
    if (dc->driver != nullptr) {
      GdiTrace("GDI: %s lacks a hook every device needs\n", config->driverPath.c_str());
      SetLastError(ERROR_PROC_NOT_FOUND);
    }
    Teardown(*dc);
    return nullptr;
  }
  dc->events = std::make_unique<DocumentEvents>(config->configPath);

  engine::Device device_{};
  device_.printer = dc->printer;
  device_.printerName = name;
  device_.copyBits = dc->driver->Hook<PFN_DrvCopyBits>(INDEX_DrvCopyBits);
  if (auto dataFile = spooler::PrinterDataFilePath(name)) device_.dataFileName = Utf8ToUtf16(*dataFile);
  dc->hdev = engine::CreateDevice(device_);

  dc->devmode = devmode != nullptr ? CopyDevmode(devmode) : DefaultDevmode(*config);
  dc->dhpdev = EnablePdev(*dc, dc->devmode, &dc->gdiInfo, &dc->devInfo);
  if (dc->dhpdev == nullptr || !EnableSurface(*dc)) {
    Teardown(*dc);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }

  std::lock_guard g(g_lock);
  uintptr_t id = g_nextDc += 0x10;
  Dcs()[id] = std::move(dc);
  return reinterpret_cast<HDC>(id);
}

}  // namespace

std::optional<DrawingTarget> FindDrawingTarget(HDC hdc) {
  if (auto memory = MemoryDrawingTarget(hdc)) return memory;
  auto dc = Find(hdc);
  if (dc == nullptr) return std::nullopt;
  DrawingTarget t;
  t.graphics = &dc->graphics;
  t.surface = &dc->surface;
  t.driver = dc->driver.get();
  if (auto known = engine::FindSurface(dc->hsurf)) t.hooks = known->hooks;
  t.pdevSerial = dc->pdevSerial;
  if (dc->gdiInfo.ulLogPixelsX > 0 && dc->gdiInfo.ulLogPixelsY > 0) {
    t.dpiX = static_cast<int>(dc->gdiInfo.ulLogPixelsX);
    t.dpiY = static_cast<int>(dc->gdiInfo.ulLogPixelsY);
  }
  t.inPage = dc->inPage && !dc->broken;
  t.keep = std::move(dc);
  return t;
}

}  // namespace platform::gdi

using namespace platform::gdi;

extern "C" {

HDC CreateDCW(LPCWSTR, LPCWSTR device, LPCWSTR, const DEVMODEW* devmode) {
  try {
    return CreatePrinterDc(device, devmode);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

int StartDocW(HDC hdc, const DOCINFOW* docInfo) {
  try {
    auto dc = Find(hdc);
    if (dc == nullptr) return SP_ERROR;
    if (dc->inDoc || dc->broken) return Refuse(ERROR_INVALID_PARAMETER);
    bool named = docInfo != nullptr && docInfo->lpszDocName != nullptr;
    std::u16string docName = named ? std::u16string(docInfo->lpszDocName) : std::u16string();
    std::u16string output =
        docInfo != nullptr && docInfo->lpszOutput != nullptr ? std::u16string(docInfo->lpszOutput) : std::u16string();
    std::u16string datatype = u"RAW";

    dc->events->Send(dc->printer, hdc, DOCUMENTEVENT_STARTDOC, sizeof(PVOID), &docInfo);
    DOC_INFO_1W info{named ? docName.data() : nullptr, output.empty() ? nullptr : output.data(), datatype.data()};
    DWORD job = StartDocPrinterW(dc->printer, 1, reinterpret_cast<LPBYTE>(&info));
    if (job == 0) return SP_ERROR;
    dc->jobId = job;
    dc->inDoc = true;
    dc->pageFailed = false;
    auto start = dc->driver->Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc);
    if (start != nullptr && !start(&dc->surface, named ? docName.data() : nullptr, job)) {
      GdiTrace("GDI: DrvStartDoc failed, job %u abandoned\n", job);
      DWORD delivery = platform::spooler::JobFailureReason(dc->printer);
      AbortJob(*dc, hdc);
      return Refuse(delivery != ERROR_SUCCESS ? delivery : ERROR_INVALID_PARAMETER);
    }
    dc->events->Send(dc->printer, hdc, DOCUMENTEVENT_STARTDOCPOST, sizeof job, &job);
    return static_cast<int>(job);
  } catch (const std::bad_alloc&) {
    return Refuse(ERROR_NOT_ENOUGH_MEMORY);
  }
}

int StartPage(HDC hdc) {
  auto dc = Find(hdc);
  if (dc == nullptr) return SP_ERROR;
  if (!dc->inDoc || dc->inPage) return Refuse(ERROR_INVALID_PARAMETER);
  dc->events->Send(dc->printer, hdc, DOCUMENTEVENT_STARTPAGE);
  auto start = dc->driver->Hook<PFN_DrvStartPage>(INDEX_DrvStartPage);
  if (start != nullptr && !start(&dc->surface)) {
    dc->pageFailed = true;
    return JobFailure(*dc);
  }
  dc->inPage = true;
  return 1;
}

int EndPage(HDC hdc) {
  auto dc = Find(hdc);
  if (dc == nullptr) return SP_ERROR;
  if (!dc->inPage) return Refuse(ERROR_INVALID_PARAMETER);
  return FinishPage(*dc, hdc) ? 1 : JobFailure(*dc);
}

int EndDoc(HDC hdc) {
  auto dc = Find(hdc);
  if (dc == nullptr) return SP_ERROR;
  if (!dc->inDoc) return Refuse(ERROR_INVALID_PARAMETER);
  if (dc->inPage) (void)FinishPage(*dc, hdc);
  dc->events->Send(dc->printer, hdc, DOCUMENTEVENT_ENDDOC);
  auto end = dc->driver->Hook<PFN_DrvEndDoc>(INDEX_DrvEndDoc);
  bool ended = end == nullptr || end(&dc->surface, 0);
  // Asked before EndDocPrinter, which closes the job: a cancelled job or a failed delivery.
  bool cancelled = platform::spooler::JobCancelled(dc->printer);
  bool lost = DeliveryFailed(*dc);
  BOOL closed = EndDocPrinter(dc->printer);
  DWORD endError = closed ? ERROR_SUCCESS : GetLastError();
  bool delivered = closed != FALSE && !lost;
  DWORD deliveryError = delivered ? ERROR_SUCCESS : platform::spooler::JobFailureReason(dc->printer);
  if (deliveryError == ERROR_SUCCESS) deliveryError = endError;
  dc->inDoc = false;
  dc->jobId = 0;
  dc->events->Send(dc->printer, hdc, DOCUMENTEVENT_ENDDOCPOST);
  if (cancelled) return Refuse(ERROR_PRINT_CANCELLED);
  if (!delivered) return Refuse(deliveryError != ERROR_SUCCESS ? deliveryError : ERROR_WRITE_FAULT);
  if (!ended || dc->pageFailed) return Refuse(ERROR_WRITE_FAULT);
  return 1;
}

int AbortDoc(HDC hdc) {
  auto dc = Find(hdc);
  if (dc == nullptr) return SP_ERROR;
  if (!dc->inDoc) return Refuse(ERROR_INVALID_PARAMETER);
  AbortJob(*dc, hdc);
  return 1;
}

HDC ResetDCW(HDC hdc, const DEVMODEW* devmode) {
  try {
    auto dc = Find(hdc);
    if (dc == nullptr) return nullptr;
    if (dc->inPage || dc->broken) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    std::vector<uint8_t> bytes;
    if (devmode != nullptr) {
      bytes = CopyDevmode(devmode);
    } else if (auto config = platform::spooler::FindPrinter(dc->printerName)) {
      bytes = DefaultDevmode(*config);
    }
    dc->events->Send(dc->printer, hdc, DOCUMENTEVENT_RESETDCPRE, sizeof(PVOID), &devmode);
    GDIINFO gdiInfo{};
    DEVINFO devInfo{};
    DHPDEV fresh = EnablePdev(*dc, bytes, &gdiInfo, &devInfo);
    if (fresh == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    auto reset = dc->driver->Hook<PFN_DrvResetPDEV>(INDEX_DrvResetPDEV);
    if (reset != nullptr && !reset(dc->dhpdev, fresh)) {
      GdiTrace("GDI: DrvResetPDEV failed, the device keeps its settings\n");
      DisablePdev(*dc, fresh, false);
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    DisablePdev(*dc, dc->dhpdev, dc->hsurf != nullptr);
    dc->dhpdev = fresh;
    dc->hsurf = nullptr;
    dc->gdiInfo = gdiInfo;
    dc->devInfo = devInfo;
    dc->devmode.swap(bytes);
    if (!EnableSurface(*dc)) {
      dc->broken = true;
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    dc->events->Send(dc->printer, hdc, DOCUMENTEVENT_RESETDCPOST);
    return hdc;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

int ExtEscape(HDC hdc, int escape, int cjInput, LPCSTR inData, int cjOutput, LPSTR outData) {
  try {
    auto dc = Find(hdc);
    if (dc == nullptr) return -1;
    if (cjInput < 0 || cjOutput < 0 || (cjInput > 0 && inData == nullptr) || dc->broken) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    auto esc = dc->driver->Hook<PFN_DrvEscape>(INDEX_DrvEscape);
    if (esc == nullptr) return 0;
    // The driver gets its own copy of the input: the caller's buffer is read-only to it.
    std::vector<char> in(inData, inData + cjInput);
    ULONG result = esc(&dc->surface, static_cast<ULONG>(escape), static_cast<ULONG>(cjInput),
                       in.empty() ? nullptr : in.data(), static_cast<ULONG>(cjOutput), outData);
    return static_cast<int>(result);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return -1;
  }
}

int GetDeviceCaps(HDC hdc, int index) {
  if (auto memory = MemoryDcCaps(hdc, index)) return *memory;
  auto dc = Find(hdc);
  if (dc == nullptr) return 0;
  const GDIINFO& g = dc->gdiInfo;
  auto millimetres = [](ULONG v) {
    // A negative size is in micrometres.
    auto s = static_cast<LONG>(v);
    return s < 0 ? -s / 1000 : s;
  };
  switch (index) {
    case DRIVERVERSION: return static_cast<int>(g.ulVersion);
    case TECHNOLOGY: return static_cast<int>(g.ulTechnology);
    case HORZSIZE: return millimetres(g.ulHorzSize);
    case VERTSIZE: return millimetres(g.ulVertSize);
    case HORZRES: return static_cast<int>(g.ulHorzRes);
    case VERTRES: return static_cast<int>(g.ulVertRes);
    case BITSPIXEL: return static_cast<int>(g.cBitsPixel);
    case PLANES: return static_cast<int>(g.cPlanes);
    case NUMCOLORS: return static_cast<int>(g.ulNumColors);
    case TEXTCAPS: return static_cast<int>(g.flTextCaps);
    case RASTERCAPS: return static_cast<int>(g.flRaster);
    case ASPECTX: return static_cast<int>(g.ulAspectX);
    case ASPECTY: return static_cast<int>(g.ulAspectY);
    case ASPECTXY: return static_cast<int>(g.ulAspectXY);
    case LOGPIXELSX: return static_cast<int>(g.ulLogPixelsX);
    case LOGPIXELSY: return static_cast<int>(g.ulLogPixelsY);
    case SIZEPALETTE: return static_cast<int>(g.ulNumPalReg);
    case PHYSICALWIDTH: return g.szlPhysSize.cx;
    case PHYSICALHEIGHT: return g.szlPhysSize.cy;
    case PHYSICALOFFSETX: return g.ptlPhysOffset.x;
    case PHYSICALOFFSETY: return g.ptlPhysOffset.y;
    case SHADEBLENDCAPS: return static_cast<int>(g.flShadeBlend);
    default: return 0;
  }
}

BOOL DeleteDC(HDC hdc) {
  if (DeleteMemoryDc(hdc)) return TRUE;
  auto dc = Find(hdc);
  if (dc == nullptr) return FALSE;
  if (dc->inDoc) AbortJob(*dc, hdc);
  dc->events->Send(dc->printer, hdc, DOCUMENTEVENT_DELETEDC);
  {
    std::lock_guard g(g_lock);
    Dcs().erase(reinterpret_cast<uintptr_t>(hdc));
  }
  Teardown(*dc);
  return TRUE;
}

}  // extern "C"
