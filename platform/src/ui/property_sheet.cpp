// The common property-sheet UI, headless: calls a sheet entry point with the PROPSHEETUI reasons,
// takes its pages (CPSFUNC_ADD_PROPSHEETPAGEW), creates each page when it is first shown and
// sends the PSN_ notifications a user's page switches, Apply, OK and Cancel cause.
#include <algorithm>
#include <cstring>
#include <set>

#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "ui/windows_internal.h"
#include "win/debug.h"
#include "win/modules.h"
#include "win/printer_ui.h"

namespace platform::ui {

namespace {

constexpr size_t kMaxPages = 64;

std::set<const void*>& LiveHosts() {
  static std::set<const void*> hosts;
  return hosts;
}

int& PageLimit() {
  static int limit = -1;
  return limit;
}

[[maybe_unused]] const bool kRegistered = [] {
  platform::hooks::OnReset([] {
    std::lock_guard g(WindowLock());
    PageLimit() = -1;
  });
  return true;
}();

std::u16string ModuleString(HINSTANCE instance, UINT id) {
  LPCWSTR text = nullptr;
  int n = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 && text != nullptr ? std::u16string(text, static_cast<size_t>(n)) : std::u16string();
}

std::u16string TemplateCaption(HINSTANCE instance, LPCWSTR name) {
  HRSRC found = FindResourceW(instance, name, RT_DIALOG);
  if (found == nullptr) return {};
  const void* data = LockResource(LoadResource(instance, found));
  std::string error;
  auto parsed =
      data != nullptr
          ? ParseDialogTemplate({static_cast<const char*>(data), SizeofResource(instance, found)}, error)
          : std::nullopt;
  return parsed && parsed->captionId != 0 ? ModuleString(instance, parsed->captionId) : std::u16string();
}

}  // namespace

struct PropertySheet::Host {
  struct Page {
    std::vector<uint64_t> storage;  // the page's PROPSHEETPAGEW as given, with any bytes the caller appended
    std::u16string title;
    HWND window = nullptr;
    bool failed = false;
    bool changed = false;
    PROPSHEETPAGEW* psp() { return reinterpret_cast<PROPSHEETPAGEW*>(storage.data()); }
  };

  PFNPROPSHEETUI entry = nullptr;
  PROPSHEETUI_INFO info{};
  std::u16string title;
  WORD headerFlags = 0;
  std::vector<std::unique_ptr<Page>> pages;
  HWND sheet = nullptr;
  int current = -1;
  bool open = false;
  LONG_PTR result = CPSUI_CANCEL;
  bool resultSet = false;
  std::vector<std::string> events;

  Host() { LiveHosts().insert(this); }
  ~Host() { LiveHosts().erase(this); }

  void Event(std::string e) { events.push_back(std::move(e)); }

  static LONG_PTR WINAPI ComPropSheet(HANDLE handle, UINT function, LPARAM lParam1, LPARAM lParam2) {
    std::lock_guard g(WindowLock());
    if (LiveHosts().count(handle) == 0) return 0;
    auto* host = static_cast<Host*>(handle);
    switch (function) {
      case CPSFUNC_ADD_PROPSHEETPAGEW:
        return host->AddPage(reinterpret_cast<const PROPSHEETPAGEW*>(lParam1));
      case CPSFUNC_SET_RESULT:
        host->result = lParam2;
        host->resultSet = true;
        host->Event("CPSFUNC_SET_RESULT " + std::to_string(lParam2));
        return 1;
      case CPSFUNC_GET_PAGECOUNT:
        return static_cast<LONG_PTR>(host->pages.size());
      default:
        host->Event("CPSFUNC " + std::to_string(function) + " not supported");
        OutputDebugStringA(
            ("Property sheet: function " + std::to_string(function) + " is not supported").c_str());
        return 0;
    }
  }

