// Activation contexts (side-by-side manifests). Linux has no side-by-side assemblies, so a
// context only records that its manifest exists; activating it changes nothing.
#pragma once

#include "win/base.h"

struct ACTCTXW {
  ULONG cbSize;
  DWORD dwFlags;
  LPCWSTR lpSource;
  USHORT wProcessorArchitecture;
  LANGID wLangId;
  LPCWSTR lpAssemblyDirectory;
  LPCWSTR lpResourceName;
  LPCWSTR lpApplicationName;
  HMODULE hModule;
};

constexpr DWORD ACTCTX_FLAG_RESOURCE_NAME_VALID = 0x00000008;
constexpr DWORD ACTCTX_FLAG_HMODULE_VALID = 0x00000080;

extern "C" {
// With ACTCTX_FLAG_HMODULE_VALID and ACTCTX_FLAG_RESOURCE_NAME_VALID the module must hold that
// manifest resource; otherwise INVALID_HANDLE_VALUE and ERROR_RESOURCE_TYPE_NOT_FOUND.
PLATFORM_API HANDLE WINAPI CreateActCtxW(const ACTCTXW* context);
PLATFORM_API BOOL WINAPI ActivateActCtx(HANDLE context, ULONG_PTR* cookie);
PLATFORM_API BOOL WINAPI DeactivateActCtx(DWORD flags, ULONG_PTR cookie);
PLATFORM_API void WINAPI ReleaseActCtx(HANDLE context);
}
