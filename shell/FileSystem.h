// All file access of the engine: the data source (a password-protected zip archive backed
// by the resource folder) and the user-data folder.
//
// Paths inside the engine are wide, use '/' (a '\' is accepted too) and are relative to a
// folder; folders end with '/'. Each path component is matched case-insensitively against
// what exists on disk, so "CFG/vendor.cfg" finds "cfg/vendor.cfg". The folders' own paths
// come from the system and keep its bytes (shell/foundation/OsPathText.h); paths below
// them are UTF-8. Whatever is written, deleted or made below a folder stays in it: no
// symbolic link on the way is followed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pf {

class ZipArchive;

// The content of a file read whole. A filled buffer holds the content plus one trailing 0
// byte (also for an empty file, which gives a buffer of one 0 byte), so text content is
// also a zero-terminated string. A failed read leaves the buffer empty.
using FileBuffer = std::vector<uint8_t>;

// Sizes the buffer to n + 1 bytes with the last one 0; returns the data.
uint8_t* ResizeBuffer(FileBuffer& buffer, size_t n);
// The number of content bytes in a filled buffer (its size less the trailing 0).
inline size_t ContentSize(const FileBuffer& buffer) { return buffer.empty() ? 0 : buffer.size() - 1; }

// XORs every byte with 1; the same call scrambles and unscrambles. dst may equal src.
void ScrambleBytes(uint8_t* dst, size_t length, const uint8_t* src);

// The archive entry name of an engine path: ASCII lower case, '\' turned into '/',
// repeated and leading separators and surrounding blanks and tabs removed. Non-ASCII
// characters are UTF-8, as in archives made on this system.
std::string NormalizeArchivePath(const std::wstring& path);
// The same on a narrow (UTF-8) name, as the archive index stores them.
std::string NormalizeArchiveName(const std::string& name);

// A file being written. Written data replace the old file only when the file is closed
// (or destroyed) after every write succeeded, so a failed save keeps the old file.
class FileImpl {
public:
    virtual ~FileImpl() = default;
    // Writes all bytes; size 0 answers false and writes nothing.
    virtual bool Write(const uint8_t* data, int size) = 0;
    // Finishes the file; true when it was open, every write succeeded and it replaced the
    // old file.
    virtual bool Close() = 0;
};

// Deletes the object and sets the variable to null.
template <class T>
void SafeDelete(T*& object) {
    delete object;
    object = nullptr;
}

// Flag bit 0 of CreateFolder and OpenFileForWrite: the resource folder, not the user folder.
constexpr int kFileInResourceFolder = 1;

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Creates one folder (flags bit 0: under the resource folder, else the user folder);
    // logs and answers false on failure (also when it exists).
    virtual bool CreateFolder(const std::wstring& path, int flags) = 0;
    virtual bool DeleteUserFile(const std::wstring& path) = 0;
    // Deletes a folder of the user folder with everything in it.
    virtual bool DeleteFolder(const std::wstring& path) = 0;
    virtual bool GetResourceFileSize(const std::wstring& path, int& size) = 0;
    // Copies the folder (with its trailing '/') into buffer of `size` characters; "" when
    // it does not fit.
    virtual void GetResourcePath(wchar_t* buffer, int size) = 0;
    virtual void GetUserPath(wchar_t* buffer, int size) = 0;
    // From the archive first, then the resource folder (the scrambled name first).
    virtual bool ReadResourceFile(FileBuffer& buffer, const std::wstring& path) = 0;
    // The same, also saying whether the bytes passed a checksum over the whole file on the
    // way (an archive entry's CRC-32). This default says they did not.
    virtual bool ReadResourceFileChecked(FileBuffer& buffer, const std::wstring& path, bool& checked);
    virtual bool ReadUserFile(FileBuffer& buffer, const std::wstring& path, bool allowScrambled) = 0;
    // Deletes what `file` holds, then opens path for writing; the new object goes to `file`.
    virtual bool OpenFileForWrite(FileImpl*& file, const std::wstring& path, int flags, bool scramble) = 0;
    virtual void SetScrambling(bool scrambling) = 0;
    // Reads as ReadDataOrUserFile does a file that may hold at most `limit` bytes: a larger
    // one is not read (false, with `tooLarge` set). This default reads it before looking.
    virtual bool ReadSmallFile(FileBuffer& buffer, const std::wstring& path, size_t limit, bool& tooLarge);
};

// The most a configuration or player file is read with: such files hold a few kilobytes,
// and a larger one would cost its size in memory several times over and seconds to parse
// before the window opens. One past it is refused with a log line and left as it is.
constexpr size_t kSmallFileLimit = size_t(4) << 20;

