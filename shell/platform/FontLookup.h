// Finding an installed font file by family name through the system's font configuration.
#pragma once

#include <string>

namespace pf {

// The file of the installed face that best matches the family (a fontconfig pattern such
// as "DejaVu Sans"), or "" when the configuration cannot be loaded or names no readable
// file. No process is started.
std::string FindSystemFontFile(const std::string& family);

}  // namespace pf
