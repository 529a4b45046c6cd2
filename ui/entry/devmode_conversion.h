// Devmode conversion between layouts, the per-printer data upgrade, the print-time check of a
// queued job's devmode, and the message formatter the check's text goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "win/base.h"
#include "win/printer_ui.h"

namespace ui {

// The spec version a record's dmSize implies (192, 216, 224), else its own dmSpecVersion.
WORD EffectiveSpecVersion(const DEVMODEW* record);

// Copies `source` into the layout `target`'s header asks for (a target whose dmDriverVersion is 0
// takes the source's layout). Returns the public plus private bytes copied; 0 when either record
// is unusable or the layout would not fit the target's `targetCapacity` bytes. Reads nothing of
// `source` past its dmSize + dmDriverExtra.
size_t CopyDevmodeAcrossVersions(DEVMODEW* target, size_t targetCapacity, const DEVMODEW* source);

// The printer-data record "PrinterData" that DrvUpgradePrinter keeps current (8 bytes).
struct PrinterDataRecord {
  uint16_t version;
  uint16_t size;
  uint32_t reserved;
};
static_assert(sizeof(PrinterDataRecord) == 8);
constexpr uint16_t kPrinterDataVersion = 0x0600;

BOOL ConvertDevMode(LPCWSTR printerName, const DEVMODEW* in, DEVMODEW* out, LONG* needed, DWORD mode);
BOOL UpgradePrinter(DWORD level, const BYTE* info);
BOOL QueryPrint(DEVQUERYPRINT_INFO* info);

// Walks `format`: "%!" inserts the resource string whose id is the next argument, "%s" the next
// argument as a string (a blank for null), d u x X the next 32-bit argument in decimal, unsigned,
// hex and upper-case hex, "%c" one character; '%' before anything else gives that character.
// Writes at most `capacity` characters including the terminator, always terminated when
// capacity > 0, and returns the characters the whole text needs, terminator not counted.
// Arguments beyond `args` read as 0.
size_t FormatMessageText(HMODULE module, WCHAR* out, size_t capacity, const WCHAR* format,
                         std::span<const uintptr_t> args);

}  // namespace ui
