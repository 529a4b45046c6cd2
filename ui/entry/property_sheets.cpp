#include "entry/property_sheets.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "devmode/trace.h"
#include "entry/devmode_conversion.h"
#include "entry/language.h"
#include "pages/pages.h"
#include "win/actctx.h"
#include "win/modules.h"

namespace ui {
namespace {

struct PageEntry {
  WORD templateId;
  UINT titleId;
  DLGPROC procedure;
};

constexpr WORD kSheetIconId = 64082;
constexpr WORD kManifestId = 2;
constexpr DWORD kPageFlags = PSP_USEICONID | PSP_HASHELP;
constexpr size_t kMaxDevicePages = 2;

SheetWindowCalls gWindow = PlatformSheetWindowCalls();

std::mutex gContextLock;
bool gContextTried = false;
HANDLE gContext = nullptr;

std::mutex gControllersLock;
std::unordered_map<std::thread::id, std::unique_ptr<PageControllerSet>> gControllers;

constexpr PageEntry kDocumentPages[] = {
    {111, 106, BasicPageProc},
    {693, 216, PaperImagePageProc},
    {626, 126, LayoutPageProc},
    {645, 142, WatermarkPageProc},
};
constexpr PageEntry kDevicePages[] = {
    {651, 274, PowerPageProc},
    {5086, 275, DeviceOptionsPageProc},
};
static_assert(std::size(kDocumentPages) <= kMaxSheetPages && std::size(kDevicePages) <= kMaxSheetPages);

// The module's manifest as an activation context, tried once per process.
HANDLE SheetActivationContext(HMODULE module) {
  std::lock_guard g(gContextLock);
  if (!gContextTried) {
    gContextTried = true;
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = module;
    context.lpResourceName = MAKEINTRESOURCEW(kManifestId);
    HANDLE created = CreateActCtxW(&context);
    gContext = created == INVALID_HANDLE_VALUE ? nullptr : created;
  }
  return gContext;
}

// Adds the pages whose templates the shared language module holds; -1 when none does.
LONG AddPages(PROPSHEETUI_INFO* info, SheetState* state, std::span<const PageEntry> table) {
  HMODULE module = SheetLanguageModule();
  if (module == nullptr || info->pfnComPropSheet == nullptr) return -1;
  PROPSHEETPAGEW pages[kMaxSheetPages] = {};
  size_t count = 0;
  for (const PageEntry& e : table) {
    if (FindResourceW(module, MAKEINTRESOURCEW(e.templateId), RT_DIALOG) == nullptr) continue;
    PROPSHEETPAGEW& p = pages[count];
    p.dwSize = sizeof p;
    p.dwFlags = kPageFlags;
    if (LoadStringW(module, e.titleId, state->pageTitles[count], kPageTitleChars) > 0) {
      p.dwFlags |= PSP_USETITLE;
      p.pszTitle = state->pageTitles[count];
    }
    p.hInstance = module;
    p.pszTemplate = MAKEINTRESOURCEW(e.templateId);
    p.pfnDlgProc = e.procedure;
    p.lParam = reinterpret_cast<LPARAM>(state);
    if (HANDLE context = SheetActivationContext(module)) {
      p.dwFlags |= PSP_USEFUSIONCONTEXT;
      p.hActCtx = context;
    }
    ++count;
  }
  if (count == 0) {
    devmode::DebugTrace("PropertySheets: the language module holds none of the pages\n");
    return -1;
  }
  pages[0].dwFlags |= PSP_USECALLBACK | PSP_HASHELP | PSP_USEICONID;
  pages[0].pfnCallback = SheetPageCallback;
  for (size_t i = 0; i < count; ++i) {
    LONG_PTR added = info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW,
                                           reinterpret_cast<LPARAM>(&pages[i]), 0);
    if (added <= 0) break;
  }
  info->UserData = reinterpret_cast<ULONG_PTR>(state);
  info->Result = 0;
  return 1;
}

LONG FillInfoHeader(LPARAM lParam, LPWSTR title) {
  auto* header = reinterpret_cast<PROPSHEETUI_INFO_HEADER*>(lParam);
  if (header == nullptr) return -1;
  header->Flags = PSUIHDRF_PROPTITLE;
  header->pTitle = title;
  header->hInst = SheetLanguageModule();
  header->IconID = kSheetIconId;
  return 1;
}

// pdmOut as the caller's fMode asks: the working devmode whole, or in the smaller of its own
// layout and pdmIn's. Nothing is written past cbOut.
void WriteDevmodeOut(const SheetState& s) {
  const DOCUMENTPROPERTYHEADER& h = s.header;
  if (h.pdmOut == nullptr || !s.devmode) return;
  const DEVMODEW* working = &s.devmode->pub;
  if (h.pdmIn == nullptr) {
    if (h.cbOut < devmode::kStoredDevmodeSize) {
      devmode::DebugTrace("PropertySheets: pdmOut of %u bytes is too small\n", static_cast<unsigned>(h.cbOut));
      return;
    }
    std::memcpy(h.pdmOut, s.devmode.get(), devmode::kStoredDevmodeSize);
    return;
  }
  const DEVMODEW* in = h.pdmIn;
  DEVMODEW header{};
  const bool smallerPublic = in->dmSize < working->dmSize;
  header.dmSize = smallerPublic ? in->dmSize : working->dmSize;
  header.dmSpecVersion = EffectiveSpecVersion(smallerPublic ? in : working);
  const bool smallerPrivate = in->dmDriverExtra < working->dmDriverExtra;
  header.dmDriverExtra = smallerPrivate ? in->dmDriverExtra : working->dmDriverExtra;
  header.dmDriverVersion = smallerPrivate ? in->dmDriverVersion : working->dmDriverVersion;
  constexpr size_t kHeaderEnd = offsetof(DEVMODEW, dmFields);
  const size_t needed = static_cast<size_t>(header.dmSize) + header.dmDriverExtra;
  if (header.dmSize < kHeaderEnd || needed > h.cbOut) {
    devmode::DebugTrace("PropertySheets: pdmOut cannot take a record of %zu bytes\n", needed);
    return;
  }
  std::memcpy(reinterpret_cast<BYTE*>(h.pdmOut) + offsetof(DEVMODEW, dmSpecVersion),
              reinterpret_cast<const BYTE*>(&header) + offsetof(DEVMODEW, dmSpecVersion),
              kHeaderEnd - offsetof(DEVMODEW, dmSpecVersion));
  if (CopyDevmodeAcrossVersions(h.pdmOut, h.cbOut, working) == 0)
    devmode::DebugTrace("PropertySheets: pdmOut not written\n");
}

SheetState* StateOf(const PROPSHEETUI_INFO* info) { return reinterpret_cast<SheetState*>(info->UserData); }

LONG DocumentSheetWithoutUi(DOCUMENTPROPERTYHEADER* header) {
  if (header == nullptr) return 0;
  header->cbOut = static_cast<DWORD>(devmode::kStoredDevmodeSize);
  if (header->fMode == 0 || header->pdmOut == nullptr) return static_cast<LONG>(devmode::kStoredDevmodeSize);
  SheetState* state = CreateSheetState(header->hPrinter, header->pdmIn);
  if (state == nullptr) return -1;
  state->header = *header;
  if ((header->fMode & (DM_UPDATE | DM_COPY)) != 0) WriteDevmodeOut(*state);
  DestroySheetState(state);
  return 1;
}

}  // namespace

