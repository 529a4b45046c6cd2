// What a CUPS job asks for, as rt7700-print settings: the filter's copies argument, its option
// string and the queue's PPD with the job's choices marked.
#pragma once

#include <cups/ppd.h>

#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace rt7700cups {

using Setting = std::pair<std::string, std::string>;  // name, value

// Marks the PPD's defaults and the job's options on `ppd` (which may be null: then only the
// job's IPP options count) and returns the settings in the order rt7700-print is given them, or
// the reason the job cannot print with them.
std::variant<std::vector<Setting>, std::string> TranslateJob(const std::string& copies,
                                                             const std::string& options, ppd_file_t* ppd);

}  // namespace rt7700cups
