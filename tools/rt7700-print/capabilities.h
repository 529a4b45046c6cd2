// What the interface library says about the printer: its capability answers, listed for people,
// and its print-time check of a job's devmode.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "devmode/stored_devmode.h"
#include "win/devmode.h"

namespace rt7700print {

// Writes one item a line (papers with ids, sizes in millimetres and names, bins, resolutions,
// copies, duplex, collation, orientation); false when the library or its answers are missing.
bool ListCapabilities(const std::string& interfacePath, const std::u16string& printer, FILE* out);

// The library's refusal of `devmode` (its reason, which may be empty), or nothing when it accepts
// the devmode or has no check.
std::optional<std::string> RefusedDevmode(const std::string& interfacePath, const std::u16string& printer,
                                          DEVMODEW* devmode);

// The devmode the interface library makes of `job` for `printer` without showing its sheet: the
// printer's default devmode with the job's settings merged in and validated. A custom paper keeps
// the job's own size, which no settings store holds. False, `out` untouched, when the library or
// its answer is missing.
bool InterfaceDevmode(const std::string& interfacePath, const std::u16string& printer,
                      const devmode::StoredDevmode& job, devmode::StoredDevmode* out);

}  // namespace rt7700print
