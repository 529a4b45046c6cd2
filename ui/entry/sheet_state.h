// The state every page of an open property sheet works on: the working devmode, the printer, the
// sheet's own language module and the caller's header, and the private-field directory through
// which the pages read and write the devmode's private fields by name.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "devmode/stored_devmode.h"
#include "win/base.h"
#include "win/compstui.h"

namespace ui {

constexpr size_t kSheetPrinterNameChars = 260;  // at most 259 characters and the NUL
constexpr size_t kPageTitleChars = 268;
constexpr size_t kMaxSheetPages = 4;

struct PrivateField {
  const char* name;  // at most 19 characters
  uint32_t size;     // bytes
  uint32_t offset;   // from the start of the private block
};

// Every named private field, in block order.
std::span<const PrivateField> PrivateFieldDirectory();

struct SheetState {
  std::unique_ptr<devmode::StoredDevmode> devmode;  // null only when it could not be allocated
  HANDLE printer = nullptr;
  WCHAR printerName[kSheetPrinterNameChars] = {};
  HMODULE languageModule = nullptr;  // the sheet's own reference, freed with it
  DOCUMENTPROPERTYHEADER header = {};  // document sheets: the caller's header as given at INIT
  PFNCOMPROPSHEET pfnComPropSheet = nullptr;
  HANDLE hComPropSheet = nullptr;
  int32_t deviceSheet = 0;
  int32_t readOnly = 0;
  int32_t networkPrinter = 0;
  int32_t applied = 0;
  WCHAR pageTitles[kMaxSheetPages][kPageTitleChars] = {};
};

// The working devmode of `printer` with its default devmode and then `caller` merged in; null when
// the printer cannot be read, its name is too long or the language module cannot be loaded.
SheetState* CreateSheetState(HANDLE printer, const DEVMODEW* caller);
// Frees the sheet's language module reference and the state; null is ignored.
void DestroySheetState(SheetState* state);

// The defaults the last sheet state started from (before any merge), as a "Defaults" button
// restores them; false when no sheet state has been created in this process.
bool InitialSheetSettings(devmode::StoredDevmode* out);

constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000Au);
constexpr HRESULT kWrongFieldSize = static_cast<HRESULT>(0x8007007Au);  // ERROR_INSUFFICIENT_BUFFER as HRESULT

// Exactly `size` bytes of the named private field; see the results above each.
// S_OK; kWrongFieldSize when size is not the field's (nothing copied); E_INVALIDARG for an unknown
// name or a null buffer; E_PENDING for a null state; E_FAIL for a state without a devmode.
HRESULT GetPrivateField(SheetState* state, const char* name, void* out, uint32_t size);
// As the getter, but the name is compared on its first 20 characters; E_FAIL for a null state too.
HRESULT SetPrivateField(SheetState* state, const char* name, const void* in, uint32_t size);

// Reverse page order, which has no public field of its own.
constexpr DWORD kReverseOrderField = 0x404000;

// The public field selected by its DM_ flag (or kReverseOrderField). Reading repairs what is out of
// range and stores the repair; DM_SCALE always reads 100. E_INVALIDARG for an unknown flag or a
// null value; E_PENDING for a null state; E_FAIL for a state without a devmode.
HRESULT GetPublicField(SheetState* state, DWORD field, LONG* value);
// DM_SCALE also sets the private zoom percentage.
HRESULT SetPublicField(SheetState* state, DWORD field, LONG value);

}  // namespace ui