  LONG_PTR AddPage(const PROPSHEETPAGEW* given) {
    auto refuse = [this](const std::string& why) {
      Event("ADD_PAGE refused: " + why);
      return LONG_PTR{0};
    };
    if (given == nullptr) return refuse("no page");
    if (given->dwSize < PROPSHEETPAGEW_V1_SIZE || given->dwSize > 0x10000) return refuse("bad size");
    if ((given->dwFlags & PSP_DLGINDIRECT) != 0) return refuse("in-memory templates are not supported");
    if (given->pfnDlgProc == nullptr) return refuse("no dialog procedure");
    if (pages.size() >= kMaxPages || (PageLimit() >= 0 && pages.size() >= static_cast<size_t>(PageLimit()))) {
      return refuse("too many pages");
    }
    auto page = std::make_unique<Page>();
    page->storage.assign((std::max<size_t>(given->dwSize, sizeof(PROPSHEETPAGEW)) + 7) / 8, 0);
    std::memcpy(page->storage.data(), given, given->dwSize);
    PROPSHEETPAGEW* p = page->psp();
    if ((p->dwFlags & PSP_USETITLE) != 0 && p->pszTitle != nullptr) {
      page->title =
          IS_INTRESOURCE(p->pszTitle)
              ? ModuleString(p->hInstance, static_cast<UINT>(reinterpret_cast<uintptr_t>(p->pszTitle)))
              : std::u16string(p->pszTitle);
    } else {
      page->title = TemplateCaption(p->hInstance, p->pszTemplate);
    }
    Event("ADD_PAGE " + std::to_string(pages.size()) + " \"" + platform::Utf16ToUtf8(page->title) + "\"");
    pages.push_back(std::move(page));
    return reinterpret_cast<LONG_PTR>(pages.back().get());
  }

  LONG Call(WORD reason, LPARAM lParam) {
    info.Reason = reason;
    return entry(&info, lParam);
  }

  LRESULT Notify(size_t index, UINT code, LPARAM lParam) {
    HWND page = pages[index]->window;
    if (page == nullptr) return 0;
    PSHNOTIFY nm{};
    nm.hdr.hwndFrom = sheet;
    nm.hdr.idFrom = 0;
    nm.hdr.code = code;
    nm.lParam = lParam;
    return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
  }

  bool Create(size_t index) {
    Page& page = *pages[index];
    if (page.failed) return false;
    PROPSHEETPAGEW* p = page.psp();
    if ((p->dwFlags & PSP_USECALLBACK) != 0 && p->pfnCallback != nullptr) {
      UINT r = p->pfnCallback(nullptr, PSPCB_CREATE, p);
      Event("PSPCB_CREATE " + std::to_string(index) + " -> " + std::to_string(r));
      if (r == 0) {
        page.failed = true;
        return false;
      }
    }
    HWND w = CreateDialogWindow(p->hInstance, p->pszTemplate, sheet, p->pfnDlgProc,
                                reinterpret_cast<LPARAM>(p), false);
    if (w == nullptr) {
      Event("page " + std::to_string(index) + " has no dialog");
      page.failed = true;
      return false;
    }
    pages[index]->window = w;
    Event("WM_INITDIALOG " + std::to_string(index));
    return true;
  }

  // KILLACTIVE to the current page unless `skipKill`; then the page is created if needed and
  // shown with SETACTIVE.
  bool Activate(size_t index, bool skipKill) {
    if (index >= pages.size()) return false;
    if (current >= 0 && !skipKill && static_cast<size_t>(current) != index) {
      LRESULT refused = Notify(static_cast<size_t>(current), PSN_KILLACTIVE, 0);
      Event("PSN_KILLACTIVE " + std::to_string(current) + " -> " + std::to_string(refused));
      if (refused != 0) return false;
    }
    if (pages[index]->window == nullptr && !Create(index)) return false;
    LRESULT r = Notify(index, PSN_SETACTIVE, 0);
    Event("PSN_SETACTIVE " + std::to_string(index) + " -> " + std::to_string(r));
    if (current >= 0 && static_cast<size_t>(current) != index &&
        pages[static_cast<size_t>(current)]->window != nullptr) {
      ShowWindow(pages[static_cast<size_t>(current)]->window, SW_HIDE);
    }
    if (pages[index]->window != nullptr) ShowWindow(pages[index]->window, SW_SHOW);
    current = static_cast<int>(index);
    PumpMessages();
    return true;
  }