// The user-data folder as GetUserPath gives it (with its trailing '/'), however long.
std::wstring UserFolderPath(FileSystem& fs);
// The OS path of a file in the user-data folder, spelled as the folder's entries are.
std::string UserOsPath(FileSystem& fs, const std::wstring& relative);
// Whether a path that data or a script names stays inside the folder it is taken in: no
// ".." component (it would leave the folder), no NUL (the system would cut the name short
// there), and something named in the folder, not the folder itself. A refusal is logged.
// (Links on the way are the file system's to refuse: it never follows one to write, delete
// or make a folder.)
bool StaysInsideFolder(const std::wstring& path);

// Reads a configuration or data file: the data source first (ReadResourceFile), then the
// user folder with the scrambled name allowed.
bool ReadDataOrUserFile(FileSystem& fs, FileBuffer& buffer, const std::wstring& path);
// Whether the user folder holds anything under the path or its scrambled name, readable or
// not: a save that could not read such an entry must not replace it. A symbolic link to
// nothing is no entry.
bool UserEntryExists(FileSystem& fs, const std::wstring& path);
// Writes bytes as the whole of a user file (scrambled while scrambling is on, unless
// scramble is false); true only when the file was written and replaced the old one.
bool WriteUserFile(FileSystem& fs, const std::wstring& path, const std::string& bytes, bool scramble = true);
bool WriteUserFile(FileSystem& fs, const std::wstring& path, const uint8_t* data, size_t size, bool scramble);

class FileSystemWin32 : public FileSystem {
public:
    FileSystemWin32();
    ~FileSystemWin32() override;
    FileSystemWin32(const FileSystemWin32&) = delete;
    FileSystemWin32& operator=(const FileSystemWin32&) = delete;

    // The resource folder becomes path + '/'; an empty path means the working folder.
    void SetResourcePath(const std::wstring& path);
    // The user folder becomes path + '/'; a null path makes it the resource folder.
    void SetUserPath(const wchar_t* path);
    void SetUserPath(const std::wstring& path) { SetUserPath(path.c_str()); }
    // Opens the archive at the OS path `name` (closing one open before); reads then try
    // its entries first. False (with a log line) when it cannot be opened.
    bool OpenArchive(const std::wstring& name, const std::string& password);
    bool HasArchive() const;
    const std::wstring& ResourceFolder() const { return resourceFolder_; }
    const std::wstring& UserFolder() const { return userFolder_; }

    bool CreateFolder(const std::wstring& path, int flags) override;
    bool DeleteUserFile(const std::wstring& path) override;
    bool DeleteFolder(const std::wstring& path) override;
    bool GetResourceFileSize(const std::wstring& path, int& size) override;
    void GetResourcePath(wchar_t* buffer, int size) override;
    void GetUserPath(wchar_t* buffer, int size) override;
    bool ReadResourceFile(FileBuffer& buffer, const std::wstring& path) override;
    // An archive entry is read only when its CRC-32 matches: checked.
    bool ReadResourceFileChecked(FileBuffer& buffer, const std::wstring& path, bool& checked) override;
    bool ReadUserFile(FileBuffer& buffer, const std::wstring& path, bool allowScrambled) override;
    bool OpenFileForWrite(FileImpl*& file, const std::wstring& path, int flags, bool scramble) override;
    void SetScrambling(bool scrambling) override { scrambling_ = scrambling; }
    bool ReadSmallFile(FileBuffer& buffer, const std::wstring& path, size_t limit, bool& tooLarge) override;

    // Deletes an OS folder (in wide form, FromOsPath) with everything below it. Symbolic links
    // are removed, never followed. Logs each failure; true when the folder is gone.
    static bool DeleteTree(const std::wstring& folder);

private:
    // Reads folder + path whole (folder + path + "e" first when tryScrambled, unscrambled);
    // a file past `limit` bytes is not read and sets `tooLarge`.
    static bool ReadFromFolder(FileBuffer& buffer, const std::wstring& folder, const std::wstring& path,
                               bool tryScrambled, uint64_t limit = UINT64_MAX, bool* tooLarge = nullptr);
    // The archive's entry for the path, decoded; false when there is none (or it is past
    // `limit` bytes: then `tooLarge` is set).
    bool ReadFromArchive(FileBuffer& buffer, const std::wstring& path, uint64_t limit, bool& tooLarge);

    std::wstring resourceFolder_;
    std::wstring userFolder_;
    bool scrambling_ = false;
    std::unique_ptr<ZipArchive> archive_;
    mutable std::mutex archiveLock_;  // every use of archive_
};

}  // namespace pf
