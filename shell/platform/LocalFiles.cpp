#include "shell/platform/LocalFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "shell/foundation/Log.h"

namespace pf {

namespace {

void LogDeleteFailure(const char* what, const std::string& path, int error) {
    DebugStream() << "Can't delete " << what << ": " << path << " er: " << error;
}

// Empties the folder open as `dirFd` (which this call closes); `path` names it for logs.
bool DeleteContents(int dirFd, const std::string& path) {
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        const std::string child = path + "/" + name;
        struct stat st;
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            LogDeleteFailure("file", child, errno);
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            // O_NOFOLLOW: a folder swapped for a link meanwhile is not entered.
            int childFd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            bool emptied = childFd >= 0 && DeleteContents(childFd, child);
            if (!emptied || ::unlinkat(dirFd, name, AT_REMOVEDIR) != 0) {
                LogDeleteFailure("dir", child, errno);
                ok = false;
            }
        } else if (::unlinkat(dirFd, name, 0) != 0) {  // files and symbolic links alike
            LogDeleteFailure("file", child, errno);
            ok = false;
        }
    }
    ::closedir(dir);
    return ok;
}

}  // namespace

namespace {

thread_local std::string t_lastFileRead;

}  // namespace

std::string LastFileRead() { return t_lastFileRead; }

bool ReadRegularFile(const std::string& path, std::vector<uint8_t>& buffer, uint64_t limit) {
    buffer.clear();
    t_lastFileRead = path;
    // O_NONBLOCK: a pipe under the name must not hang the reader; regular files ignore it.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    int error = ok ? 0 : errno;
    if (ok && static_cast<uint64_t>(st.st_size) > limit) {
        ok = false;
        error = EFBIG;
    }
    if (ok) {
        const size_t size = static_cast<size_t>(st.st_size);
        try {
            buffer.assign(size + 1, 0);
        } catch (const std::bad_alloc&) {
            ::close(fd);
            DebugStream() << "can't read '" << path << "': " << size << " bytes do not fit in memory";
            errno = ENOMEM;
            return false;
        }
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::read(fd, buffer.data() + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ok = done == size;
        error = ok ? 0 : EIO;
    }
    ::close(fd);
    if (!ok) buffer.clear();
    errno = error;
    return ok;
}

bool RegularFileSize(const std::string& path, int64_t& size) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = static_cast<int64_t>(st.st_size);
    return true;
}

bool IsRegularFile(const std::string& path) {
    int64_t size = 0;
    return !path.empty() && RegularFileSize(path, size);
}

bool PathTaken(const std::string& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool IsDanglingLink(const std::string& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0 &&
           errno == ENOENT;
}

bool MakeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

bool RemoveFile(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
}

std::FILE* CreateFileReplacingLink(const std::string& path) {
    int fd = -1;
    // A link made again between the unlink and the open fails the exclusive open: retried.
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return nullptr;
            if (::unlink(path.c_str()) != 0 && errno != ENOENT) return nullptr;
        } else if (errno != ENOENT) {
            return nullptr;
        }
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) return nullptr;
    }
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "w");
    if (!file) ::close(fd);
    return file;
}

bool RenameEntry(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

namespace {

// Opens the folder `name` of the folder open as `atFd` (AT_FDCWD: the working folder) as
// an O_PATH descriptor; a link under the name is refused, never followed.
int OpenSubfolder(int atFd, const char* name) {
    int fd = ::openat(atFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    // With O_PATH an O_NOFOLLOW open of a link may give the link itself: it is no folder.
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = ENOTDIR;
        return -1;
    }
    return fd;
}

// Closes a descriptor on scope exit, keeping errno as it was.
struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd < 0) return;
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
};

}  // namespace

int OpenParentBeneath(const std::string& root, const std::string& relative, std::string& name) {
    std::vector<std::string> parts;
    for (size_t pos = 0; pos <= relative.size();) {
        size_t end = relative.find('/', pos);
        if (end == std::string::npos) end = relative.size();
        std::string part = relative.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            errno = EPERM;
            return -1;
        }
        parts.push_back(std::move(part));
    }
    if (parts.empty()) {
        errno = EINVAL;
        return -1;
    }
    int fd = ::open(root.empty() ? "." : root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (size_t i = 0; fd >= 0 && i + 1 < parts.size(); ++i) {
        const int next = OpenSubfolder(fd, parts[i].c_str());
        FdCloser closer{fd};
        fd = next;
    }
    if (fd >= 0) name = parts.back();
    return fd;
}

bool MakeFolderBeneath(const std::string& root, const std::string& relative) {
    std::string name;
    FdCloser parent{OpenParentBeneath(root, relative, name)};
    return parent.fd >= 0 && ::mkdirat(parent.fd, name.c_str(), 0777) == 0;
}

bool RemoveFileBeneath(const std::string& root, const std::string& relative) {
    std::string name;
    FdCloser parent{OpenParentBeneath(root, relative, name)};
    struct stat st;
    if (parent.fd < 0 || ::fstatat(parent.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
        return false;
    return ::unlinkat(parent.fd, name.c_str(), 0) == 0;
}

bool RemoveFolderTreeBeneath(const std::string& root, const std::string& relative) {
    const std::string path = root.empty() ? relative : root + (root.back() == '/' ? "" : "/") + relative;
    std::string name;
    FdCloser parent{OpenParentBeneath(root, relative, name)};
    const int fd = parent.fd < 0 ? -1
                                 : ::openat(parent.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        LogDeleteFailure("dir", path, errno);
        return false;
    }
    bool ok = DeleteContents(fd, path);
    if (::unlinkat(parent.fd, name.c_str(), AT_REMOVEDIR) != 0) {
        LogDeleteFailure("dir", path, errno);
        ok = false;
    }
    return ok;
}

ParentBeneath::ParentBeneath(const std::string& root, const std::string& relative) {
    fd_ = OpenParentBeneath(root, relative, name_);
}

ParentBeneath::~ParentBeneath() {
    if (fd_ >= 0) ::close(fd_);
}

std::string ParentBeneath::EntryPath() const {
    return fd_ < 0 ? std::string() : "/proc/self/fd/" + std::to_string(fd_) + "/" + name_;
}

bool RemoveFolderTree(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        LogDeleteFailure("dir", path, errno);
        return false;
    }
    bool ok = DeleteContents(fd, path);
    if (::rmdir(path.c_str()) != 0) {
        LogDeleteFailure("dir", path, errno);
        ok = false;
    }
    return ok;
}

std::string WorkingFolder() {
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE || buffer.size() >= (1u << 20)) {
            DebugStream() << "Application - cannot read the current folder";
            return std::string();
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsWritableFolder(const std::string& path) { return IsFolder(path) && ::access(path.c_str(), W_OK) == 0; }

int64_t RegularFileTime(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace pf
