// Headless colour and file choosers (answered from queues, as message boxes are), shell
// execution (recorded) and the common-controls initialisation.
#include <deque>
#include <mutex>

#include "platform/sheet_driver.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "win/debug.h"
#include "win/dialogs.h"

namespace {

struct State {
  std::mutex lock;
  std::deque<std::optional<COLORREF>> colors;
  std::deque<std::optional<std::u16string>> files;
  std::vector<platform::ui::ShellExecuteRecord> shell;
  DWORD lastError = 0;
};

State& S() {
  static State s;
  return s;
}

[[maybe_unused]] const bool kRegistered = [] {
  platform::hooks::OnReset([] {
    std::lock_guard g(S().lock);
    S().colors.clear();
    S().files.clear();
    S().shell.clear();
    S().lastError = 0;
  });
  return true;
}();

std::u16string Text(LPCWSTR s) {
  return s != nullptr ? std::u16string(s) : std::u16string();
}

}  // namespace

namespace platform::ui {

void QueueColorAnswers(std::vector<std::optional<COLORREF>> answers) {
  std::lock_guard g(S().lock);
  S().colors.assign(answers.begin(), answers.end());
}

void QueueOpenFileAnswers(std::vector<std::optional<std::u16string>> answers) {
  std::lock_guard g(S().lock);
  S().files.assign(answers.begin(), answers.end());
}

std::vector<ShellExecuteRecord> TakeShellExecutes() {
  std::lock_guard g(S().lock);
  std::vector<ShellExecuteRecord> out;
  out.swap(S().shell);
  return out;
}

}  // namespace platform::ui

extern "C" {

BOOL ChooseColorW(CHOOSECOLORW* choose) {
  std::lock_guard g(S().lock);
  S().lastError = 0;
  if (choose == nullptr || choose->lStructSize != sizeof(CHOOSECOLORW)) {
    S().lastError = 0x0001;  // CDERR_STRUCTSIZE
    return FALSE;
  }
  std::optional<COLORREF> answer;
  if (!S().colors.empty()) {
    answer = S().colors.front();
    S().colors.pop_front();
  }
  OutputDebugStringA(answer ? "ChooseColor: chosen" : "ChooseColor: cancelled");
  if (!answer) return FALSE;
  choose->rgbResult = *answer & 0x00FFFFFFu;
  return TRUE;
}

BOOL GetOpenFileNameW(OPENFILENAMEW* open) {
  std::lock_guard g(S().lock);
  S().lastError = 0;
  if (open == nullptr || open->lStructSize != sizeof(OPENFILENAMEW) || open->lpstrFile == nullptr) {
    S().lastError = 0x0001;  // CDERR_STRUCTSIZE
    return FALSE;
  }
  std::optional<std::u16string> answer;
  if (!S().files.empty()) {
    answer = S().files.front();
    S().files.pop_front();
  }
  std::string line =
      "GetOpenFileName: " + (answer ? platform::Utf16ToUtf8(*answer) : std::string("cancelled"));
  OutputDebugStringA(line.c_str());
  if (!answer) return FALSE;
  if (answer->size() + 1 > open->nMaxFile) {
    // The buffer's first two characters say how many it would need, as the real dialog does.
    if (open->nMaxFile >= 2) {
      auto need = static_cast<uint32_t>(answer->size() + 1);
      open->lpstrFile[0] = static_cast<WCHAR>(need & 0xFFFF);
      open->lpstrFile[1] = static_cast<WCHAR>(need >> 16);
    }
    S().lastError = FNERR_BUFFERTOOSMALL;
    return FALSE;
  }
  std::copy(answer->begin(), answer->end(), open->lpstrFile);
  open->lpstrFile[answer->size()] = 0;
  size_t slash = answer->find_last_of(u"/\\");
  size_t nameStart = slash == std::u16string::npos ? 0 : slash + 1;
  size_t dot = answer->find_last_of(u'.');
  open->nFileOffset = static_cast<WORD>(nameStart);
  open->nFileExtension =
      static_cast<WORD>(dot != std::u16string::npos && dot > nameStart ? dot + 1 : answer->size());
  if (open->lpstrFileTitle != nullptr && open->nMaxFileTitle > 0) {
    std::u16string title = answer->substr(nameStart).substr(0, open->nMaxFileTitle - 1);
    std::copy(title.begin(), title.end(), open->lpstrFileTitle);
    open->lpstrFileTitle[title.size()] = 0;
  }
  return TRUE;
}

DWORD CommDlgExtendedError() {
  std::lock_guard g(S().lock);
  return S().lastError;
}

HINSTANCE ShellExecuteW(HWND, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR, INT) {
  platform::ui::ShellExecuteRecord r{Text(operation), Text(file), Text(parameters)};
  std::string line = "ShellExecute: " + platform::Utf16ToUtf8(r.operation) + " " +
                     platform::Utf16ToUtf8(r.file) + " " + platform::Utf16ToUtf8(r.parameters);
  OutputDebugStringA(line.c_str());
  {
    std::lock_guard g(S().lock);
    S().shell.push_back(std::move(r));
  }
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(42));
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  return init != nullptr && init->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}

}  // extern "C"
