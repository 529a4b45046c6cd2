// Expected printer bytes written the way the command reference writes them: "\e" is the escape
// byte, "\r", "\n", "\f" and "\\" as in C; everything else stands as it is. So a test spells
// Pcl("\\e&l3X\\f"), or PclF("\\e&l%dX", 3) for a command with its parameter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

std::string Pcl(std::string_view notation);
// printf-style in the C locale, then read as notation.
[[gnu::format(printf, 1, 2)]] std::string PclF(const char* notation, ...);
std::string AsString(const std::vector<uint8_t>& bytes);

// One command per line, escape written as "\e" (PCL escape sequences, PJL lines, HP-GL/2
// instructions, form feeds), for failure messages that show where two streams part.
std::string Decode(std::string_view stream);

// What a printer would misread in a stream, one message per fault (empty when sound): a combined
// escape that changes group ("\e&l9c&l1E"), an escape cut off or malformed, an exit sequence
// anywhere but at both ends, and a PJL header line that does not start with "@PJL", holds a
// control byte or leaves a quote open. Data that commands carry ("\e&n6WdPLAIN") is skipped.
std::vector<std::string> StructureFaults(std::string_view stream);

// The page the HP-GL/2 input window must stay inside, in pixels; 0 leaves it unchecked.
struct StreamLimits {
  long width = 0;
  long height = 0;
  bool startsInHpgl = false;  // a piece of a page, cut after an HP-GL/2 switch
};

// What is wrong with a stream's structure, one line each (empty when nothing is): polygon mode
// opened (PM0) and closed (PM2) in pairs and never left for PCL while open, FP and EP only after a
// closed polygon, IW corners inside the page, every pattern selected ("\e*c%dG", FT22 or SV22)
// after its download ("\e*c%dg%dW") with a header that agrees with its length, data blocks whole,
// raster pictures started ("\e*r...A") and ended ("\e*rC") without nesting or HP-GL/2 inside,
// and each raster row ("\e*b%dW") whole in its method and no longer than the picture's row.
std::vector<std::string> StructureProblems(std::string_view stream, const StreamLimits& limits = {});

}  // namespace testsupport
