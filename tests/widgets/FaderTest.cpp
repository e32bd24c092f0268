// Colour rectangles, screen faders and the software cursor: fills and borders drawn
// through the software device, fade timing over a fake clock, cues passed on, the blur
// fader's frames, and the cursor following the mouse.
#include "content/XmlData.h"
#include "WidgetsFixture.h"

#include <algorithm>
#include <cstdlib>

#include "common/TestSupport.h"
#include "widgets/ColorRect.h"
#include "widgets/CursorActor.h"
#include "widgets/FullScreenBlurFader.h"
#include "widgets/FullScreenFader.h"
#include "scene/Lifetime.h"
#include "shell/Clock.h"
#include "shell/EventSystem.h"
#include "shell/foundation/TextHelpers.h"

using namespace widgettest;
using pf::Color;
using pf::Point;

namespace {

int Channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

// ---------------------------------------------------------------- colour rectangles

class ColorRectDrawTest : public WidgetDrawTest {};

TEST_F(ColorRectDrawTest, FillsWithItsColourAndDrawsTheBorderInside) {
    my_intrusive_ptr<ColorRect> rect(new ColorRect);
    EXPECT_EQ(rect->GetSize(), Point(800, 600));  // an item's default size
    EXPECT_TRUE(rect->SetProperty(L"color", L"255,0,0,128"));
    root->AddItem(rect.get());
    DrawFrame();
    EXPECT_NEAR(Channel(At(400, 300), 16), 128, 1);  // half red over black
    EXPECT_EQ(At(0, 0), At(400, 300));               // no border: its alpha is 0

    rect->SetColor(Color(255, 255, 255, 255));
    rect->SetSize(Point(40, 30));
    rect->SetPosition(Point(100, 100));
    rect->SetBorderSize(3);
    rect->SetBorderColor(Color(0, 0, 255, 255));
    DrawFrame();
    for (Point p : {Point(100, 100), Point(102, 115), Point(139, 115), Point(137, 115), Point(120, 127),
                    Point(120, 129)})
        EXPECT_EQ(At(p.x, p.y), 0xFF0000FFu) << p.x << "," << p.y;
    for (Point p : {Point(103, 103), Point(136, 126), Point(120, 115)})
        EXPECT_EQ(At(p.x, p.y), 0xFFFFFFFFu) << p.x << "," << p.y;
    EXPECT_EQ(At(140, 115), 0xFF000000u);

    // The parent's alpha always counts.
    rect->SetBorderColor(Color(0, 0, 0, 0));
    rect->SetOverwriteParentAlpha(255);
    root->SetAlpha(0x80);
    DrawFrame();
    EXPECT_NEAR(Channel(At(120, 115), 8), 128, 1);
}

TEST(ColorRectTest, HitEverywhereInsideUnlessTransparencyCounts) {
    my_intrusive_ptr<ColorRect> rect(new ColorRect);
    rect->SetSize(Point(10, 10));
    rect->SetColor(Color(1, 2, 3, 0));
    TreeState s;
    s.mouse = pf::VectorT3(5, 5, 0);
    EXPECT_TRUE(rect->HitTest(s));  // alpha 0, but transparency is ignored
    s.mouse = pf::VectorT3(10, 5, 0);
    EXPECT_FALSE(rect->HitTest(s));
    rect->SetIgnoreTransparency(false);
    s.mouse = pf::VectorT3(5, 5, 0);
    EXPECT_FALSE(rect->HitTest(s));
    rect->SetColor(Color(1, 2, 3, 1));
    EXPECT_TRUE(rect->HitTest(s));
    EXPECT_TRUE(rect->IsKindOf(TypeId::ColorRect) && rect->IsKindOf(TypeId::Actor));
    rect->SetBorderColor(Color(0x12, 0x34, 0x56, 0x78));
    EXPECT_NE(rect->Dump(false, false).find(L"[ColorRect] border=1 border color=x12345678"), std::wstring::npos)
        << pf::ToUtf8(rect->Dump(false, false));
}

// ---------------------------------------------------------------- screen fader

class FaderTest : public WidgetTest {
protected:
    // Advances the clock and runs two cycles: the root's clock takes the time in the first,
    // the fade reads it in the second.
    void Step(int ms) {
        now += ms;
        root->Cycle();
        root->Cycle();
    }
};

class CueSpy : public Item {
public:
    std::vector<std::string> cues;
    void OnCue(Item* sender, int type, int data) override {
        cues.push_back(pf::ToUtf8(sender ? sender->GetName() : L"-") + " " + std::to_string(type) + " " +
                       std::to_string(data));
    }
};

TEST_F(FaderTest, FreshFadersAreBlackTransparentInFrontAndNamedApart) {
    my_intrusive_ptr<FullScreenFader> a(new FullScreenFader), b(new FullScreenFader);
    const std::wstring na = a->GetName(), nb = b->GetName();
    ASSERT_GT(na.size(), std::wstring(L"FullScreenFader").size());
    EXPECT_EQ(na.substr(na.size() - 15), L"FullScreenFader");
    EXPECT_EQ(std::stoi(nb), std::stoi(na) + 1);
    EXPECT_EQ(a->GetColor(), Color(0, 0, 0, 255));
    EXPECT_EQ(a->GetAlpha(), 0);
    EXPECT_EQ(a->GetPriority(), 10000);
    EXPECT_EQ(a->GetDuration(), 500);
    EXPECT_EQ(a->GetEndAlpha(), 128);
    EXPECT_TRUE(a->IsKindOf(TypeId::FullScreenFader) && a->IsKindOf(TypeId::ColorRect));
    EXPECT_TRUE(a->SetProperty(L"duration", L"1000ms"));
    EXPECT_TRUE(a->SetProperty(L"endAlpha", L"255"));
    EXPECT_TRUE(a->SetProperty(L"color", L"10,20,30"));
    EXPECT_EQ(a->GetDuration(), 1000);
    EXPECT_EQ(a->GetEndAlpha(), 255);
    EXPECT_EQ(a->GetColor(), Color(10, 20, 30, 255));
}

TEST_F(FaderTest, FadeRunsFromTheCurrentAlphaToTheEndOverTheDuration) {
    my_intrusive_ptr<FullScreenFader> fader(new FullScreenFader);
    root->AddItem(fader.get());
    Step(10);
    testkit::LogCapture log;
    fader->Start();
    EXPECT_TRUE(log.Contains("FSF endalpha = 128"));
    EXPECT_EQ(fader->GetAlpha(), 0);
    Step(250);
    EXPECT_EQ(fader->GetAlpha(), 64);
    Step(250);
    EXPECT_EQ(fader->GetAlpha(), 128);
    Step(300);
    EXPECT_EQ(fader->GetAlpha(), 128);
    EXPECT_TRUE(fader->GetModifiers().empty());  // the finished pair is gone; the fader stays
    EXPECT_EQ(root->GetChildren().size(), 1u);
    // Back down from where it is.
    fader->SetEndAlpha(0);
    fader->SetDuration(100);
    fader->Start();
    Step(50);
    EXPECT_EQ(fader->GetAlpha(), 64);
}

TEST_F(FaderTest, StaysOverTheScreenWhereverItsParentIs) {
    auto panel = Make<Item>();
    panel->SetPosition(Point(100, 50));
    root->AddItem(panel.get());
    my_intrusive_ptr<FullScreenFader> fader(new FullScreenFader);
    fader->SetPosition(Point(7, 7));  // no parent: nothing changes
    EXPECT_EQ(fader->GetPosition(), Point(0, 0));
    panel->AddItem(fader.get());
    root->Cycle();
    EXPECT_EQ(fader->GetPosition(), Point(-100, -50));
    EXPECT_EQ(fader->GetRectInRoot().GetTopLeft(), Point(0, 0));
}

TEST_F(FaderTest, FadeCommandAndCuesPassToTheNamedItem) {
    auto parent = Make<CueSpy>();
    parent->SetName(L"panel");
    root->AddItem(parent.get());
    my_intrusive_ptr<FullScreenFader> fader(new FullScreenFader);
    parent->AddItem(fader.get());
    XmlData fadeToParent, fadeOnly, other;
    ASSERT_TRUE(fadeToParent.Parse(L"<Fade cue=\"$parent\"/>", L""));
    ASSERT_TRUE(fadeOnly.Parse(L"<Fade/>", L""));
    ASSERT_TRUE(other.Parse(L"<Unknown/>", L""));
    EXPECT_TRUE(fader->HandleCommand(L"Fade", fadeToParent));
    EXPECT_EQ(fader->GetCue(), L"panel");
    EXPECT_EQ(fader->GetModifiers().size(), 1u);
    EXPECT_FALSE(fader->HandleCommand(L"Unknown", other));  // the item table's answer
    EXPECT_EQ(fader->GetModifiers().size(), 1u);
    EXPECT_TRUE(fader->HandleCommand(L"Fade", fadeOnly));  // no cue attribute: the cue stays
    EXPECT_EQ(fader->GetCue(), L"panel");
    EXPECT_EQ(fader->GetModifiers().size(), 2u);  // each fade adds its own pair

    fader->OnCue(root.get(), 3, 4);
    EXPECT_EQ(parent->cues, (std::vector<std::string>{pf::ToUtf8(fader->GetName()) + " 3 4"}));

    testkit::LogCapture log;
    fader->SetCue(L"nobody");
    fader->OnCue(root.get(), 1, 0);
    fader->SetCue(L"");
    fader->OnCue(root.get(), 1, 0);
    SetRootItem(nullptr);
    fader->SetCue(L"panel");
    fader->OnCue(nullptr, 1, 0);
    EXPECT_TRUE(log.Contains("Cue target not found! " + pf::ToUtf8(fader->GetName()) + " is trying to cue nobody"))
        << log.Text();
    EXPECT_TRUE(log.Contains("FullScreenFader::_cue is empty: ")) << log.Text();
    EXPECT_TRUE(log.Contains("is trying to cue panel")) << log.Text();
    EXPECT_EQ(parent->cues.size(), 1u);
}

// A cue that comes back to a fader still passing it is dropped with one line instead of
// looping until the stack runs out; the faders pass later cues as before.
TEST_F(FaderTest, ACueThatComesBackStopsAtTheFader) {
    for (const bool twoFaders : {false, true}) {
        auto spy = Make<CueSpy>();
        spy->SetName(L"spy");
        root->AddItem(spy.get());
        my_intrusive_ptr<FullScreenFader> a(new FullScreenFader), b(new FullScreenFader);
        root->AddItem(a.get());
        root->AddItem(b.get());
        a->SetCue(twoFaders ? b->GetName() : a->GetName());
        b->SetCue(a->GetName());
        testkit::LogCapture log;
        a->OnCue(root.get(), 5, 6);
        const std::vector<std::string> lines = log.Lines();
        const std::string stopped = "came back to " + pf::ToUtf8(a->GetName());
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& l) { return l.find(stopped) != std::string::npos; }),
                  1)
            << twoFaders << "\n"
            << log.Text();
        a->SetCue(L"spy");
        a->OnCue(root.get(), 7, 8);
        b->OnCue(root.get(), 9, 10);
        EXPECT_EQ(spy->cues, (std::vector<std::string>{pf::ToUtf8(a->GetName()) + " 7 8",
                                                       pf::ToUtf8(a->GetName()) + " 9 10"}))
            << twoFaders;
        root->RemoveAllDescendents(false);
    }
}

