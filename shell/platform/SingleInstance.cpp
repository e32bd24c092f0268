#include "shell/platform/SingleInstance.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "shell/foundation/Log.h"
#include "shell/foundation/OsPathText.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/UserDataRoot.h"

namespace pf {

namespace {

// "<folder>/<name>"; the lock file and the socket add their own ending.
std::string BasePath(const std::string& name) { return LockFolder() + name; }

// The descriptors this process holds for its locks. A child made by fork without exec
// (the message box shows its window from one) closes them at once: otherwise it would
// hold the lock on, and a game killed while its box is up would refuse every next start.
constexpr int kMaxHeldDescriptors = 16;
std::atomic<int> g_heldDescriptors[kMaxHeldDescriptors];

void CloseHeldInChild() {
    for (auto& held : g_heldDescriptors) {
        const int fd = held.exchange(-1);
        if (fd >= 0) close(fd);
    }
}

void NoteHeld(int fd) {
    static std::once_flag once;
    std::call_once(once, [] {
        for (auto& held : g_heldDescriptors) held.store(-1);
        pthread_atfork(nullptr, nullptr, &CloseHeldInChild);
    });
    for (auto& held : g_heldDescriptors) {
        int free = -1;
        if (held.compare_exchange_strong(free, fd)) return;
    }
}

void ForgetHeld(int fd) {
    for (auto& held : g_heldDescriptors) {
        int expected = fd;
        held.compare_exchange_strong(expected, -1);
    }
}

// Opens the lock file, never through a link: a link under the name is replaced by a file.
int OpenLockFile(const std::string& path) {
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    int fd = open(path.c_str(), flags, 0600);
    if (fd < 0 && errno == ELOOP) {
        unlink(path.c_str());
        fd = open(path.c_str(), flags | O_EXCL, 0600);
    }
    return fd;
}

bool SocketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// A socket file of this user (so a request never goes to, and a stale file is never
// removed from, another user).
bool IsOwnSocket(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == geteuid();
}

// Listens on the socket beside the lock (which this process holds, so a socket file left
// there belongs to an earlier holder that is gone). -1 with a log line when it cannot.
int ListenBesideLock(const std::string& path) {
    sockaddr_un address;
    if (!SocketAddress(path, address)) {
        DebugStream() << "SingleInstance - socket path too long, a second start cannot raise this one: '"
                      << path << "'";
        return -1;
    }
    if (IsOwnSocket(path)) unlink(path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // Owner-only: the folder is the user's own (or the file carries the user id), the
    // file is made private right away, and each caller's user is checked on accept.
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), 0600) != 0 || listen(fd, 4) != 0) {
        DebugStream() << "SingleInstance - cannot listen on '" << path << "': " << std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

constexpr int kCallersPerPoll = 2;

class FlockInstanceLock : public SingleInstanceLock {
public:
    ~FlockInstanceLock() override {
        for (auto& entry : held_) {
            if (entry.second.listener >= 0) {
                close(entry.second.listener);
                unlink(entry.second.socketPath.c_str());
            }
            ForgetHeld(entry.second.lock);
            close(entry.second.lock);
        }
    }

    bool Acquire(const std::string& name) override {
        std::lock_guard<std::mutex> guard(mutex_);
        if (held_.count(name)) return true;
        // The lock lives in the user-data root, beside the user folders it protects: two
        // starts on one user folder meet at the same file whatever else differs between
        // them, and no other user can make files there.
        CreateFolders(FromOsPath(LockFolder()));
        std::string path = BasePath(name) + ".lock";
        int fd = OpenLockFile(path);
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
        NoteHeld(fd);
        Held& held = held_[name];
        held.lock = fd;
        held.socketPath = BasePath(name) + ".sock";
        held.listener = ListenBesideLock(held.socketPath);
        return true;
    }

    bool AskHolderToRaise(const std::string& name) override {
        std::string path = BasePath(name) + ".sock";
        sockaddr_un address;
        if (!SocketAddress(path, address) || !IsOwnSocket(path)) return false;
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        // Non-blocking: a holder that stopped answering must not hold this start up.
        bool sent = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                    send(fd, "raise\n", 6, MSG_NOSIGNAL) == 6;
        close(fd);
        return sent;
    }

    bool TakeRaiseRequest() override {
        std::lock_guard<std::mutex> guard(mutex_);
        bool asked = false;
        for (auto& entry : held_) {
            if (entry.second.listener < 0) continue;
            // A few callers a call: a flood of connections waits for later calls (or finds
            // the backlog full) instead of holding this frame.
            int caller;
            for (int taken = 0; taken < kCallersPerPoll &&
                                (caller = accept4(entry.second.listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;
                 ++taken) {
                ucred peer = {};
                socklen_t size = sizeof peer;
                if (getsockopt(caller, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid())
                    asked = true;
                else
                    DebugStream() << "SingleInstance - a raise request from another user is ignored";
                close(caller);
            }
        }
        return asked;
    }

private:
    struct Held {
        int lock = -1;
        int listener = -1;
        std::string socketPath;
    };
    std::mutex mutex_;
    std::map<std::string, Held> held_;
};

FlockInstanceLock g_default;
std::atomic<SingleInstanceLock*> g_lock{nullptr};

}  // namespace

std::string LockFolder() {
    std::string folder = ToOsPath(GetUserDataRoot());
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

SingleInstanceLock& GetSingleInstanceLock() {
    SingleInstanceLock* lock = g_lock.load();
    return lock ? *lock : g_default;
}

void SetSingleInstanceLock(SingleInstanceLock* lock) { g_lock.store(lock); }

}  // namespace pf
