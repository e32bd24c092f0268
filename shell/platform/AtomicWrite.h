// Replacing a file whole without ever leaving it half written: the bytes go to a new file
// in the same folder, which is renamed over the old one only when everything was written.
#pragma once

#include <cstddef>
#include <string>

namespace pf {

// Removes the temporary files ("<name>.tmp-PID-N") that writers of processes no longer
// running left in `folder` (an OS path) when they were killed part way through a save.
// Only plain files of this user go, and only once they are some minutes old; files of a
// live process (or a reused id) stay.
void RemoveStaleTemporaries(const std::string& folder);

class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    // Discards what was written unless Commit succeeded.
    ~AtomicFileWriter();

    // Creates the temporary file beside `target` (an OS path), first removing stale
    // temporaries there (RemoveStaleTemporaries); false when it cannot.
    bool Open(const std::string& target);
    // The same for the file `relative` below the folder `root`, the path walked without
    // following links (OpenParentBeneath): the file is made and renamed in the folder
    // that was opened, whatever links are planted on the way meanwhile.
    bool OpenBeneath(const std::string& root, const std::string& relative);
    bool IsOpen() const { return fd_ >= 0; }
    // Writes all bytes (looping over partial writes); a failure marks the file failed.
    bool Write(const void* data, size_t size);
    bool Failed() const { return failed_; }
    // Flushes the data to disk and renames the file over the target. False (and the
    // target untouched) when a write failed or the rename did; the writer is closed after.
    bool Commit();
    // Closes and removes the temporary file; the target stays as it was.
    void Abort();

private:
    // Opens the temporary file beside `name` in the folder open as `folderFd` (taken over).
    bool OpenIn(int folderFd, const std::string& name);
    void CloseFolder();

    int fd_ = -1;
    int folderFd_ = -1;  // the folder the target is in
    bool failed_ = false;
    std::string target_;  // the name in that folder
    std::string temp_;
};

}  // namespace pf
