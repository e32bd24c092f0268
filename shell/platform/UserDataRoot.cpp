#include "shell/platform/UserDataRoot.h"

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "shell/foundation/Log.h"
#include "shell/foundation/OsPathText.h"
#include "shell/foundation/TextHelpers.h"

namespace pf {

namespace {

std::wstring DefaultRoot() {
    std::string root;
    const char* data = std::getenv("XDG_DATA_HOME");
    // The base-directory rules ignore a relative value.
    if (data && data[0] == '/') {
        root = data;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        root = std::string(home) + "/.local/share";
    }
    if (root.back() != '/') root += '/';
    return FromOsPath(root);
}

std::atomic<UserDataRootSource> g_source{nullptr};

}  // namespace

std::wstring GetUserDataRoot() {
    UserDataRootSource source = g_source.load();
    return source ? source() : DefaultRoot();
}

void SetUserDataRootSource(UserDataRootSource source) { g_source.store(source); }

bool CreateFolders(const std::wstring& path) {
    std::error_code ec;
    std::filesystem::path p(ToOsPath(path));
    std::filesystem::create_directories(p, ec);
    if (ec || !std::filesystem::is_directory(p, ec)) {
        DebugStream() << "cannot create folder '" << path << "': " << ec.message();
        return false;
    }
    return true;
}

}  // namespace pf
