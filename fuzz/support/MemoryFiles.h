// Helpers shared by the fuzz targets: a file system held in memory (no disk traffic per
// input) and a reader that turns fuzz bytes into operations and wide strings.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "shell/FileSystem.h"

namespace fuzzkit {

// User files live in a map; there is no data source, so reads come from the user files.
class MemoryFileSystem : public pf::FileSystem {
public:
    std::map<std::wstring, std::string> files;

    bool CreateFolder(const std::wstring&, int) override { return true; }
    bool DeleteUserFile(const std::wstring& path) override { return files.erase(path) > 0; }
    bool DeleteFolder(const std::wstring&) override { return true; }
    bool GetResourceFileSize(const std::wstring&, int& size) override {
        size = 0;
        return false;
    }
    void GetResourcePath(wchar_t* buffer, int size) override {
        if (size > 0) buffer[0] = 0;
    }
    void GetUserPath(wchar_t* buffer, int size) override {
        if (size > 0) buffer[0] = 0;
    }
    bool ReadResourceFile(pf::FileBuffer& buffer, const std::wstring&) override {
        buffer.clear();
        return false;
    }
    bool ReadUserFile(pf::FileBuffer& buffer, const std::wstring& path, bool) override {
        buffer.clear();
        auto it = files.find(path);
        if (it == files.end()) return false;
        std::memcpy(pf::ResizeBuffer(buffer, it->second.size()), it->second.data(), it->second.size());
        if (it->second.empty()) buffer.assign(1, 0);
        return true;
    }
    bool OpenFileForWrite(pf::FileImpl*& file, const std::wstring& path, int, bool) override {
        pf::SafeDelete(file);
        file = new File(files[path]);
        files[path].clear();
        return true;
    }
    void SetScrambling(bool) override {}

private:
    class File : public pf::FileImpl {
    public:
        explicit File(std::string& target) : target_(target) {}
        bool Write(const uint8_t* data, int size) override {
            if (size <= 0) return false;
            target_.append(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
            return true;
        }
        bool Close() override { return true; }

    private:
        std::string& target_;
    };
};

// Reads fuzz bytes front to back; past the end every read answers 0 or "".
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool Done() const { return p_ >= end_; }
    uint8_t Byte() { return Done() ? 0 : *p_++; }
    // A wide string of up to 15 characters: a byte below 0x80 is that character, 0xFF
    // picks one of the characters files find hard, others make a 15-bit character with
    // the next byte.
    std::wstring Text() {
        static const wchar_t kHard[] = {0xFEFF, 0xFFFE, 0xFFFF, 0xD800, 0xDFFF, 0x1F600, 0xA0, 0x85,
                                        0x2028, 0x110000, 0x7F, 0xEF, ' ', '\t', '\n', '\r'};
        std::wstring text;
        for (int n = Byte() % 16; n > 0 && !Done(); --n) {
            const uint8_t b = Byte();
            if (b < 0x80) {
                text += static_cast<wchar_t>(b);
            } else if (b == 0xFF) {
                text += kHard[Byte() % (sizeof kHard / sizeof kHard[0])];
            } else {
                text += static_cast<wchar_t>(((b & 0x7F) << 8) | Byte());
            }
        }
        return text;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// Splits fuzz input at its first 0 byte: the file before, the operations after.
inline void SplitInput(const uint8_t* data, size_t size, std::string& file, ByteReader& ops) {
    const void* zero = std::memchr(data, 0, size);
    const size_t fileSize = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : size;
    file.assign(reinterpret_cast<const char*>(data), fileSize);
    ops = zero ? ByteReader(data + fileSize + 1, size - fileSize - 1) : ByteReader(nullptr, 0);
}

}  // namespace fuzzkit
