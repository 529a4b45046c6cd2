// Activation contexts: checked for their manifest, otherwise without effect.
#include "win/actctx.h"

#include "win/error.h"
#include "win/modules.h"

namespace {
int gContext;  // every context is the same token
}

extern "C" HANDLE CreateActCtxW(const ACTCTXW* context) {
  if (context == nullptr || context->cbSize < sizeof(ACTCTXW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  constexpr DWORD kFromModule = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  if ((context->dwFlags & kFromModule) == kFromModule &&
      FindResourceW(context->hModule, context->lpResourceName, RT_MANIFEST) == nullptr) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return &gContext;
}

extern "C" BOOL ActivateActCtx(HANDLE context, ULONG_PTR* cookie) {
  if (context != &gContext || cookie == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *cookie = 1;
  return TRUE;
}

extern "C" BOOL DeactivateActCtx(DWORD, ULONG_PTR cookie) {
  if (cookie != 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

extern "C" void ReleaseActCtx(HANDLE) {}
