// Headless windows: dialogs built from module templates, their controls and what the dialog
// manager does with them (messages, notifications, focus, timers, posted messages, owner-drawn
// painting). Programmatic messages change state quietly; user actions (sheet_driver.h) notify
// the dialog as Windows does.
#include <algorithm>
#include <deque>
#include <map>
#include <memory>

#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "ui/windows_internal.h"
#include "win/debug.h"
#include "win/error.h"
#include "win/modules.h"
#include "win/wingdi.h"

namespace platform::ui {

namespace {

struct Posted {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

struct Timer {
  HWND window;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  uint64_t due;
};

struct State {
  std::recursive_mutex lock;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  uintptr_t nextHandle = 0x10000;
  std::deque<Posted> posted;
  std::vector<Timer> timers;
  uint64_t now = 0;
  UINT_PTR nextTimerId = 0x7F00;
  HWND focus = nullptr;
  std::deque<std::function<void(HWND)>> modalScripts;
  std::map<HDC, DWORD> layouts;
};

State& S() {
  static State s;
  return s;
}

[[maybe_unused]] const bool kRegistered = [] {
  platform::hooks::OnReset([] {
    std::lock_guard g(S().lock);
    S().windows.clear();
    S().posted.clear();
    S().timers.clear();
    S().now = 0;
    S().focus = nullptr;
    S().modalScripts.clear();
    S().layouts.clear();
  });
  return true;
}();

uintptr_t Key(HWND h) {
  return reinterpret_cast<uintptr_t>(h);
}

Window* Quiet(HWND h) {
  auto it = S().windows.find(Key(h));
  return it == S().windows.end() ? nullptr : it->second.get();
}

HWND NewWindow(std::unique_ptr<Window> w) {
  HWND h = reinterpret_cast<HWND>(S().nextHandle);
  S().nextHandle += 0x10;
  w->handle = h;
  S().windows[Key(h)] = std::move(w);
  return h;
}

std::u16string Text(LPCWSTR s) {
  return s != nullptr ? std::u16string(s) : std::u16string();
}

char16_t Lower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}
bool SameText(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}
bool LessText(const std::u16string& a, const std::u16string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return Lower(x) < Lower(y); });
}

bool IsCombo(const Window& w) {
  return w.kind == Kind::kControl && w.cls == ControlClass::kComboBox;
}
bool IsList(const Window& w) {
  return w.kind == Kind::kControl && w.cls == ControlClass::kListBox;
}
bool EditableCombo(const Window& w) {
  return IsCombo(w) && (w.style & 0x3) != CBS_DROPDOWNLIST;
}
DWORD ButtonType(const Window& w) {
  return w.style & BS_TYPEMASK;
}

bool OwnerDrawn(const Window& w) {
  if (w.kind != Kind::kControl) return false;
  switch (w.cls) {
    case ControlClass::kButton:
      return ButtonType(w) == BS_OWNERDRAW;
    case ControlClass::kStatic:
      return (w.style & SS_TYPEMASK) == SS_OWNERDRAW;
    case ControlClass::kComboBox:
      return (w.style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0;
    case ControlClass::kListBox:
      return (w.style & LBS_OWNERDRAWFIXED) != 0;
    default:
      return false;
  }
}

void Trace(const std::string& line) {
  OutputDebugStringA(("Dialogs: " + line).c_str());
}

}  // namespace

std::recursive_mutex& WindowLock() {
  return S().lock;
}

