// Slider knob, scroll area and progress bar.
#include <climits>

#include "widgets/ProgressBar.h"
#include "widgets/ScrollItem.h"
#include "widgets/SliderKnob.h"
#include "scene/SceneTestSupport.h"
#include "shell/foundation/TextHelpers.h"
#include "widgets2/WidgetsFixture.h"

namespace {

using pf::EventType;

class SliderTest : public widgettest::SceneTest {
protected:
    my_intrusive_ptr<SliderKnob> Knob(int length) {
        my_intrusive_ptr<SliderKnob> k(new SliderKnob);
        k->SetLength(length);
        k->SetSize(pf::Point(10, 10));
        k->SetSurface(new pf::MemorySurface(10, 10));
        k->SetIgnoreTransparency(true);
        k->SetPosition(pf::Point(100, 50));
        k->SetOnChange(Callback([this] { ++changes; }));
        k->SetOnDrop(Callback([this] { ++drops; }));
        k->SetOnMouseDown(Callback([this] { ++presses; }));
        root->AddItem(k.get());
        return k;
    }
    bool Send(int type, int x, int y) {
        pf::Event e = Mouse(type, x, y);
        return root->ProcessEvent(e);
    }
    int changes = 0, drops = 0, presses = 0;
};

TEST_F(SliderTest, DragMovesTheKnobWithinItsLength) {
    auto k = Knob(200);
    EXPECT_TRUE(Send(EventType::MouseButtonDown, 105, 55));
    EXPECT_EQ(presses, 1);
    for (int x = 115; x <= 155; x += 10) EXPECT_TRUE(Send(EventType::MouseMotion, x, 70));
    EXPECT_EQ(k->GetValueInt(), 50);
    EXPECT_EQ(k->GetPosition(), pf::Point(150, 50));  // only along its axis
    EXPECT_EQ(changes, 5);
    EXPECT_FLOAT_EQ(k->GetValue(), 0.25f);
    EXPECT_TRUE(Send(EventType::MouseMotion, 500, 55));  // past the end
    EXPECT_EQ(k->GetValueInt(), 200);
    EXPECT_EQ(k->GetPosition(), pf::Point(300, 50));
    EXPECT_TRUE(Send(EventType::MouseMotion, 600, 55));
    EXPECT_EQ(changes, 6) << "no change at the end, no call";
    EXPECT_EQ(k->GetPosition(), pf::Point(300, 50));
    EXPECT_TRUE(Send(EventType::MouseButtonUp, 0, 0));  // released anywhere
    EXPECT_EQ(drops, 1);
    EXPECT_FALSE(Send(EventType::MouseMotion, 0, 55));
    EXPECT_EQ(k->GetValueInt(), 200);
}

TEST_F(SliderTest, AtTheIntLimitsTheKnobStopsAtTheEdgeOfTheRange) {
    // A knob placed near the end of the coordinate range moves by its value up to that end.
    struct Case {
        bool horizontal;
        pf::Point at;
        int value;
        pf::Point expected;
    } cases[] = {
        {true, pf::Point(INT_MAX - 10, 50), 200, pf::Point(INT_MAX, 50)},
        {false, pf::Point(5, INT_MAX - 1), 150, pf::Point(5, INT_MAX)},
    };
    for (const Case& c : cases) {
        auto k = Knob(200);
        k->SetHorizontal(c.horizontal);
        k->SetPosition(c.at);
        k->SetValueInt(c.value, false);
        EXPECT_EQ(k->GetValueInt(), c.value);
        EXPECT_EQ(k->GetPosition(), c.expected);
    }
    // Dragged to the far end of the range, past the grab offset: the value only clamps.
    auto k = Knob(200);
    EXPECT_TRUE(Send(EventType::MouseButtonDown, 105, 55));
    EXPECT_TRUE(Send(EventType::MouseMotion, 205, 55));
    EXPECT_EQ(k->GetValueInt(), 100);
    EXPECT_TRUE(Send(EventType::MouseMotion, INT_MIN, 55));
    EXPECT_EQ(k->GetValueInt(), 0);
    EXPECT_EQ(k->GetPosition(), pf::Point(100, 50));
    EXPECT_TRUE(Send(EventType::MouseMotion, INT_MAX, 55));
    EXPECT_EQ(k->GetValueInt(), 200);
    EXPECT_EQ(k->GetPosition(), pf::Point(300, 50));
}

TEST_F(SliderTest, PressOutsideOrReleaseWithoutDragIsPassedOn) {
    auto k = Knob(200);
    EXPECT_FALSE(Send(EventType::MouseButtonDown, 300, 300));
    EXPECT_FALSE(Send(EventType::MouseMotion, 320, 300));
    EXPECT_FALSE(Send(EventType::MouseButtonUp, 105, 55));
    EXPECT_EQ(presses + drops + changes, 0);
    k->SetEnabled(false);
    EXPECT_FALSE(Send(EventType::MouseButtonDown, 105, 55));
    EXPECT_FALSE(k->IsDragging());
}

TEST_F(SliderTest, SetValueClampsWithoutCallingOnChange) {
    auto k = Knob(200);
    k->SetValue(0.5f);
    EXPECT_EQ(k->GetValueInt(), 100);
    EXPECT_EQ(k->GetPosition(), pf::Point(200, 50));
    const std::pair<float, int> cases[] = {{2.0f, 200}, {-1.0f, 0}, {NAN, 0}, {INFINITY, 200}, {0.999f, 199}};
    for (const auto& [f, v] : cases) {
        k->SetValue(f);
        EXPECT_EQ(k->GetValueInt(), v) << f;
    }
    EXPECT_EQ(changes, 0);
    k->SetHorizontal(false);
    k->SetValueInt(50, true);
    EXPECT_EQ(k->GetPosition(), pf::Point(299, 50 - 149));
    EXPECT_EQ(changes, 1);
    k->SetLength(0);
    k->SetValueInt(10, false);
    EXPECT_EQ(k->GetValueInt(), 0);
    EXPECT_EQ(k->GetValue(), 0.0f) << "length 0 answers 0, not a NaN";
    k->SetLength(-10);
    k->SetValue(0.5f);
    EXPECT_EQ(k->GetValueInt(), 0);
    EXPECT_TRUE(k->SetProperty(L"horizontal", L"yes"));
    EXPECT_TRUE(k->GetHorizontal());
    k->cleanup();
    EXPECT_FALSE(k->GetOnChange());
}

class ScrollTest : public widgettest::SceneTest {};

TEST_F(ScrollTest, ScrollToMovesTheContentInsideTheParent) {
    my_intrusive_ptr<Item> frame(new Item), wide(new Item);
    my_intrusive_ptr<ScrollItem> scroll(new ScrollItem);
    frame->SetSize(pf::Point(300, 200));
    root->AddItem(frame.get());
    frame->AddItem(scroll.get());
    wide->SetSize(pf::Point(500, 100));
    scroll->AddItem(wide.get());
    EXPECT_FALSE(scroll->IsScrollable());
    EXPECT_EQ(scroll->GetContentBounds(), pf::Rect(0, 0, 500, 100));
    scroll->ScrollTo(1, 0);
    EXPECT_EQ(scroll->GetPosition(), pf::Point(-200, 0));
    scroll->ScrollTo(0.5, 1);
    EXPECT_EQ(scroll->GetPosition(), pf::Point(-100, 0));
    EXPECT_TRUE(scroll->CanScrollX() || scroll->GetClipRect().width == 0);
    scroll->ScrollTo(NAN, 0);
    EXPECT_EQ(scroll->GetPosition(), pf::Point(0, 0));

    wide->SetSize(pf::Point(100, 500));
    EXPECT_TRUE(scroll->IsScrollable());
    scroll->ScrollTo(1, 1);
    EXPECT_EQ(scroll->GetPosition(), pf::Point(0, -300));  // narrower than the parent: x stays 0

    frame->SetClipRect(pf::Rect(10, 20, 300, 200));
    scroll->ScrollTo(0, 0);
    EXPECT_EQ(scroll->GetPosition(), pf::Point(10, 20));

    // A parent sized or clipped at the int limits scrolls without leaving int range.
    frame->SetSize(pf::Point(INT_MIN, INT_MIN));
    frame->SetClipRect(pf::Rect(INT_MIN, INT_MIN, 300, 200));
    scroll->ScrollTo(1, 1);
    EXPECT_EQ(scroll->GetPosition().x, INT_MIN);

    my_intrusive_ptr<ScrollItem> orphan(new ScrollItem);
    EXPECT_FALSE(orphan->IsScrollable());
    EXPECT_TRUE(scroll->SetProperty(L"lineSize", L"12"));
    EXPECT_TRUE(scroll->SetProperty(L"pageSize", L"120px"));
    EXPECT_EQ(scroll->GetLineSize(), 12);
    EXPECT_EQ(scroll->GetPageSize(), 120);
}

TEST_F(ScrollTest, DrawClipsToTheParentAndResetsTheClip) {
    my_intrusive_ptr<Item> frame(new Item);
    my_intrusive_ptr<ScrollItem> scroll(new ScrollItem);
    frame->SetSize(pf::Point(300, 200));
    frame->SetPosition(pf::Point(40, 30));
    root->AddItem(frame.get());
    frame->AddItem(scroll.get());
    scenetest::RecordingDisplay display;
    RenderState rs;
    rs.display = &display;
    scroll->Draw(rs);
    EXPECT_EQ(display.Joined(), "clip(40,30,300,200);clip(none);");
    display.calls.clear();
    // A parent sized or clipped at the int limits scrolls without leaving int range.
    frame->SetSize(pf::Point(INT_MIN, INT_MIN));
    frame->SetClipRect(pf::Rect(INT_MIN, INT_MIN, 300, 200));
    scroll->ScrollTo(1, 1);
    EXPECT_EQ(scroll->GetPosition().x, INT_MIN);

    my_intrusive_ptr<ScrollItem> orphan(new ScrollItem);
    orphan->Draw(rs);
    EXPECT_EQ(display.Joined(), "clip(none);");
}

// Records its draws: the source's x, width and height, then the destination.
class TaggedCel : public pf::MemorySurface {
public:
    TaggedCel(int w, int h, std::string tag) : pf::MemorySurface(w, h), tag_(std::move(tag)) {}
    void Draw(pf::Display* display, const pf::Rect* source, const pf::Rect* dest) override {
        auto* rec = static_cast<scenetest::RecordingDisplay*>(display);
        const pf::Rect s = source ? *source : pf::Rect(0, 0, GetWidth(), GetHeight());
        rec->Record(("draw " + tag_).c_str(), s.x, s.width, s.height, dest->x, dest->y, dest->width, dest->height);
    }

private:
    std::string tag_;
};

class ProgressTest : public widgettest::SceneTest {
protected:
    // An anim of n cels, each a tagged w x h surface.
    static my_intrusive_ptr<ResAnim> Anim(const std::string& tag, int n, int w, int h, const std::wstring& id) {
        my_intrusive_ptr<ResAnim> a(new ResAnim);
        a->SetId(id);
        testkit::NullDisplay display;
        a->SetSurface(&display, new TaggedCel(w * n, h, tag), n, 1);
        return a;
    }
    std::string DrawBar(ProgressBar& bar) {
        scenetest::RecordingDisplay display;
        RenderState rs;
        rs.display = &display;
        bar.Draw(rs);
        std::string draws;
        for (const auto& c : display.calls)
            if (c.rfind("draw", 0) == 0) draws += c + ";";
        return draws;
    }
};

TEST_F(ProgressTest, DrawsTheFilledPartOverTheEmptyCel) {
    my_intrusive_ptr<ProgressBar> bar(new ProgressBar);
    bar->SetAnimEmpty(Anim("e", 2, 100, 20, L"empty").get());
    bar->SetAnimFull(Anim("f", 2, 80, 10, L"full").get());
    struct Case {
        int type;
        bool horizontal;
        float percentage;
        const char* draws;
    } cases[] = {
        {0, true, 50, "draw e(0,100,20,0,0,100,20);draw f(0,40,10,10,5,40,10);"},
        {0, false, 50, "draw e(0,100,20,0,0,100,20);draw f(0,80,5,10,5,80,5);"},  // the upper half
        {1, true, 50, "draw e(0,100,20,0,0,100,20);draw f(0,80,5,10,5,80,5);"},
        {2, false, 25, "draw e(0,100,20,0,0,100,20);draw f(0,20,10,10,5,20,10);"},
        {2, false, 150, "draw e(0,100,20,0,0,100,20);draw f(0,80,10,10,5,80,10);"},  // never past the cel
        {2, false, -5, "draw e(0,100,20,0,0,100,20);"},
        {2, false, NAN, "draw e(0,100,20,0,0,100,20);"},
        {9, false, 50, "draw e(0,100,20,0,0,100,20);"},
    };
    for (const Case& c : cases) {
        bar->SetBarType(c.type);
        bar->SetHorizontal(c.horizontal);
        bar->SetPercentage(c.percentage);
        EXPECT_EQ(DrawBar(*bar), c.draws) << c.type << " " << c.percentage;
    }
    bar->SetCel(1);
    bar->SetBarType(0);
    bar->SetHorizontal(true);
    bar->SetPercentage(100);
    EXPECT_EQ(DrawBar(*bar), "draw e(100,100,20,0,0,100,20);draw f(80,80,10,10,5,80,10);");

    bar->SetAnimEmpty(nullptr);
    bar->SetCel(0);
    bar->SetAnimFull(Anim("f", 10, 8, 8, L"cels").get());
    bar->SetBarType(3);
    const std::pair<float, int> cels[] = {{0, 0}, {5, 0}, {50, 4}, {99.999f, 9}, {100, 9}};
    for (const auto& [percentage, cel] : cels) {
        bar->SetPercentage(percentage);
        EXPECT_EQ(DrawBar(*bar), "draw f(" + std::to_string(cel * 8) + ",8,8,0,0,8,8);") << percentage;
    }
}

TEST_F(ProgressTest, AnimationCelFollowsThePercentage) {
    const std::pair<float, int> cases[] = {{0, 0},     {5, 0},      {50, 4},   {99.999f, 9}, {100, 9},
                                           {-20, 0},   {250, 9},    {10, 0},   {10.02f, 1},  {NAN, 9}};
    for (const auto& [percentage, cel] : cases) EXPECT_EQ(ProgressBar::AnimationCel(percentage, 10), cel) << percentage;
    EXPECT_EQ(ProgressBar::AnimationCel(50, 0), 0);
}

TEST_F(ProgressTest, SettingChangedSetsTenthsOfAPercent) {
    my_intrusive_ptr<ProgressBar> bar(new ProgressBar);
    root->AddItem(bar.get());
    EXPECT_TRUE(bar->SetProperty(L"settingID", L"7"));
    root->PostEvent(EventType::SettingChanged, 7, 755, 0, L"", L"", L"");
    root->PostEvent(EventType::SettingChanged, 8, 100, 0, L"", L"", L"");
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"26:7", "26:8"})) << "not claimed";
    EXPECT_FLOAT_EQ(bar->GetPercentage(), 75.5f);
}

