#include <cmath>

#include "DataSceneSupport.h"
#include "scene/PathModifier.h"

using datascene::DataSceneTest;

namespace {

class PathModifierTest : public DataSceneTest {
protected:
    // The path on an actor under the root, with Action values from the test.
    my_intrusive_ptr<Actor> Run(const std::wstring& text) {
        path = Make<PathModifier>();
        path->Init(text);
        auto actor = Make<Actor>();
        root->AddItem(actor.get());
        actor->AddModifier(path.get(), nullptr);
        return actor;
    }
    my_intrusive_ptr<PathModifier> path;
};

TEST_F(PathModifierTest, TwoNodesFollowTheirChord) {
    auto actor = Run(L"x 0 y 0 t 0 x 100 y 0 t 1000");
    path->Action(0, 0.5f);
    EXPECT_FLOAT_EQ(actor->GetPositionF().x, 50.0f);
    EXPECT_FLOAT_EQ(actor->GetPositionF().y, 0.0f);
    EXPECT_FLOAT_EQ(actor->GetScaleX(), 1.0f);
    EXPECT_EQ(actor->GetAlpha(), 255);
    EXPECT_FLOAT_EQ(actor->GetRotation(), 0.0f);
    path->Action(0, 0.25f);
    EXPECT_FLOAT_EQ(actor->GetPositionF().x, 25.0f);
    // Beyond either end the end node holds.
    path->Action(0, 1.7f);
    EXPECT_FLOAT_EQ(actor->GetPositionF().x, 100.0f);
    path->Action(0, -3.0f);
    EXPECT_FLOAT_EQ(actor->GetPositionF().x, 0.0f);
}

TEST_F(PathModifierTest, NodesTakeEarlierValuesAndSortByTime) {
    Run(L"x 10 y 20 s 50 a 0 t 0 x 100 t 1000 z 5 r 90 t 500 y 7 t 500");
    const auto& n = path->GetNodes();
    ASSERT_EQ(n.size(), 4u);
    // Sorted: 0, 500 (r 90, written first), 500 (y 7), 1000.
    EXPECT_EQ(n[0].time, 0.0f);
    EXPECT_EQ(n[1].rotation, 90.0f);
    EXPECT_EQ(n[2].y, 7.0f);
    EXPECT_EQ(n[2].rotation, 90.0f);  // filled from the node before in time
    EXPECT_EQ(n[3].time, 1000.0f);
    EXPECT_EQ(n[3].y, 20.0f);
    for (const auto& node : n) {
        EXPECT_EQ(node.scale, 50.0f);
        EXPECT_EQ(node.alpha, 0.0f);  // "z 5" did not disturb the pairs after it
        EXPECT_FLOAT_EQ(node.tension, 0.001f);
        EXPECT_FLOAT_EQ(node.bias, 0.01f);
    }
    EXPECT_EQ(n[3].rotation, 90.0f);
    EXPECT_EQ(n[0].x, 10.0f);
    EXPECT_EQ(n[1].x, 100.0f);  // positions carry on to later nodes of the text
}

TEST_F(PathModifierTest, InnerTangentsAreKochanekBartels) {
    Run(L"x 0 y 0 t 0 x 100 y 0 t 100 x 100 y 100 t 200");
    const auto& n = path->GetNodes();
    ASSERT_EQ(n.size(), 3u);
    const float T = 0.001f, B = 0.01f;
    // A = (1 + B)(100, 0), D = (1 - B)(0, 100), K = 0: both tangents (1 - T)(A + D) / 2.
    EXPECT_NEAR(n[1].outTangent.x, (1 - T) * (1 + B) * 100 / 2, 1e-3);
    EXPECT_NEAR(n[1].outTangent.y, (1 - T) * (1 - B) * 100 / 2, 1e-3);
    EXPECT_NEAR(n[1].inTangent.x, n[1].outTangent.x, 1e-4);
    EXPECT_NEAR(n[0].outTangent.x, 100, 1e-4);
    EXPECT_NEAR(n[2].inTangent.y, 100, 1e-4);
    PathSample s;
    ASSERT_TRUE(path->Evaluate(100, s));
    EXPECT_FLOAT_EQ(s.x, 100);
    EXPECT_FLOAT_EQ(s.y, 0);
}

TEST_F(PathModifierTest, DegeneratePathsHoldTheirNodes) {
    // No nodes: nothing is set.
    auto actor = Run(L"x 5 y");
    actor->SetPosition(pf::Point(3, 4));
    path->Action(0, 0.5f);
    EXPECT_EQ(actor->GetPosition(), pf::Point(3, 4));
    PathSample s;
    EXPECT_FALSE(path->Evaluate(0, s));
    // One node: the actor stands on it.
    actor = Run(L"x 7 y 8 a 100 t 40");
    for (float v : {0.0f, 0.5f, 1.0f, NAN}) {
        path->Action(0, v);
        EXPECT_EQ(actor->GetPosition(), pf::Point(7, 8));
        EXPECT_EQ(actor->GetAlpha(), 100);
    }
    // Nodes at one time: a zero-length segment stands at its first node, no NaN.
    actor = Run(L"x 1 t 0 x 2 t 0 x 3 t 0");
    path->Action(0, 0.5f);
    EXPECT_EQ(actor->GetPositionF().x, 1.0f);
    actor = Run(L"x 0 t 0 x 10 t 100 x 20 t 100 x 30 t 200");
    path->Action(0, 0.5f);  // t = 100 ends the first segment
    EXPECT_FLOAT_EQ(actor->GetPositionF().x, 10.0f);
    path->Action(0, 0.75f);
    EXPECT_FALSE(std::isnan(actor->GetPositionF().x));
    EXPECT_GT(actor->GetPositionF().x, 20.0f);
}

TEST_F(PathModifierTest, InitReplacesTheNodesAndKeepsTheText) {
    Run(L"t 0 t 1");
    path->Init(L"(x_3)(t_9)");
    EXPECT_EQ(path->GetPathText(), L"(x_3)(t_9)");
    ASSERT_EQ(path->GetNodes().size(), 1u);
    EXPECT_EQ(path->GetNodes()[0].x, 3.0f);
    EXPECT_EQ(path->GetStartTime(), 9.0f);
}

}  // namespace
