// The configuration parser on arbitrary text: parse a section, rebuild the file with it,
// and check that the rebuilt file reads back the same entries.
#include <cstdint>
#include <string>

#include "shell/ConfigSection.h"

namespace {

void Check(const std::vector<std::string>& lines, const std::string& section) {
    std::vector<pf::ConfigEntry> entries, again;
    pf::ParseConfigSection(lines, section, entries);
    const std::string rebuilt = pf::RebuildConfigText(lines, section, entries);
    bool found = false;
    pf::ParseConfigSection(pf::SplitConfigLines(rebuilt), section, again, &found);
    if (!found || entries != again) __builtin_trap();
    // Rebuilding is stable.
    if (pf::RebuildConfigText(pf::SplitConfigLines(rebuilt), section, again) != rebuilt) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find('\0') != std::string::npos) return 0;  // the loader refuses such files
    const std::vector<std::string> lines = pf::SplitConfigLines(text);
    Check(lines, "main");
    // Also the section of the first header, whatever its name.
    for (const std::string& line : lines) {
        size_t close = line.find(']');
        if (line[0] == '[' && close != std::string::npos) {
            Check(lines, line.substr(1, close - 1));
            break;
        }
    }
    return 0;
}
