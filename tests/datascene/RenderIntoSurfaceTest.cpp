// Rendering an item into a surface through the software device, and items described in
// XML, configured, animated and drawn end to end.
#include "display/DisplayFixture.h"

#include "common/Oracle.h"
#include "common/NullDisplay.h"
#include "common/TestSupport.h"
#include "content/XmlData.h"
#include "content/ResourceManager.h"
#include "scene/Actor.h"
#include "scene/ModifierFactory.h"
#include "scene/RenderIntoSurface.h"
#include "scene/RootItem.h"
#include "scene/Tweens.h"
#include "shell/Clock.h"
#include "shell/FileSystem.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/TextHelpers.h"

namespace {

using displaytest::DisplayTest;
using pf::Point;
using pf::Rect;

// The display, noting the off-screen surfaces asked for.
class WatchingDisplay : public pf::DisplayDX {
public:
    using DisplayDX::DisplayDX;
    std::vector<std::pair<int, int>> renderTargets;
    my_intrusive_ptr<pf::Surface> CreateNativeSurface(int w, int h, pf::PixelFormat f, int levels, bool managed,
                                                      bool renderTarget) override {
        if (renderTarget) renderTargets.emplace_back(w, h);
        return DisplayDX::CreateNativeSurface(w, h, f, levels, managed, renderTarget);
    }
};

class RenderTest : public DisplayTest {
protected:
    static inline int now = 0;
    static int Now() { return now; }
    void SetUp() override {
        DisplayTest::SetUp();
        now = 50000;
        pf::SetNowMsSource(&RenderTest::Now);
        auto* d = new WatchingDisplay(&platform);
        watching = d;
        display.reset(d);
        ASSERT_TRUE(display->Init(800, 600, false, false, false));
        root = new RootItem;
        SetRootItem(root.get());
    }
    void TearDown() override {
        SetRootItem(nullptr);
        root.reset();
        pf::SetNowMsSource(nullptr);
        DisplayTest::TearDown();
    }
    pf::SurfacePtr TargetSurface(int w, int h) {
        return display->CreateNativeSurface(w, h, pf::PixelFormat::A8R8G8B8, 1, true, false);
    }
    my_intrusive_ptr<Actor> SolidActor(int w, int h, uint32_t argb, Point at) {
        my_intrusive_ptr<Actor> a(new Actor);
        a->SetSurface(SolidSurface(w, h, argb).get());
        a->SetPosition(at);
        return a;
    }

