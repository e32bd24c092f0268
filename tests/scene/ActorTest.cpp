#include "SceneTestSupport.h"
#include "scene/ResAnim.h"
#include "tests/common/TestSupport.h"

using namespace scenetest;
using pf::Point;
using pf::Rect;

namespace {

// An anim of loops x cels whose cels are tagged surfaces.
class GridAnim : public ResAnim {
public:
    GridAnim(int loops, int cels) : loops_(loops), cels_(cels) {
        for (int l = 0; l < loops; ++l)
            for (int c = 0; c < cels; ++c)
                surfaces_.emplace_back(new RecordingSurface(8, 4, std::to_string(l) + "/" + std::to_string(c)));
    }
    int GetNumCels() const override { return cels_; }
    int GetNumLoops() const override { return loops_; }
    pf::Surface* getCel(int loop, int cel) override { return surfaces_[loop * cels_ + cel].get(); }
    std::wstring GetId() const override { return L"grid"; }

private:
    int loops_, cels_;
    std::vector<my_intrusive_ptr<pf::Surface>> surfaces_;
};

}  // namespace

class ActorTest : public SceneTest {};

TEST_F(ActorTest, AlphaProductAndClamping) {
    auto parent = Make<Actor>();
    auto child = Make<Actor>();
    parent->SetAlpha(128);
    child->SetAlpha(128);
    parent->AddItem(child.get());
    child->SetSurface(new RecordingSurface(2, 2, "child"));
    root->AddItem(parent.get());
    RecordingDisplay d;
    root->Render(d);
    EXPECT_NE(d.Joined().find("draw child(64,2,2)"), std::string::npos) << d.Joined();
    child->SetOverwriteParentAlpha(255);
    d.calls.clear();
    root->Render(d);
    EXPECT_NE(d.Joined().find("draw child(128,2,2)"), std::string::npos) << d.Joined();

    // Overwrite values outside the alpha range act as the nearest alpha.
    for (const auto& [overwrite, drawn] : {std::pair{100000, 128}, std::pair{-20, -1}}) {
        child->SetOverwriteParentAlpha(overwrite);
        d.calls.clear();
        root->Render(d);
        const std::string expected = "draw child(" + std::to_string(drawn) + ",2,2)";
        EXPECT_EQ(d.Joined().find(expected) != std::string::npos, drawn >= 0) << overwrite << " " << d.Joined();
        EXPECT_EQ(d.Joined().find("draw child") != std::string::npos, drawn >= 0) << overwrite;
    }
    child->SetOverwriteParentAlpha(-1);

    EXPECT_EQ(child->SetAlpha(300), 255);
    EXPECT_EQ(child->SetAlpha(-5), 0);
    EXPECT_FALSE(child->IsVisible());

    // A colour alpha of 0 skips drawing but keeps the actor visible.
    child->SetAlpha(255);
    child->SetColor(pf::Color(255, 255, 255, 0));
    d.calls.clear();
    root->Render(d);
    EXPECT_EQ(d.Joined().find("draw child"), std::string::npos);
    EXPECT_TRUE(child->IsVisible());
}

TEST_F(ActorTest, CelAndLoopClamp) {
    auto a = Make<Actor>();
    a->SetCel(3);
    a->SetLoop(1);
    EXPECT_EQ(a->GetCel(), 0);
    EXPECT_EQ(a->GetLoop(), 0);
    my_intrusive_ptr<GridAnim> anim(new GridAnim(2, 4));
    a->SetResAnim(anim.get());
    a->SetCel(9);
    EXPECT_EQ(a->GetCel(), 3);
    a->SetLoop(-1);
    EXPECT_EQ(a->GetLoop(), 0);
    a->SetLoop(5);
    EXPECT_EQ(a->GetLoop(), 1);
    EXPECT_EQ(a->GetSurface().get(), anim->getCel(1, 3));
    EXPECT_EQ(a->GetWidth(), 8);
    EXPECT_EQ(a->GetAnim(), L"grid");
    a->SetResAnim(nullptr);
    EXPECT_EQ(a->GetSurface().get(), nullptr);
    EXPECT_EQ(a->GetCel(), 0);

    // Without a resource manager no id loads (the content tests load real anims).
    testkit::LogCapture log;
    a->SetResAnim(anim.get());
    EXPECT_TRUE(a->SetProperty(L"anim", L"missing"));
    EXPECT_EQ(a->GetResAnim(), nullptr);
    EXPECT_TRUE(log.Contains("Error: Unable to load: missing"));
}

