// The interface library's side of the device settings: the stored devmode's defaults, the
// validation of its private block, and the merge of a caller's devmode into a working devmode.
#pragma once

#include <functional>
#include <string_view>

#include "devmode/paper_tables.h"
#include "devmode/stored_devmode.h"

namespace devmode {

constexpr int kFirstCustomPaperId = 288;
constexpr int kLastMergeableCustomPaperId = 319;

// Looks a custom paper up in the user's settings store; false when it holds none of that id.
using CustomPaperLookup = std::function<bool(int paperId, CustomPaperRecord* out)>;

struct CallerMergeContext {
  // String 202 of the language module: the default favourite name, also the substitute for a bad one.
  std::u16string_view defaultFavoriteName;
  CustomPaperLookup customPaper;
};

void InitStoredPublic(DEVMODEW* pub, const WCHAR* deviceName);
void InitStoredPrivate(StoredPrivate* priv, std::u16string_view defaultFavoriteName);
void InitStoredDevmode(StoredDevmode* devmode, const WCHAR* deviceName, std::u16string_view defaultFavoriteName);

// Resets each out-of-range field to its substitute and terminates every string inside its field.
// Returns the number of fields it changed (0: the block was already valid).
int ValidatePrivateBlock(StoredPrivate* priv, std::u16string_view defaultFavoriteName);
// Resets the watermark record's out-of-range fields; returns the number changed.
int ValidateWatermarkRecord(WatermarkRecord* record);

// Merges the caller's devmode `caller` into `working`. Returns false, leaving `working` unchanged,
// when the caller's record is refused (empty device name, dmSize not 220, spec version 0, no fields).
// Reads nothing of `caller` beyond its dmSize + dmDriverExtra bytes.
bool MergeCallerDevmode(StoredDevmode* working, const DEVMODEW* caller, const CallerMergeContext& context);

// Portrait size of a paper in 600-dpi pixels. A table paper gives its table geometry; a custom id
// gives 4960 x 7015 with margins of 95, or the stored custom paper when `useStore` and it exists.
bool LookupPaperSize(int paperNumber, bool useStore, const CustomPaperLookup& lookup, PageGeometry* out);

}  // namespace devmode