  // PSN_KILLACTIVE, then PSN_APPLY to every created page; a page refusing stops the rest.
  bool ApplyAll(bool closing) {
    if (current >= 0) {
      LRESULT refused = Notify(static_cast<size_t>(current), PSN_KILLACTIVE, 0);
      Event("PSN_KILLACTIVE " + std::to_string(current) + " -> " + std::to_string(refused));
      if (refused != 0) return false;
    }
    for (size_t i = 0; i < pages.size(); ++i) {
      if (pages[i]->window == nullptr) continue;
      LRESULT r = Notify(i, PSN_APPLY, closing ? TRUE : FALSE);
      Event("PSN_APPLY " + std::to_string(i) + " -> " + std::to_string(r));
      if (r == PSNRET_INVALID) {
        if (static_cast<int>(i) != current) Activate(i, true);
        return false;
      }
      if (r == PSNRET_INVALID_NOCHANGEPAGE) return false;
    }
    for (auto& p : pages) p->changed = false;
    PumpMessages();
    return true;
  }

  bool Reset(LPARAM closeButton) {
    if (current >= 0) {
      LRESULT refused = Notify(static_cast<size_t>(current), PSN_QUERYCANCEL, 0);
      Event("PSN_QUERYCANCEL " + std::to_string(current) + " -> " + std::to_string(refused));
      if (refused != 0) return false;
    }
    for (size_t i = 0; i < pages.size(); ++i) {
      if (pages[i]->window == nullptr) continue;
      Notify(i, PSN_RESET, closeButton);
      Event("PSN_RESET " + std::to_string(i));
    }
    return true;
  }

  // The pages go first (their windows, then PSPCB_RELEASE for every page added), then the
  // entry point hears the result and is told to clean up, as the common UI does once the sheet
  // has closed.
  void Finish(bool ok) {
    for (auto& p : pages) {
      if (p->window != nullptr) DestroyWindow(p->window);
      p->window = nullptr;
    }
    for (size_t i = 0; i < pages.size(); ++i) {
      PROPSHEETPAGEW* p = pages[i]->psp();
      if ((p->dwFlags & PSP_USECALLBACK) != 0 && p->pfnCallback != nullptr) {
        p->pfnCallback(nullptr, PSPCB_RELEASE, p);
        Event("PSPCB_RELEASE " + std::to_string(i));
      }
    }
    if (resultSet) {
      SETRESULT_INFO sr{};
      sr.cbSize = sizeof sr;
      sr.hSetResult = this;
      sr.Result = result;
      LONG r = Call(PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&sr));
      Event("SET_RESULT " + std::to_string(result) + " -> " + std::to_string(r));
    }
    if (open || sheet != nullptr) {
      LONG r = Call(PROPSHEETUI_REASON_DESTROY, ok ? 1 : 0);
      Event("DESTROY -> " + std::to_string(r));
    }
    if (sheet != nullptr) DestroyWindow(sheet);
    sheet = nullptr;
    current = -1;
    open = false;
  }