    WatchingDisplay* watching = nullptr;
    my_intrusive_ptr<RootItem> root;
};

TEST(OffscreenSize, PowersOfTwoFromTwo) {
    const std::pair<int, int> cases[] = {{1, 2}, {2, 2}, {3, 4}, {4, 4}, {5, 8}, {8, 8}, {60, 64}, {100, 128}, {0, 2}};
    for (auto [side, expected] : cases) EXPECT_EQ(OffscreenSide(side), expected) << side;
}

TEST_F(RenderTest, DrawsTheSubtreeIntoATransparentPicture) {
    my_intrusive_ptr<Item> group(new Item);
    group->SetPosition(Point(1, 1));
    group->AddItem(SolidActor(4, 4, 0xFFFF0000u, Point(2, 1)).get());
    // An actor that clips still draws, inside its own clip rectangle.
    auto clipped = SolidActor(4, 4, 0xFF00FF00u, Point(10, 2));
    clipped->SetClipRect(Rect(0, 0, 2, 2));
    clipped->SetUseClipRect(true);
    group->AddItem(clipped.get());

    pf::SurfacePtr target = TargetSurface(16, 8);
    ASSERT_TRUE(target);
    ASSERT_TRUE(renderItemIntoSurface(display.get(), group.get(), Rect(0, 0, 16, 8), target.get(), Rect(0, 0, 16, 8)));
    EXPECT_EQ(watching->renderTargets, (std::vector<std::pair<int, int>>{{16, 8}}));
    EXPECT_EQ(PixelOf(target.get(), 3, 2), 0xFFFF0000u);
    EXPECT_EQ(PixelOf(target.get(), 6, 5), 0xFFFF0000u);
    EXPECT_EQ(PixelOf(target.get(), 7, 5), 0u);
    EXPECT_EQ(PixelOf(target.get(), 0, 0), 0u);
    EXPECT_EQ(PixelOf(target.get(), 11, 3), 0xFF00FF00u);
    EXPECT_EQ(PixelOf(target.get(), 13, 3), 0u);  // outside the clip

    // A rectangle further into the (4 x 4) picture lands at the target's origin.
    pf::SurfacePtr small = TargetSurface(3, 3);
    ASSERT_TRUE(renderItemIntoSurface(display.get(), group.get(), Rect(1, 1, 3, 3), small.get(), Rect(0, 0, 3, 3)));
    EXPECT_EQ(PixelOf(small.get(), 2, 1), 0xFFFF0000u);
    EXPECT_EQ(PixelOf(small.get(), 0, 0), 0u);

    // The frame drawn afterwards goes to the screen again.
    root->AddItem(group.get());
    Frame([&] { root->Render(*display); });
    EXPECT_EQ(Target().Pixel(3, 2), 0xFFFF0000u);
}

TEST_F(RenderTest, SizesAreCheckedBeforeAnythingIsDrawn) {
    my_intrusive_ptr<Item> item(new Item);
    pf::SurfacePtr target = TargetSurface(100, 60);
    ASSERT_TRUE(target);
    ASSERT_TRUE(renderItemIntoSurface(display.get(), item.get(), Rect(0, 0, 100, 60), target.get(), Rect(0, 0, 100, 60)));
    EXPECT_EQ(watching->renderTargets, (std::vector<std::pair<int, int>>{{128, 64}}));
    watching->renderTargets.clear();
    testkit::LogCapture log;
    const struct {
        Rect source, destination;
    } bad[] = {
        {Rect(0, 0, 100, 61), Rect(0, 0, 100, 60)},   // sizes differ
        {Rect(0, 0, 50, 30), Rect(0, 0, 50, 30)},     // not the target's size
        {Rect(0, 10, 100, 60), Rect(0, 0, 100, 60)},  // past the 128 x 64 picture
        {Rect(-1, 0, 100, 60), Rect(0, 0, 100, 60)},
        {Rect(0, 0, 100, 60), Rect(5, 0, 100, 60)},  // past the target
    };
    for (const auto& b : bad)
        EXPECT_FALSE(renderItemIntoSurface(display.get(), item.get(), b.source, target.get(), b.destination));
    EXPECT_TRUE(watching->renderTargets.empty());
    EXPECT_EQ(log.Lines().size(), 5u) << log.Text();
    EXPECT_FALSE(renderItemIntoSurface(display.get(), nullptr, Rect(0, 0, 100, 60), target.get(), Rect(0, 0, 100, 60)));
}

TEST_F(RenderTest, ACopyThatFailsIsReported) {
    // A surface in memory is no hardware surface: the copy cannot happen.
    my_intrusive_ptr<pf::Surface> memory(new pf::MemorySurface(8, 8));
    my_intrusive_ptr<Item> item(new Item);
    testkit::LogCapture log;
    EXPECT_FALSE(renderItemIntoSurface(display.get(), item.get(), Rect(0, 0, 8, 8), memory.get(), Rect(0, 0, 8, 8)));
    EXPECT_TRUE(log.Contains("the copy into the target failed")) << log.Text();
    // The render target is restored: a frame still reaches the screen.
    root->AddItem(SolidActor(2, 2, 0xFF0000FFu, Point(5, 5)).get());
    Frame([&] { root->Render(*display); });
    EXPECT_EQ(Target().Pixel(5, 5), 0xFF0000FFu);
}

TEST(RenderIntoSurface, NoRenderTargetGivesFalse) {
    struct NoTargets : testkit::NullDisplay {
        int ended = 0;
        my_intrusive_ptr<pf::Surface> CreateSurface(int w, int h, pf::PixelFormat) override {
            return new pf::MemorySurface(w, h);
        }
        void EndRenderToSurface() override { ++ended; }
    } display;
    my_intrusive_ptr<Item> item(new Item);
    my_intrusive_ptr<pf::Surface> target(new pf::MemorySurface(4, 4));
    EXPECT_FALSE(renderItemIntoSurface(&display, item.get(), Rect(0, 0, 4, 4), target.get(), Rect(0, 0, 4, 4)));
    EXPECT_EQ(display.ended, 0);
}

// ---------------------------------------------------------------- end to end

// An actor whose modifiers from XML run for one second with the curve they name.
class TimedActor : public Actor {
public:
    void AddModifierWithTimeShift(Modifier* m, TimeShift* curve) override {
        my_intrusive_ptr<TimeController> tc(new TimeController);
        tc->Init(1000, TimeController::Forward, 1, curve);
        AddModifier(m, tc.get());
    }
};

TEST_F(RenderTest, ItemsDescribedInXmlAreAnimatedAndDrawn) {
    RUV3_REQUIRE_PROGRAM("convert");
    testkit::TempDir dir;
    // Two 4 x 4 cels: red, then blue.
    const std::string png = (dir.Path() / "strip.png").string();
    ASSERT_EQ(testkit::RunCommand("convert -size 8x4 xc:red -fill blue -draw 'rectangle 4,0 7,3' PNG32:'" + png + "'"), 0);
    dir.Write("defs.xml", R"(<d><image id="strip" file="strip.png" cels="2"/></d>)");
    dir.Write("common.xml", R"(<p anim="strip" cel="1" y="40"/>)");
    dir.Write("scene.xml", R"xml(<scene>
        <hero name="hero" anim="strip" position="10,20"/>
        <follower properties="common.xml" x="=(hero)" name="follower"/>
        <spin type="Cycler" frames="0,1" cycleType="1" loops="1"/>
    </scene>)xml");
    pf::FileSystemWin32 fs;
    fs.SetResourcePath(pf::FromUtf8(dir.Path().string()));
    fs.SetUserPath(pf::FromUtf8(dir.Path().string()));
    pf::ImageLoaderDX loader;
    my_intrusive_ptr<ResourceManager> manager(new ResourceManager(&loader, display.get(), &fs));
    SetResourceManager(manager.get());
    SetModifierFactory(new ModifierFactory);
    ASSERT_TRUE(manager->LoadResourceDefinitions(L"defs.xml"));

    my_intrusive_ptr<TimedActor> hero(new TimedActor);
    my_intrusive_ptr<Actor> follower(new Actor);
    root->AddItem(hero.get());
    root->AddItem(follower.get());
    hero->SetPropertiesFromResource(L"scene.xml:hero");
    follower->SetPropertiesFromResource(L"scene.xml:follower");
    EXPECT_EQ(hero->GetName(), L"hero");
    EXPECT_EQ(follower->GetPosition(), Point(10, 40));
    EXPECT_EQ(follower->GetCel(), 1);

    std::unique_ptr<XmlData> spin(manager->GetXmlData(L"scene.xml")->GetElement(L"spin"));
    ASSERT_TRUE(spin);
    root->AddModifierFromXml(*spin, hero.get(), L"");
    ASSERT_EQ(hero->GetModifiers().size(), 1u);
    my_intrusive_ptr<TimeController> tc(new TimeController);
    tc->Init(1000, TimeController::Forward, 1, nullptr);
    my_intrusive_ptr<Mover2> mover(new Mover2);
    follower->AddModifier(mover->Init(Point(50, 40)), tc.get());

    const uint32_t red = 0xFFFF0000u, blue = 0xFF0000FFu, black = 0xFF000000u;
    auto frame = [&](int advance) {
        now += advance;
        root->Cycle();
        Frame([&] { root->Render(*display); });
    };
    frame(0);
    EXPECT_EQ(Target().Pixel(11, 21), red);
    EXPECT_EQ(Target().Pixel(11, 41), blue);
    frame(600);
    EXPECT_EQ(Target().Pixel(11, 21), blue);  // the second cel
    EXPECT_EQ(Target().Pixel(35, 41), blue);  // 10 + trunc(40 x 0.6) = 34
    EXPECT_EQ(Target().Pixel(11, 41), black);
    frame(1000);
    EXPECT_EQ(Target().Pixel(11, 21), blue);  // finished on the last cel, and gone
    EXPECT_TRUE(hero->GetModifiers().empty());
    EXPECT_EQ(Target().Pixel(51, 41), blue);
    EXPECT_TRUE(follower->GetModifiers().empty());

    // The same scene rendered into a surface: the hero (at 10, 20) drawn off screen.
    pf::SurfacePtr shot = TargetSurface(30, 30);
    ASSERT_TRUE(renderItemIntoSurface(display.get(), hero.get(), Rect(2, 2, 30, 30), shot.get(), Rect(0, 0, 30, 30)));
    EXPECT_EQ(PixelOf(shot.get(), 9, 19), blue);
    EXPECT_EQ(PixelOf(shot.get(), 12, 22), 0u);
    EXPECT_EQ(PixelOf(shot.get(), 0, 0), 0u);

    root->RemoveAllDescendents(false);
    SetModifierFactory(nullptr);
    SetResourceManager(nullptr);
}

}  // namespace
