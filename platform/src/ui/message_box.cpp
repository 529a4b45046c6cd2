// Headless message boxes and help: each call is recorded and answered without a screen.
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/test_hooks.h"
#include "platform/ui_hooks.h"
#include "platform/utf16.h"
#include "win/debug.h"
#include "win/dialogs.h"

namespace {

struct State {
  std::mutex lock;
  std::vector<int> answers;
  size_t next = 0;
  bool envRead = false;
  std::vector<platform::hooks::MessageBoxRecord> boxes;
  std::vector<platform::hooks::HelpRecord> help;
};

State& S() {
  static State s;
  return s;
}

[[maybe_unused]] const bool kRegistered = [] {
  platform::hooks::OnReset([] {
    std::lock_guard g(S().lock);
    S().answers.clear();
    S().next = 0;
    S().envRead = true;  // tests choose their answers; the environment is for scripts
    S().boxes.clear();
    S().help.clear();
  });
  return true;
}();

// Caller holds the lock. "yes,no,ok,cancel" in $RT7700_MESSAGEBOX_ANSWERS.
void ReadEnvironment(State& s) {
  if (s.envRead) return;
  s.envRead = true;
  const char* v = std::getenv("RT7700_MESSAGEBOX_ANSWERS");
  if (v == nullptr) return;
  std::string all = v;
  size_t start = 0;
  while (start <= all.size()) {
    size_t comma = all.find(',', start);
    std::string word = all.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (word == "yes") s.answers.push_back(IDYES);
    if (word == "no") s.answers.push_back(IDNO);
    if (word == "ok") s.answers.push_back(IDOK);
    if (word == "cancel") s.answers.push_back(IDCANCEL);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

int DefaultAnswer(UINT type) {
  UINT buttons = type & 0xF;
  return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

std::u16string Text(LPCWSTR s) { return s != nullptr ? std::u16string(s) : std::u16string(); }

}  // namespace

namespace platform::hooks {

void QueueMessageBoxAnswers(std::vector<int> answers) {
  std::lock_guard g(S().lock);
  S().envRead = true;
  S().answers = std::move(answers);
  S().next = 0;
}

std::vector<MessageBoxRecord> TakeMessageBoxes() {
  std::lock_guard g(S().lock);
  std::vector<MessageBoxRecord> out;
  out.swap(S().boxes);
  return out;
}

std::vector<HelpRecord> TakeHelpCalls() {
  std::lock_guard g(S().lock);
  std::vector<HelpRecord> out;
  out.swap(S().help);
  return out;
}

}  // namespace platform::hooks

extern "C" int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  int answer;
  {
    std::lock_guard g(S().lock);
    State& s = S();
    ReadEnvironment(s);
    answer = s.next < s.answers.size() ? s.answers[s.next++] : DefaultAnswer(type);
    s.boxes.push_back({Text(text), Text(caption), type, answer});
  }
  std::string line = "MessageBox: " + platform::Utf16ToUtf8(Text(caption)) + ": " + platform::Utf16ToUtf8(Text(text));
  OutputDebugStringA(line.c_str());
  return answer;
}

extern "C" HWND HtmlHelpW(HWND, LPCWSTR file, UINT command, DWORD_PTR data) {
  std::u16string name = Text(file);
  {
    std::lock_guard g(S().lock);
    S().help.push_back({name, command, data});
  }
  std::string path = platform::Utf16ToUtf8(name);
  std::string line = "HtmlHelp: " + path + " command " + std::to_string(command) + " context " + std::to_string(data);
  OutputDebugStringA(line.c_str());
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
  static int helpWindow;
  return reinterpret_cast<HWND>(&helpWindow);
}
