// Particle systems drawn through the display onto the recording software device: sprite
// position and size, animation cels over time, colour curves, the white default colour
// with the alpha curve, hidden hosts and transforms that overflow.
#include "content/ResAnim.h"
#include "display/DisplayFixture.h"
#include "game/ParticleSystem.h"
#include "particles/ParticleTestSupport.h"
#include "scene/RootItem.h"

namespace particletest {
namespace {

class ParticleDrawTest : public displaytest::DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        pf::SeedRand(99);
        Start();
        root = my_intrusive_ptr<RootItem>(new RootItem());
    }
    // A w x h anim of the given cels, side by side (one colour each).
    my_intrusive_ptr<ResAnim> Anim(const std::vector<uint32_t>& cels, int w = 8, int h = 8) {
        pf::MemorySurface image(w * int(cels.size()), h);
        pf::PixelView v = image.GetView();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * int(cels.size()); ++x)
                reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] = cels[size_t(x / w)];
        my_intrusive_ptr<ResAnim> anim(new ResAnim());
        anim->SetSurface(display.get(), display->CreateSurfaceFromImage(v), int(cels.size()), 1);
        return anim;
    }
    // A host of system id at p, in the scene, after its first update.
    ParticleRect* Host(int id, ResAnim* anim, pf::Point p) {
        ParticleRegistry::Get(id).animation = anim;
        my_intrusive_ptr<ParticleRect> rect(new ParticleRect());
        rect->SetPosition(p);
        rect->SetSystem(id);
        rect->GetSystem()->SetPosition(p.x, p.y);
        rect->GetSystem()->Update(16);
        root->AddItem(rect.get());
        return rect.get();
    }
    void Draw() {
        Frame([&] { root->Render(*display); });
    }

    my_intrusive_ptr<RootItem> root;
};

// One still sprite particle of a long life.
std::string System(int id, const std::string& particleChildren) {
    return "<System id=\"" + std::to_string(id) +
           "\"><PoolSize value=\"1\"/><EmitSize base=\"1\"/><EmitRate base=\"100000\"/>"
           "<Particle type=\"sprite\"><Lifespan base=\"100000\"/>" + particleChildren + "</Particle></System>";
}

TEST_F(ParticleDrawTest, SystemsDrawThroughTheSoftwareDevice) {
    ASSERT_TRUE(ReadDefinitions("<S>" + System(7600, "") +
                                System(7601, R"(<Color><start r="255" g="0" b="0"/><end r="255" g="0" b="0"/></Color>)") +
                                System(7602, R"(<Alpha><start value="0.5"/><end value="0.5"/></Alpha>)") +
                                System(7603, R"(<Animation framerate="10"/>)") +
                                System(7604, R"(<Scale><start value="3e38"/><end value="3e38"/></Scale>)") +
                                System(7605, "") + "</S>"));
    auto green = Anim({0xFF00FF00u});
    auto white = Anim({0xFFFFFFFFu});
    auto strip = Anim({0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu});
    Host(7600, green.get(), pf::Point(100, 100));
    Host(7601, white.get(), pf::Point(200, 100));
    Host(7602, white.get(), pf::Point(300, 100));
    ParticleRect* animated = Host(7603, strip.get(), pf::Point(400, 100));
    Host(7604, white.get(), pf::Point(500, 100));
    Host(7605, white.get(), pf::Point(600, 100))->SetVisible(false);
    Draw();

    const uint32_t black = 0xFF000000u;
    // Centred on the emission point: 96..103 on both axes.
    EXPECT_EQ(Target().Pixel(100, 100), 0xFF00FF00u);
    EXPECT_EQ(Target().Pixel(96, 96), 0xFF00FF00u);
    EXPECT_EQ(Target().Pixel(103, 103), 0xFF00FF00u);
    EXPECT_EQ(Target().Pixel(95, 96), black);
    EXPECT_EQ(Target().Pixel(104, 103), black);
    // Colour curves tint the sprite.
    EXPECT_EQ(Target().Pixel(200, 100), 0xFFFF0000u);
    // Without colour curves: white at the alpha curve's value, whatever was set before.
    const uint32_t half = Target().Pixel(300, 100);
    EXPECT_NEAR(int(half >> 16 & 0xFF), 0x7F, 2);
    EXPECT_NEAR(int(half >> 8 & 0xFF), 0x7F, 2);
    EXPECT_NEAR(int(half & 0xFF), 0x7F, 2);
    // Cel 0 for the first 100 ms.
    EXPECT_EQ(Target().Pixel(400, 100), 0xFFFF0000u);
    // An overflowing transform and a hidden host draw nothing.
    EXPECT_EQ(Target().Pixel(500, 100), black);
    EXPECT_EQ(Target().Pixel(600, 100), black);

    const uint32_t expected[] = {0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu, 0xFFFF0000u};
    for (uint32_t colour : expected) {
        animated->GetSystem()->Update(100);
        Draw();
        EXPECT_EQ(Target().Pixel(400, 100), colour);
    }
}

TEST_F(ParticleDrawTest, ParticlesOfATargetAreDrawnOnceByTheTarget) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7610" target="holder"><PoolSize value="1"/><EmitSize base="1"/>
        <EmitRate base="100000"/><Particle type="sprite"><Lifespan base="100000"/>
        <Alpha><start value="0.5"/><end value="0.5"/></Alpha></Particle></System></S>)"));
    auto white = Anim({0xFFFFFFFFu});
    my_intrusive_ptr<Item> holder(new Item());
    holder->SetName(L"holder");
    holder->SetPosition(pf::Point(50, 60));
    root->AddItem(holder.get());
    CurrentRootItem = root;
    Host(7610, white.get(), pf::Point(10, 10));
    Draw();
    CurrentRootItem = nullptr;
    // In the target's space, and blended once: drawn twice it would be brighter.
    const uint32_t p = Target().Pixel(60, 70);
    EXPECT_NEAR(int(p >> 8 & 0xFF), 0x7F, 2) << std::hex << p;
    EXPECT_EQ(Target().Pixel(10, 10), 0xFF000000u);
}

}  // namespace
}  // namespace particletest
