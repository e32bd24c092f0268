#include "shell/platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "shell/Log.h"

namespace pf {

namespace {

std::string LockPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return LockFolder() + name + ".lock";
    return LockFolder() + name + "-" + std::to_string(getuid()) + ".lock";
}

class FlockInstanceLock : public SingleInstanceLock {
public:
    bool Acquire(const std::string& name) override {
        std::lock_guard<std::mutex> guard(mutex_);
        if (held_.count(name)) return true;
        std::string path = LockPath(name);
        // Never through a link, and only a file of this user: in a shared temp folder
        // another user could otherwise aim the lock at a file of ours, or hold it.
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            // Without a lock file the game still runs; a second copy goes unnoticed.
            DebugStream() << "SingleInstance - cannot open '" << path << "': " << std::strerror(errno);
            return true;
        }
        struct stat info;
        if (fstat(fd, &info) != 0 || info.st_uid != geteuid()) {
            close(fd);
            DebugStream() << "SingleInstance - '" << path << "' belongs to another user; running without the lock";
            return true;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno;
            close(fd);
            if (error == EWOULDBLOCK) return false;
            DebugStream() << "SingleInstance - cannot lock '" << path << "': " << std::strerror(error);
            return true;
        }
        // Held (open) until the process ends.
        held_[name] = fd;
        return true;
    }

private:
    std::mutex mutex_;
    std::map<std::string, int> held_;
};

FlockInstanceLock g_default;
std::atomic<SingleInstanceLock*> g_lock{nullptr};

}  // namespace

std::string LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder;
    if (runtime && *runtime) {
        folder = runtime;
    } else {
        const char* tmp = std::getenv("TMPDIR");
        folder = tmp && *tmp ? tmp : "/tmp";
    }
    if (folder.back() != '/') folder += '/';
    return folder;
}

SingleInstanceLock& GetSingleInstanceLock() {
    SingleInstanceLock* lock = g_lock.load();
    return lock ? *lock : g_default;
}

void SetSingleInstanceLock(SingleInstanceLock* lock) { g_lock.store(lock); }

}  // namespace pf
