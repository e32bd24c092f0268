// Fonts under test: a resource folder and a user folder of their own, the real image
// loader, a display whose textures are memory surfaces, and a rasteriser with made-up
// metrics.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "images/FakeDisplay.h"
#include "shell/FileSystem.h"
#include "shell/Font.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/GlyphRasterizer.h"

namespace fonttest {

constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Every character the same cell; Draw fills the cell with `ink` (clipped to the buffer).
class BoxGlyphs : public pf::GlyphSource {
public:
    BoxGlyphs(int cx, int cy, uint8_t ink = 255) : cx_(cx), cy_(cy), ink_(ink) {}
    void Extent(wchar_t, int& cx, int& cy) override { cx = cx_, cy = cy_; }
    void Draw(wchar_t ch, int x, int y, pf::CoverageView& target) override {
        drawn.push_back(pf::Point(x, y));
        for (int j = std::max(0, y); j < std::min(target.height, y + cy_); ++j)
            for (int i = std::max(0, x); i < std::min(target.width, x + cx_); ++i) target.data[j * target.pitch + i] = ink_;
    }
    std::vector<pf::Point> drawn;

private:
    int cx_, cy_;
    uint8_t ink_;
};

inline pf::FontBase Desc(const std::wstring& id, int size = 10, float outline = 0,
                         const std::wstring& file = pf::FromUtf8(kDejaVuSans)) {
    pf::FontBase d;
    d.id = id;
    d.size = size;
    d.outline = outline;
    d.file = file;
    return d;
}

class FontsTest : public testing::Test {
protected:
    FontsTest() : display(4096) {
        fs.SetResourcePath(pf::FromUtf8(res.Path().string()));
        fs.SetUserPath(pf::FromUtf8(user.Path().string()));
    }
    std::string ResFile(const std::string& relative) const { return (res.Path() / relative).string(); }
    std::string UserFile(const std::string& relative) const { return (user.Path() / relative).string(); }
    static bool Exists(const std::string& path) {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0;
    }
    static long SizeOf(const std::string& path) {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 ? long(st.st_size) : -1;
    }

    testkit::TempDir res, user;
    pf::FileSystemWin32 fs;
    pf::ImageLoaderDX loader;
    testimages::FakeDisplay display;
};

}  // namespace fonttest