// The item a fader cues may take the fader out of the tree, dropping its last holder, and
// cue it back on the way: the fader is held until it has passed the cue.
class FaderRemover : public Item {
public:
    int cues = 0;
    void OnCue(Item* sender, int type, int data) override {
        ++cues;
        if (!sender || !sender->GetParent()) return;
        my_intrusive_ptr<Item> keep(sender);
        sender->GetParent()->RemoveItem(sender);
        if (cueBack) sender->OnCue(this, type, data);
    }
    bool cueBack = false;
};

TEST_F(FaderTest, AFaderItsCueTakesOutOfTheTreeEndsItsPassSafely) {
    for (const bool cueBack : {false, true}) {
        auto remover = Make<FaderRemover>();
        remover->SetName(L"remover");
        remover->cueBack = cueBack;
        root->AddItem(remover.get());
        auto* fader = new FullScreenFader;  // held by its parent only
        root->AddItem(fader);
        fader->SetCue(L"remover");
        WeakRef<Item> ref(fader);
        testkit::LogCapture log;
        fader->OnCue(root.get(), 1, 2);
        EXPECT_EQ(ref.get(), nullptr) << cueBack;
        EXPECT_EQ(remover->cues, 1) << cueBack << "\n" << log.Text();
        root->RemoveAllDescendents(false);
    }
}