Window* Find(HWND handle) {
  Window* w = Quiet(handle);
  if (w == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

HWND NewSheetWindow(std::function<LRESULT(UINT, WPARAM, LPARAM)> proc) {
  auto w = std::make_unique<Window>();
  w->kind = Kind::kSheet;
  w->visible = true;
  w->sheetProc = std::move(proc);
  return NewWindow(std::move(w));
}

namespace {

LRESULT Send(HWND h, UINT message, WPARAM wParam, LPARAM lParam);

void Notify(const Window& control, WORD code) {
  Send(control.parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control.id), code),
       reinterpret_cast<LPARAM>(control.handle));
}

void FocusNotify(HWND h, bool gained) {
  Window* w = Quiet(h);
  if (w == nullptr || w->kind != Kind::kControl) return;
  if (w->cls == ControlClass::kEdit) Notify(*w, gained ? EN_SETFOCUS : EN_KILLFOCUS);
  if (w->cls == ControlClass::kComboBox) Notify(*w, gained ? CBN_SETFOCUS : CBN_KILLFOCUS);
  if (w->cls == ControlClass::kButton && (w->style & BS_NOTIFY) != 0)
    Notify(*w, gained ? BN_SETFOCUS : BN_KILLFOCUS);
}

HWND ChangeFocus(HWND h) {
  HWND previous = S().focus;
  if (previous == h) return previous;
  S().focus = h;
  if (previous != nullptr) FocusNotify(previous, false);
  if (h != nullptr && S().focus == h) FocusNotify(h, true);
  return previous;
}

// Edits and editable combo boxes: a text set by a message (not the user) still reports a change.
void SetEditText(Window& w, std::u16string text, bool notify) {
  HWND h = w.handle;
  w.text = std::move(text);
  w.selStart = w.selEnd = static_cast<DWORD>(w.text.size());
  if (!notify) return;
  if (w.cls == ControlClass::kEdit) {
    Notify(w, EN_UPDATE);
    if (Window* again = Quiet(h)) Notify(*again, EN_CHANGE);
  }
}

void Select(Window& w, int index) {
  w.selection = index;
  if (IsCombo(w)) w.text = index >= 0 ? w.items[static_cast<size_t>(index)].text : std::u16string();
  w.dirty = w.dirty || OwnerDrawn(w);
}

int Insert(Window& w, int index, std::u16string text) {
  bool sorted = IsCombo(w) ? (w.style & CBS_SORT) != 0 : (w.style & LBS_SORT) != 0;
  size_t at;
  if (index < 0) {
    at = w.items.size();
    if (sorted) {
      at = static_cast<size_t>(
          std::upper_bound(w.items.begin(), w.items.end(), text,
                           [](const std::u16string& t, const Item& i) { return LessText(t, i.text); }) -
          w.items.begin());
    }
  } else if (static_cast<size_t>(index) > w.items.size()) {
    return -1;
  } else {
    at = static_cast<size_t>(index);
  }
  w.items.insert(w.items.begin() + static_cast<std::ptrdiff_t>(at), Item{std::move(text), 0});
  if (w.selection >= static_cast<int>(at)) ++w.selection;
  w.dirty = w.dirty || OwnerDrawn(w);
  return static_cast<int>(at);
}

LRESULT FindItem(const Window& w, WPARAM start, LPARAM text, bool exact) {
  if (text == 0 || w.items.empty()) return -1;
  std::u16string_view wanted(reinterpret_cast<LPCWSTR>(text));
  size_t n = w.items.size();
  size_t first = static_cast<int>(start) < 0 || start >= n ? 0 : start + 1;
  for (size_t k = 0; k < n; ++k) {
    size_t i = (first + k) % n;
    std::u16string_view item = w.items[i].text;
    bool match = exact ? SameText(item, wanted)
                       : (item.size() >= wanted.size() && SameText(item.substr(0, wanted.size()), wanted));
    if (match) return static_cast<LRESULT>(i);
  }
  return -1;
}

LRESULT CopyText(const std::u16string& text, WPARAM max, LPARAM buffer) {
  if (buffer == 0 || max == 0) return 0;
  auto* out = reinterpret_cast<LPWSTR>(buffer);
  size_t n = std::min<size_t>(text.size(), max - 1);
  std::copy_n(text.data(), n, out);
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

// Combo and list boxes share their item messages; `combo` chooses the message set.
std::optional<LRESULT> ItemMessage(Window& w, UINT m, WPARAM wp, LPARAM lp) {
  bool combo = IsCombo(w);
  auto is = [&](UINT cb, UINT lb) { return m == (combo ? cb : lb); };
  auto valid = [&](WPARAM i) { return i < w.items.size(); };
  if (is(CB_ADDSTRING, LB_ADDSTRING)) return Insert(w, -1, Text(reinterpret_cast<LPCWSTR>(lp)));
  if (is(CB_INSERTSTRING, LB_INSERTSTRING))
    return Insert(w, static_cast<int>(wp), Text(reinterpret_cast<LPCWSTR>(lp)));
  if (is(CB_DELETESTRING, LB_DELETESTRING)) {
    if (!valid(wp)) return -1;
    w.items.erase(w.items.begin() + static_cast<std::ptrdiff_t>(wp));
    if (w.selection == static_cast<int>(wp))
      Select(w, -1);
    else if (w.selection > static_cast<int>(wp))
      --w.selection;
    w.dirty = w.dirty || OwnerDrawn(w);
    return static_cast<LRESULT>(w.items.size());
  }
  if (is(CB_RESETCONTENT, LB_RESETCONTENT)) {
    w.items.clear();
    Select(w, -1);
    return combo ? 1 : 0;
  }
  if (is(CB_GETCOUNT, LB_GETCOUNT)) return static_cast<LRESULT>(w.items.size());
  if (is(CB_GETCURSEL, LB_GETCURSEL)) return w.selection;
  if (is(CB_SETCURSEL, LB_SETCURSEL)) {
    if (!valid(wp)) {
      Select(w, -1);
      return -1;
    }
    Select(w, static_cast<int>(wp));
    return static_cast<LRESULT>(wp);
  }
  if (is(CB_FINDSTRINGEXACT, LB_FINDSTRINGEXACT)) return FindItem(w, wp, lp, true);
  if (is(CB_FINDSTRING, LB_FINDSTRING)) return FindItem(w, wp, lp, false);
  if (is(CB_SELECTSTRING, LB_SELECTSTRING)) {
    LRESULT i = FindItem(w, wp, lp, false);
    if (i >= 0) Select(w, static_cast<int>(i));
    return i;
  }
  if (is(CB_GETLBTEXT, LB_GETTEXT)) {
    if (!valid(wp) || lp == 0) return -1;
    const auto& t = w.items[wp].text;
    auto* out = reinterpret_cast<LPWSTR>(lp);
    std::copy(t.begin(), t.end(), out);
    out[t.size()] = 0;
    return static_cast<LRESULT>(t.size());
  }
  if (is(CB_GETLBTEXTLEN, LB_GETTEXTLEN))
    return valid(wp) ? static_cast<LRESULT>(w.items[wp].text.size()) : -1;
  if (is(CB_GETITEMDATA, LB_GETITEMDATA)) return valid(wp) ? w.items[wp].data : -1;
  if (is(CB_SETITEMDATA, LB_SETITEMDATA)) {
    if (!valid(wp)) return -1;
    w.items[wp].data = lp;
    return 1;
  }
  if (combo && m == CB_LIMITTEXT) {
    w.limit = wp == 0 ? 0x7FFFFFFE : wp;
    return 1;
  }
  return std::nullopt;
}

// The up-down control's position, read back from an integer buddy as Windows does.
int UpDownPosition(Window& w, bool* error) {
  if (error != nullptr) *error = false;
  if ((w.style & UDS_SETBUDDYINT) != 0) {
    if (Window* b = Quiet(w.buddy)) {
      std::string digits;
      for (char16_t c : b->text) {
        if (c != u',' && c != u' ') digits += static_cast<char>(c < 0x80 ? c : '?');
      }
      char* end = nullptr;
      long v = digits.empty() ? 0 : std::strtol(digits.c_str(), &end, 10);
      if (digits.empty() || *end != 0) {
        if (error != nullptr) *error = true;
      } else {
        w.pos = static_cast<int>(std::clamp<long>(v, std::min(w.low, w.high), std::max(w.low, w.high)));
      }
    }
  }
  return w.pos;
}

void SetUpDownPosition(Window& w, int pos, bool toBuddy) {
  w.pos = std::clamp(pos, std::min(w.low, w.high), std::max(w.low, w.high));
  if (toBuddy && (w.style & UDS_SETBUDDYINT) != 0) {
    if (Window* b = Quiet(w.buddy)) {
      std::string s = std::to_string(w.pos);
      SetEditText(*b, std::u16string(s.begin(), s.end()), b->cls == ControlClass::kEdit);
    }
  }
}

LRESULT ControlMessage(Window& w, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_SETTEXT: {
      std::u16string t = Text(reinterpret_cast<LPCWSTR>(lp));
      if (IsCombo(w) && !EditableCombo(w)) {
        for (size_t i = 0; i < w.items.size(); ++i) {
          if (SameText(w.items[i].text, t)) {
            Select(w, static_cast<int>(i));
            return 1;
          }
        }
        return CB_ERR;
      }
      if (w.cls == ControlClass::kEdit || IsCombo(w)) {
        SetEditText(w, std::move(t), true);
      } else {
        w.text = std::move(t);
        w.dirty = w.dirty || OwnerDrawn(w);
      }
      return 1;
    }
    case WM_GETTEXT:
      return CopyText(w.text, wp, lp);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w.text.size());
    default:
      break;
  }
  switch (w.cls) {
    case ControlClass::kButton:
      if (m == BM_GETCHECK) return w.check;
      if (m == BM_SETCHECK) {
        DWORD type = ButtonType(w);
        bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                         type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
        if (!checkable) return 0;
        UINT v = static_cast<UINT>(wp);
        if (v == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) v = BST_CHECKED;
        w.check = v > BST_INDETERMINATE ? BST_CHECKED : v;
        return 0;
      }
      if (m == BM_CLICK) {
        Click(w.handle);
        return 0;
      }
      break;
    case ControlClass::kEdit:
      if (m == EM_LIMITTEXT) {
        w.limit = wp == 0 ? 0x7FFFFFFE : wp;
        return 0;
      }
      if (m == EM_GETLIMITTEXT) return static_cast<LRESULT>(w.limit);
      if (m == EM_SETREADONLY) {
        w.style = wp != 0 ? (w.style | ES_READONLY) : (w.style & ~ES_READONLY);
        return 1;
      }
      if (m == EM_SETSEL) {
        auto size = static_cast<DWORD>(w.text.size());
        auto start = static_cast<int>(wp), end = static_cast<int>(lp);
        if (start < 0) {
          w.selStart = w.selEnd = std::min(w.selEnd, size);
          return 0;
        }
        DWORD s = std::min(static_cast<DWORD>(start), size);
        DWORD e = end < 0 ? size : std::min(static_cast<DWORD>(end), size);
        w.selStart = std::min(s, e);
        w.selEnd = std::max(s, e);
        return 0;
      }
      if (m == EM_GETSEL) {
        if (wp != 0) *reinterpret_cast<DWORD*>(wp) = w.selStart;
        if (lp != 0) *reinterpret_cast<DWORD*>(lp) = w.selEnd;
        return static_cast<LRESULT>(MAKELPARAM(static_cast<WORD>(w.selStart), static_cast<WORD>(w.selEnd)));
      }
      break;
    case ControlClass::kComboBox:
    case ControlClass::kListBox:
      if (auto r = ItemMessage(w, m, wp, lp)) return *r;
      break;
    case ControlClass::kUpDown:
      if (m == UDM_SETRANGE32) {
        w.low = static_cast<int>(wp);
        w.high = static_cast<int>(lp);
        w.pos = std::clamp(w.pos, std::min(w.low, w.high), std::max(w.low, w.high));
        return 0;
      }
      if (m == UDM_GETRANGE32) {
        if (wp != 0) *reinterpret_cast<int*>(wp) = w.low;
        if (lp != 0) *reinterpret_cast<int*>(lp) = w.high;
        return 0;
      }
      if (m == UDM_SETPOS32) {
        int previous = UpDownPosition(w, nullptr);
        SetUpDownPosition(w, static_cast<int>(lp), true);
        return previous;
      }
      if (m == UDM_GETPOS32) {
        bool error;
        int pos = UpDownPosition(w, &error);
        if (lp != 0) *reinterpret_cast<BOOL*>(lp) = error ? 1 : 0;
        return pos;
      }
      if (m == UDM_SETBUDDY) {
        HWND previous = w.buddy;
        w.buddy = reinterpret_cast<HWND>(wp);
        return reinterpret_cast<LRESULT>(previous);
      }
      if (m == UDM_GETBUDDY) return reinterpret_cast<LRESULT>(w.buddy);
      break;
    case ControlClass::kTrackBar:
      if (m == TBM_GETPOS) return w.pos;
      if (m == TBM_GETRANGEMIN) return w.low;
      if (m == TBM_GETRANGEMAX) return w.high;
      if (m == TBM_SETPOS) {
        w.pos = std::clamp(static_cast<int>(lp), w.low, std::max(w.low, w.high));
        return 0;
      }
      if (m == TBM_SETRANGEMIN || m == TBM_SETRANGEMAX) {
        (m == TBM_SETRANGEMIN ? w.low : w.high) = static_cast<int>(lp);
        w.pos = std::clamp(w.pos, w.low, std::max(w.low, w.high));
        return 0;
      }
      break;
    case ControlClass::kStatic:
      break;
  }
  return 0;
}