  LRESULT SheetMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    auto pageOf = [this](WPARAM w) -> Page* {
      for (auto& p : pages) {
        if (p->window == reinterpret_cast<HWND>(w)) return p.get();
      }
      return nullptr;
    };
    switch (message) {
      case PSM_CHANGED:
        if (Page* p = pageOf(wParam)) p->changed = true;
        Event("PSM_CHANGED");
        return 0;
      case PSM_UNCHANGED:
        if (Page* p = pageOf(wParam)) p->changed = false;
        Event("PSM_UNCHANGED");
        return 0;
      case PSM_QUERYSIBLINGS:
        for (auto& p : pages) {
          if (p->window == nullptr) continue;
          if (LRESULT r = SendMessageW(p->window, PSM_QUERYSIBLINGS, wParam, lParam); r != 0) return r;
        }
        return 0;
      case PSM_CANCELTOCLOSE:
        Event("PSM_CANCELTOCLOSE");
        return 0;
      case PSM_GETCURRENTPAGEHWND:
        return current >= 0 ? reinterpret_cast<LRESULT>(pages[static_cast<size_t>(current)]->window) : 0;
      case PSM_SETCURSEL: {
        for (size_t i = 0; i < pages.size(); ++i) {
          if ((lParam != 0 && reinterpret_cast<LPARAM>(pages[i].get()) == lParam) ||
              (lParam == 0 && i == wParam)) {
            return Activate(i, false) ? 1 : 0;
          }
        }
        return 0;
      }
      default:
        return 0;
    }
  }
};

PropertySheet::PropertySheet(std::unique_ptr<Host> host) : host_(std::move(host)) {}

PropertySheet::~PropertySheet() {
  if (IsOpen()) Close();
  std::lock_guard g(WindowLock());
  if (host_->open) host_->Finish(false);  // the pages refused to close: the sheet goes anyway
}

std::unique_ptr<PropertySheet> PropertySheet::Open(PFNPROPSHEETUI entry, LPARAM lParamInit,
                                                   std::string& error) {
  std::lock_guard g(WindowLock());
  if (entry == nullptr) {
    error = "no sheet entry point";
    return nullptr;
  }
  auto host = std::make_unique<Host>();
  Host& h = *host;
  h.entry = entry;
  h.info.cbSize = sizeof(PROPSHEETUI_INFO);
  h.info.Version = PROPSHEETUI_INFO_VERSION;
  h.info.Flags = PSUIINFO_UNICODE;
  h.info.hComPropSheet = &h;
  h.info.pfnComPropSheet = &Host::ComPropSheet;
  h.info.lParamInit = lParamInit;
  LONG r = h.Call(PROPSHEETUI_REASON_INIT, lParamInit);
  h.Event("INIT -> " + std::to_string(r));
  if (r <= 0) {
    error = "the entry point refused to initialise (" + std::to_string(r) + ")";
    h.Finish(false);
    return nullptr;
  }
  PROPSHEETUI_INFO_HEADER header{};
  header.cbSize = sizeof header;
  r = h.Call(PROPSHEETUI_REASON_GET_INFO_HEADER, reinterpret_cast<LPARAM>(&header));
  h.Event("GET_INFO_HEADER -> " + std::to_string(r));
  h.sheet = NewSheetWindow([&h](UINT m, WPARAM w, LPARAM l) { return h.SheetMessage(m, w, l); });
  if (r <= 0) {
    error = "the entry point gave no sheet header (" + std::to_string(r) + ")";
    h.Finish(false);
    return nullptr;
  }
  h.headerFlags = header.Flags;
  if (header.pTitle != nullptr) h.title = header.pTitle;
  h.open = true;
  bool shown = false;
  for (size_t i = 0; i < h.pages.size() && !shown; ++i) shown = h.Activate(i, true);
  if (!shown) {
    error = h.pages.empty() ? "the entry point added no page" : "no page could be created";
    h.Finish(false);
    return nullptr;
  }
  return std::unique_ptr<PropertySheet>(new PropertySheet(std::move(host)));
}

size_t PropertySheet::PageCount() const {
  std::lock_guard g(WindowLock());
  return host_->pages.size();
}

std::u16string PropertySheet::PageTitle(size_t index) const {
  std::lock_guard g(WindowLock());
  return index < host_->pages.size() ? host_->pages[index]->title : std::u16string();
}

int PropertySheet::CurrentPage() const {
  std::lock_guard g(WindowLock());
  return host_->current;
}

