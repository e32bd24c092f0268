#include "shell/platform/ReadOnlyFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pf {

ReadOnlyFile::~ReadOnlyFile() { Close(); }

bool ReadOnlyFile::Open(const std::string& osPath) {
    Close();
    // O_NONBLOCK: a named pipe under the name must not hang the open; it is refused below.
    int fd = ::open(osPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

void ReadOnlyFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

size_t ReadOnlyFile::ReadAt(uint64_t offset, void* out, size_t n) const {
    // What lies past the size at open is not asked for again: no call that answers 0.
    if (fd_ < 0 || offset >= size_) return 0;
    if (n > size_ - offset) n = static_cast<size_t>(size_ - offset);
    auto* bytes = static_cast<char*>(out);
    size_t done = 0;
    while (done < n) {
        ssize_t got = ::pread(fd_, bytes + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return 0;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

}  // namespace pf