void SetSheetWindowCalls(const SheetWindowCalls& calls) { gWindow = calls; }
const SheetWindowCalls& CurrentSheetWindowCalls() { return gWindow; }

SheetWindowCalls PlatformSheetWindowCalls() {
  return {SetWindowLongPtrW, GetWindowLongPtrW, GetParent, SendMessageW, InitCommonControlsEx};
}

PageControllerSet& ThreadPageControllers() {
  std::lock_guard g(gControllersLock);
  auto& slot = gControllers[std::this_thread::get_id()];
  if (!slot) slot = std::make_unique<PageControllerSet>();
  return *slot;
}

PageControllerSet* FindThreadPageControllers() {
  std::lock_guard g(gControllersLock);
  auto found = gControllers.find(std::this_thread::get_id());
  return found == gControllers.end() ? nullptr : found->second.get();
}

void DestroyThreadPageControllers() {
  std::unique_ptr<PageControllerSet> set;
  {
    std::lock_guard g(gControllersLock);
    auto found = gControllers.find(std::this_thread::get_id());
    if (found == gControllers.end()) return;
    set = std::move(found->second);
    gControllers.erase(found);
  }
  // Controllers may look at the table while they close, so they are destroyed outside the lock.
  set.reset();
}

void ApplySheetResult(HWND page, SheetState* state) {
  if (state == nullptr) return;
  if (PageControllerSet* set = FindThreadPageControllers()) {
    if (PageController* editor = set->get(ControllerSlot::DecorationEditor)) editor->CommitInto(*state);
  }
  if (state->devmode && state->devmode->pub.dmDuplex == 5) state->devmode->priv.Duplex = 5;
  state->applied = 1;
  if (page != nullptr) {
    if (gWindow.setWindowLongPtr != nullptr) gWindow.setWindowLongPtr(page, DWLP_MSGRESULT, PSNRET_NOERROR);
    if (gWindow.getParent != nullptr && gWindow.sendMessage != nullptr)
      gWindow.sendMessage(gWindow.getParent(page), PSM_UNCHANGED, reinterpret_cast<WPARAM>(page), 0);
  }
  if (state->deviceSheet != 0) return;
  if ((state->header.fMode & (DM_UPDATE | DM_COPY)) != 0) WriteDevmodeOut(*state);
  if (state->pfnComPropSheet != nullptr) state->pfnComPropSheet(state->hComPropSheet, CPSFUNC_SET_RESULT, 0, CPSUI_OK);
}