HWND PropertySheet::Page() const {
  return PageWindow(static_cast<size_t>(CurrentPage()));
}

HWND PropertySheet::PageWindow(size_t index) const {
  std::lock_guard g(WindowLock());
  return index < host_->pages.size() ? host_->pages[index]->window : nullptr;
}

HWND PropertySheet::Window() const {
  return host_->sheet;
}
std::u16string PropertySheet::Title() const {
  return host_->title;
}
WORD PropertySheet::HeaderFlags() const {
  return host_->headerFlags;
}

bool PropertySheet::SwitchTo(size_t index) {
  std::lock_guard g(WindowLock());
  if (!host_->open || static_cast<int>(index) == host_->current) return host_->open;
  return host_->Activate(index, false);
}

bool PropertySheet::SwitchTo(std::u16string_view title) {
  std::lock_guard g(WindowLock());
  for (size_t i = 0; i < host_->pages.size(); ++i) {
    if (host_->pages[i]->title == title) return SwitchTo(i);
  }
  return false;
}

HWND PropertySheet::Find(int id) const {
  return FindControl(Page(), id);
}
HWND PropertySheet::FindByText(std::u16string_view text) const {
  return FindControlByText(Page(), text);
}

bool PropertySheet::ApplyEnabled() const {
  std::lock_guard g(WindowLock());
  if (!host_->open || (host_->headerFlags & PSUIHDRF_NOAPPLYNOW) != 0) return false;
  return std::any_of(host_->pages.begin(), host_->pages.end(), [](const auto& p) { return p->changed; });
}

bool PropertySheet::Apply() {
  std::lock_guard g(WindowLock());
  if (!ApplyEnabled()) return false;
  bool applied = host_->ApplyAll(false);
  // The current page had PSN_KILLACTIVE; it stays on screen, so it is active again.
  if (host_->current >= 0) {
    LRESULT r = host_->Notify(static_cast<size_t>(host_->current), PSN_SETACTIVE, 0);
    host_->Event("PSN_SETACTIVE " + std::to_string(host_->current) + " -> " + std::to_string(r));
  }
  PumpMessages();
  return applied;
}

bool PropertySheet::Ok() {
  std::lock_guard g(WindowLock());
  if (!host_->open || !host_->ApplyAll(true)) return false;
  host_->Finish(true);
  return true;
}

bool PropertySheet::Cancel() {
  std::lock_guard g(WindowLock());
  if (!host_->open || !host_->Reset(FALSE)) return false;
  host_->Finish(false);
  return true;
}

bool PropertySheet::Close() {
  std::lock_guard g(WindowLock());
  if (!host_->open || !host_->Reset(TRUE)) return false;
  host_->Finish(false);
  return true;
}

bool PropertySheet::IsOpen() const {
  std::lock_guard g(WindowLock());
  return host_->open;
}

LONG_PTR PropertySheet::Result() const {
  std::lock_guard g(WindowLock());
  return host_->resultSet ? host_->result : CPSUI_CANCEL;
}

std::string PropertySheet::Show() const {
  std::lock_guard g(WindowLock());
  std::string out = "Sheet \"" + platform::Utf16ToUtf8(host_->title) + "\"" +
                    (ApplyEnabled() ? " (Apply enabled)" : "") + "\n";
  for (size_t i = 0; i < host_->pages.size(); ++i) {
    const auto& p = *host_->pages[i];
    out += "Page " + std::to_string(i + 1) + " \"" + platform::Utf16ToUtf8(p.title) + "\"";
    out += static_cast<int>(i) == host_->current ? " (current)\n"
           : p.window == nullptr                 ? " (not shown yet)\n"
                                                 : "\n";
    if (p.window != nullptr) out += FormatControls(p.window);
  }
  return out;
}

const std::vector<std::string>& PropertySheet::Events() const {
  return host_->events;
}

void LimitSheetPages(int pages) {
  std::lock_guard g(WindowLock());
  PageLimit() = pages;
}

}  // namespace platform::ui
