// The loading queue with real worker threads; these tests also run under ThreadSanitizer.
#include <atomic>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "ContentFixture.h"
#include "common/NullDisplay.h"
#include "common/Oracle.h"
#include "content/Resources.h"
#include "content/ThreadResourcesQueue.h"

using contenttest::ContentTest;

namespace {

// Textures are memory surfaces; creation may come from any thread.
class ThreadSafeDisplay : public testkit::NullDisplay {
public:
    std::atomic<int> textures{0};
    pf::SurfacePtr CreateSurfaceFromImage(const pf::PixelView& image) override {
        textures.fetch_add(1);
        return pf::SurfacePtr(new pf::MemorySurface(image));
    }
};

// Records the order and number of its loads.
class RecordingRes : public Res {
public:
    RecordingRes(std::wstring name, std::vector<std::wstring>& order, std::mutex& lock)
        : name_(std::move(name)), order_(order), lock_(lock) {}
    void LoadDeferred(pf::FileSystem*, pf::Display*, pf::ImageLoader*) override {
        std::lock_guard<std::mutex> hold(lock_);
        order_.push_back(name_);
    }

private:
    std::wstring name_;
    std::vector<std::wstring>& order_;
    std::mutex& lock_;
};

class ResourceQueueThreads : public ContentTest {
protected:
    void SetUp() override {
        ContentTest::SetUp();
        CopyFixture("grid.png", "grid.png");
        CopyFixture("small.png", "small.png");
    }
    ResourceServices Services() { return ResourceServices{&loader, &fs, &safeDisplay}; }
    // A list of n deferred images, alternating between the two fixtures.
    std::unique_ptr<Resources> DeferredList(int n, ThreadResourcesQueue& queue) {
        std::string body;
        for (int i = 0; i < n; ++i)
            body += i % 2 ? "<image id='i" + std::to_string(i) + "' file='small.png' rect='0,0,40,30' cels='2'/>"
                          : "<image id='i" + std::to_string(i) + "' file='grid.png' rect='0,0,300,200' cels='3' loops='2'/>";
        Write("list.xml", "<resources>" + body + "</resources>");
        auto list = std::make_unique<Resources>(Services());
        EXPECT_TRUE(list->load(L"list.xml", &queue));
        return list;
    }
    static void WaitIdle(ThreadResourcesQueue& queue) {
        while (queue.GetRunningThreads() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ThreadSafeDisplay safeDisplay;
};

}  // namespace

TEST_F(ResourceQueueThreads, EveryResourceLoadsOnceAndCountsGrow) {
    for (int threads : {1, 2, 4, 8}) {
        safeDisplay.textures = 0;
        ThreadResourcesQueue queue(Services());
        auto list = DeferredList(24, queue);
        queue.SetThreadsCount(threads);
        queue.Start();
        EXPECT_EQ(queue.GetCount(), 24 + threads);
        int last = 0;
        while (queue.GetRunningThreads() > 0) {
            const int loaded = queue.GetLoadedCount();
            EXPECT_GE(loaded, last);
            EXPECT_LE(loaded, queue.GetCount());
            last = loaded;
        }
        EXPECT_EQ(queue.GetLoadedCount(), queue.GetCount());
        EXPECT_EQ(safeDisplay.textures.load(), 24) << threads;
        for (int i = 0; i < list->GetCount(); ++i) EXPECT_TRUE(list->getAnimByIndex(i)->IsLoaded());
    }
}

namespace {
std::atomic<int> g_threadsAllowed{0};
std::thread RefusingStarter(std::function<void()> body) {
    if (g_threadsAllowed.fetch_sub(1) <= 0) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return std::thread(std::move(body));
}
}  // namespace

TEST_F(ResourceQueueThreads, ThreadsTheSystemRefusesAreNotCountedAsRunning) {
    for (int allowed : {2, 0}) {
        testkit::LogCapture log;
        g_threadsAllowed = allowed;
        ThreadResourcesQueue::SetWorkerStarter(&RefusingStarter);
        ThreadResourcesQueue queue(Services());
        auto list = DeferredList(12, queue);
        queue.SetThreadsCount(4);
        queue.Start();
        ThreadResourcesQueue::SetWorkerStarter(nullptr);
        WaitIdle(queue);  // would wait forever if the refused threads still counted
        EXPECT_EQ(queue.GetRunningThreads(), 0) << allowed;
        for (int i = 0; i < list->GetCount(); ++i) EXPECT_TRUE(list->getAnimByIndex(i)->IsLoaded()) << allowed;
        EXPECT_TRUE(log.Contains("of 4 threads")) << allowed;
    }
}

TEST_F(ResourceQueueThreads, ZeroAndNegativeCountsLoadOnTheCallingThread) {
    for (int threads : {0, -5}) {
        testkit::LogCapture log;
        ThreadResourcesQueue queue(Services());
        auto list = DeferredList(3, queue);
        queue.SetThreadsCount(threads);
        queue.Start();
        EXPECT_EQ(queue.GetRunningThreads(), 0);
        EXPECT_EQ(queue.GetCount(), 4);
        EXPECT_EQ(queue.GetLoadedCount(), 4);
        const auto lines = log.Lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "started thread 'ThreadResourcesQueue'"), 1);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "completed thread 'ThreadResourcesQueue'"), 1);
    }
}

