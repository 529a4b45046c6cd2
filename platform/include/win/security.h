// The process token and its groups: who may change a printer's settings.
#pragma once

#include "win/base.h"

using PSID = void*;

struct SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
};
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY = {{0, 0, 0, 0, 0, 5}};
constexpr DWORD SECURITY_BUILTIN_DOMAIN_RID = 32;
constexpr DWORD DOMAIN_ALIAS_RID_ADMINS = 544;
constexpr DWORD DOMAIN_ALIAS_RID_USERS = 545;

struct SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
};
constexpr DWORD SE_GROUP_ENABLED = 0x00000004;

struct TOKEN_GROUPS {
  DWORD GroupCount;
  SID_AND_ATTRIBUTES Groups[1];
};

enum TOKEN_INFORMATION_CLASS { TokenUser = 1, TokenGroups = 2 };

constexpr DWORD TOKEN_QUERY = 0x0008;

extern "C" {
PLATFORM_API HANDLE WINAPI GetCurrentProcess();
// The token is closed with CloseHandle.
PLATFORM_API BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
// TokenGroups only. With too small a buffer: FALSE, ERROR_INSUFFICIENT_BUFFER and *returned set.
PLATFORM_API BOOL WINAPI GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS what, LPVOID info, DWORD size,
                                             LPDWORD returned);
// A null token means the calling process's.
PLATFORM_API BOOL WINAPI CheckTokenMembership(HANDLE token, PSID sid, BOOL* isMember);
PLATFORM_API BOOL WINAPI AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count, DWORD a0,
                                                  DWORD a1, DWORD a2, DWORD a3, DWORD a4, DWORD a5, DWORD a6,
                                                  DWORD a7, PSID* sid);
PLATFORM_API PSID WINAPI FreeSid(PSID sid);
PLATFORM_API BOOL WINAPI EqualSid(PSID a, PSID b);
}
