#include <thread>

#include "ContentFixture.h"
#include "shell/OverlayFont.h"

using contenttest::ContentTest;
using contenttest::PixelAt;

namespace {

ResID Image(const std::wstring& id, const std::wstring& path, const std::wstring& cels = L"1",
            const std::wstring& loops = L"1") {
    ResID d;
    d.type = L"IMAGE";
    d.id = id;
    d.path = path;
    d.params[kImageCels] = cels;
    d.params[kImageLoops] = loops;
    return d;
}

}  // namespace

TEST_F(ContentTest, CelsAreCutFromOneSurface) {
    CopyFixture("grid.png", "grid.png");
    struct Case {
        const wchar_t* cels;
        const wchar_t* loops;
        int celCount, loopCount, width, height;
    };
    const Case cases[] = {
        {L"3", L"2", 3, 2, 100, 100},
        {L"7", L"1", 7, 1, 42, 200},  // the last 6 columns belong to no cel
        {L"0", L"0", 1, 1, 300, 200},
        {L"100000", L"1", 300, 1, 1, 200},  // never more cels than pixels
        {L"-2", L"1", -2, 1, 0, 0},         // no cels at all
    };
    for (const Case& c : cases) {
        my_intrusive_ptr<ResAnim> anim(new ResAnim);
        const ResID d = Image(L"g", L"grid.png", c.cels, c.loops);
        ASSERT_TRUE(anim->Init(&loader, &fs, &display, &d, false, 0, 0));
        EXPECT_EQ(anim->GetNumCels(), c.celCount) << pf::ToString(c.cels);
        EXPECT_EQ(anim->GetNumLoops(), c.loopCount);
        EXPECT_EQ(anim->GetWidth(), c.width);
        EXPECT_EQ(anim->GetHeight(), c.height);
    }
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    const ResID d = Image(L"g", L"grid.png", L"3", L"2");
    ASSERT_TRUE(anim->Init(&loader, &fs, &display, &d, false, 0, 0));
    EXPECT_EQ(PixelAt(anim->getCel(0, 0), 99, 99), pf::Color(255, 0, 0, 255));
    EXPECT_EQ(PixelAt(anim->getCel(0, 1), 0, 0), pf::Color(0, 0, 255, 255));
    // Indexes wrap, negative ones too.
    EXPECT_EQ(anim->getCel(1, 2), anim->getCel(0, 5));
    EXPECT_EQ(anim->getCel(2, 0), anim->getCel(0, 0));
    EXPECT_EQ(anim->getCel(0, -1), anim->getCel(1, 2));
    EXPECT_EQ(anim->getCel(-1, 0), anim->getCel(1, 0));
    EXPECT_NE(anim->getCel(INT32_MIN, INT32_MIN), nullptr);
    EXPECT_EQ(ResAnim().getCel(0, 0), nullptr);
}

TEST_F(ContentTest, MissingImageShowsTheStandIn) {
    testkit::LogCapture log;
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    const ResID d = Image(L"lost", L"no/such.png");
    ASSERT_TRUE(anim->Init(&loader, &fs, &display, &d, false, 0, 0));
    EXPECT_EQ(anim->GetWidth(), 256);
    EXPECT_EQ(anim->GetHeight(), 256);
    EXPECT_TRUE(log.Contains("ERROR: can't load or find animation:"));
    EXPECT_TRUE(log.Contains("id: 'lost' path: 'no/such.png"));
    // The text is light over mid-grey noise.
    pf::PixelView view = pf::LockView(anim->GetSurface().get(), nullptr, true, false);
    ASSERT_TRUE(view.data);
    int light = 0, opaque = 0;
    for (int y = 0; y < view.height; ++y)
        for (int x = 0; x < view.width; ++x) {
            const uint8_t* p = view.data + y * view.pitch + x * 4;
            light += p[0] >= 230 && p[1] >= 230 && p[2] >= 230;
            opaque += p[3] == 255;
        }
    anim->GetSurface()->Unlock();
    EXPECT_EQ(opaque, 256 * 256);
    if (!pf::OverlayFont::FindFontFile().empty()) {
        EXPECT_GT(light, 200);
    }

    // A truncated file is logged and shown as the stand-in too.
    const std::string png = testkit::ReadFile(contenttest::Fixture("grid.png"));
    Write("cut.png", png.substr(0, png.size() / 2));
    const ResID cut = Image(L"cut", L"cut.png");
    anim = new ResAnim;
    ASSERT_TRUE(anim->Init(&loader, &fs, &display, &cut, false, 0, 0));
    EXPECT_EQ(anim->GetWidth(), 256);
    EXPECT_TRUE(log.Contains("id: 'cut' path: 'cut.png"));
}

