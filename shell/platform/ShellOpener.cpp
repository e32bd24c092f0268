#include "shell/platform/ShellOpener.h"

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <thread>

#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

extern char** environ;

namespace pf {

namespace {

class XdgOpener : public ShellOpener {
public:
    bool Open(const std::wstring& verb, const std::wstring& target) override {
        if (verb != L"open") {
            DebugStream() << "ShellOpener - unknown verb '" << verb << "'";
            return false;
        }
        std::string path = ToUtf8(target);
        char program[] = "xdg-open";
        char* argv[] = {program, path.data(), nullptr};
        pid_t pid = 0;
        int error = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
        if (error != 0) {
            DebugStream() << "ShellOpener - cannot start xdg-open (error " << error << ")";
            return false;
        }
        // The handler may run for long; reap it without holding up the caller.
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) == -1 && errno == EINTR) {
            }
        }).detach();
        return true;
    }
};

XdgOpener g_default;
std::atomic<ShellOpener*> g_opener{nullptr};

}  // namespace

ShellOpener& GetShellOpener() {
    ShellOpener* opener = g_opener.load();
    return opener ? *opener : g_default;
}

void SetShellOpener(ShellOpener* opener) { g_opener.store(opener); }

}  // namespace pf