TEST_F(ResourceQueueThreads, PriorityHoldsWhateverTheCallOrder) {
    std::vector<std::wstring> order;
    std::mutex lock;
    ThreadResourcesQueue queue(Services());
    std::vector<my_intrusive_ptr<::Res>> held;
    for (const wchar_t* name : {L"a", L"b", L"c", L"d"}) {
        held.emplace_back(new RecordingRes(name, order, lock));
        queue.addResource(held.back().get());
    }
    my_intrusive_ptr<::Res> stranger(new RecordingRes(L"x", order, lock));
    queue.SetHightestPriority(stranger.get());  // not queued: nothing changes
    queue.SetHightestPriority(held[2].get());
    EXPECT_TRUE(queue.removeResource(held[1].get()));
    EXPECT_FALSE(queue.removeResource(held[1].get()));
    queue.SetThreadsCount(0);
    queue.Start();
    EXPECT_EQ(order, (std::vector<std::wstring>{L"c", L"a", L"d"}));
}

TEST_F(ResourceQueueThreads, StartTwiceAndDeleteWhileRunning) {
    {
        ThreadResourcesQueue queue(Services());
        auto list = DeferredList(40, queue);
        queue.SetThreadsCount(2);
        queue.Start();
        queue.Start();  // more workers on the same queue
        WaitIdle(queue);
        EXPECT_EQ(queue.GetRunningThreads(), 0);
        EXPECT_EQ(queue.GetLoadedCount(), queue.GetCount());
        for (int i = 0; i < list->GetCount(); ++i) EXPECT_TRUE(list->getAnimByIndex(i)->IsLoaded());
    }
    // The queue goes while its workers run; the list goes while its anims are queued.
    for (int round = 0; round < 3; ++round) {
        auto queue = std::make_unique<ThreadResourcesQueue>(Services());
        auto list = DeferredList(30, *queue);
        queue->SetThreadsCount(4);
        queue->Start();
        if (round == 1) list.reset();
        queue.reset();
        if (list)
            for (int i = 0; i < list->GetCount(); ++i) list->getAnimByIndex(i)->GetSurface();
    }
}

TEST_F(ResourceQueueThreads, DrawingRacesTheWorkers) {
    safeDisplay.textures = 0;
    ThreadResourcesQueue queue(Services());
    auto list = DeferredList(16, queue);
    queue.SetThreadsCount(3);
    queue.Start();
    // The main thread draws and locks every cel while workers load the same anims.
    const pf::Rect dest(0, 0, 10, 10);
    for (int pass = 0; pass < 3; ++pass) {
        for (int i = list->GetCount() - 1; i >= 0; --i) {
            ResAnim* anim = list->getAnimByIndex(i);
            anim->getCel(0, 0)->Draw(&safeDisplay, nullptr, &dest);
            pf::PixelView view = pf::LockView(anim->getCel(0, 1), nullptr, true, false);
            EXPECT_TRUE(view.data);
            anim->getCel(0, 1)->Unlock();
        }
    }
    WaitIdle(queue);
    EXPECT_EQ(safeDisplay.textures.load(), 16);  // each loaded exactly once
}

