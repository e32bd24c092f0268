// Handing data files to the desktop: a picture copied out of the data as the wallpaper, or
// any file copied out and opened with its handler. Both answer false (and write nothing to
// the log themselves) when the path is empty, the data file is missing or empty, the copy
// cannot be written whole, or the desktop refuses; a written copy stays in every case.
#pragma once

#include <string>

namespace pf {
class FileSystem;
}

namespace game {

// Copies the data file to "Wallpapers/<bare file name>" in the user-data folder and makes
// the copy the desktop wallpaper.
bool SetDesktopWallpaper(pf::FileSystem& fs, const std::wstring& path);
// Copies the data file to folder + bare file name in the user-data folder (the folder text
// is a prefix: give it a trailing separator to name a folder, which is created) and opens
// the copy with the desktop's handler.
bool StartExecutableFile(pf::FileSystem& fs, const std::wstring& path, const std::wstring& folder);

}  // namespace game