TEST_F(ProgressTest, PropertiesAndSize) {
    my_intrusive_ptr<ProgressBar> bar(new ProgressBar);
    bar->SetSize(pf::Point(33, 44));
    EXPECT_EQ(bar->GetSize(), pf::Point(33, 44));
    EXPECT_EQ(bar->GetAnimEmpty(), L"");
    const std::pair<const wchar_t*, int> types[] = {{L"1", 1}, {L"2", 2}, {L"3", 3}, {L"4", 0}, {L"x", 0}, {L"-1", 0}};
    for (const auto& [value, type] : types) {
        EXPECT_TRUE(bar->SetProperty(L"type", value));
        EXPECT_EQ(bar->GetBarType(), type) << pf::ToString(value);
    }
    EXPECT_TRUE(bar->SetProperty(L"orientation", L"false"));
    EXPECT_FALSE(bar->GetHorizontal());
    EXPECT_TRUE(bar->SetProperty(L"percentage", L"42"));
    EXPECT_FLOAT_EQ(bar->GetPercentage(), 42);
    EXPECT_TRUE(bar->SetProperty(L"animempty", L"nothing by that id"));  // no resource manager
    bar->SetAnimEmpty(Anim("e", 2, 80, 20, L"empty").get());             // held by the bar alone
    EXPECT_EQ(bar->GetAnimEmpty(), L"empty");
    EXPECT_EQ(bar->GetSize(), pf::Point(80, 20));
}

}  // namespace