TEST_F(ActorTest, OriginScaleAndRotation) {
    auto a = Make<Actor>();
    a->SetOrigin(Point(10, 10));
    a->SetScale(2.0f);
    a->SetPosition(Point(100, 100));
    root->AddItem(a.get());
    EXPECT_EQ(a->ConvertPoint(Point(10, 10), true), Point(100, 100));
    EXPECT_EQ(a->ConvertPoint(Point(20, 10), true), Point(120, 100));
    EXPECT_EQ(a->ConvertPoint(Point(120, 100), false), Point(20, 10));

    EXPECT_TRUE(a->SetProperty(L"rotation", L"90"));
    EXPECT_FLOAT_EQ(a->GetRotation(), 1.5707964f);
    EXPECT_TRUE(a->SetProperty(L"scaleX", L"3"));
    EXPECT_FLOAT_EQ(a->GetScaleX(), 3.0f);
    EXPECT_FLOAT_EQ(a->GetScaleY(), 2.0f);
    EXPECT_FALSE(a->SetProperty(L"nonsense", L"1"));
    EXPECT_EQ(a->GetOriginY(), 10);

    // A content size of 0 keeps the origin.
    a->SetSize(Point(0, 0));
    EXPECT_EQ(a->GetScaledOrigin(), Point(10, 10));
}

TEST_F(ActorTest, PixelHitTests) {
    auto a = Make<Actor>();
    auto* surface = new RecordingSurface(4, 4, "s");
    surface->SetPixel(1, 1, 0xff00ff00);
    surface->SetPixel(2, 1, 0x00ffffff);
    a->SetSurface(surface);
    a->SetPosition(Point(50, 60));
    root->AddItem(a.get());
    EXPECT_TRUE(a->IsOn(Point(51, 61)));
    EXPECT_FALSE(a->IsOn(Point(52, 61)));  // alpha 0
    EXPECT_FALSE(a->IsOn(Point(49, 61)));  // outside
    EXPECT_EQ(a->getColorAtPoint(Point(51, 61)), pf::Color(0, 255, 0, 255));
    TreeState s;
    s.mouse = pf::VectorT3(1.7f, 1.2f, 0.0f);
    EXPECT_TRUE(a->HitTest(s));
    a->SetAlphaIsOnThreshold(0);
    EXPECT_TRUE(a->IsOn(Point(52, 61)));
    a->SetAlphaIsOnThreshold(1);
    a->SetIgnoreTransparency(true);
    EXPECT_TRUE(a->IsOn(Point(52, 61)));
}

TEST_F(ActorTest, ClipIsSetForTheSubtreeAndRestored) {
    auto a = Make<Actor>();
    a->SetPosition(Point(100, 100));
    a->SetClipRect(Rect(0, 0, 50, 50));
    a->SetUseClipRect(true);
    a->SetSurface(new RecordingSurface(80, 80, "a"));
    auto child = Make<Actor>();
    child->SetSurface(new RecordingSurface(2, 2, "child"));
    a->AddItem(child.get());
    auto after = Make<Actor>();
    after->SetSurface(new RecordingSurface(2, 2, "after"));
    root->AddItem(a.get());
    root->AddItem(after.get());
    RecordingDisplay d;
    root->Render(d);
    EXPECT_EQ(d.Joined(),
              "clip(none);"
              "color(255,255,255,255);bright(0,0,0,0);transform(100,100);blend(1);clip(100,100,50,50);"
              "draw a(255,80,80);"
              "color(255,255,255,255);bright(0,0,0,0);transform(100,100);blend(1);draw child(255,2,2);"
              "clip(0,0,800,600);"
              "color(255,255,255,255);bright(0,0,0,0);transform(0,0);blend(1);draw after(255,2,2);");
}

TEST_F(ActorTest, DumpText) {
    auto a = Make<Actor>();
    const std::wstring id = std::to_wstring(a->GetCreationID());
    EXPECT_EQ(a->Dump(false, false), L"'Actor'  cid: " + id + L"\n[Item], size 800x600\n [Actor]");
    a->SetPosition(Point(3, 4));
    a->SetPriority(2);
    a->SetAlpha(10);
    a->SetOrigin(Point(1, 2));
    a->SetScaleXY(1.5f, 1.0f);
    a->SetColor(pf::Color(1, 2, 3, 4));
    a->SetVisible(false);
    a->SetModal(true);
    a->AddEventHandler(Make<ClockHandler>().get());
    EXPECT_EQ(a->Dump(false, true),
              L"{color=FF0000}'Actor'  cid: " + id +
                  L"\n{/c}[Item] pos (3, 4), pri 2, size 800x600, invisible, MODAL, has clock = 0\n [Actor] alpha "
                  L"10, origin (1, 2), scale (1.5, 1), color (01020304){color=01020304}, (*color*){/c}");
}
