// A small form in a scroll area: a text with a link, an edit field, a slider that drives a
// progress bar through SettingChanged, all worked by real events through the root.
#include "widgets/Edit.h"
#include "widgets/ProgressBar.h"
#include "widgets/ScrollItem.h"
#include "widgets/SliderKnob.h"
#include "widgets/TextBlock.h"
#include "scene/SceneTestSupport.h"
#include "shell/foundation/KeyTables.h"
#include "widgets2/WidgetsFixture.h"

namespace {

using pf::EventType;
using widgettest::FakeFont;
using widgettest::MakeResFont;
using widgettest::WordWidths;

class FormTest : public widgettest::SceneTest {};

TEST_F(FormTest, WorksWithRealEvents) {
    my_intrusive_ptr<Item> frame(new Item);
    frame->SetSize(pf::Point(400, 300));
    root->AddItem(frame.get());
    my_intrusive_ptr<ScrollItem> form(new ScrollItem);
    frame->AddItem(form.get());
    my_intrusive_ptr<ResFont> font = MakeResFont(new FakeFont(WordWidths()));

    my_intrusive_ptr<TextBlock> text(new TextBlock);
    text->SetSize(pf::Point(400, 40));
    text->SetResFont(font.get());
    text->SetText(L"Read the {click=11}rules{/click}");
    form->AddItem(text.get());

    my_intrusive_ptr<Edit> name(new Edit);
    name->SetClickID(21);
    name->SetSize(pf::Point(200, 20));
    name->SetPosition(pf::Point(0, 50));
    name->SetResFont(font.get());
    name->SetMaxChars(8);
    form->AddItem(name.get());

    my_intrusive_ptr<ProgressBar> bar(new ProgressBar);
    bar->SetSettingID(31);
    form->AddItem(bar.get());

    my_intrusive_ptr<SliderKnob> knob(new SliderKnob);
    knob->SetSize(pf::Point(10, 10));
    knob->SetSurface(new pf::MemorySurface(10, 10));
    knob->SetIgnoreTransparency(true);
    knob->SetPosition(pf::Point(0, 100));
    knob->SetLength(200);
    SliderKnob* k = knob.get();
    knob->SetOnChange(Callback([k] {
        CurrentRootItem->PostEvent(EventType::SettingChanged, 31, int(k->GetValue() * 1000), 0, L"", L"", L"");
    }));
    form->AddItem(knob.get());

    my_intrusive_ptr<Item> tail(new Item);  // content below the frame: the form scrolls
    tail->SetSize(pf::Point(10, 10));
    tail->SetPosition(pf::Point(0, 590));
    form->AddItem(tail.get());
    Deliver();

    auto click = [this](int x, int y) {
        pf::Event down = Mouse(EventType::MouseButtonDown, x, y), up = Mouse(EventType::MouseButtonUp, x, y);
        root->ProcessEvent(down);
        root->ProcessEvent(up);
    };
    click(100, 8);  // on "rules"
    EXPECT_EQ(Deliver(), std::vector<std::string>{"24:11"});

    click(5, 55);  // into the edit field
    EXPECT_EQ(Deliver(), std::vector<std::string>{"35:21"});
    for (wchar_t ch : std::wstring(L"Anna")) {
        pf::Event typed = Key(EventType::KeyChar, ch, ch);
        EXPECT_TRUE(root->ProcessEvent(typed));
    }
    EXPECT_EQ(name->GetText(), L"Anna");
    EXPECT_EQ(Deliver().size(), 4u);  // EditChanged each

    pf::Event press = Mouse(EventType::MouseButtonDown, 5, 105);
    root->ProcessEvent(press);
    pf::Event drag = Mouse(EventType::MouseMotion, 105, 105);
    root->ProcessEvent(drag);
    pf::Event release = Mouse(EventType::MouseButtonUp, 105, 105);
    root->ProcessEvent(release);
    EXPECT_EQ(knob->GetValueInt(), 100);
    EXPECT_EQ(Deliver(), std::vector<std::string>{"26:31"});
    EXPECT_FLOAT_EQ(bar->GetPercentage(), 50.0f);

    EXPECT_TRUE(form->IsScrollable());
    form->ScrollTo(0, 1);
    EXPECT_EQ(form->GetPosition(), pf::Point(0, -300));
    click(100, 8);  // the link scrolled out of the frame
    EXPECT_EQ(Deliver(), std::vector<std::string>{});
    click(100, 8 - 300 + 600);  // what is there now: nothing of the form but the tail
    EXPECT_EQ(Deliver(), std::vector<std::string>{});

    scenetest::RecordingDisplay display;
    RenderState rs;
    rs.display = &display;
    frame->Draw(rs);
    EXPECT_NE(display.Joined().find("clip(0,0,400,300)"), std::string::npos);
}

}  // namespace