// Three faders cueing round in a ring: the cue stops once, at the fader it started from.
TEST_F(FaderTest, ACueRingOfThreeFadersStopsOnce) {
    my_intrusive_ptr<FullScreenFader> f[3] = {my_intrusive_ptr<FullScreenFader>(new FullScreenFader),
                                              my_intrusive_ptr<FullScreenFader>(new FullScreenFader),
                                              my_intrusive_ptr<FullScreenFader>(new FullScreenFader)};
    for (auto& x : f) root->AddItem(x.get());
    for (int k = 0; k < 3; ++k) f[k]->SetCue(f[(k + 1) % 3]->GetName());
    testkit::LogCapture log;
    f[0]->OnCue(root.get(), 3, 4);
    const std::vector<std::string> lines = log.Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("came back to") != std::string::npos; }),
              1)
        << log.Text();
    EXPECT_TRUE(log.Contains("came back to " + pf::ToUtf8(f[0]->GetName()))) << log.Text();
    root->RemoveAllDescendents(false);
}

// ---------------------------------------------------------------- blur fader

class BlurFaderTest : public WidgetDrawTest {
protected:
    static inline int now = 0;
    static int Now() { return now; }
    void SetUp() override {
        now = 50000;
        pf::SetNowMsSource(&BlurFaderTest::Now);
        WidgetDrawTest::SetUp();
    }
    void TearDown() override {
        WidgetDrawTest::TearDown();
        pf::SetNowMsSource(nullptr);
    }
    void Step(int ms) {
        now += ms;
        root->Cycle();
        root->Cycle();
    }
    // The picture's pixel (x, y) as 0xAARRGGBB.
    static uint32_t PictureAt(FullScreenBlurFader& f, int x, int y) { return PixelOf(f.GetSurface().get(), x, y); }
};

