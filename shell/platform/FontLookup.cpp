#include "shell/platform/FontLookup.h"

#include <fontconfig/fontconfig.h>

#include "shell/foundation/Log.h"
#include "shell/platform/LocalFiles.h"

namespace pf {

std::string FindSystemFontFile(const std::string& family) {
    // A configuration of our own, released again: the library's global one would stay
    // for the process's lifetime.
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) {
        DebugStream() << "FontLookup - the font configuration cannot be loaded";
        return std::string();
    }
    std::string path;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
    if (pattern) {
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
                path = reinterpret_cast<const char*>(file);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return IsRegularFile(path) ? path : std::string();
}

}  // namespace pf
