// The process token: its groups are Everyone, the users and, for root or a member of the
// "lpadmin" group (who may change printers on this system), the administrators.
#include <grp.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <mutex>
#include <vector>

#include "file_handles.h"
#include "platform/device_hooks.h"
#include "platform/test_hooks.h"
#include "win/error.h"
#include "win/security.h"

namespace {

using platform::files::FileObject;

struct AdminState {
  std::mutex lock;
  std::optional<bool> administrator;
};

AdminState& S() {
  static AdminState s;
  return s;
}

[[maybe_unused]] const bool kRegistered = [] {
  platform::hooks::OnReset([] {
    std::lock_guard g(S().lock);
    S().administrator.reset();
  });
  return true;
}();

// The published SID layout: revision, count, authority, then the sub-authorities.
struct Sid {
  BYTE revision = 1;
  BYTE count = 0;
  SID_IDENTIFIER_AUTHORITY authority = {};
  DWORD sub[8] = {};
};

size_t SidLength(const Sid& sid) { return 8 + 4u * sid.count; }

Sid MakeSid(SID_IDENTIFIER_AUTHORITY authority, std::initializer_list<DWORD> subs) {
  Sid s;
  s.authority = authority;
  for (DWORD v : subs) s.sub[s.count++] = v;
  return s;
}

bool IsAdministrator() {
  {
    std::lock_guard g(S().lock);
    if (S().administrator) return *S().administrator;
  }
  if (::geteuid() == 0) return true;
  const group* admins = ::getgrnam("lpadmin");
  if (admins == nullptr) return false;
  if (::getegid() == admins->gr_gid) return true;
  int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  count = ::getgroups(count, groups.data());
  for (int i = 0; i < count; ++i)
    if (groups[static_cast<size_t>(i)] == admins->gr_gid) return true;
  return false;
}

std::vector<Sid> TokenSids(bool administrator) {
  std::vector<Sid> sids{MakeSid({{0, 0, 0, 0, 0, 1}}, {0}),
                        MakeSid(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS})};
  if (administrator)
    sids.push_back(MakeSid(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}));
  return sids;
}

// A token handle: which groups it held when it was opened.
struct Token : platform::files::HandleExtension {
  bool administrator = false;
  std::optional<BOOL> Read(void*, DWORD, DWORD*) override {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::optional<BOOL> Write(const void*, DWORD, DWORD*) override {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
};

Token* FindToken(HANDLE handle) {
  FileObject* f = platform::files::Find(handle);
  return f != nullptr ? dynamic_cast<Token*>(f->extension.get()) : nullptr;
}

bool ValidSid(PSID sid) {
  if (sid == nullptr) return false;
  const auto* s = static_cast<const BYTE*>(sid);
  return s[0] == 1 && s[1] <= 8;
}

bool SameSid(const void* a, const void* b) {
  const auto* x = static_cast<const BYTE*>(a);
  const auto* y = static_cast<const BYTE*>(b);
  return x[1] == y[1] && std::memcmp(x, y, 8 + 4u * x[1]) == 0;
}

}  // namespace

extern "C" HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

extern "C" BOOL OpenProcessToken(HANDLE process, DWORD, HANDLE* token) {
  if (token == nullptr || process != GetCurrentProcess()) {
    SetLastError(token == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto t = std::make_unique<Token>();
  t->administrator = IsAdministrator();
  *token = platform::files::Register(new FileObject{-1, false, -1, {}, std::move(t)});
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

extern "C" BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS what, LPVOID info, DWORD size,
                                    LPDWORD returned) {
  Token* t = FindToken(token);
  if (t == nullptr || returned == nullptr) {
    SetLastError(t == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (what != TokenGroups) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The record with its array, then the SIDs it points to.
  std::vector<Sid> sids = TokenSids(t->administrator);
  size_t head = offsetof(TOKEN_GROUPS, Groups) + sids.size() * sizeof(SID_AND_ATTRIBUTES);
  size_t total = head;
  for (const Sid& s : sids) total += SidLength(s);
  *returned = static_cast<DWORD>(total);
  if (info == nullptr || size < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* bytes = static_cast<BYTE*>(info);
  auto* groups = static_cast<TOKEN_GROUPS*>(info);
  groups->GroupCount = static_cast<DWORD>(sids.size());
  SID_AND_ATTRIBUTES* entries = groups->Groups;
  size_t at = head;
  for (size_t i = 0; i < sids.size(); ++i) {
    std::memcpy(bytes + at, &sids[i], SidLength(sids[i]));
    entries[i].Sid = bytes + at;
    entries[i].Attributes = SE_GROUP_ENABLED;
    at += SidLength(sids[i]);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

extern "C" BOOL CheckTokenMembership(HANDLE token, PSID sid, BOOL* isMember) {
  if (isMember == nullptr || !ValidSid(sid)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool administrator;
  if (token == nullptr) {
    administrator = IsAdministrator();
  } else {
    Token* t = FindToken(token);
    if (t == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    administrator = t->administrator;
  }
  *isMember = FALSE;
  for (const Sid& s : TokenSids(administrator))
    if (SameSid(&s, sid)) *isMember = TRUE;
  return TRUE;
}

extern "C" BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count, DWORD a0, DWORD a1,
                                         DWORD a2, DWORD a3, DWORD a4, DWORD a5, DWORD a6, DWORD a7, PSID* sid) {
  if (authority == nullptr || sid == nullptr || count == 0 || count > 8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto* s = new Sid();
  s->authority = *authority;
  s->count = count;
  const DWORD values[8] = {a0, a1, a2, a3, a4, a5, a6, a7};
  std::memcpy(s->sub, values, sizeof values);
  *sid = s;
  return TRUE;
}

extern "C" PSID FreeSid(PSID sid) {
  delete static_cast<Sid*>(sid);
  return nullptr;
}

extern "C" BOOL EqualSid(PSID a, PSID b) {
  if (!ValidSid(a) || !ValidSid(b)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return SameSid(a, b) ? TRUE : FALSE;
}

namespace platform::hooks {

void SetAdministrator(std::optional<bool> administrator) {
  std::lock_guard g(S().lock);
  S().administrator = administrator;
}

}  // namespace platform::hooks
