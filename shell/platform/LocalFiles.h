// Files and folders on the local disk, by OS path (UTF-8): the few calls the file system
// and the shell need from the operating system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pf {

// Reads a regular file whole into the buffer as content + 0 (a named pipe or a folder
// under the name is refused without waiting). False, with the buffer empty, otherwise.
bool ReadRegularFile(const std::string& path, std::vector<uint8_t>& buffer);
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
// Opens a new, empty file for writing ("w"), close-on-exec. A symbolic link under the name
// is replaced by the file, never followed (its target stays as it was); anything else that
// is not a regular file (a folder, a pipe) is refused. Null when it cannot be opened.
std::FILE* CreateFileReplacingLink(const std::string& path);
// The process's working folder, or "" (with a log line) when it cannot be read.
std::string WorkingFolder();

}  // namespace pf