bool ReturnsProcValue(UINT m) {
  // The dialog manager returns these answers as the procedure gives them, not DWLP_MSGRESULT.
  return m == WM_INITDIALOG || (m >= 0x0132 && m <= 0x0138) || m == 0x0039 || m == 0x002E || m == 0x002F ||
         m == 0x0037;
}

LRESULT DialogMessage(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  Window* w = Quiet(h);
  DLGPROC proc = w->proc;
  INT_PTR r = proc != nullptr ? proc(h, m, wp, lp) : 0;
  w = Quiet(h);
  if (w == nullptr) return r;
  if (ReturnsProcValue(m)) return r;
  if (r != 0) return w->msgResult;
  switch (m) {
    case WM_SETTEXT:
      w->text = Text(reinterpret_cast<LPCWSTR>(lp));
      return 1;
    case WM_GETTEXT:
      return CopyText(w->text, wp, lp);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      Send(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return 0;
    default:
      return 0;
  }
}

LRESULT Send(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(h);
  if (w == nullptr) return 0;
  switch (w->kind) {
    case Kind::kDialog:
      return DialogMessage(h, message, wParam, lParam);
    case Kind::kSheet: {
      auto proc = w->sheetProc;
      return proc ? proc(message, wParam, lParam) : 0;
    }
    case Kind::kControl:
      return ControlMessage(*w, message, wParam, lParam);
  }
  return 0;
}

void Paint(HWND h) {
  Window* w = Quiet(h);
  if (w == nullptr) return;
  w->dirty = false;
  if (!OwnerDrawn(*w)) return;
  int width = w->width > 0 ? w->width : 100, height = w->height > 0 ? w->height : 20;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  if (bitmap == nullptr || dc == nullptr || bits == nullptr) {
    Trace("no memory DC to paint control " + std::to_string(w->id));
    if (dc != nullptr) DeleteDC(dc);
    if (bitmap != nullptr) DeleteObject(bitmap);
    return;
  }
  auto* pixels = static_cast<uint32_t*>(bits);
  std::fill_n(pixels, static_cast<size_t>(width) * static_cast<size_t>(height), 0x00FFFFFFu);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  if ((w->exStyle & WS_EX_LAYOUTRTL) != 0) S().layouts[dc] = LAYOUT_RTL;
  DRAWITEMSTRUCT dis{};
  dis.CtlID = static_cast<UINT>(w->id);
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = (w->enabled ? 0 : ODS_DISABLED) | (S().focus == h ? ODS_FOCUS : 0) |
                  (w->check == BST_CHECKED ? ODS_CHECKED : 0);
  dis.hwndItem = h;
  dis.hDC = dc;
  HWND parent = w->parent;
  int id = w->id;
  auto draw = [&](UINT type, UINT item, RECT rect, ULONG_PTR data, UINT extraState) {
    dis.CtlType = type;
    dis.itemID = item;
    dis.rcItem = rect;
    dis.itemData = data;
    DRAWITEMSTRUCT copy = dis;
    copy.itemState |= extraState;
    Send(parent, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&copy));
  };
  RECT all{0, 0, width, height};
  if (w->cls == ControlClass::kButton) {
    draw(ODT_BUTTON, 0, all, 0, 0);
  } else if (w->cls == ControlClass::kStatic) {
    draw(ODT_STATIC, 0, all, 0, 0);
  } else if (w->cls == ControlClass::kComboBox) {
    int sel = w->selection;
    ULONG_PTR data = sel >= 0 ? static_cast<ULONG_PTR>(w->items[static_cast<size_t>(sel)].data) : 0;
    draw(ODT_COMBOBOX, static_cast<UINT>(sel), all, data, sel >= 0 ? ODS_SELECTED : 0);
  } else {
    std::vector<Item> items = w->items;
    int sel = w->selection;
    LONG rowHeight = static_cast<LONG>(w->itemHeight);
    for (size_t i = 0; i < items.size() && static_cast<LONG>(i) * rowHeight < height; ++i) {
      RECT row{0, static_cast<LONG>(i) * rowHeight, width, static_cast<LONG>(i + 1) * rowHeight};
      draw(ODT_LISTBOX, static_cast<UINT>(i), row, static_cast<ULONG_PTR>(items[i].data),
           static_cast<int>(i) == sel ? ODS_SELECTED : 0);
    }
  }
  Picture picture{width, height, std::vector<uint32_t>(pixels, pixels + static_cast<size_t>(width) * height)};
  for (auto& p : picture.pixels) p &= 0x00FFFFFFu;
  SelectObject(dc, previous);
  S().layouts.erase(dc);
  DeleteDC(dc);
  DeleteObject(bitmap);
  if (Window* again = Quiet(h)) again->picture = std::move(picture);
}

