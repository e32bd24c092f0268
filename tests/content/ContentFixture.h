// Shared set-up of the content tests: a resource folder with the ImageMagick fixtures, a
// file system over it, the real image loader, a display whose textures are memory
// surfaces, and the resource manager installed as the global one.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "common/TestSupport.h"
#include "content/ResAnim.h"
#include "content/ResourceManager.h"
#include "content/XmlData.h"
#include "images/FakeDisplay.h"
#include "shell/FileSystem.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/TextHelpers.h"

namespace contenttest {

inline const char kPassword[] = "Tq4Wz8Lm2Rx";

inline std::filesystem::path Fixture(const std::string& name) {
    return std::filesystem::path(RUV3_CONTENT_FIXTURES) / name;
}

class ContentTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Res());
        fs.SetResourcePath(pf::FromUtf8(Res().string()));
        fs.SetUserPath(pf::FromUtf8(Res().string()));
        manager.reset(new ResourceManager(&loader, &display, &fs));
        SetResourceManager(manager.get());
    }
    void TearDown() override {
        SetResourceManager(nullptr);
        manager.reset();
    }

    std::filesystem::path Res() const { return dir.Path() / "res"; }
    void Write(const std::string& name, const std::string& bytes) const { dir.Write("res/" + name, bytes); }
    // Copies a fixture image into the resource folder under name.
    void CopyFixture(const std::string& fixture, const std::string& name) const {
        std::filesystem::create_directories((Res() / name).parent_path());
        std::filesystem::copy_file(Fixture(fixture), Res() / name, std::filesystem::copy_options::overwrite_existing);
    }
    // Packs files of the resource folder into an encrypted data.zip and removes the
    // loose copies, so reads must come from the archive.
    void PackArchive(const std::string& names) {
        const std::string command = "cd '" + Res().string() + "' && zip -q -P " + kPassword + " data.zip " + names +
                                    " && rm -f " + names;
        ASSERT_EQ(testkit::RunCommand(command), 0) << command;
        ASSERT_TRUE(fs.OpenArchive(pf::FromUtf8((Res() / "data.zip").string()), kPassword));
    }

    testkit::TempDir dir;
    pf::FileSystemWin32 fs;
    pf::ImageLoaderDX loader;
    testimages::FakeDisplay display{4096};
    std::unique_ptr<ResourceManager> manager;
};

// The colour of pixel (x, y) of a surface (locked for reading).
inline pf::Color PixelAt(pf::Surface* surface, int x, int y) {
    const pf::Rect one(x, y, 1, 1);
    pf::PixelView view = pf::LockView(surface, &one, true, false);
    pf::Color c = view.data ? pf::ReadPixelColor(view.data, view.format) : pf::Color(0, 0, 0, 0);
    surface->Unlock();
    return c;
}

}  // namespace contenttest