namespace {

// Real PNGs of the layouts ImageMagick writes, with pixels that do not compress away:
// 8-bit RGBA with varying alpha, a palette, grey, 16-bit RGB, interlaced. Made at run time.
const char* const kDrawnPngs[][2] = {
    {"alpha.png", "-size 240x240 -seed 7 plasma: \\( -size 240x240 gradient: \\) -compose CopyOpacity -composite PNG32:"},
    {"palette.png", "-size 200x150 -seed 3 plasma: -colors 64 PNG8:"},
    {"grey.png", "-size 180x120 -seed 4 plasma: -colorspace Gray -depth 8 PNG:"},
    {"deep.png", "-size 160x160 -seed 5 plasma: -depth 16 PNG48:"},
    {"interlaced.png", "-size 200x200 -seed 6 plasma: -interlace PNG PNG32:"},
};
// The small fixtures of the loader tests, one of each remaining layout.
const char* const kLayoutPngs[] = {"palette_trns.png", "rgba16.png"};

std::string LayoutFixture(const std::string& name) {
    return std::string(RUV3_SOURCE_DIR) + "/tests/images/fixtures/" + name;
}

// The rows of a view, without what lies between them.
std::string RowsOf(const pf::PixelView& view) {
    std::string rows;
    for (int y = 0; y < view.height; ++y)
        rows.append(reinterpret_cast<const char*>(view.data) + ptrdiff_t(y) * view.pitch,
                    size_t(view.width) * size_t(view.bytesPerPixel));
    return rows;
}

}  // namespace

TEST_F(ResourceQueueThreads, ImagesFromTheArchiveMatchTheSerialDecodeByteForByte) {
    RUV3_REQUIRE_PROGRAM("convert");
    RUV3_REQUIRE_PROGRAM("zip");
    // Every PNG decoded once, serially, from its file's own bytes: what loading gave before
    // the archive and the queue ran in parallel.
    std::map<std::string, std::string> expected;
    std::map<std::string, std::pair<int, int>> sizes;
    std::string names;
    auto add = [&](const std::string& name, const std::filesystem::path& from) {
        std::filesystem::copy_file(from, Res() / name, std::filesystem::copy_options::overwrite_existing);
        const std::string bytes = testkit::ReadFile(from);
        pf::MemorySurface image;
        ASSERT_TRUE(loader.Load(image, bytes.data(), int(bytes.size()), pf::PixelFormat::A8R8G8B8)) << name;
        expected[name] = RowsOf(image.GetView());
        sizes[name] = {image.GetWidth(), image.GetHeight()};
        names += " " + name;
    };
    for (const auto& drawn : kDrawnPngs) {
        const std::filesystem::path file = dir.Path() / drawn[0];
        const std::string command = std::string("convert ") + drawn[1] + "'" + file.string() + "'";
        ASSERT_EQ(testkit::RunCommand(command), 0) << command;
        add(drawn[0], file);
    }
    for (const char* png : kLayoutPngs) add(png, LayoutFixture(png));

    // Stored and deflated entries, each in a real encrypted archive.
    for (const char* method : {"-0", "-9"}) {
        SCOPED_TRACE(method);
        const std::string command = "cd '" + Res().string() + "' && rm -f data.zip && zip -q " + method + " -P " +
                                    contenttest::kPassword + " data.zip" + names;
        ASSERT_EQ(testkit::RunCommand(command), 0) << command;
        ASSERT_TRUE(fs.OpenArchive(pf::FromUtf8((Res() / "data.zip").string()), contenttest::kPassword));
        // The loose copies take other names, so only the archive can give the images.
        std::string body;
        std::vector<std::string> order;
        for (int i = 0; i < 36; ++i) {
            const auto it = std::next(expected.begin(), i % long(expected.size()));
            const auto [width, height] = sizes[it->first];
            body += "<image id='i" + std::to_string(i) + "' file='" + it->first + "' rect='0,0," +
                    std::to_string(width) + "," + std::to_string(height) + "'/>";
            order.push_back(it->first);
        }
        for (const auto& entry : expected) std::filesystem::rename(Res() / entry.first, Res() / (entry.first + ".x"));
        Write("list.xml", "<resources>" + body + "</resources>");
        ThreadResourcesQueue queue(Services());
        Resources list(Services());
        ASSERT_TRUE(list.load(L"list.xml", &queue));
        queue.SetThreadsCount(4);
        queue.Start();
        WaitIdle(queue);
        ASSERT_EQ(list.GetCount(), int(order.size()));
        for (int i = 0; i < list.GetCount(); ++i) {
            SCOPED_TRACE(order[size_t(i)]);
            ResAnim* anim = list.getAnimByIndex(unsigned(i));
            ASSERT_TRUE(anim->IsLoaded());
            const pf::SurfacePtr surface = anim->GetSurface();
            const pf::PixelView view = pf::LockView(surface.get(), nullptr, true, false);
            ASSERT_TRUE(view.data);
            EXPECT_EQ(view.format, pf::PixelFormat::A8R8G8B8);
            EXPECT_TRUE(RowsOf(view) == expected[order[size_t(i)]]) << "the pixels differ";
            surface->Unlock();
        }
        for (const auto& entry : expected) std::filesystem::rename(Res() / (entry.first + ".x"), Res() / entry.first);
    }
}