void PaintDirty() {
  std::vector<HWND> dirty;
  for (auto& [key, w] : S().windows) {
    if (w->dirty) dirty.push_back(w->handle);
  }
  for (HWND h : dirty) Paint(h);
}

void Pump() {
  int delivered = 0;
  while (!S().posted.empty()) {
    Posted p = S().posted.front();
    S().posted.pop_front();
    if (Quiet(p.window) != nullptr) Send(p.window, p.message, p.wParam, p.lParam);
    if (++delivered > 100000) {
      Trace("posted messages keep coming; the rest are dropped");
      S().posted.clear();
    }
  }
  PaintDirty();
}

void Destroy(HWND h) {
  Window* w = Quiet(h);
  if (w == nullptr) return;
  std::vector<HWND> children = w->children;
  bool dialog = w->kind == Kind::kDialog;
  if (dialog) Send(h, WM_DESTROY, 0, 0);
  for (HWND c : children) Destroy(c);
  if (S().focus == h) S().focus = nullptr;
  std::erase_if(S().timers, [h](const Timer& t) { return t.window == h; });
  std::erase_if(S().posted, [h](const Posted& p) { return p.window == h; });
  if (Window* again = Quiet(h)) {
    if (Window* parent = Quiet(again->parent)) std::erase(parent->children, h);
  }
  S().windows.erase(Key(h));
}

// The dialog units of a template in pixels, for the usual 8-point dialog font.
int PixelsX(int units) {
  return units * 6 / 4;
}
int PixelsY(int units) {
  return units * 13 / 8;
}

bool InGroup(const Window& dialog, size_t a, size_t b) {
  // Radio groups run from a control with WS_GROUP to the next one with WS_GROUP.
  auto start = [&](size_t i) {
    while (i > 0 && (Quiet(dialog.children[i])->style & WS_GROUP) == 0) --i;
    return i;
  };
  return start(a) == start(b);
}

}  // namespace

HWND CreateDialogWindow(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param,
                        bool modal) {
  HRSRC found = FindResourceW(instance, templateName, RT_DIALOG);
  if (found == nullptr) return nullptr;
  const void* data = LockResource(LoadResource(instance, found));
  DWORD size = SizeofResource(instance, found);
  std::string error;
  auto parsed =
      data != nullptr ? ParseDialogTemplate({static_cast<const char*>(data), size}, error) : std::nullopt;
  if (!parsed) {
    Trace("dialog template does not parse: " + error);
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  auto moduleText = [instance](uint32_t id) {
    LPCWSTR text = nullptr;
    int n = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 && text != nullptr ? std::u16string(text, static_cast<size_t>(n)) : std::u16string();
  };
  auto dialog = std::make_unique<Window>();
  dialog->kind = Kind::kDialog;
  dialog->id = parsed->id;
  dialog->parent = parent;
  dialog->style = parsed->style;
  dialog->proc = proc;
  dialog->instance = instance;
  dialog->modal = modal;
  dialog->width = PixelsX(parsed->width);
  dialog->height = PixelsY(parsed->height);
  if (parsed->captionId != 0) dialog->text = moduleText(parsed->captionId);
  HWND h = NewWindow(std::move(dialog));
  HWND previousControl = nullptr;
  for (const auto& t : parsed->controls) {
    auto c = std::make_unique<Window>();
    c->kind = Kind::kControl;
    c->cls = t.cls;
    c->parent = h;
    c->id = t.id;
    c->style = t.style;
    c->enabled = (t.style & WS_DISABLED) == 0;
    c->visible = (t.style & WS_VISIBLE) != 0;
    c->text = t.text.fromModule ? moduleText(t.text.stringId) : t.text.literal;
    c->instance = instance;
    c->x = PixelsX(t.x);
    c->y = PixelsY(t.y);
    c->width = PixelsX(t.width);
    c->height = PixelsY(t.height);
    if (t.cls == ControlClass::kUpDown) {
      c->low = 0;
      c->high = 100;
      if ((t.style & UDS_AUTOBUDDY) != 0) c->buddy = previousControl;
    }
    if (t.cls == ControlClass::kComboBox && (t.style & 0x3) == CBS_DROPDOWNLIST) c->text.clear();
    bool ownerDrawn = OwnerDrawn(*c);
    HWND ch = NewWindow(std::move(c));
    Quiet(h)->children.push_back(ch);
    previousControl = ch;
    if (ownerDrawn) Quiet(ch)->dirty = true;
  }
  // Fixed-height owner-drawn lists are measured once, before the dialog initialises.
  for (HWND ch : std::vector<HWND>(Quiet(h)->children)) {
    Window* c = Quiet(ch);
    if (c == nullptr || !OwnerDrawn(*c) ||
        (c->cls != ControlClass::kListBox && c->cls != ControlClass::kComboBox)) {
      continue;
    }
    MEASUREITEMSTRUCT mis{};
    mis.CtlType = c->cls == ControlClass::kListBox ? ODT_LISTBOX : ODT_COMBOBOX;
    mis.CtlID = static_cast<UINT>(c->id);
    mis.itemWidth = static_cast<UINT>(c->width);
    mis.itemHeight = c->itemHeight;
    Send(h, WM_MEASUREITEM, static_cast<WPARAM>(c->id), reinterpret_cast<LPARAM>(&mis));
    if (Window* again = Quiet(ch)) again->itemHeight = mis.itemHeight > 0 ? mis.itemHeight : 1;
  }
  HWND firstTab = nullptr;
  for (HWND ch : Quiet(h)->children) {
    Window* c = Quiet(ch);
    if ((c->style & WS_TABSTOP) != 0 && c->enabled && c->visible) {
      firstTab = ch;
      break;
    }
  }
  LRESULT focusDefault = Send(h, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), param);
  Window* w = Quiet(h);
  if (w == nullptr) return nullptr;
  if (focusDefault != 0 && firstTab != nullptr && Quiet(firstTab) != nullptr) ChangeFocus(firstTab);
  if (modal || (parsed->style & WS_VISIBLE) != 0) {
    if (Window* again = Quiet(h)) again->visible = true;
  }
  return h;
}

