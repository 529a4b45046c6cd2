// The property-sheet entry points: the printing preferences (DrvDocumentPropertySheets, also
// called without UI for the devmode size or a merged devmode) and the printer properties
// (DrvDevicePropertySheets), the pages they add, applying a sheet's result, and the page
// controllers each thread that shows a sheet keeps.
#pragma once

#include <array>
#include <memory>

#include "entry/sheet_state.h"
#include "win/base.h"
#include "win/compstui.h"

namespace ui {

LONG DocumentPropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam);
LONG DevicePropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam);

// Commits the sheet: the open decoration editor's pending edits, the result flag, the page's
// answer to PSN_APPLY (with a page window), and for document sheets the caller's pdmOut and the
// common UI's result.
void ApplySheetResult(HWND page, SheetState* state);

// The first page's PropSheetPageProc.
UINT WINAPI SheetPageCallback(HWND window, UINT message, PROPSHEETPAGEW* page);

// A helper a page creates on first use and that lives as long as the thread's sheet.
class PageController {
 public:
  virtual ~PageController() = default;
  // Pending edits go into the sheet state when the sheet is applied.
  virtual void CommitInto(SheetState&) {}
};

enum class ControllerSlot : size_t {
  DecorationEditor = 0,   // the watermark page's list and editors
  CustomPaperEditor = 1,  // the basic page's custom papers and favourites
  Layout = 2,             // the layout page's controls and zoom limits
  FontFamilies = 3,       // the font family cache of the substitution dialog
  Device = 4,             // the printer properties' pages
};
constexpr size_t kControllerSlots = 5;

struct PageControllerSet {
  std::array<std::unique_ptr<PageController>, kControllerSlots> slots;
  PageController* get(ControllerSlot s) const { return slots[static_cast<size_t>(s)].get(); }
  std::unique_ptr<PageController>& at(ControllerSlot s) { return slots[static_cast<size_t>(s)]; }
};

// The calling thread's set, created on first use; keyed by the full thread id.
PageControllerSet& ThreadPageControllers();
// The calling thread's set when it has one, else null; never creates one.
PageControllerSet* FindThreadPageControllers();
// Destroys the calling thread's set (document sheet DESTROY).
void DestroyThreadPageControllers();

// The calls through which pages reach their sheet (DWLP_ values, the sheet window, PSM_ messages);
// tests of the entry points may record them instead of opening windows.
struct SheetWindowCalls {
  LONG_PTR (*setWindowLongPtr)(HWND, int, LONG_PTR) = nullptr;
  LONG_PTR (*getWindowLongPtr)(HWND, int) = nullptr;
  HWND (*getParent)(HWND) = nullptr;
  LRESULT (*sendMessage)(HWND, UINT, WPARAM, LPARAM) = nullptr;
  BOOL (*initCommonControlsEx)(const INITCOMMONCONTROLSEX*) = nullptr;
};
// The pages reach their windows through these; tests may record them instead.
void SetSheetWindowCalls(const SheetWindowCalls& calls);
const SheetWindowCalls& CurrentSheetWindowCalls();
SheetWindowCalls PlatformSheetWindowCalls();

// Process detach: the activation context and the shared language module.
void ReleaseSheetResources();

}  // namespace ui
