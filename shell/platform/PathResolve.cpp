#include "shell/platform/PathResolve.h"

#include <dirent.h>
#include <sys/stat.h>

namespace pf {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return a[i] == 0 && i == b.size();
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` equal to `name` ignoring case, or "" when there is none.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return std::string();
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        if (EqualsIgnoringAsciiCase(entry->d_name, name)) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::string ResolvePath(const std::string& folder, const std::string& relative) {
    const std::string below = ResolveBelow(folder, relative);
    return below.empty() ? folder : Join(folder, below);
}

std::string ResolveBelow(const std::string& folder, const std::string& relative) {
    std::string below;
    bool searching = true;  // false once a component matched nothing: its folder is missing
    size_t pos = 0;
    while (pos <= relative.size()) {
        size_t end = relative.find_first_of("/\\", pos);
        if (end == std::string::npos) end = relative.size();
        std::string component = relative.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty()) continue;
        const std::string path = Join(folder, below);
        if (searching && !Exists(Join(path, component)) && component != "." && component != "..") {
            std::string match = FindIgnoringCase(path, component);
            if (!match.empty()) {
                below = Join(below, match);
                continue;
            }
            searching = false;
        }
        below = Join(below, component);
    }
    return below;
}

}  // namespace pf