bool Reachable(HWND h) {
  Window* w = Quiet(h);
  if (w == nullptr || !w->enabled || !w->visible) return false;
  if (w->kind == Kind::kControl) {
    Window* d = Quiet(w->parent);
    return d != nullptr && d->enabled && d->visible;
  }
  return true;
}

// ---- User actions ----

namespace {

Window* Usable(HWND h, ControlClass cls) {
  Window* w = Quiet(h);
  if (w == nullptr || w->kind != Kind::kControl || w->cls != cls || !Reachable(h)) return nullptr;
  return w;
}

// A click gives the control the focus, then acts on it.
bool ClickButton(HWND h) {
  Window* w = Usable(h, ControlClass::kButton);
  if (w == nullptr || ButtonType(*w) == BS_GROUPBOX) return false;
  ChangeFocus(h);
  w = Quiet(h);
  if (w == nullptr) return false;
  switch (ButtonType(*w)) {
    case BS_AUTOCHECKBOX:
      w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      break;
    case BS_AUTO3STATE:
      w->check = (w->check + 1) % 3;
      break;
    case BS_AUTORADIOBUTTON: {
      Window* d = Quiet(w->parent);
      auto& siblings = d->children;
      size_t self = static_cast<size_t>(std::find(siblings.begin(), siblings.end(), h) - siblings.begin());
      for (size_t i = 0; i < siblings.size(); ++i) {
        Window* s = Quiet(siblings[i]);
        if (i != self && s->cls == ControlClass::kButton && ButtonType(*s) == BS_AUTORADIOBUTTON &&
            InGroup(*d, i, self)) {
          s->check = BST_UNCHECKED;
        }
      }
      w->check = BST_CHECKED;
      break;
    }
    default:
      break;
  }
  w->dirty = w->dirty || OwnerDrawn(*w);
  Notify(*w, BN_CLICKED);
  return true;
}

bool TypeKeys(HWND h, std::u16string_view text) {
  Window* w = Quiet(h);
  if (w == nullptr || w->kind != Kind::kControl || !Reachable(h)) return false;
  bool edit = w->cls == ControlClass::kEdit;
  if (!edit && !EditableCombo(*w)) return false;
  if (edit && (w->style & ES_READONLY) != 0) return false;
  ChangeFocus(h);
  auto change = [h, edit] {
    Window* c = Quiet(h);
    if (c == nullptr) return;
    if (edit) {
      Notify(*c, EN_UPDATE);
      if (Window* again = Quiet(h)) Notify(*again, EN_CHANGE);
    } else {
      c->selection = -1;
      Notify(*c, CBN_EDITUPDATE);
      if (Window* again = Quiet(h)) Notify(*again, CBN_EDITCHANGE);
    }
  };
  // Select all, then each key replaces the selection or appends.
  bool replaceAll = true;
  if (text.empty()) {
    if (w->text.empty()) return true;
    w->text.clear();
    change();
    return true;
  }
  for (char16_t c : text) {
    w = Quiet(h);
    if (w == nullptr) return false;
    if (edit && (w->style & ES_NUMBER) != 0 && (c < u'0' || c > u'9')) continue;
    size_t kept = replaceAll ? 0 : w->text.size();
    if (kept + 1 > w->limit) {
      if (edit) Notify(*w, EN_MAXTEXT);
      continue;
    }
    if (replaceAll) w->text.clear();
    replaceAll = false;
    w->text += c;
    w->selStart = w->selEnd = static_cast<DWORD>(w->text.size());
    change();
  }
  return true;
}

bool ChooseItem(HWND h, int index) {
  Window* w = Quiet(h);
  if (w == nullptr || w->kind != Kind::kControl || !Reachable(h) || (!IsCombo(*w) && !IsList(*w)))
    return false;
  if (index < 0 || static_cast<size_t>(index) >= w->items.size()) return false;
  ChangeFocus(h);
  w = Quiet(h);
  if (w == nullptr) return false;
  bool changed = w->selection != index;
  if (IsCombo(*w)) {
    Notify(*w, CBN_DROPDOWN);
    if ((w = Quiet(h)) == nullptr) return false;
    Select(*w, index);
    Notify(*w, CBN_SELENDOK);
    if ((w = Quiet(h)) == nullptr) return false;
    Notify(*w, CBN_CLOSEUP);
    if ((w = Quiet(h)) == nullptr) return false;
    if (changed) Notify(*w, CBN_SELCHANGE);
  } else {
    Select(*w, index);
    if (changed && (w->style & LBS_NOTIFY) != 0) Notify(*w, LBN_SELCHANGE);
  }
  return true;
}

}  // namespace

bool Click(HWND control) {
  std::lock_guard g(S().lock);
  bool done = ClickButton(control);
  Pump();
  return done;
}

bool SetChecked(HWND control, bool checked) {
  std::lock_guard g(S().lock);
  Window* w = Usable(control, ControlClass::kButton);
  if (w == nullptr) return false;
  if ((w->check == BST_CHECKED) == checked) return true;
  DWORD type = ButtonType(*w);
  if (!checked && (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON))
    return false;  // a user checks another
  bool done = ClickButton(control);
  Pump();
  w = Quiet(control);
  return done && w != nullptr && (w->check == BST_CHECKED) == checked;
}

bool Choose(HWND control, std::u16string_view itemText) {
  std::lock_guard g(S().lock);
  Window* w = Quiet(control);
  if (w == nullptr) return false;
  for (size_t i = 0; i < w->items.size(); ++i) {
    if (SameText(w->items[i].text, itemText)) {
      bool done = ChooseItem(control, static_cast<int>(i));
      Pump();
      return done;
    }
  }
  return false;
}