TEST_F(ContentTest, FormatsMasksAndMemoryImages) {
    const std::pair<const wchar_t*, pf::PixelFormat> names[] = {
        {L"8888", pf::PixelFormat::A8R8G8B8}, {L"888", pf::PixelFormat::B8G8R8},
        {L"565", pf::PixelFormat::R5G6B5},    {L"4444", pf::PixelFormat::A4R4G4B4},
        {L"1555", pf::PixelFormat::A1R5G5B5}, {L"abc", pf::PixelFormat::A8R8G8B8},
        {L"", pf::PixelFormat::Default},
    };
    for (const auto& [name, format] : names) EXPECT_EQ(PixelFormatFromName(name), format) << pf::ToString(name);

    CopyFixture("small.png", "small.png");
    CopyFixture("mask.png", "mask.png");
    CopyFixture("other.png", "other.png");
    ResID d = Image(L"masked", L"small.png");
    d.params[kImageAlphaSrc] = L"mask.png";
    d.params[kImageMemory] = L"ram";
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    ASSERT_TRUE(anim->Init(&loader, &fs, &display, &d, false, 0, 0));
    EXPECT_FALSE(anim->GetSurface()->IsHardware());
    EXPECT_EQ(PixelAt(anim->GetSurface().get(), 0, 0).a, 128);
    EXPECT_EQ(PixelAt(anim->GetSurface().get(), 39, 0).a, 0);
    // A mask of another size is ignored.
    d.params[kImageAlphaSrc] = L"other.png";
    anim = new ResAnim;
    ASSERT_TRUE(anim->Init(&loader, &fs, &display, &d, false, 0, 0));
    EXPECT_EQ(PixelAt(anim->GetSurface().get(), 0, 0).a, 255);
    // A failed texture fails the load.
    display.failAfter = int(display.created.size());
    anim = new ResAnim;
    testkit::LogCapture log;
    d = Image(L"t", L"small.png");
    EXPECT_FALSE(anim->Init(&loader, &fs, &display, &d, false, 0, 0));
    EXPECT_TRUE(log.Contains("Could not load file small.png"));
}

TEST_F(ContentTest, DeferredAnimLifecycle) {
    CopyFixture("grid.png", "grid.png");
    const ResID d = Image(L"later", L"grid.png", L"3", L"2");
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    ASSERT_TRUE(anim->Init(&loader, &fs, &display, &d, true, 300, 200));
    anim->SetId(L"later");
    EXPECT_FALSE(anim->IsLoaded());
    EXPECT_EQ(anim->GetWidth(), 100);
    EXPECT_TRUE(display.created.empty());
    {
        testkit::LogCapture log;
        pf::Surface* cel = anim->getCel(0, 0);
        const pf::Rect dest(0, 0, 100, 100);
        cel->Draw(&display, nullptr, &dest);
        cel->Draw(&display, nullptr, &dest);
        EXPECT_TRUE(anim->IsLoaded());
        EXPECT_EQ(display.draws.size(), 2u);
        const std::string text = log.Text();
        const std::string warning = "warning! ResAnim was not preloaded, id: later";
        EXPECT_NE(text.find(warning), std::string::npos);
        EXPECT_EQ(text.find(warning), text.rfind(warning));  // once
    }
    EXPECT_EQ(PixelAt(anim->getCel(0, 0), 5, 5), pf::Color(255, 0, 0, 255));
    anim->unload();
    EXPECT_FALSE(anim->IsLoaded());
    EXPECT_EQ(PixelAt(anim->getCel(1, 2), 5, 5), pf::Color(0, 0, 255, 255));  // reloads on use
    EXPECT_TRUE(anim->IsLoaded());

    // Once the anim is gone its cels draw nothing and say why.
    pf::SurfacePtr cel = anim->getCel(0, 0);
    anim.reset();
    testkit::LogCapture log;
    display.draws.clear();
    const pf::Rect dest(0, 0, 10, 10);
    cel->Draw(&display, nullptr, &dest);
    EXPECT_TRUE(display.draws.empty());
    EXPECT_TRUE(log.Contains("warning! ProxySurface can't be restored, because ResAnim was deleted"));
}

TEST_F(ContentTest, DeclaredSizeLargerThanTheImageNeverReachesOutside) {
    CopyFixture("small.png", "small.png");  // 40 x 30
    const ResID d = Image(L"s", L"small.png", L"2", L"1");
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    ASSERT_TRUE(anim->Init(&loader, &fs, &display, &d, true, 400, 300));
    testkit::LogCapture log;
    anim->Load(&loader, &fs, &display);
    EXPECT_TRUE(log.Contains("the image is 40x30, its list declares 400x300"));
    const pf::Rect dest(0, 0, 10, 10);
    for (int c = 0; c < 2; ++c) {
        anim->getCel(0, c)->Draw(&display, nullptr, &dest);
        pf::PixelView view = pf::LockView(anim->getCel(0, c), nullptr, true, false);
        EXPECT_EQ(view.data, nullptr);
        anim->getCel(0, c)->Unlock();
    }
    EXPECT_TRUE(display.draws.empty());
    for (const auto& lock : display.locks) EXPECT_TRUE(pf::RectInside(lock.rect, 40, 30));
}

