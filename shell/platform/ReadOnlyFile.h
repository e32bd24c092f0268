// A regular file opened for reading at any offset. Reads go into the caller's memory
// (never through a mapping), so a file truncated or replaced while it is open gives
// short reads or the old bytes, never a fault. Reads do not move a shared position, so
// threads may read one file at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pf {

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens a regular file at an OS path (closing one open before); false when it is
    // missing, unreadable or not a regular file (a folder, a pipe, a device).
    bool Open(const std::string& osPath);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // The size when it was opened.
    uint64_t Size() const { return size_; }
    // Reads up to n bytes at offset, within the size at open; answers the count read,
    // short at the end of the file (also when it shrank since it was opened) and 0 on a
    // read error.
    size_t ReadAt(uint64_t offset, void* out, size_t n) const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace pf
