#include "shell/platform/Wallpaper.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "shell/foundation/Log.h"

extern char** environ;

namespace pf {

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A file URI: every byte but unreserved characters and '/' percent-encoded, so the text
// holds no quote, backslash or blank.
std::string FileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

// A string in the text form gsettings parses its values from.
std::string QuotedValue(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

// Runs the program with the arguments (stdin from /dev/null) and answers whether it
// exited with status 0 within the time allowed; one that runs longer is killed. A failure
// is logged when `report` is set.
bool RunToSuccess(const std::vector<std::string>& command, bool report) {
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        if (report) DebugStream() << "Wallpaper - cannot start " << command[0] << " (error " << error << ")";
        return false;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done == -1 && errno != EINTR) {
            if (report) DebugStream() << "Wallpaper - lost track of " << command[0] << " (errno " << errno << ")";
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) == -1 && errno == EINTR) {
            }
            if (report) DebugStream() << "Wallpaper - " << command[0] << " did not finish in time";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!succeeded && report) {
        if (WIFEXITED(status))
            DebugStream() << "Wallpaper - " << command[0] << " failed (exit status " << WEXITSTATUS(status) << ")";
        else
            DebugStream() << "Wallpaper - " << command[0] << " ended by signal " << WTERMSIG(status);
    }
    return succeeded;
}

class DesktopWallpaper : public WallpaperSetter {
public:
    bool Set(const std::string& osPath) override {
        const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
        const std::string desktops = desktop ? desktop : "";
        char* absolute = realpath(osPath.c_str(), nullptr);
        if (!absolute) {
            DebugStream() << "Wallpaper - no such file '" << osPath << "'";
            return false;
        }
        const std::string resolved = absolute;
        std::free(absolute);
        const auto commands = WallpaperCommands(desktops, resolved);
        if (commands.empty()) {
            DebugStream() << "Wallpaper - no wallpaper command known for the desktop '" << desktops << "'";
            return false;
        }
        if (!RunToSuccess(commands[0], true)) return false;
        for (size_t i = 1; i < commands.size(); ++i) RunToSuccess(commands[i], false);
        return true;
    }
};

DesktopWallpaper g_default;
std::atomic<WallpaperSetter*> g_setter{nullptr};

}  // namespace

std::vector<std::vector<std::string>> WallpaperCommands(const std::string& desktops,
                                                        const std::string& absolutePath) {
    const std::string uri = QuotedValue(FileUri(absolutePath));
    for (size_t pos = 0; pos <= desktops.size();) {
        size_t end = desktops.find(':', pos);
        if (end == std::string::npos) end = desktops.size();
        const std::string name = Lower(desktops.substr(pos, end - pos));
        pos = end + 1;
        if (name == "gnome" || name == "gnome-classic" || name == "gnome-flashback" || name == "unity" ||
            name == "budgie" || name == "pantheon") {
            // The dark style has a picture of its own (since GNOME 42).
            return {{"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri},
                    {"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", uri}};
        }
        if (name == "x-cinnamon" || name == "cinnamon")
            return {{"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", uri}};
        if (name == "mate")
            return {{"gsettings", "set", "org.mate.background", "picture-filename", QuotedValue(absolutePath)}};
        if (name == "kde") return {{"plasma-apply-wallpaperimage", absolutePath}};
    }
    return {};
}

WallpaperSetter& GetWallpaperSetter() {
    WallpaperSetter* setter = g_setter.load();
    return setter ? *setter : g_default;
}

void SetWallpaperSetter(WallpaperSetter* setter) { g_setter.store(setter); }

}  // namespace pf
