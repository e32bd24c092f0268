// A state machine from XML driving the widgets of a panel: it disables a button while a
// fader darkens the screen, then enables the button and cues the fader, which passes the
// cue on to the panel; real clicks through the root show when the button answers.
#include "WidgetsFixture.h"

#include "machines/StateMachineXml.h"
#include "content/XmlData.h"
#include "widgets/Button.h"
#include "widgets/FullScreenFader.h"
#include "shell/foundation/TextHelpers.h"

using namespace widgettest;
using pf::EventType;

namespace {

// A panel that writes down the cues it is given.
class CuedPanel : public Item {
public:
    std::vector<std::string> cues;
    void OnCue(Item* sender, int type, int data) override {
        cues.push_back(pf::ToUtf8(sender ? sender->GetName() : L"-") + " " + std::to_string(type) + " " +
                       std::to_string(data));
    }
};

class MachineSceneTest : public WidgetTest {
protected:
    void ClickAt(int x, int y) {
        for (int type : {EventType::MouseButtonDown, EventType::MouseButtonUp}) {
            pf::Event e = scenetest::Button(type, x, y);
            root->ProcessEvent(e);
        }
        root->Cycle();  // delivers what the click posted
    }
    // Advances the fake clock by ms in 50 ms frames.
    void Frames(int ms) {
        for (int t = 0; t < ms; t += 50) {
            now += 50;
            root->Cycle();
        }
    }
};

TEST_F(MachineSceneTest, AMachineDrivesAButtonAndAFader) {
    WatchPostedEvents();
    auto panel = Make<CuedPanel>();
    panel->SetName(L"panel");
    root->AddItem(panel.get());
    auto ok = Make<Button>();
    ok->SetName(L"ok");
    ok->SetResAnim(MemoryAnim(4, 1).get());
    ok->SetPosition(pf::Point(100, 100));
    ok->SetClickID(5);
    panel->AddItem(ok.get());
    auto fader = Make<FullScreenFader>();
    fader->SetName(L"fader");
    fader->SetDuration(500);
    fader->SetEndAlpha(200);
    panel->AddItem(fader.get());

    XmlData xml;
    ASSERT_TRUE(xml.Parse(
        L"<machine>"
        L"  <state name='dim'>"
        L"    <SetProperties target='ok' enabled='false'/>"
        L"    <Command target='fader' type='Fade' cue='$parent'/>"
        L"    <ChangeState nextState='ready' interval='600'/>"
        L"  </state>"
        L"  <state name='ready'>"
        L"    <SetProperties target='ok' enabled='true'/>"
        L"    <Cue target='fader' type='3' data='9'/>"
        L"    <ChangeState interval='100000'/>"
        L"  </state>"
        L"</machine>",
        L""));
    my_intrusive_ptr<StateMachineXml> machine(new StateMachineXml);
    machine->LoadFromXml(&xml, panel.get(), L"");
    root->Cycle();  // the first state runs

    EXPECT_FALSE(ok->IsEnabled());
    EXPECT_EQ(fader->GetCue(), L"panel");
    ClickAt(110, 105);
    EXPECT_TRUE(posted.empty()) << "a disabled button posts nothing";

    Frames(300);
    EXPECT_GT(fader->GetAlpha(), 0);
    EXPECT_LT(fader->GetAlpha(), 200);
    EXPECT_TRUE(panel->cues.empty());

    Frames(400);  // past the fade and the machine's interval
    EXPECT_EQ(fader->GetAlpha(), 200);
    EXPECT_TRUE(ok->IsEnabled());
    EXPECT_EQ(panel->cues, (std::vector<std::string>{"fader 3 9"})) << "the fader passes the machine's cue on";
    ClickAt(110, 105);
    EXPECT_EQ(posted, (std::vector<std::string>{"24:5:1"}));
}

}  // namespace
