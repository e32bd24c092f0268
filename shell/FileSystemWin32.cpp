#include <cerrno>
#include <climits>
#include <cwchar>

#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/OsPathText.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/ZipArchive.h"
#include "shell/platform/AtomicWrite.h"
#include "shell/platform/LocalFiles.h"
#include "shell/platform/PathResolve.h"

namespace pf {

namespace {

// A file being written: its bytes go to a temporary file that replaces the target when
// the file is closed, so an interrupted or failed write keeps the old file.
class FileWin32 : public FileImpl {
public:
    explicit FileWin32(bool scramble) : scramble_(scramble) {}
    // Closing by destruction keeps what was written, as closing a file handle would.
    ~FileWin32() override {
        if (writer_.IsOpen()) writer_.Commit();
    }

    // The file `relative` below the OS folder `root`, never reached through a link.
    bool Open(const std::string& root, const std::string& relative) { return writer_.OpenBeneath(root, relative); }

    bool Write(const uint8_t* data, int size) override {
        if (size <= 0 || !data) return false;
        if (!scramble_) return writer_.Write(data, static_cast<size_t>(size));
        scratch_.resize(static_cast<size_t>(size));
        ScrambleBytes(scratch_.data(), scratch_.size(), data);
        return writer_.Write(scratch_.data(), scratch_.size());
    }

