#include <gtest/gtest.h>

#include "shell/foundation/ValueTypes.h"

using namespace pf;

TEST(Color, PackedForms) {
    Color c(0x11, 0x22, 0x33, 0x44);
    EXPECT_EQ(c.GetRGBA(), 0x44332211u);
    EXPECT_EQ(c.GetARGB(), 0x44112233u);
    EXPECT_EQ(Color(300, -1, 0).a, 255);
    EXPECT_EQ(Color(300, -1, 0).r, 44);
    EXPECT_EQ(Color(300, -1, 0).g, 255);
    EXPECT_EQ(Color(), Color(0, 0, 0, 255));
}

TEST(Point, Arithmetic) {
    Point p(6, -9);
    EXPECT_EQ(p + Point(1, 2), Point(7, -7));
    EXPECT_EQ(p - Point(1, 2), Point(5, -11));
    EXPECT_EQ(-p, Point(-6, 9));
    EXPECT_EQ(p * 2, Point(12, -18));
    EXPECT_EQ(p * Point(2, 3), Point(12, -27));
    EXPECT_EQ(p / 4, Point(1, -2));  // truncation toward zero
    EXPECT_EQ(p / Point(3, 2), Point(2, -4));
    EXPECT_TRUE(Point(1, 2) != Point(1, 3));
    EXPECT_FALSE(Point(1, 2) != Point(1, 2));
    Point q(1, 1);
    q.Move(2, 3).Add(Point(1, 1));
    q -= Point(1, 0);
    EXPECT_EQ(q, Point(3, 5));
}

TEST(Point, DivisionByZeroLeavesTheValue) {
    EXPECT_EQ(Point(6, 8) / 0, Point(6, 8));
    EXPECT_EQ(Point(6, 8) / Point(0, 2), Point(6, 4));
}

TEST(Point, IsNearIsStrict) {
    EXPECT_TRUE(Point(0, 0).IsNear(Point(3, 3), 4));
    EXPECT_TRUE(Point(0, 0).IsNear(Point(-3, 3), 4));
    EXPECT_FALSE(Point(0, 0).IsNear(Point(4, 0), 4));
    EXPECT_FALSE(Point(0, 0).IsNear(Point(0, -4), 4));
}

TEST(Rect, InclusiveEdges) {
    Rect r(0, 0, 10, 10);
    EXPECT_EQ(r.GetRight(), 9);
    EXPECT_EQ(r.GetBottom(), 9);
    EXPECT_EQ(r.GetBottomRight(), Point(9, 9));
    EXPECT_EQ(r.GetTopRight(), Point(9, 0));
    EXPECT_EQ(r.GetBottomLeft(), Point(0, 9));
    EXPECT_TRUE(r.PointIn(Point(9, 9)));
    EXPECT_FALSE(r.PointIn(Point(10, 5)));
    EXPECT_FALSE(r.PointIn(Point(-1, 5)));
    EXPECT_TRUE(Rect(0, 0, 0, 5).IsEmpty());
    EXPECT_TRUE(Rect(0, 0, 5, -1).IsEmpty());
    EXPECT_FALSE(Rect(0, 0, 1, 1).IsEmpty());
    Rect moved = r;
    moved.SetPosition(Point(3, 4));
    EXPECT_EQ(moved, Rect(3, 4, 10, 10));
    moved.SetSize(Point(1, 2));
    EXPECT_EQ(moved, Rect(3, 4, 1, 2));
    moved.MoveRelative(Point(-3, -4));
    moved.Resize(1, 1);
    EXPECT_EQ(moved, Rect(0, 0, 2, 3));
}

TEST(Rect, IntersectsVersusIntersect) {
    struct Case { Rect a, b; bool intersects, intersect; };
    const Case cases[] = {
        {Rect(0, 0, 10, 10), Rect(10, 0, 5, 5), true, false},   // edge-adjacent
        {Rect(0, 0, 10, 10), Rect(9, 0, 5, 5), true, false},    // one column of overlap
        {Rect(0, 0, 10, 10), Rect(8, 8, 5, 5), true, true},     // two columns and rows
        {Rect(0, 0, 10, 10), Rect(11, 0, 5, 5), false, false},
        {Rect(0, 0, 10, 10), Rect(2, 2, 3, 3), true, true},     // inside
        {Rect(0, 0, 10, 10), Rect(0, 10, 10, 10), true, false}, // adjacent below
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.a.Intersects(c.b), c.intersects) << c.b.x << "," << c.b.y;
        EXPECT_EQ(c.a.Intersect(c.b), c.intersect) << c.b.x << "," << c.b.y;
    }
}

TEST(Rect, ClipIntersectionUnion) {
    Rect a(0, 0, 10, 10);
    a.Clip(Rect(5, 5, 10, 10));
    EXPECT_EQ(a, Rect(5, 5, 5, 5));

    Rect disjoint(0, 0, 2, 2);
    disjoint.Intersection(Rect(5, 5, 1, 1));
    EXPECT_EQ(disjoint, Rect(0, 0, 0, 0));

    Rect unchanged(1, 2, 3, 4);
    unchanged.Intersection(Rect(0, 0, 0, 0));  // empty other: nothing
    EXPECT_EQ(unchanged, Rect(1, 2, 3, 4));

    Rect u(0, 0, 2, 2);
    u.Union(Rect(5, 5, 1, 1));
    EXPECT_EQ(u, Rect(0, 0, 6, 6));

    Rect clipAway(0, 0, 4, 4);
    clipAway.Clip(Rect(10, 10, 2, 2));  // may leave a negative size
    EXPECT_TRUE(clipAway.IsEmpty());
}
