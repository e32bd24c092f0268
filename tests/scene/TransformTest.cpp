#include "SceneTestSupport.h"

using namespace scenetest;
using pf::Point;
using pf::Rect;

class TransformTest : public SceneTest {};

TEST_F(TransformTest, PointConversions) {
    auto item = Make<Item>();
    item->SetPositionF(pf::VectorT2(10.7f, 20.2f));
    EXPECT_EQ(item->ConvertPoint(Point(1, 1), true), Point(11, 21));
    EXPECT_EQ(item->ConvertPoint(Point(1, 1), false), Point(-9, -19));
    root->AddItem(item.get());
    EXPECT_EQ(ConvertPointBetweenSpaces(item.get(), Point(5, 5), CoordSelf, CoordSelf), Point(5, 5));
    EXPECT_EQ(ConvertPointBetweenSpaces(item.get(), Point(5, 5), CoordParent, CoordRoot), Point(5, 5));
    EXPECT_EQ(ConvertPointBetweenSpaces(item.get(), Point(5, 5), CoordSelf, CoordRoot), Point(15, 25));
    EXPECT_EQ(ConvertPointBetweenSpaces(item.get(), Point(15, 25), CoordRoot, CoordSelf), Point(5, 5));
    EXPECT_EQ(item->GetRectInParent(), Rect(10, 20, 800, 600));
}

TEST_F(TransformTest, EffectiveClipAndClipTests) {
    auto parent = Make<Item>();
    parent->SetPosition(Point(50, 50));
    auto child = Make<Item>();
    child->SetPosition(Point(10, 10));
    root->AddItem(parent.get());
    parent->AddItem(child.get());
    root->ClearClipRect();
    EXPECT_EQ(child->GetEffectiveClipRect(), Rect());
    EXPECT_TRUE(child->IsInClipRect(Point(700, 500)));
    parent->SetClipRect(Rect(0, 0, 100, 100));
    EXPECT_EQ(child->GetEffectiveClipRect(), Rect(-10, -10, 100, 100));
    EXPECT_TRUE(child->IsInClipRect(Point(149, 149)));
    EXPECT_FALSE(child->IsInClipRect(Point(150, 60)));

    auto actor = Make<Actor>();
    actor->SetSize(Point(20, 20));
    actor->SetPosition(Point(300, 300));
    root->AddItem(actor.get());
    EXPECT_TRUE(actor->IsInClipRect(Point(319, 300)));
    EXPECT_FALSE(actor->IsInClipRect(Point(320, 300)));
}

TEST_F(TransformTest, RectanglesUpTheTree) {
    auto outer = Make<Actor>();
    outer->SetPosition(Point(100, 100));
    outer->SetOrigin(Point(10, 10));
    outer->SetSize(Point(40, 40));
    auto inner = Make<Item>();
    inner->SetPosition(Point(5, 5));
    inner->SetSize(Point(10, 10));
    root->AddItem(outer.get());
    outer->AddItem(inner.get());
    EXPECT_EQ(outer->GetRectInRoot(), Rect(90, 90, 40, 40));
    EXPECT_EQ(inner->GetRectInRoot(), Rect(95, 95, 10, 10));
    EXPECT_EQ(inner->GetRectInActorParent(), Rect(5, 5, 10, 10));
    EXPECT_EQ(CalcUnionChildRect(outer.get(), true, false), Rect(90, 90, 40, 40));
}

TEST_F(TransformTest, DrawChildrenHonoursTheFlag) {
    auto a = Make<Actor>();
    a->SetSurface(new RecordingSurface(2, 2, "a"));
    root->AddItem(a.get());
    RecordingDisplay d;
    RenderState rs;
    rs.display = &d;
    rs.drawChildren = false;
    root->DrawChildren(rs);
    EXPECT_TRUE(d.calls.empty());
    rs.drawChildren = true;
    root->DrawChildren(rs);
    EXPECT_NE(d.Joined().find("draw a"), std::string::npos);
}
