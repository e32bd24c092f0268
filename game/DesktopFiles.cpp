#include "game/DesktopFiles.h"

#include "shell/FileSystem.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/ShellOpener.h"
#include "shell/platform/Wallpaper.h"

namespace game {

namespace {

// The text after the last '/' or '\'; the whole path when it has neither.
std::wstring BareFileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Copies the data file `path` to folder + its bare name in the user-data folder. Answers
// the OS path of the copy, or "" when no whole copy was written.
std::string CopyToUserFolder(pf::FileSystem& fs, const std::wstring& path, const std::wstring& folder) {
    if (path.empty() || !pf::StaysInsideFolder(path)) return {};
    pf::FileBuffer bytes;
    if (!fs.ReadResourceFile(bytes, path) || pf::ContentSize(bytes) == 0) return {};
    const std::wstring name = BareFileName(path);
    // A path ending in a separator or "." names a folder, not a file to copy.
    const std::wstring relative = folder + name;
    if (name.empty() || name == L"." || !pf::StaysInsideFolder(relative)) return {};
    // The folder may exist already; a folder that cannot be made fails the write below.
    if (!folder.empty()) fs.CreateFolder(folder, 0);
    if (!pf::WriteUserFile(fs, relative, bytes.data(), pf::ContentSize(bytes), false)) return {};
    return pf::UserOsPath(fs, relative);
}

}  // namespace

bool SetDesktopWallpaper(pf::FileSystem& fs, const std::wstring& path) {
    const std::string copy = CopyToUserFolder(fs, path, L"Wallpapers/");
    return !copy.empty() && pf::GetWallpaperSetter().Set(copy);
}

bool StartExecutableFile(pf::FileSystem& fs, const std::wstring& path, const std::wstring& folder) {
    const std::string copy = CopyToUserFolder(fs, path, folder);
    return !copy.empty() && pf::GetShellOpener().Open(L"open", pf::FromUtf8(copy));
}

}  // namespace game
