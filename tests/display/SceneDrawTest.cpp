// A scene tree of actors drawn by the root item through the real display: positions add up
// along the tree, alpha blends over what was drawn before, scale enlarges and hidden items
// stay out of the frame.
#include "DisplayFixture.h"

#include <cstdlib>

#include "scene/Actor.h"
#include "scene/RootItem.h"

namespace displaytest {
namespace {

my_intrusive_ptr<Actor> MakeActor(pf::SurfacePtr surface, pf::Point position) {
    my_intrusive_ptr<Actor> actor(new Actor());
    actor->SetSurface(surface.get());
    actor->SetPosition(position);
    return actor;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    }
    return true;
}

TEST_F(DisplayTest, SceneOfActorsDrawsThroughTheDisplay) {
    Start();
    my_intrusive_ptr<RootItem> root(new RootItem());

    my_intrusive_ptr<Item> group(new Item());
    group->SetPosition(pf::Point(100, 50));
    root->AddItem(group.get());
    group->AddItem(MakeActor(SolidSurface(8, 8, 0xFFFF0000u), pf::Point(2, 3)).get());

    root->AddItem(MakeActor(SolidSurface(8, 8, 0xFF00FF00u), pf::Point(200, 100)).get());
    auto over = MakeActor(SolidSurface(8, 8, 0xFF0000FFu), pf::Point(200, 100));
    over->SetAlpha(128);
    root->AddItem(over.get());

    auto big = MakeActor(SolidSurface(4, 4, 0xFFFFFFFFu), pf::Point(300, 300));
    big->SetScale(2.0f);
    root->AddItem(big.get());

    auto hidden = MakeActor(SolidSurface(8, 8, 0xFFFFFF00u), pf::Point(400, 400));
    hidden->SetVisible(false);
    root->AddItem(hidden.get());

    Frame([&] { root->Render(*display); });

    const uint32_t black = 0xFF000000u;
    // The child's position adds to its group's.
    EXPECT_EQ(Target().Pixel(102, 53), 0xFFFF0000u);
    EXPECT_EQ(Target().Pixel(109, 60), 0xFFFF0000u);
    EXPECT_EQ(Target().Pixel(101, 53), black);
    EXPECT_EQ(Target().Pixel(110, 60), black);
    // Half-transparent blue over opaque green, drawn later because it was added later.
    const uint32_t blended = Target().Pixel(203, 103) & 0xFFFFFFu;
    EXPECT_TRUE(Near(blended, 0x007F80u, 1)) << std::hex << blended;
    // Scaled by two from its top-left corner.
    EXPECT_EQ(Target().Pixel(300, 300), 0xFFFFFFFFu);
    EXPECT_EQ(Target().Pixel(307, 307), 0xFFFFFFFFu);
    EXPECT_EQ(Target().Pixel(308, 307), black);
    // Not visible: not drawn.
    EXPECT_EQ(Target().Pixel(403, 403), black);
}

}  // namespace
}  // namespace displaytest
