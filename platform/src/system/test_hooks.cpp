// Storage of the test hooks; one mutex keeps them consistent between threads.
#include "platform/test_hooks.h"

#include <mutex>

#include "hook_state.h"

namespace platform::hooks {
namespace {

struct State {
  std::optional<SYSTEMTIME> localTime;
  std::optional<std::string> computerName;
  std::optional<std::u16string> userName;
  std::optional<CountryOverride> country;
  std::optional<LANGID> systemLang;
  std::optional<std::string> tempFolder;
  std::optional<std::string> appDataFolder;
  std::optional<std::string> platformRoot;
  std::optional<std::string> executableName;
  bool captureTraces = false;
  std::vector<std::string> traces;
  std::vector<std::function<void()>> resets;
};

std::mutex& Lock() {
  static std::mutex m;
  return m;
}

State& S() {
  static State s;
  return s;
}

template <typename T>
T Read(T State::*member) {
  std::lock_guard g(Lock());
  return S().*member;
}

template <typename T, typename V>
void Write(T State::*member, V value) {
  std::lock_guard g(Lock());
  S().*member = std::move(value);
}

}  // namespace

void SetLocalTime(const SYSTEMTIME& time) { Write(&State::localTime, time); }
void SetComputerName(std::string name) { Write(&State::computerName, std::move(name)); }
void SetUserName(std::u16string name) { Write(&State::userName, std::move(name)); }
void SetCountryCode(std::optional<int> code) { Write(&State::country, CountryOverride{code}); }
void SetSystemLangId(LANGID lang) { Write(&State::systemLang, lang); }
void SetTempFolder(std::string folder) { Write(&State::tempFolder, std::move(folder)); }
void SetAppDataFolder(std::string folder) { Write(&State::appDataFolder, std::move(folder)); }
void SetPlatformRoot(std::string folder) { Write(&State::platformRoot, std::move(folder)); }
void SetExecutableName(std::string name) { Write(&State::executableName, std::move(name)); }

void CaptureTraces(bool on) {
  std::lock_guard g(Lock());
  S().captureTraces = on;
  if (!on) S().traces.clear();
}

std::vector<std::string> TakeTraces() {
  std::lock_guard g(Lock());
  std::vector<std::string> out;
  out.swap(S().traces);
  return out;
}

void OnReset(std::function<void()> reset) {
  std::lock_guard g(Lock());
  S().resets.push_back(std::move(reset));
}

void ResetAll() {
  std::vector<std::function<void()>> resets;
  {
    std::lock_guard g(Lock());
    State& s = S();
    s.localTime.reset();
    s.computerName.reset();
    s.userName.reset();
    s.country.reset();
    s.systemLang.reset();
    s.tempFolder.reset();
    s.appDataFolder.reset();
    s.platformRoot.reset();
    s.executableName.reset();
    s.captureTraces = false;
    s.traces.clear();
    resets = s.resets;
  }
  for (auto& r : resets) r();
}

std::optional<SYSTEMTIME> LocalTimeOverride() { return Read(&State::localTime); }
std::optional<std::string> ComputerNameOverride() { return Read(&State::computerName); }
std::optional<std::u16string> UserNameOverride() { return Read(&State::userName); }
std::optional<CountryOverride> CountryCodeOverride() { return Read(&State::country); }
std::optional<LANGID> SystemLangIdOverride() { return Read(&State::systemLang); }
std::optional<std::string> TempFolderOverride() { return Read(&State::tempFolder); }
std::optional<std::string> AppDataFolderOverride() { return Read(&State::appDataFolder); }
std::optional<std::string> PlatformRootOverride() { return Read(&State::platformRoot); }
std::optional<std::string> ExecutableNameOverride() { return Read(&State::executableName); }

bool TracesCaptured() { return Read(&State::captureTraces); }

void KeepTrace(std::string line) {
  std::lock_guard g(Lock());
  if (S().captureTraces) S().traces.push_back(std::move(line));
}

}  // namespace platform::hooks