TEST_F(BlurFaderTest, BlursAQuarterSizePictureThenDarkensIt) {
    my_intrusive_ptr<ColorRect> square(new ColorRect);
    square->SetSize(Point(40, 40));
    square->SetPosition(Point(400, 300));
    root->AddItem(square.get());
    DrawFrame();
    root->RemoveItem(square.get());

    my_intrusive_ptr<FullScreenBlurFader> blur(new FullScreenBlurFader);
    root->AddItem(blur.get());
    Step(10);
    blur->Start(1000);
    root->Cycle();  // the phase starts at the controller's first step
    ASSERT_TRUE(blur->GetSurface());
    EXPECT_EQ(blur->GetSurface()->GetWidth(), 200);
    EXPECT_EQ(blur->GetSurface()->GetHeight(), 150);
    EXPECT_FLOAT_EQ(blur->GetScaleX(), 4.0f);
    EXPECT_FLOAT_EQ(blur->GetScaleY(), 4.0f);
    EXPECT_EQ(blur->GetBlend(), pf::BlendMode::Disable);
    // The square sits at (100..109, 75..84) of the picture: blurred once at the first
    // step, and again at every step, its centre dims and its light spreads.
    EXPECT_EQ(PictureAt(*blur, 92, 80) & 0xFFFFFF, 0u);
    std::vector<int> centre{Channel(PictureAt(*blur, 105, 80), 16)};
    for (int t = 0; t < 4; ++t) {
        Step(100);
        centre.push_back(Channel(PictureAt(*blur, 105, 80), 16));
    }
    for (size_t i = 1; i < centre.size(); ++i) EXPECT_LT(centre[i], centre[i - 1]) << i;
    EXPECT_GT(Channel(PictureAt(*blur, 92, 80), 16), 0);
    EXPECT_FALSE(blur->IsDarkPhase());
    DrawFrame();
    EXPECT_GT(Channel(At(420, 320), 16), 0);  // the blurred square, drawn without blending

    Step(110);  // the blur phase is over
    EXPECT_TRUE(blur->IsDarkPhase());
    const uint32_t frozen = PictureAt(*blur, 97, 80);
    Step(250);
    EXPECT_NEAR(blur->GetOverlayAlpha(), 127, 3);
    EXPECT_EQ(PictureAt(*blur, 97, 80), frozen);  // no more blurring
    DrawFrame();
    const int darkened = Channel(At(420, 320), 16);
    EXPECT_GT(darkened, 0);
    Step(300);
    EXPECT_EQ(blur->GetOverlayAlpha(), 255);
    DrawFrame();
    EXPECT_EQ(At(420, 320), 0xFF000000u);
    EXPECT_EQ(root->GetChildren().size(), 1u);  // stays until removed

    // A second start captures again and restarts both phases.
    blur->Start(200);
    EXPECT_FALSE(blur->IsDarkPhase());
    EXPECT_EQ(blur->GetOverlayAlpha(), 0);
}