bool ChooseIndex(HWND control, int index) {
  std::lock_guard g(S().lock);
  bool done = ChooseItem(control, index);
  Pump();
  return done;
}

bool DoubleClick(HWND control) {
  std::lock_guard g(S().lock);
  Window* w = Usable(control, ControlClass::kListBox);
  if (w == nullptr || w->selection < 0) return false;
  if ((w->style & LBS_NOTIFY) != 0) Notify(*w, LBN_DBLCLK);
  Pump();
  return true;
}

bool Type(HWND control, std::u16string_view text) {
  std::lock_guard g(S().lock);
  bool done = TypeKeys(control, text);
  Pump();
  return done;
}

bool Spin(HWND upDown, int steps) {
  std::lock_guard g(S().lock);
  Window* w = Usable(upDown, ControlClass::kUpDown);
  if (w == nullptr || steps == 0) return false;
  int pos = UpDownPosition(*w, nullptr);
  NMUPDOWN nm{};
  nm.hdr.hwndFrom = upDown;
  nm.hdr.idFrom = static_cast<UINT_PTR>(w->id);
  nm.hdr.code = UDN_DELTAPOS;
  nm.iPos = pos;
  nm.iDelta = steps;
  HWND parent = w->parent;
  bool horizontal = (w->style & UDS_HORZ) != 0;
  if (Send(parent, WM_NOTIFY, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&nm)) == 0) {
    if ((w = Quiet(upDown)) != nullptr) {
      SetUpDownPosition(*w, pos + nm.iDelta, true);
      Send(parent, horizontal ? WM_HSCROLL : WM_VSCROLL,
           MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(w->pos)), reinterpret_cast<LPARAM>(upDown));
      Send(parent, horizontal ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0),
           reinterpret_cast<LPARAM>(upDown));
    }
  }
  Pump();
  return true;
}

bool Slide(HWND trackBar, int position) {
  std::lock_guard g(S().lock);
  Window* w = Usable(trackBar, ControlClass::kTrackBar);
  if (w == nullptr) return false;
  ChangeFocus(trackBar);
  if ((w = Quiet(trackBar)) == nullptr) return false;
  w->pos = std::clamp(position, w->low, std::max(w->low, w->high));
  HWND parent = w->parent;
  Send(parent, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, static_cast<WORD>(w->pos)),
       reinterpret_cast<LPARAM>(trackBar));
  Send(parent, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(trackBar));
  Pump();
  return true;
}

bool ClickAt(HWND dialog, int x, int y) {
  std::lock_guard g(S().lock);
  Window* w = Quiet(dialog);
  if (w == nullptr || w->kind != Kind::kDialog || !Reachable(dialog)) return false;
  const LPARAM at = MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
  Send(dialog, WM_LBUTTONDOWN, MK_LBUTTON, at);
  if (Quiet(dialog) != nullptr) Send(dialog, WM_LBUTTONUP, 0, at);
  Pump();
  return true;
}

