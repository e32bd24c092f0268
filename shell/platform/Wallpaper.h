// The desktop wallpaper: set through the running desktop's own command.
#pragma once

#include <string>
#include <vector>

namespace pf {

class WallpaperSetter {
public:
    virtual ~WallpaperSetter() = default;
    // Shows the picture at osPath (UTF-8) as the desktop wallpaper; true only when the
    // desktop took it.
    virtual bool Set(const std::string& osPath) = 0;
};

// The argument vectors that set `absolutePath` as the wallpaper on the desktop named by
// `desktops` (XDG_CURRENT_DESKTOP: names separated by ':', matched ignoring case, the
// first known one wins). The first command must succeed; any later one is a refinement
// that older desktops may lack. Empty for a desktop without a known command.
std::vector<std::vector<std::string>> WallpaperCommands(const std::string& desktops,
                                                        const std::string& absolutePath);

// The default runs WallpaperCommands for $XDG_CURRENT_DESKTOP on the file's absolute path
// (programs looked up on PATH, never through a shell) and answers whether the first one
// exited with status 0 within a few seconds. An unknown desktop, a missing file or a
// command that cannot start or fails answer false with one log line.
WallpaperSetter& GetWallpaperSetter();
// Installs a setter; null restores the default. The caller keeps ownership.
void SetWallpaperSetter(WallpaperSetter* setter);

}  // namespace pf