UINT WINAPI SheetPageCallback(HWND, UINT message, PROPSHEETPAGEW* page) {
  if (message == PSPCB_RELEASE && page != nullptr) {
    auto* state = reinterpret_cast<SheetState*>(page->lParam);
    if (state != nullptr && state->applied != 0) ApplySheetResult(nullptr, state);
  }
  return 1;
}

LONG DocumentPropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam) {
  if (info == nullptr) return DocumentSheetWithoutUi(reinterpret_cast<DOCUMENTPROPERTYHEADER*>(lParam));
  if (gWindow.initCommonControlsEx != nullptr) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_ALL_CLASSES};
    gWindow.initCommonControlsEx(&controls);
  }
  auto* header = reinterpret_cast<DOCUMENTPROPERTYHEADER*>(info->lParamInit);
  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
      if (header == nullptr) return -1;
      SheetState* state = CreateSheetState(header->hPrinter, header->pdmIn);
      if (state == nullptr) return -1;
      state->header = *header;
      state->readOnly = (header->fMode & DM_NOPERMISSION) != 0 ? 1 : 0;
      state->pfnComPropSheet = info->pfnComPropSheet;
      state->hComPropSheet = info->hComPropSheet;
      LONG result = AddPages(info, state, kDocumentPages);
      if (result < 0) DestroySheetState(state);
      return result;
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
      SheetState* state = StateOf(info);
      LPWSTR title = header != nullptr && header->pszPrinterName != nullptr ? header->pszPrinterName
                     : state != nullptr                                     ? state->printerName
                                                                            : nullptr;
      return FillInfoHeader(lParam, title);
    }
    case PROPSHEETUI_REASON_SET_RESULT: {
      auto* result = reinterpret_cast<SETRESULT_INFO*>(lParam);
      SheetState* state = StateOf(info);
      if (result == nullptr || state == nullptr) return -1;
      ApplySheetResult(nullptr, state);
      info->Result = static_cast<ULONG_PTR>(result->Result);
      return 1;
    }
    case PROPSHEETUI_REASON_DESTROY:
      DestroyThreadPageControllers();
      DestroySheetState(StateOf(info));
      info->UserData = 0;
      return 1;
    default: return -1;
  }
}

LONG DevicePropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam) {
  if (info == nullptr) return -1;
  auto* header = reinterpret_cast<DEVICEPROPERTYHEADER*>(info->lParamInit);
  if (header == nullptr) return -1;
  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
      SheetState* state = CreateSheetState(header->hPrinter, nullptr);
      if (state == nullptr) return -1;
      state->deviceSheet = 1;
      state->readOnly = (header->Flags & DPS_NOPERMISSION) != 0 ? 1 : 0;
      state->pfnComPropSheet = info->pfnComPropSheet;
      state->hComPropSheet = info->hComPropSheet;
      LONG result = AddPages(info, state, std::span(kDevicePages).first(kMaxDevicePages));
      if (result < 0) DestroySheetState(state);
      return result;
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER: return FillInfoHeader(lParam, header->pszPrinterName);
    case PROPSHEETUI_REASON_SET_RESULT: {
      auto* result = reinterpret_cast<SETRESULT_INFO*>(lParam);
      SheetState* state = StateOf(info);
      if (result == nullptr || state == nullptr) return -1;
      info->Result = static_cast<ULONG_PTR>(result->Result);
      ApplySheetResult(nullptr, state);
      return 1;
    }
    case PROPSHEETUI_REASON_DESTROY:
      DestroySheetState(StateOf(info));
      info->UserData = 0;
      return 1;
    default: return -1;
  }
}

void ReleaseSheetResources() {
  {
    std::lock_guard g(gContextLock);
    if (gContext != nullptr) ReleaseActCtx(gContext);
    gContext = nullptr;
    gContextTried = false;
  }
  // The common controls are part of the platform here: there is no library of them to free.
  ReleaseLanguageResources();
}

}  // namespace ui
