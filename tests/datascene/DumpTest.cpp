#include "DataSceneSupport.h"
#include "scene/ClockHandler.h"
#include "scene/Tweens.h"
#include "shell/foundation/Log.h"

using datascene::DataSceneTest;
using pf::Point;

namespace {

class DumpTest : public DataSceneTest {
protected:
    static std::string Head(const Item& i) {
        return "'" + pf::ToString(i.GetName()) + "'  cid: " + std::to_string(i.GetCreationID()) + "\n";
    }
};

TEST_F(DumpTest, ItemLines) {
    auto fresh = Make<Item>();
    EXPECT_EQ(pf::ToString(fresh->Dump(false, false)), Head(*fresh) + "[Item], size 800x600");
    EXPECT_EQ(pf::ToString(fresh->Dump(false, true)), "{color=FF0000}" + Head(*fresh) + "{/c}[Item], size 800x600");

    auto busy = Make<Item>();
    busy->SetName(L"busy");
    busy->SetPosition(Point(3, -4));
    busy->SetPriority(2);
    busy->SetSize(Point(0, 0));
    busy->SetClickID(9);
    busy->SetVisible(false);
    busy->SetEnabled(false);
    busy->SetPressed(true);
    busy->SetSelected(true);
    busy->SetMouseOver(true);
    busy->SetModal(true);
    busy->SetEnableUserEvents(false);
    busy->AddEventHandler(new ClockHandler);
    busy->AddModifier(new Mover2, nullptr);
    EXPECT_EQ(pf::ToString(busy->Dump(true, false)),
              Head(*busy) +
                  "[Item] pos (3, -4), pri 2, clickID 9, invisible, disabled, pressed, selected, mouse over, MODAL, "
                  "mouse events disable, key events disable, has clock = 0 _modifiers[ 1 ]{(Modifier: _name=Mover), }");
}

TEST_F(DumpTest, TreeAndAncestors) {
    auto top = Make<Item>();
    top->SetName(L"top");
    auto mid = Make<Item>();
    mid->SetName(L"mid");
    mid->SetPosition(Point(1, 1));
    auto leaf = Make<Item>();
    leaf->SetName(L"leaf");
    top->AddItem(mid.get());
    mid->AddItem(leaf.get());
    mid->AddModifier(new Mover2, nullptr);
    const std::string size = ", size 800x600";
    {
        testkit::LogCapture log;
        pf::DebugStream s;
        top->DumpTree(s, 0, false);
        EXPECT_EQ(log.Text(), Head(*top) + "[Item]" + size + "\n" +                       //
                                  "> " + Head(*mid) + "[Item] pos (1, 1)" + size +          //
                                  " _modifiers[ 1 ]{(Modifier: _name=Mover), }\n" +        //
                                  "> > " + Head(*leaf) + "[Item]" + size + "\n");
    }
    {
        // With modifiers the lines leave them out; the modifiers' own dump hook says nothing.
        testkit::LogCapture log;
        pf::DebugStream s;
        mid->DumpTree(s, 2, true);
        EXPECT_EQ(log.Text(), "> > " + Head(*mid) + "[Item] pos (1, 1)" + size + "\n" + "> > > " + Head(*leaf) +
                                  "[Item]" + size + "\n");
    }
    {
        testkit::LogCapture log;
        pf::DebugStream s;
        leaf->DumpAncestors(s);
        EXPECT_EQ(log.Text(), "Ancestors of leaf\n <> " + Head(*mid) + "[Item] pos (1, 1)" + size + "\n <> " +
                                  Head(*top) + "[Item]" + size + "\nEnd Ancestor list.\n");
    }
}

}  // namespace
