// Script resources over a real image loader and file system: descriptors, the manager,
// image, font and sound resources, and a resource list loaded by the threaded queue from
// a script that shows its progress.
#include <boost/python.hpp>

#include <gtest/gtest.h>

#include <atomic>

#include "PyRunner.h"
#include "ScriptTestSupport.h"
#include "common/NullDisplay.h"
#include "content/ResourceManager.h"
#include "shell/Application.h"
#include "shell/FileSystem.h"
#include "shell/ImageLoaderDX.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/foundation/TextHelpers.h"

namespace {

namespace bp = boost::python;

// Textures are memory surfaces, made from any thread.
class MemoryDisplay : public testkit::NullDisplay {
public:
    std::atomic<int> textures{0};
    pf::SurfacePtr CreateSurface(int w, int h, pf::PixelFormat) override { return new pf::MemorySurface(w, h); }
    pf::SurfacePtr CreateSurfaceFromImage(const pf::PixelView& image) override {
        textures.fetch_add(1);
        return new pf::MemorySurface(image);
    }
};

// The application's loader, file system and display are the test's while it runs; the
// resource manager is installed over them.
class ResourceBindings : public ::testing::Test {
protected:
    void SetUp() override {
        scripttest::World();
        fs.SetResourcePath(pf::FromUtf8(dir.Path().string()));
        pf::ApplicationWin32& app = pf::Application2::GetInstance();
        saved = {app.GetImageLoader(), app.GetFileSystem(), app.GetDisplay()};
        savedDX = app.GetDisplayDX();
        app.SetImageLoader(&loader);
        app.SetFileSystem(&fs);
        app.SetDisplayObjects(&display, nullptr);
        manager = std::make_unique<ResourceManager>(&loader, &display, &fs);
        SetResourceManager(manager.get());
        // Images drawn by ImageMagick: a 300 x 200 sheet and a 40 x 30 tile.
        const std::string folder = dir.Path().string();
        ASSERT_EQ(testkit::RunCommand("convert -size 300x200 xc:blue PNG32:'" + folder + "/sheet.png'"), 0);
        ASSERT_EQ(testkit::RunCommand("convert -size 40x30 xc:yellow PNG32:'" + folder + "/tile.png'"), 0);
    }
    void TearDown() override {
        bp::import("gc").attr("collect")();
        SetResourceManager(nullptr);
        manager.reset();
        pf::ApplicationWin32& app = pf::Application2::GetInstance();
        app.SetImageLoader(saved.loader);
        app.SetFileSystem(saved.fs);
        app.SetDisplayObjects(saved.display, savedDX);
    }

    testkit::TempDir dir;
    pf::FileSystemWin32 fs;
    pf::ImageLoaderDX loader;
    MemoryDisplay display;
    std::unique_ptr<ResourceManager> manager;
    ResourceServices saved;
    pf::DisplayDX* savedDX = nullptr;
};

TEST_F(ResourceBindings, DescriptorsManagerAndResources) {
    EXPECT_EQ(bindingstest::RunPythonTests("resources.py"), "");
}

TEST_F(ResourceBindings, AListLoadedByTheQueueThreadsFromAScript) {
    std::string body;
    for (int i = 0; i < 12; ++i)
        body += i % 2 ? "<image id='i" + std::to_string(i) + "' file='tile.png' rect='0,0,40,30' cels='2'/>"
                      : "<image id='i" + std::to_string(i) + "' file='sheet.png' rect='0,0,300,200' cels='3'/>";
    dir.Write("list.xml", "<resources>" + body + "</resources>");
    EXPECT_EQ(bindingstest::RunPythonTests("resource_queue.py"), "");
    EXPECT_GE(display.textures.load(), 12);
}

// Script threads let run in the middle of a frame (an image constructor, a wait, plain
// Python) try to change the tree the frame is walking: they are refused with a script
// error and the frame ends with everything it borrowed alive.
TEST_F(ResourceBindings, ScriptThreadsAreRefusedSceneCallsInTheMiddleOfAFrame) {
    EXPECT_EQ(bindingstest::RunPythonTests("script_threads.py"), "");
}

}  // namespace