    bool Close() override { return writer_.IsOpen() && writer_.Commit(); }

private:
    bool scramble_;
    std::vector<uint8_t> scratch_;
    AtomicFileWriter writer_;
};

// The folder's own path comes from the system and is handed back byte for byte; the path
// below it comes from data or a script and is UTF-8.
std::string OsPath(const std::wstring& folder, const std::wstring& path) {
    return ResolvePath(ToOsPath(folder), ToUtf8(path));
}

// The path below the folder, spelled as the folder's entries are (see ResolveBelow).
std::string OsPathBelow(const std::wstring& folder, const std::wstring& path) {
    return ResolveBelow(ToOsPath(folder), ToUtf8(path));
}

bool FileSizeAsInt(const std::string& osPath, int& size) {
    int64_t bytes = 0;
    if (!RegularFileSize(osPath, bytes) || bytes > INT_MAX) return false;
    size = static_cast<int>(bytes);
    return true;
}

std::wstring WithSlash(const std::wstring& path) {
    if (path.empty() || path.back() == L'/') return path;
    return path + L"/";
}

}  // namespace

FileSystemWin32::FileSystemWin32() : archive_(new ZipArchive) {}

FileSystemWin32::~FileSystemWin32() = default;

void FileSystemWin32::SetResourcePath(const std::wstring& path) { resourceFolder_ = WithSlash(path); }

void FileSystemWin32::SetUserPath(const wchar_t* path) {
    userFolder_ = path ? WithSlash(path) : resourceFolder_;
}

bool FileSystemWin32::OpenArchive(const std::wstring& name, const std::string& password) {
    std::lock_guard<std::mutex> lock(archiveLock_);
    return archive_->Open(ToOsPath(name), password.c_str());
}

bool FileSystemWin32::HasArchive() const {
    std::lock_guard<std::mutex> lock(archiveLock_);
    return archive_->IsOpen();
}

bool FileSystemWin32::CreateFolder(const std::wstring& path, int flags) {
    if (!StaysInsideFolder(path)) return false;
    const std::wstring& folder = (flags & kFileInResourceFolder) ? resourceFolder_ : userFolder_;
    // Made in the folder it names, never through a link on the way.
    if (MakeFolderBeneath(ToOsPath(folder), OsPathBelow(folder, path))) return true;
    DebugStream() << "can't Create Dir: '" << OsPath(folder, path);
    return false;
}

bool FileSystemWin32::DeleteUserFile(const std::wstring& path) {
    if (!StaysInsideFolder(path)) return false;
    return RemoveFileBeneath(ToOsPath(userFolder_), OsPathBelow(userFolder_, scrambling_ ? path + L"e" : path));
}

bool FileSystemWin32::DeleteFolder(const std::wstring& path) {
    if (!StaysInsideFolder(path)) return false;
    return RemoveFolderTreeBeneath(ToOsPath(userFolder_), OsPathBelow(userFolder_, path));
}

bool FileSystemWin32::DeleteTree(const std::wstring& folder) { return RemoveFolderTree(ToOsPath(folder)); }

bool FileSystemWin32::GetResourceFileSize(const std::wstring& path, int& size) {
    size = 0;
    const std::string name = NormalizeArchivePath(path);
    {
        std::lock_guard<std::mutex> lock(archiveLock_);
        if (archive_->IsOpen() && archive_->GetFileSize(name, size)) return true;
    }
    return FileSizeAsInt(OsPath(resourceFolder_, path + L"e"), size) ||
           FileSizeAsInt(OsPath(resourceFolder_, path), size);
}

namespace {

void CopyFolder(const std::wstring& folder, wchar_t* buffer, int size) {
    if (!buffer || size <= 0) return;
    if (folder.size() + 1 > static_cast<size_t>(size)) {
        buffer[0] = 0;
        return;
    }
    std::wmemcpy(buffer, folder.c_str(), folder.size() + 1);
}

}  // namespace

void FileSystemWin32::GetResourcePath(wchar_t* buffer, int size) { CopyFolder(resourceFolder_, buffer, size); }

void FileSystemWin32::GetUserPath(wchar_t* buffer, int size) { CopyFolder(userFolder_, buffer, size); }

bool FileSystemWin32::ReadFromArchive(FileBuffer& buffer, const std::wstring& path, uint64_t limit, bool& tooLarge) {
    buffer.clear();
    const std::string name = NormalizeArchivePath(path);
    ZipLocatedEntry entry;
    bool located;
    {
        // Only finding the entry takes the lock; its bytes are read and decoded in parallel.
        std::lock_guard<std::mutex> lock(archiveLock_);
        located = archive_->IsOpen() && archive_->LocateEntry(name, entry);
    }
    if (located && entry.size > limit) {
        tooLarge = true;
        return false;
    }
    return located && ZipArchive::ReadLocatedEntry(entry, buffer);
}

bool FileSystemWin32::ReadResourceFile(FileBuffer& buffer, const std::wstring& path) {
    bool checked = false;
    return ReadResourceFileChecked(buffer, path, checked);
}

bool FileSystemWin32::ReadResourceFileChecked(FileBuffer& buffer, const std::wstring& path, bool& checked) {
    bool tooLarge = false;
    checked = ReadFromArchive(buffer, path, UINT64_MAX, tooLarge);
    return checked || ReadFromFolder(buffer, resourceFolder_, path, true);
}

bool FileSystemWin32::ReadSmallFile(FileBuffer& buffer, const std::wstring& path, size_t limit, bool& tooLarge) {
    tooLarge = false;
    // The same sources in the same order as ReadDataOrUserFile; the first that has the
    // file answers, a file too large included.
    return ReadFromArchive(buffer, path, limit, tooLarge) ||
           (!tooLarge && ReadFromFolder(buffer, resourceFolder_, path, true, limit, &tooLarge)) ||
           (!tooLarge && ReadFromFolder(buffer, userFolder_, path, true, limit, &tooLarge));
}

bool FileSystemWin32::ReadUserFile(FileBuffer& buffer, const std::wstring& path, bool allowScrambled) {
    return ReadFromFolder(buffer, userFolder_, path, allowScrambled);
}

bool FileSystemWin32::ReadFromFolder(FileBuffer& buffer, const std::wstring& folder, const std::wstring& path,
                                     bool tryScrambled, uint64_t limit, bool* tooLarge) {
    auto read = [&](const std::wstring& name) {
        if (ReadRegularFile(OsPath(folder, name), buffer, limit)) return true;
        if (errno == EFBIG && tooLarge) *tooLarge = true;
        return false;
    };
    if (tryScrambled && read(path + L"e")) {
        ScrambleBytes(buffer.data(), ContentSize(buffer), buffer.data());
        return true;
    }
    return !(tooLarge && *tooLarge) && read(path);
}

bool FileSystemWin32::OpenFileForWrite(FileImpl*& file, const std::wstring& path, int flags, bool scramble) {
    const bool scrambled = scramble && scrambling_;
    SafeDelete(file);
    // Whatever is written stays inside its folder, wherever the name came from.
    if (!StaysInsideFolder(path)) return false;
    const std::wstring& folder = (flags & kFileInResourceFolder) ? resourceFolder_ : userFolder_;
    // The scrambled name in both folders, so that what is written scrambled reads back.
    auto* opened = new FileWin32(scrambled);
    if (!opened->Open(ToOsPath(folder), OsPathBelow(folder, scrambled ? path + L"e" : path))) {
        delete opened;
        return false;
    }
    file = opened;
    return true;
}

}  // namespace pf
