#include "shell/platform/AtomicWrite.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/platform/LocalFiles.h"

namespace pf {

namespace {

std::atomic<unsigned> g_tempCounter{0};

// Flushes the folder's entries (the rename) to disk; `folderFd` may be an O_PATH descriptor.
void SyncFolder(int folderFd) {
    int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The process id in a name ending ".tmp-PID-N" (the writer's temporary files), else 0.
long TemporaryOwner(const char* name) {
    const char* mark = nullptr;
    for (const char* p = std::strstr(name, ".tmp-"); p; p = std::strstr(p + 1, ".tmp-")) mark = p;
    if (!mark) return 0;
    const char* digits = mark + 5;
    char* end = nullptr;
    const long pid = std::strtol(digits, &end, 10);
    if (end == digits || *digits == '-' || *digits == '+' || *end != '-' || pid <= 0) return 0;
    const char* counter = end + 1;
    if (*counter < '0' || *counter > '9') return 0;
    while (*counter >= '0' && *counter <= '9') ++counter;
    return *counter == 0 ? pid : 0;
}

// A temporary file modified this recently may belong to a writer this process cannot see
// (another PID namespace, another machine sharing the folder) and is left alone; a save
// takes far less.
constexpr time_t kStaleAfterSeconds = 600;

bool ProcessIsGone(long pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

void RemoveStaleTemporariesIn(int folderFd) {
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0) ::close(listFd);
        return;
    }
    const long self = static_cast<long>(::getpid());
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const long owner = TemporaryOwner(entry->d_name);
        if (owner == 0 || owner == self || !ProcessIsGone(owner)) continue;
        // Only our own leftovers: plain files of this user, never what a link points to.
        struct stat info;
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
        if (::time(nullptr) - info.st_mtime < kStaleAfterSeconds) continue;
        ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace

void RemoveStaleTemporaries(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    RemoveStaleTemporariesIn(fd);
    ::close(fd);
}

AtomicFileWriter::~AtomicFileWriter() { Abort(); }

bool AtomicFileWriter::Open(const std::string& target) {
    Abort();
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return OpenIn(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC), name);
}

bool AtomicFileWriter::OpenBeneath(const std::string& root, const std::string& relative) {
    Abort();
    std::string name;
    const int folderFd = OpenParentBeneath(root, relative, name);
    return OpenIn(folderFd, name);
}

void AtomicFileWriter::CloseFolder() {
    if (folderFd_ >= 0) ::close(folderFd_);
    folderFd_ = -1;
}

bool AtomicFileWriter::OpenIn(int folderFd, const std::string& name) {
    CloseFolder();
    if (folderFd < 0 || name.empty()) {
        if (folderFd >= 0) ::close(folderFd);
        if (name.empty()) errno = EISDIR;
        return false;
    }
    folderFd_ = folderFd;
    RemoveStaleTemporariesIn(folderFd_);
    target_ = name;
    failed_ = false;
    // The new file takes the old one's place with its permissions. One the user made
    // read-only is not replaced: writing it in place would be refused too.
    struct stat old;
    const bool replaces = ::fstatat(folderFd_, name.c_str(), &old, 0) == 0 && S_ISREG(old.st_mode);
    if (replaces && (old.st_mode & 0222) == 0) {
        CloseFolder();
        errno = EACCES;
        return false;
    }
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".tmp-%ld-%u", static_cast<long>(::getpid()),
                      g_tempCounter.fetch_add(1));
        temp_ = name + suffix;
        // 0666 less the umask: the same permissions a plain new file would get.
        fd_ = ::openat(folderFd_, temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temp_.clear();
        CloseFolder();
    }
    if (fd_ >= 0 && replaces) ::fchmod(fd_, old.st_mode & 07777);
    return fd_ >= 0;
}

bool AtomicFileWriter::Write(const void* data, size_t size) {
    if (fd_ < 0 || failed_) return false;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(fd_, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool AtomicFileWriter::Commit() {
    if (fd_ < 0) return false;
    bool ok = !failed_ && ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (ok) ok = ::renameat(folderFd_, temp_.c_str(), folderFd_, target_.c_str()) == 0;
    const int saved = errno;
    if (!ok) {
        ::unlinkat(folderFd_, temp_.c_str(), 0);
    } else {
        SyncFolder(folderFd_);
    }
    temp_.clear();
    CloseFolder();
    errno = saved;
    return ok;
}

void AtomicFileWriter::Abort() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    ::unlinkat(folderFd_, temp_.c_str(), 0);
    temp_.clear();
    CloseFolder();
}

}  // namespace pf
