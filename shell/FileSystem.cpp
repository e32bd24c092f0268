#include "shell/FileSystem.h"

#include <climits>

#include "shell/Log.h"
#include "shell/TextHelpers.h"

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

bool ReadDataOrUserFile(FileSystem& fs, FileBuffer& buffer, const std::wstring& path) {
    return fs.ReadResourceFile(buffer, path) || fs.ReadUserFile(buffer, path, true);
}

bool WriteUserFile(FileSystem& fs, const std::wstring& path, const std::string& bytes, bool scramble) {
    FileImpl* file = nullptr;
    bool ok = fs.OpenFileForWrite(file, path, 0, scramble);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t done = 0; ok && done < bytes.size();) {
        size_t n = bytes.size() - done < static_cast<size_t>(INT_MAX) ? bytes.size() - done : INT_MAX;
        ok = file->Write(data + done, static_cast<int>(n));
        done += n;
    }
    if (file) ok = file->Close() && ok;
    SafeDelete(file);
    if (!ok) DebugStream() << "can't write the file '" << path << "'";
    return ok;
}

}  // namespace pf