TEST_F(ContentTest, ReloadIfChangedKeepsTheSizeItHas) {
    CopyFixture("small.png", "img.png");
    ResAnim* anim = manager->LoadAnimFromFile(L"img.png", L"", 1, 1, L"img", L"", L"");
    ASSERT_TRUE(anim);
    EXPECT_NE(anim->GetFileTime(), 0);
    const auto bump = [&] {
        const auto when = std::filesystem::last_write_time(Res() / "img.png");
        std::filesystem::last_write_time(Res() / "img.png", when + std::chrono::seconds(5));
    };
    manager->ReloadChangedAnims();  // unchanged: nothing happens
    EXPECT_EQ(PixelAt(anim->GetSurface().get(), 0, 0), pf::Color(255, 255, 0, 255));

    ASSERT_EQ(testkit::RunCommand("convert -size 40x30 xc:cyan PNG32:'" + (Res() / "img.png").string() + "'"), 0);
    bump();
    manager->ReloadChangedAnims();
    EXPECT_EQ(PixelAt(anim->GetSurface().get(), 0, 0), pf::Color(0, 255, 255, 255));

    std::filesystem::copy_file(contenttest::Fixture("other.png"), Res() / "img.png",
                               std::filesystem::copy_options::overwrite_existing);
    bump();
    manager->ReloadChangedAnims();
    EXPECT_EQ(anim->GetWidth(), 40);
    EXPECT_EQ(PixelAt(anim->GetSurface().get(), 0, 0), pf::Color(0, 255, 255, 255));
}

TEST_F(ContentTest, AnimsLoadFromAnEncryptedArchive) {
    CopyFixture("grid.png", "grid.png");
    PackArchive("grid.png");
    ResAnim* anim = manager->LoadAnimFromFile(L"grid.png", L"", 3, 2, L"g", L"", L"");
    ASSERT_TRUE(anim);
    EXPECT_EQ(anim->GetWidth(), 100);
    EXPECT_EQ(anim->GetFileTime(), 0);  // archive entries carry no time
    my_intrusive_ptr<ResAnim> part(anim->CreateFromRect(&display, pf::Rect(250, 150, 100, 100)));
    EXPECT_EQ(part->GetWidth(), 50);
    EXPECT_EQ(part->GetHeight(), 50);
    EXPECT_EQ(PixelAt(part->getCel(0, 0), 0, 0), pf::Color(0, 0, 255, 255));
}

// An image from the archive has passed the entry's CRC-32, so the PNG decoder does not sum
// its chunk CRCs again; a loose file has passed nothing and keeps every check. The same
// bytes with a wrong chunk CRC (the end chunk's, the last four bytes) therefore load from
// the archive and are refused from the folder, with the stand-in shown and the error logged.
// Changed bytes inside the archive are the entry CRC's to catch (ArchiveTest).
TEST_F(ContentTest, OnlyArchiveImagesSkipThePngChecksums) {
    std::string png = testkit::ReadFile(contenttest::Fixture("grid.png"));
    ASSERT_GT(png.size(), 12u);
    png[png.size() - 1] = char(png[png.size() - 1] ^ 0x01);
    // locked.png is in the archive under another password: the read falls back to its
    // loose copy, which is checked.
    Write("locked.png", png);
    const std::string command = "cd '" + Res().string() + "' && zip -q -P other data.zip locked.png";
    ASSERT_EQ(testkit::RunCommand(command), 0) << command;
    Write("packed.png", png);
    PackArchive("packed.png");
    Write("loose.png", png);
    std::string scrambled = png;
    for (char& c : scrambled) c = char(c ^ 1);
    Write("scrambled.pnge", scrambled);
    const struct {
        const wchar_t* path;
        bool loads;
    } cases[] = {{L"packed.png", true}, {L"loose.png", false}, {L"scrambled.png", false}, {L"locked.png", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(pf::ToUtf8(c.path));
        testkit::LogCapture log;
        my_intrusive_ptr<ResAnim> anim(new ResAnim);
        const ResID d = Image(L"g", c.path);
        ASSERT_TRUE(anim->Init(&loader, &fs, &display, &d, false, 0, 0));
        EXPECT_EQ(anim->GetWidth(), c.loads ? 300 : 256);
        EXPECT_EQ(log.Contains("ERROR: can't load or find animation:"), !c.loads) << log.Text();
        if (c.loads) {
            EXPECT_EQ(PixelAt(anim->GetSurface().get(), 99, 99), pf::Color(255, 0, 0, 255));
        }
    }
}