bool Help(HWND control) {
  std::lock_guard g(S().lock);
  Window* w = Quiet(control);
  if (w == nullptr || !Reachable(control)) return false;
  HELPINFO info{};
  info.cbSize = sizeof info;
  info.iContextType = HELPINFO_WINDOW;
  info.iCtrlId = w->kind == Kind::kControl ? w->id : 0;
  info.hItemHandle = control;
  HWND dialog = w->kind == Kind::kControl ? w->parent : control;
  Send(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  Pump();
  return true;
}

HWND FindControl(HWND dialog, int id) {
  std::lock_guard g(S().lock);
  Window* d = Quiet(dialog);
  if (d == nullptr) return nullptr;
  for (HWND c : d->children) {
    if (Quiet(c)->id == id) return c;
  }
  return nullptr;
}

HWND FindControlByText(HWND dialog, std::u16string_view text) {
  std::lock_guard g(S().lock);
  Window* d = Quiet(dialog);
  if (d == nullptr) return nullptr;
  for (HWND c : d->children) {
    std::u16string shown;
    for (char16_t ch : Quiet(c)->text) {
      if (ch != u'&') shown += ch;
    }
    if (shown == text) return c;
  }
  return nullptr;
}

std::vector<ControlInfo> DescribeControls(HWND dialog) {
  std::lock_guard g(S().lock);
  std::vector<ControlInfo> out;
  Window* d = Quiet(dialog);
  if (d == nullptr) return out;
  for (HWND ch : d->children) {
    const Window& c = *Quiet(ch);
    ControlInfo i;
    i.window = ch;
    i.id = c.id;
    i.className = std::u16string(ClassName(c.cls));
    i.style = c.style;
    i.text = c.text;
    i.enabled = c.enabled;
    i.visible = c.visible;
    i.check = c.check;
    for (const auto& item : c.items) i.items.push_back(item.text);
    i.selection = c.selection;
    i.position = c.pos;
    i.low = c.low;
    i.high = c.high;
    switch (c.cls) {
      case ControlClass::kButton: {
        DWORD t = ButtonType(c);
        i.kind = t == BS_GROUPBOX                                                                   ? "group"
                 : t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON                                   ? "radio"
                 : t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE ? "check"
                 : t == BS_OWNERDRAW ? "owner-drawn"
                                     : "push";
        break;
      }
      case ControlClass::kEdit:
        i.kind = "edit";
        break;
      case ControlClass::kComboBox:
        i.kind = "combo";
        break;
      case ControlClass::kListBox:
        i.kind = "list";
        break;
      case ControlClass::kStatic:
        i.kind = OwnerDrawn(c) ? "owner-drawn" : "static";
        break;
      case ControlClass::kUpDown: {
        Window* self = Quiet(ch);
        i.position = UpDownPosition(*self, nullptr);
        i.kind = "updown";
        break;
      }
      case ControlClass::kTrackBar:
        i.kind = "trackbar";
        break;
    }
    out.push_back(std::move(i));
  }
  return out;
}

std::string FormatControls(HWND dialog) {
  std::string out;
  for (const auto& c : DescribeControls(dialog)) {
    out += "  " + std::to_string(c.id) + " " + c.kind;
    if (!c.text.empty()) out += " \"" + platform::Utf16ToUtf8(c.text) + "\"";
    if (c.kind == "check" || c.kind == "radio")
      out += c.check == BST_CHECKED ? " [x]" : c.check == BST_INDETERMINATE ? " [-]" : " [ ]";
    if (c.kind == "combo" || c.kind == "list") {
      out += " {";
      for (size_t k = 0; k < c.items.size(); ++k) {
        out += (k > 0 ? " | " : "") + std::string(static_cast<int>(k) == c.selection ? "*" : "") +
               platform::Utf16ToUtf8(c.items[k]);
      }
      out += "}";
    }
    if (c.kind == "updown" || c.kind == "trackbar") {
      out +=
          " " + std::to_string(c.position) + " in " + std::to_string(c.low) + ".." + std::to_string(c.high);
    }
    if (!c.enabled) out += " disabled";
    if (!c.visible) out += " hidden";
    out += "\n";
  }
  return out;
}

std::optional<Picture> LastPicture(HWND control) {
  std::lock_guard g(S().lock);
  Window* w = Quiet(control);
  if (w == nullptr) return std::nullopt;
  return w->picture;
}

void PumpMessages() {
  std::lock_guard g(S().lock);
  Pump();
}

void AdvanceTime(uint32_t milliseconds) {
  std::lock_guard g(S().lock);
  uint64_t target = S().now + milliseconds;
  for (int fired = 0; fired < 100000; ++fired) {
    auto next = std::min_element(S().timers.begin(), S().timers.end(),
                                 [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (next == S().timers.end() || next->due > target) break;
    Timer t = *next;
    S().now = t.due;
    next->due = t.due + std::max<UINT>(t.elapse, 1);
    if (t.proc != nullptr) {
      t.proc(t.window, WM_TIMER, t.id, static_cast<DWORD>(S().now));
    } else if (Quiet(t.window) != nullptr) {
      Send(t.window, WM_TIMER, t.id, 0);
    }
    Pump();
  }
  S().now = target;
}

void QueueModalScript(std::function<void(HWND)> script) {
  std::lock_guard g(S().lock);
  S().modalScripts.push_back(std::move(script));
}

}  // namespace platform::ui

using platform::ui::Find;
using platform::ui::Kind;
using platform::ui::S;
using platform::ui::Window;

extern "C" {

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  std::lock_guard g(S().lock);
  HWND h = platform::ui::CreateDialogWindow(instance, templateName, parent, proc, param, false);
  if (h != nullptr) platform::ui::PaintDirty();
  return h;
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  std::lock_guard g(S().lock);
  Window* owner = platform::ui::Quiet(parent);
  bool ownerWasEnabled = owner != nullptr && owner->enabled;
  if (owner != nullptr) owner->enabled = false;
  HWND h = platform::ui::CreateDialogWindow(instance, templateName, parent, proc, param, true);
  auto restoreOwner = [&] {
    if (Window* o = platform::ui::Quiet(parent); o != nullptr && ownerWasEnabled) o->enabled = true;
  };
  if (h == nullptr) {
    restoreOwner();
    return -1;
  }
  platform::ui::Pump();
  Window* w = platform::ui::Quiet(h);
  if (w != nullptr && !w->ended) {
    std::function<void(HWND)> script;
    if (!S().modalScripts.empty()) {
      script = std::move(S().modalScripts.front());
      S().modalScripts.pop_front();
    }
    if (script) script(h);
    platform::ui::Pump();
    w = platform::ui::Quiet(h);
    if (w != nullptr && !w->ended) {
      platform::ui::Trace("modal dialog " + std::to_string(w->id) + " left open; pressing Cancel");
      platform::ui::Send(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      platform::ui::Pump();
      w = platform::ui::Quiet(h);
      if (w != nullptr && !w->ended) {
        w->ended = true;
        w->endResult = IDCANCEL;
      }
    }
  }
  w = platform::ui::Quiet(h);
  INT_PTR result = w != nullptr ? w->endResult : IDCANCEL;
  platform::ui::Destroy(h);
  restoreOwner();
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  std::lock_guard g(S().lock);
  Window* w = Find(dialog);
  if (w == nullptr || w->kind != Kind::kDialog) return FALSE;
  w->ended = true;
  w->endResult = result;
  w->visible = false;
  return TRUE;
}

BOOL DestroyWindow(HWND window) {
  std::lock_guard g(S().lock);
  if (Find(window) == nullptr) return FALSE;
  platform::ui::Destroy(window);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  std::lock_guard g(S().lock);
  return platform::ui::Quiet(window) != nullptr ? TRUE : FALSE;
}

HWND GetDlgItem(HWND dialog, int id) {
  std::lock_guard g(S().lock);
  Window* d = Find(dialog);
  if (d == nullptr) return nullptr;
  for (HWND c : d->children) {
    if (platform::ui::Quiet(c)->id == id) return c;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetDlgCtrlID(HWND control) {
  std::lock_guard g(S().lock);
  Window* w = Find(control);
  return w != nullptr && w->kind == Kind::kControl ? w->id : 0;
}

HWND GetParent(HWND window) {
  if (platform::ui::IsApplicationWindow(window)) return nullptr;
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w != nullptr ? w->parent : nullptr;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard g(S().lock);
  return platform::ui::Send(window, message, wParam, lParam);
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard g(S().lock);
  HWND c = GetDlgItem(dialog, id);
  return c != nullptr ? platform::ui::Send(c, message, wParam, lParam) : 0;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard g(S().lock);
  if (Find(window) == nullptr) return FALSE;
  S().posted.push_back({window, message, wParam, lParam});
  return TRUE;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  std::lock_guard g(S().lock);
  HWND c = GetDlgItem(dialog, id);
  if (c == nullptr) return FALSE;
  platform::ui::Send(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text != nullptr ? text : u""));
  return TRUE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int max) {
  std::lock_guard g(S().lock);
  if (text != nullptr && max > 0) text[0] = 0;
  HWND c = GetDlgItem(dialog, id);
  if (c == nullptr || text == nullptr || max <= 0) return 0;
  return static_cast<UINT>(
      platform::ui::Send(c, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(text)));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  std::string s = isSigned ? std::to_string(static_cast<int32_t>(value)) : std::to_string(value);
  std::u16string text(s.begin(), s.end());
  return SetDlgItemTextW(dialog, id, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated != nullptr) *translated = FALSE;
  WCHAR buffer[64];
  std::lock_guard g(S().lock);
  HWND c = GetDlgItem(dialog, id);
  if (c == nullptr) return 0;
  std::u16string text;
  LRESULT n = platform::ui::Send(c, WM_GETTEXTLENGTH, 0, 0);
  if (n >= static_cast<LRESULT>(std::size(buffer))) return 0;
  platform::ui::Send(c, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer));
  text = buffer;
  size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && text[i] == u'-' && isSigned) {
    negative = true;
    ++i;
  } else if (i < text.size() && text[i] == u'+') {
    ++i;
  }
  uint64_t v = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i, ++digits) {
    v = v * 10 + static_cast<uint64_t>(text[i] - u'0');
    if (v > 0xFFFFFFFFull) return 0;
  }
  while (i < text.size() && text[i] == u' ') ++i;
  if (digits == 0 || i != text.size()) return 0;
  if (isSigned) {
    if (v > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return 0;
    if (translated != nullptr) *translated = TRUE;
    return static_cast<UINT>(negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v));
  }
  if (translated != nullptr) *translated = TRUE;
  return static_cast<UINT>(v);
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  std::lock_guard g(S().lock);
  if (Find(window) == nullptr) return FALSE;
  platform::ui::Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text != nullptr ? text : u""));
  return TRUE;
}

