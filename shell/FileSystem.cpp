#include "shell/FileSystem.h"

#include <climits>

#include "shell/foundation/Log.h"
#include "shell/foundation/OsPathText.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/LocalFiles.h"
#include "shell/platform/PathResolve.h"

namespace pf {

uint8_t* ResizeBuffer(FileBuffer& buffer, size_t n) {
    buffer.assign(n + 1, 0);
    return buffer.data();
}

void ScrambleBytes(uint8_t* dst, size_t length, const uint8_t* src) {
    for (size_t i = 0; i < length; ++i) dst[i] = static_cast<uint8_t>(src[i] ^ 1);
}

std::string NormalizeArchiveName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == '/' || c == '\\') {
            if (!out.empty() && out.back() != '/') out += '/';
        } else if (out.empty() && (c == ' ' || c == '\t')) {
            // leading blanks go
        } else {
            out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    size_t end = out.find_last_not_of(" \t");
    out.erase(end == std::string::npos ? 0 : end + 1);
    return out;
}

std::string NormalizeArchivePath(const std::wstring& path) { return NormalizeArchiveName(ToUtf8(path)); }

std::wstring UserFolderPath(FileSystem& fs) {
    for (int size = 512; size <= (1 << 20); size *= 2) {
        std::wstring buffer(static_cast<size_t>(size), L'\0');
        fs.GetUserPath(&buffer[0], size);
        const size_t length = buffer.find(L'\0');
        // A path that did not fit comes back empty; a bigger buffer is tried.
        if (length != 0 && length != std::wstring::npos) return buffer.substr(0, length);
    }
    return std::wstring();
}

std::string UserOsPath(FileSystem& fs, const std::wstring& relative) {
    return ResolvePath(ToOsPath(UserFolderPath(fs)), ToUtf8(relative));
}

bool StaysInsideFolder(const std::wstring& path) {
    bool names = false, fits = path.find(L'\0') == std::wstring::npos;
    for (size_t pos = 0; fits && pos <= path.size();) {
        size_t end = path.find_first_of(L"/\\", pos);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(pos, end - pos);
        fits = part != L"..";
        names = names || (!part.empty() && part != L".");
        pos = end + 1;
    }
    if (fits && names) return true;
    DebugStream() << L"refused the path '" << path.substr(0, path.find(L'\0'))
                  << L"': a path from data or a script stays inside its folder";
    return false;
}

bool FileSystem::ReadResourceFileChecked(FileBuffer& buffer, const std::wstring& path, bool& checked) {
    checked = false;
    return ReadResourceFile(buffer, path);
}

bool ReadDataOrUserFile(FileSystem& fs, FileBuffer& buffer, const std::wstring& path) {
    return fs.ReadResourceFile(buffer, path) || fs.ReadUserFile(buffer, path, true);
}

bool FileSystem::ReadSmallFile(FileBuffer& buffer, const std::wstring& path, size_t limit, bool& tooLarge) {
    tooLarge = false;
    if (!ReadDataOrUserFile(*this, buffer, path)) return false;
    if (ContentSize(buffer) <= limit) return true;
    buffer.clear();
    tooLarge = true;
    return false;
}

bool UserEntryExists(FileSystem& fs, const std::wstring& path) {
    if (UserFolderPath(fs).empty() || path.empty()) return false;
    // A link to nothing holds nothing to lose: it is replaced like a missing file.
    auto holds = [&fs](const std::wstring& name) {
        const std::string os = UserOsPath(fs, name);
        return PathTaken(os) && !IsDanglingLink(os);
    };
    return holds(path + L"e") || holds(path);
}

bool WriteUserFile(FileSystem& fs, const std::wstring& path, const std::string& bytes, bool scramble) {
    return WriteUserFile(fs, path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), scramble);
}

bool WriteUserFile(FileSystem& fs, const std::wstring& path, const uint8_t* data, size_t size, bool scramble) {
    FileImpl* file = nullptr;
    bool ok = fs.OpenFileForWrite(file, path, 0, scramble);
    for (size_t done = 0; ok && done < size;) {
        size_t n = size - done < static_cast<size_t>(INT_MAX) ? size - done : INT_MAX;
        ok = file->Write(data + done, static_cast<int>(n));
        done += n;
    }
    if (file) ok = file->Close() && ok;
    SafeDelete(file);
    if (!ok) DebugStream() << "can't write the file '" << path << "'";
    return ok;
}

}  // namespace pf