TEST(BlurFaderNoDisplayTest, StartWithoutAPictureDoesNothing) {
    pf::ApplicationWin32& app = pf::Application2::GetInstance();
    pf::Display* old = app.GetDisplay();
    pf::DisplayDX* oldDX = app.GetDisplayDX();
    testkit::NullDisplay refusing;  // creates no surfaces
    app.SetDisplayObjects(&refusing, nullptr);
    my_intrusive_ptr<FullScreenBlurFader> blur(new FullScreenBlurFader);
    testkit::LogCapture log;
    blur->Start(1000);
    blur->Cycle();
    app.SetDisplayObjects(old, oldDX);
    EXPECT_FALSE(blur->GetSurface());
    EXPECT_TRUE(log.Contains("could not be captured")) << log.Text();
}

// ---------------------------------------------------------------- cursor actor

TEST_F(FaderTest, CursorHidesTheSystemCursorAndFollowsTheMouse) {
    pf::ApplicationWin32& app = pf::Application2::GetInstance();
    app.SetCursorVisible(true);
    auto panel = Make<Item>();
    panel->SetPosition(Point(50, 40));
    root->AddItem(panel.get());
    my_intrusive_ptr<CursorActor> cursor(new CursorActor);
    EXPECT_TRUE(cursor->IsKindOf(TypeId::CursorActor));
    panel->AddItem(cursor.get());
    EXPECT_FALSE(app.IsCursorVisible());

    app.GetEventSystem()->PostMouseMotion(300, 200);
    root->Cycle();
    EXPECT_EQ(cursor->GetPosition(), Point(250, 160));  // in its parent's space
    app.GetEventSystem()->PostMouseMotion(900, -5);
    root->SetPaused(false);
    root->PauseTime(true);  // paused clocks: the cursor still moves
    root->Cycle();
    EXPECT_EQ(cursor->GetPosition(), Point(800, 0));  // limited to the screen confines
    app.GetEventSystem()->Clear();

    TreeState state;
    pf::Event leave(pf::EventType::Active, 0);
    leave.SetInt(pf::EventProperty::ACTIVE_GAIN, 0);
    leave.SetInt(pf::EventProperty::ACTIVE_STATE, pf::ActiveState::MouseFocus);
    cursor->HandleEvent(state, leave);
    EXPECT_FALSE(cursor->Item::IsVisible());
    pf::Event move = scenetest::Button(pf::EventType::MouseMotion, 1, 1);
    cursor->HandleEvent(state, move);
    EXPECT_TRUE(cursor->Item::IsVisible());

    root->RemoveItem(panel.get());
    EXPECT_TRUE(app.IsCursorVisible());
}

}  // namespace
