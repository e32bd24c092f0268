// Files and folders on the local disk, by OS path (UTF-8): the few calls the file system
// and the shell need from the operating system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pf {

// Reads a regular file whole into the buffer as content + 0 (a named pipe or a folder
// under the name is refused without waiting). False, with the buffer empty, otherwise: a
// file of more than `limit` bytes is not read (errno EFBIG), and one that memory cannot
// hold is refused with a log line naming it (errno ENOMEM).
bool ReadRegularFile(const std::string& path, std::vector<uint8_t>& buffer, uint64_t limit = UINT64_MAX);
// The last file this thread opened to read whole (ReadRegularFile), for the report of
// memory running out; "" when none.
std::string LastFileRead();
// The size of a regular file; false for anything else or a missing file.
bool RegularFileSize(const std::string& path, int64_t& size);
bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);
// Whether anything at all (file, folder, pipe, link, even a dangling one) has the name.
bool PathTaken(const std::string& path);
// Whether the name is a symbolic link to nothing (its target does not exist).
bool IsDanglingLink(const std::string& path);
// A regular file's last-modified time in nanoseconds; 0 for anything else or a missing file.
int64_t RegularFileTime(const std::string& path);
// Whether this process may make files in the folder.
bool IsWritableFolder(const std::string& path);
// Creates one folder (its parent must exist).
bool MakeFolder(const std::string& path);
// Removes a file or a symbolic link; never a folder.
bool RemoveFile(const std::string& path);
// Removes a folder with everything below it. Links are removed, never followed; "." and
// ".." are skipped. Each entry that cannot be removed is logged; false when any was left.
bool RemoveFolderTree(const std::string& path);
// Acting on a path below a folder, never outside it: `relative` is split at '/' and each
// component is opened from the one before without following a symbolic link, so a link
// anywhere in it (planted beforehand or swapped in meanwhile) is refused, not followed.
// `root` itself (an OS path; "" is the working folder) is taken as it stands. Empty and
// "." components are dropped; a ".." component is refused (errno EPERM).
//
// Opens the folder that holds the last component (an O_PATH descriptor, close-on-exec)
// and gives that component's name; -1 with errno set when a folder on the way is missing,
// is a link or is not a folder, or when no component is left.
int OpenParentBeneath(const std::string& root, const std::string& relative, std::string& name);
// Creates one folder (its parent must exist).
bool MakeFolderBeneath(const std::string& root, const std::string& relative);
// Removes a file or a symbolic link; never a folder.
bool RemoveFileBeneath(const std::string& root, const std::string& relative);
// Removes a folder with everything below it, as RemoveFolderTree does; a link in place of
// the folder is refused.
bool RemoveFolderTreeBeneath(const std::string& root, const std::string& relative);
// The folder holding the last component of `relative`, opened as OpenParentBeneath does
// and kept open while the object lives, for a writer that takes only a path.
class ParentBeneath {
public:
    ParentBeneath(const std::string& root, const std::string& relative);
    ~ParentBeneath();
    ParentBeneath(const ParentBeneath&) = delete;
    ParentBeneath& operator=(const ParentBeneath&) = delete;
    bool IsOpen() const { return fd_ >= 0; }
    // The entry through the process's own descriptor table ("/proc/self/fd/N/name"): no
    // link planted above the folder can redirect it while the object lives.
    std::string EntryPath() const;

private:
    int fd_ = -1;
    std::string name_;
};

// Opens a new, empty file for writing ("w"), close-on-exec. What has the name is replaced
// by the new file, never written: a symbolic link is not followed and a file with other
// names (a hard link) keeps its bytes under them. A folder or a pipe under the name is
// refused. Null when it cannot be opened.
std::FILE* CreateFileReplacingLink(const std::string& path);
// Renames a file (or a link: it is not followed), replacing what has the new name.
bool RenameEntry(const std::string& from, const std::string& to);
// The process's working folder, or "" (with a log line) when it cannot be read.
std::string WorkingFolder();

}  // namespace pf