int GetWindowTextW(HWND window, LPWSTR text, int max) {
  std::lock_guard g(S().lock);
  if (text != nullptr && max > 0) text[0] = 0;
  if (Find(window) == nullptr || text == nullptr || max <= 0) return 0;
  return static_cast<int>(
      platform::ui::Send(window, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND window) {
  std::lock_guard g(S().lock);
  if (Find(window) == nullptr) return 0;
  return static_cast<int>(platform::ui::Send(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  std::lock_guard g(S().lock);
  HWND c = GetDlgItem(dialog, id);
  if (c == nullptr) return FALSE;
  platform::ui::Send(c, BM_SETCHECK, check, 0);
  return TRUE;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  std::lock_guard g(S().lock);
  Window* d = Find(dialog);
  if (d == nullptr) return FALSE;
  for (HWND c : std::vector<HWND>(d->children)) {
    Window* w = platform::ui::Quiet(c);
    if (w != nullptr && w->id >= first && w->id <= last) {
      platform::ui::Send(c, BM_SETCHECK, w->id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  std::lock_guard g(S().lock);
  HWND c = GetDlgItem(dialog, id);
  return c != nullptr ? static_cast<UINT>(platform::ui::Send(c, BM_GETCHECK, 0, 0)) : 0;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  bool wasDisabled = !w->enabled;
  w->enabled = enable != FALSE;
  w->style = w->enabled ? (w->style & ~WS_DISABLED) : (w->style | WS_DISABLED);
  w->dirty = w->dirty || (wasDisabled == w->enabled && platform::ui::OwnerDrawn(*w));
  if (!w->enabled && S().focus == window) S().focus = nullptr;
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  return w != nullptr && w->enabled ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  bool wasVisible = w->visible;
  w->visible = command != SW_HIDE;
  w->style = w->visible ? (w->style | WS_VISIBLE) : (w->style & ~WS_VISIBLE);
  return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr || !w->visible) return FALSE;
  Window* parent = platform::ui::Quiet(w->parent);
  return parent == nullptr || parent->visible ? TRUE : FALSE;
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr) return 0;
  LONG_PTR* slot = nullptr;
  LONG_PTR style = w->style, exStyle = w->exStyle;
  bool dialog = w->kind == Kind::kDialog;
  switch (index) {
    case DWLP_MSGRESULT:
      slot = dialog ? &w->msgResult : nullptr;
      break;
    case DWLP_USER:
      slot = dialog ? &w->dlgUser : nullptr;
      break;
    case GWLP_USERDATA:
      slot = &w->userData;
      break;
    case GWL_STYLE:
      slot = &style;
      break;
    case GWL_EXSTYLE:
      slot = &exStyle;
      break;
    case DWLP_DLGPROC:
      if (dialog) {
        auto previous = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<DLGPROC>(value);
        return previous;
      }
      break;
    default:
      break;
  }
  if (slot == nullptr) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR previous = *slot;
  *slot = value;
  w->style = static_cast<DWORD>(style);
  w->exStyle = static_cast<DWORD>(exStyle);
  return previous;
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr) return 0;
  bool dialog = w->kind == Kind::kDialog;
  switch (index) {
    case DWLP_MSGRESULT:
      if (dialog) return w->msgResult;
      break;
    case DWLP_USER:
      if (dialog) return w->dlgUser;
      break;
    case DWLP_DLGPROC:
      if (dialog) return reinterpret_cast<LONG_PTR>(w->proc);
      break;
    case GWLP_USERDATA:
      return w->userData;
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_ID:
      return w->id;
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(w->parent);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    default:
      break;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  std::lock_guard g(S().lock);
  if (window != nullptr && Find(window) == nullptr) return 0;
  if (window == nullptr) {
    if (proc == nullptr) return 0;
    id = ++S().nextTimerId;
  }
  elapse = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);
  std::erase_if(S().timers, [&](const platform::ui::Timer& t) { return t.window == window && t.id == id; });
  S().timers.push_back({window, id, elapse, proc, S().now + elapse});
  return window == nullptr ? id : (id != 0 ? id : 1);
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  std::lock_guard g(S().lock);
  auto removed = std::erase_if(
      S().timers, [&](const platform::ui::Timer& t) { return t.window == window && t.id == id; });
  return removed > 0 ? TRUE : FALSE;
}

HWND SetFocus(HWND window) {
  std::lock_guard g(S().lock);
  if (window != nullptr && Find(window) == nullptr) return nullptr;
  return platform::ui::ChangeFocus(window);
}

HWND GetFocus() {
  std::lock_guard g(S().lock);
  return S().focus;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  w->dirty = true;
  for (HWND c : w->children) platform::ui::Quiet(c)->dirty = true;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  std::vector<HWND> all = w->children;
  all.push_back(window);
  for (HWND h : all) {
    Window* x = platform::ui::Quiet(h);
    if (x != nullptr && x->dirty) platform::ui::Paint(h);
  }
  return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  // The dialog's corner stands for the screen's origin.
  LONG x = 0, y = 0;
  for (Window* c = w; c != nullptr && c->kind == Kind::kControl; c = platform::ui::Quiet(c->parent)) {
    x += c->x;
    y += c->y;
  }
  *rect = RECT{x, y, x + w->width, y + w->height};
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  std::lock_guard g(S().lock);
  Window* w = Find(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  bool drawn = platform::ui::OwnerDrawn(*w);
  *rect = RECT{0, 0, w->width > 0 || !drawn ? w->width : 100, w->height > 0 || !drawn ? w->height : 20};
  return TRUE;
}

DWORD SetLayout(HDC hdc, DWORD layout) {
  std::lock_guard g(S().lock);
  if (hdc == nullptr) return GDI_ERROR_LAYOUT;
  DWORD previous = S().layouts.count(hdc) != 0 ? S().layouts[hdc] : 0;
  S().layouts[hdc] = layout;
  return previous;
}

DWORD GetLayout(HDC hdc) {
  std::lock_guard g(S().lock);
  if (hdc == nullptr) return GDI_ERROR_LAYOUT;
  return S().layouts.count(hdc) != 0 ? S().layouts[hdc] : 0;
}

}  // extern "C"
