// What the content fuzz targets share: a file system over files held in memory, a
// display whose textures are memory surfaces, and a tiny PNG to point images at.
#pragma once

#include <cstring>
#include <map>
#include <string>

#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/foundation/TextHelpers.h"
#include "tests/common/NullDisplay.h"

namespace fuzzsupport {

// A 6 x 4 PNG (red with one blue pixel), as ImageMagick writes it.
inline const unsigned char kTinyPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x06, 0x00, 0x00, 0x00, 0x04, 0x08, 0x06, 0x00, 0x00, 0x00, 0xad, 0x04, 0x4e, 0x43, 0x00, 0x00, 0x00,
    0x1d, 0x49, 0x44, 0x41, 0x54, 0x08, 0xd7, 0x63, 0xfc, 0xcf, 0xc0, 0xf0, 0x9f, 0x01, 0x0b, 0x60, 0x62, 0x60,
    0x60, 0x60, 0x60, 0xc4, 0x22, 0xc7, 0x88, 0x57, 0x07, 0x36, 0x00, 0x00, 0x66, 0xb1, 0x05, 0x03, 0xbf, 0x19,
    0x91, 0x01, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

// Files by exact engine path (a leading '/' ignored); nothing is ever written.
// Textures are memory surfaces.
class MemoryDisplay : public testkit::NullDisplay {
public:
    pf::SurfacePtr CreateSurfaceFromImage(const pf::PixelView& image) override {
        return pf::SurfacePtr(new pf::MemorySurface(image));
    }
};

class MemoryFileSystem;
// The file system of one run: the input under `name`, the tiny PNG as "a.png". The log
// stops echoing to stderr.
inline void FillFiles(MemoryFileSystem& fs, const std::string& name, const uint8_t* data, size_t size);

class MemoryFileSystem : public pf::FileSystem {
public:
    std::map<std::string, std::string> files;

    bool ReadResourceFile(pf::FileBuffer& buffer, const std::wstring& path) override {
        buffer.clear();
        std::string name = pf::ToUtf8(path);
        while (!name.empty() && name[0] == '/') name.erase(0, 1);
        const auto it = files.find(name);
        if (it == files.end()) return false;
        std::memcpy(pf::ResizeBuffer(buffer, it->second.size()), it->second.data(), it->second.size());
        return true;
    }
    bool ReadUserFile(pf::FileBuffer& buffer, const std::wstring&, bool) override {
        buffer.clear();
        return false;
    }
    bool CreateFolder(const std::wstring&, int) override { return false; }
    bool DeleteUserFile(const std::wstring&) override { return false; }
    bool DeleteFolder(const std::wstring&) override { return false; }
    bool GetResourceFileSize(const std::wstring&, int&) override { return false; }
    // No folder: file times are never found, so nothing reloads.
    void GetResourcePath(wchar_t* buffer, int size) override {
        if (size > 0) buffer[0] = 0;
    }
    void GetUserPath(wchar_t* buffer, int size) override {
        if (size > 0) buffer[0] = 0;
    }
    bool OpenFileForWrite(pf::FileImpl*&, const std::wstring&, int, bool) override { return false; }
    void SetScrambling(bool) override {}
};

inline void FillFiles(MemoryFileSystem& fs, const std::string& name, const uint8_t* data, size_t size) {
    static const bool quiet = (pf::SetLogToStderr(false), true);
    (void)quiet;
    fs.files["a.png"] = std::string(reinterpret_cast<const char*>(kTinyPng), sizeof kTinyPng);
    fs.files[name] = std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace fuzzsupport
