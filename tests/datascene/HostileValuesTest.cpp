// Values at the edges of their types, from XML, property text and script-sized
// arguments: the modifiers keep to their ranges instead of overflowing.
#include <climits>
#include <cmath>

#include "DataSceneSupport.h"
#include "scene/Cyclers.h"
#include "scene/ModifierQueue.h"
#include "scene/MoveWithCursor.h"
#include "scene/PathModifier.h"
#include "scene/Tweens.h"

using datascene::CelActor;
using datascene::DataSceneTest;
using datascene::StripAnim;
using datascene::Xml;
using pf::Point;

namespace {

Point g_cursor;
Point Cursor() { return g_cursor; }

class HostileValuesTest : public DataSceneTest {
protected:
    void TearDown() override {
        SetCursorPositionSource(nullptr);
        DataSceneTest::TearDown();
    }
    my_intrusive_ptr<CelActor> AnimatedActor(int cels) {
        auto a = Make<CelActor>();
        anim = new StripAnim(cels);
        a->SetResAnim(anim.get());
        root->AddItem(a.get());
        return a;
    }
    my_intrusive_ptr<ResAnim> anim;
};

// A loop count at the bottom of the int range finishes at the end of the loop.
TEST_F(HostileValuesTest, XmlCyclerLoopsAtTheIntLimitsFinish) {
    for (int type = 1; type <= 4; ++type) {
        SCOPED_TRACE(type);
        auto actor = AnimatedActor(3);
        auto xml = Xml("<m type=\"Cycler\" loops=\"-2147483648\" cycleType=\"" + std::to_string(type) + "\"/>");
        my_intrusive_ptr<Cycler> c(new Cycler(*xml));
        EXPECT_EQ(c->GetLoops(), INT_MIN);
        actor->AddModifier(c.get(), nullptr);
        c->Action(1.0f, 2.5f);
        EXPECT_TRUE(c->IsDone());
        EXPECT_TRUE(actor->GetModifiers().empty());

        my_intrusive_ptr<Cycler> byProperty(new Cycler(*xml));
        EXPECT_TRUE(byProperty->SetProperty(L"loops", L"-99999999999"));
        EXPECT_EQ(byProperty->GetLoops(), INT_MIN);
        actor->AddModifier(byProperty.get(), nullptr);
        byProperty->Action(1.0f, 2.5f);
        EXPECT_TRUE(byProperty->IsDone());
        EXPECT_TRUE(byProperty->SetProperty(L"type", L"99999999999"));
        EXPECT_EQ(byProperty->GetCycleType(), INT_MAX);
    }
}

TEST_F(HostileValuesTest, FaderDestinationsAtTheIntLimitsKeepAlphaInRange) {
    auto actor = AnimatedActor(1);
    for (int dest : {INT_MIN, INT_MAX}) {
        SCOPED_TRACE(dest);
        actor->SetAlpha(dest == INT_MIN ? 255 : 0);
        my_intrusive_ptr<Fader2> fade(new Fader2);
        fade->Init(dest);
        actor->AddModifier(fade.get(), nullptr);
        fade->Action(1.0f, 1.0f);
        EXPECT_EQ(actor->GetAlpha(), dest == INT_MIN ? 0 : 255);
        fade->Action(0.5f, 0.5f);
        EXPECT_EQ(actor->GetAlpha(), dest == INT_MIN ? 0 : 255);
        actor->RemoveAllModifiers();
    }
}

// An offset or a client position at the int limits against a cursor on the other side.
TEST_F(HostileValuesTest, MoveWithCursorOffsetsAtTheIntLimitsStayInsideTheConfines) {
    SetCursorPositionSource(&Cursor);
    auto parent = Make<Item>();
    root->AddItem(parent.get());
    auto item = Make<Item>();
    parent->AddItem(item.get());

    g_cursor = Point(10, 10);
    my_intrusive_ptr<MoveWithCursor> follow(new MoveWithCursor(pf::Rect(0, 0, 800, 600)));
    follow->SetKeepOffset(false);
    item->AddModifier(follow.get(), nullptr);
    EXPECT_TRUE(follow->SetProperty(L"offset", L"-2147483648,2147483647"));
    root->Cycle();
    EXPECT_EQ(item->GetPosition(), Point(800, 0));

    item->RemoveAllModifiers();
    EXPECT_TRUE(item->SetProperty(L"position", L"-2147483648,2147483647"));
    g_cursor = Point(100, -100);
    follow = new MoveWithCursor(pf::Rect(0, 0, 800, 600));
    item->AddModifier(follow.get(), nullptr);  // keeps the offset: cursor - position
    EXPECT_EQ(follow->GetOffset(), Point(INT_MAX, INT_MIN));
    root->Cycle();
    EXPECT_EQ(item->GetPosition(), Point(0, 600));
}

// A null modifier in the queue is not queued: the pairs after it still play.
TEST_F(HostileValuesTest, QueueSkipsAMissingModifier) {
    auto item = Make<Item>();
    root->AddItem(item.get());
    my_intrusive_ptr<ModifierQueue> queue(new ModifierQueue);
    queue->pushModifier(nullptr, nullptr);
    my_intrusive_ptr<scenetest::SpyModifier> step(new scenetest::SpyModifier(&journal, "a"));
    step->stepsLeft = 1;
    queue->pushModifier(step.get(), nullptr);
    item->AddModifier(queue.get(), nullptr);
    for (int i = 0; i < 4; ++i) root->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"modifier a"}));
    EXPECT_TRUE(queue->IsDone());
    EXPECT_TRUE(item->GetModifiers().empty());
}

// Thousands of nodes, repeated times, values at the int limits and ragged separators:
// every sample is a finite number and alpha stays a byte.
TEST_F(HostileValuesTest, PathTextsAtTheLimitsGiveFiniteSamples) {
    std::wstring big;
    for (int i = 0; i < 5000; ++i)
        big += L"x " + std::to_wstring(i % 2 ? INT_MAX : INT_MIN) + L" a 99999999999 t " + std::to_wstring(i / 3) +
               L"__ ";
    const std::wstring texts[] = {big, L"t 5 t 5 t 5", L"x 1 t 2147483647 x 2 t -2147483648", L"t", L"() _ t",
                                  L"x nan t inf y 1e999 t 3"};
    auto actor = AnimatedActor(1);
    for (const std::wstring& text : texts) {
        my_intrusive_ptr<PathModifier> path(new PathModifier);
        path->Init(text);
        actor->AddModifier(path.get(), nullptr);
        for (float s : {-1.0f, 0.0f, 0.3f, 0.5f, 1.0f, 2.0f, NAN, INFINITY}) {
            PathSample sample;
            if (path->Evaluate(path->GetStartTime() + (path->GetEndTime() - path->GetStartTime()) * s, sample)) {
                EXPECT_TRUE(std::isfinite(sample.x) && std::isfinite(sample.y) && std::isfinite(sample.scale) &&
                            std::isfinite(sample.rotation) && std::isfinite(sample.alpha));
            }
            path->Action(s, s);
            EXPECT_GE(actor->GetAlpha(), 0);
            EXPECT_LE(actor->GetAlpha(), 255);
        }
        actor->RemoveAllModifiers();
    }
}

}  // namespace
