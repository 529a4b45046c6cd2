// Acting on headless dialogs and property sheets as a user would, for tests and tools: open a
// sheet through a driver's sheet entry point, switch pages, choose, check, type, press buttons,
// apply or cancel; list what every page shows; fetch what owner-drawn controls painted.
// Every action goes through the messages Windows would send, then delivers posted messages and
// repaints, as the message loop would before the next user action.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/base.h"
#include "win/dialogs.h"

// As win/printer_ui.h declares it (that header and win/wingdi.h do not mix).
struct PROPSHEETUI_INFO;
using PFNPROPSHEETUI = LONG(WINAPI*)(PROPSHEETUI_INFO* info, LPARAM lParam);

namespace platform::ui {

// ---- Controls, on any dialog (pages and modal dialogs) ----

// An action fails (false, nothing sent) on a control that is disabled or hidden, on a dialog that
// is disabled or hidden (a page not shown), and when the control is of the wrong kind.
PLATFORM_API bool Click(HWND control);                     // buttons: BN_CLICKED as Windows sends it
PLATFORM_API bool SetChecked(HWND control, bool checked);  // clicks when the state differs
PLATFORM_API bool Choose(HWND control, std::u16string_view itemText);  // combo or list: exact, any case
PLATFORM_API bool ChooseIndex(HWND control, int index);
PLATFORM_API bool DoubleClick(HWND control);  // list boxes: LBN_DBLCLK on the selection
// Edits and editable combo boxes: selects all and types each character (one EN_CHANGE per key);
// the edit limit, ES_NUMBER and read-only edits refuse characters as they would a user's keys.
PLATFORM_API bool Type(HWND control, std::u16string_view text);
PLATFORM_API bool Spin(HWND upDown, int steps);        // UDN_DELTAPOS, buddy text, WM_VSCROLL
PLATFORM_API bool Slide(HWND trackBar, int position);  // WM_HSCROLL TB_THUMBPOSITION, TB_ENDTRACK
PLATFORM_API bool Help(HWND control);                  // F1: WM_HELP to the dialog
// A left click at (x, y) of a dialog's client area outside its controls: WM_LBUTTONDOWN, WM_LBUTTONUP.
PLATFORM_API bool ClickAt(HWND dialog, int x, int y);

PLATFORM_API HWND FindControl(HWND dialog, int id);
// The first control whose text, without '&' marks, equals `text`.
PLATFORM_API HWND FindControlByText(HWND dialog, std::u16string_view text);

struct ControlInfo {
  HWND window = nullptr;
  int id = 0;
  std::u16string className;
  std::string
      kind;  // "push", "check", "radio", "group", "edit", "combo", "list", "static", "updown", "trackbar"
  DWORD style = 0;
  std::u16string text;
  bool enabled = true, visible = true;
  UINT check = 0;
  std::vector<std::u16string> items;
  int selection = -1;
  int position = 0, low = 0, high = 0;  // up-down and track bar
};
PLATFORM_API std::vector<ControlInfo> DescribeControls(HWND dialog);
// One line per control, UTF-8: id, kind, text, state.
PLATFORM_API std::string FormatControls(HWND dialog);

// The last picture a control's owner painted: top row first, 0x00RRGGBB per pixel.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};
PLATFORM_API std::optional<Picture> LastPicture(HWND control);

// Posted messages and repaints; the headless clock for timers.
PLATFORM_API void PumpMessages();
PLATFORM_API void AdvanceTime(uint32_t milliseconds);

// Modal dialogs (DialogBoxParamW) run the next queued script while they are open; the dialog is
// passed to it. Colour and file choosers take the next queued answer (nothing: the user
// cancelled); with none queued they are cancelled.
PLATFORM_API void QueueModalScript(std::function<void(HWND dialog)> script);
PLATFORM_API void QueueColorAnswers(std::vector<std::optional<COLORREF>> answers);
PLATFORM_API void QueueOpenFileAnswers(std::vector<std::optional<std::u16string>> answers);

struct ShellExecuteRecord {
  std::u16string operation, file, parameters;
};
PLATFORM_API std::vector<ShellExecuteRecord> TakeShellExecutes();

// ---- Property sheets ----

struct SheetEvent {
  std::string what;  // "ADDPAGE", "SET_RESULT 1", "CPSFUNC 12"... as the host saw them
};

class PLATFORM_API PropertySheet {
 public:
  // Calls `entry` with PROPSHEETUI_REASON_INIT and GET_INFO_HEADER, then shows the first page
  // that can be created. Null, with `error`, when the entry point refuses or no page opens.
  static std::unique_ptr<PropertySheet> Open(PFNPROPSHEETUI entry, LPARAM lParamInit, std::string& error);
  ~PropertySheet();  // a sheet still open is closed (as the title bar's close button)
  PropertySheet(const PropertySheet&) = delete;
  PropertySheet& operator=(const PropertySheet&) = delete;

  size_t PageCount() const;
  std::u16string PageTitle(size_t index) const;
  int CurrentPage() const;
  HWND Page() const;                    // the current page's dialog
  HWND PageWindow(size_t index) const;  // null until the page has been shown
  HWND Window() const;                  // the sheet itself (pages' parent)
  std::u16string Title() const;         // from the information header
  WORD HeaderFlags() const;
  // PSN_KILLACTIVE to the current page (it may refuse), then the page is created if needed and
  // gets PSN_SETACTIVE.
  bool SwitchTo(size_t index);
  bool SwitchTo(std::u16string_view title);
  HWND Find(int id) const;  // on the current page
  HWND FindByText(std::u16string_view text) const;

  bool ApplyEnabled() const;  // some page sent PSM_CHANGED and no apply or PSM_UNCHANGED since
  // Apply: refused while the Apply button is disabled. Ok: applies and closes. Both send
  // PSN_KILLACTIVE to the current page, then PSN_APPLY to every created page; a page answering
  // PSNRET_INVALID becomes current, PSNRET_INVALID_NOCHANGEPAGE keeps the current one, and
  // nothing closes. Cancel (and Close, the title bar's button) ask the current page
  // (PSN_QUERYCANCEL), then send PSN_RESET to every created page and close.
  bool Apply();
  bool Ok();
  bool Cancel();
  bool Close();
  bool IsOpen() const;
  // The last result a page set with CPSFUNC_SET_RESULT (CPSUI_CANCEL when none).
  LONG_PTR Result() const;
  // Every page (created or not) with its controls.
  std::string Show() const;
  // What the host did and was asked, in order (for tests of the sequence).
  const std::vector<std::string>& Events() const;

 private:
  struct Host;
  explicit PropertySheet(std::unique_ptr<Host> host);
  std::unique_ptr<Host> host_;
};

// Test hook: CPSFUNC_ADD_PROPSHEETPAGEW refuses every page after the first `pages` of a sheet
// (negative: no limit).
PLATFORM_API void LimitSheetPages(int pages);

}  // namespace platform::ui
