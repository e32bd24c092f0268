// Script widgets in a live scene: an edit typed into through real key events with its
// onChange in the script, callbacks that raise or remove their own widget, and a root
// replaced from inside a frame.
#include <boost/python.hpp>

#include <gtest/gtest.h>

#include "PyRunner.h"
#include "SceneInput.h"
#include "ScriptTestSupport.h"
#include "widgets/Edit.h"
#include "script/ScriptError.h"
#include "script/ScriptPeer.h"
#include "shell/EventSystem.h"
#include "widgets2/WidgetsFixture.h"

namespace {

namespace bp = boost::python;
using scripttest::TakeLog;
using scripttest::World;

class WidgetBindings : public widgettest::SceneTest {
protected:
    void SetUp() override {
        World();
        SceneTest::SetUp();
        Edit::SetLastKeyTime(0);
    }
    void TearDown() override {
        bp::import("gc").attr("collect")();
        SceneTest::TearDown();
    }
    bp::object Exec(const std::string& source) {
        bp::dict ns;
        ns["__builtins__"] = bp::import("builtins");
        bp::import("ruv3");  // its classes convert the root
        ns["root"] = ToScript(root.get());
        bp::exec(("import ruv3, gc, weakref\n" + source).c_str(), ns, ns);
        return ns;
    }
    // Types text through the platform's event queue and the scene root, as the game
    // loop does; script errors end the event's handling and reach the log.
    void Type(const std::wstring& text) {
        pf::EventSystem events;
        for (wchar_t ch : text) events.PostKeyChar(0, ch, ch);
        Send(events, 100);
    }
    // Clicks at (x, y) the same way.
    void ClickAt(int x, int y) {
        pf::EventSystem events;
        bindingstest::PostLeftClick(events, x, y);
        Send(events, 10);
        root->DispatchPostedEvents();
    }
    void Send(pf::EventSystem& events, int stepMs) {
        pf::Event e;
        while (events.PopFront(e)) {
            widgettest::fakeNow += stepMs;
            try {
                root->ProcessEvent(e);
            } catch (const bp::error_already_set&) {
                PrintScriptError();
            }
        }
    }
    // Gives the script's edit the test font and the focus.
    void Prepare(const bp::object& edit) {
        Edit* e = bp::extract<Edit*>(edit);
        e->SetResFont(font.get());
        Deliver();
        e->SetFocused(true);
        Deliver();
    }
    my_intrusive_ptr<ResFont> font = widgettest::MakeResFont(new widgettest::FakeFont(widgettest::WordWidths()));
};

TEST_F(WidgetBindings, PropertyTablesAndRandomValues) {
    EXPECT_EQ(bindingstest::RunPythonTests("widgets.py"), "");
}

TEST_F(WidgetBindings, AnEditTypedIntoReachesItsScriptOnChange) {
    bp::object ns = Exec(
        "seen = []\n"
        "edit = ruv3.Edit()\n"
        "edit.size = (300, 20)\n"
        "edit.maxChars = 4\n"
        "edit.onChange = lambda: seen.append(edit.text)\n"
        "root.AddItem(edit)\n");
    Prepare(ns["edit"]);
    Type(L"ab\u00e9cd");
    bp::object seen = ns["seen"];
    ASSERT_EQ(bp::len(seen), 4);
    EXPECT_EQ(bp::extract<std::wstring>(seen[3])(), L"ab\u00e9c");
    EXPECT_EQ(bp::extract<std::wstring>(ns["edit"].attr("text"))(), L"ab\u00e9c");
    // The callback names its edit through the script's globals; the edit's cleanup lets
    // go of it, so the two can be collected.
    bp::exec("edit.cleanup()\n", ns, ns);
}

TEST_F(WidgetBindings, RaisingAndSelfRemovingCallbacksLeaveTheSceneRunning) {
    bp::object ns = Exec(
        "class Fails(object):\n"
        "    calls = 0\n"
        "    def __call__(self):\n"
        "        Fails.calls += 1\n"
        "        raise RuntimeError('change failed')\n"
        "edit = ruv3.Edit()\n"
        "edit.size = (300, 20)\n"
        "edit.onChange = Fails()\n"
        "root.AddItem(edit)\n");
    Prepare(ns["edit"]);
    TakeLog();
    Type(L"xy");
    EXPECT_FALSE(PyErr_Occurred());
    EXPECT_EQ(bp::extract<int>(ns["Fails"].attr("calls"))(), 2);
    EXPECT_NE(TakeLog().find("RuntimeError: change failed"), std::string::npos);

    // The callback takes its edit out of the scene and drops the script's last
    // reference: the edit goes once the engine is done with the event.
    bp::exec(
        "def leave():\n"
        "    global edit\n"
        "    edit.onChange = None\n"
        "    edit.parent = None\n"
        "    edit = None\n"
        "edit.onChange = leave\n"
        "probe = weakref.ref(edit)\n",
        ns, ns);
    Type(L"z");
    bp::import("gc").attr("collect")();
    EXPECT_TRUE(bp::extract<bool>(bp::eval("probe() is None", ns, ns)));
    EXPECT_EQ(root->GetChildren().size(), 1u);  // the event spy
    Type(L"q");  // the next key finds no edit
}

TEST_F(WidgetBindings, AButtonThatDeletesItselfFromItsClickFailsIntoTheLog) {
    // The callback takes its button out of the scene, drops the script's last reference
    // and then fails: the error reaches the log, the button goes once the engine is done
    // with the click, and the next click finds nothing.
    bp::object ns = Exec(
        "def leave():\n"
        "    global button\n"
        "    button.onClick = None\n"
        "    button.parent = None\n"
        "    button = None\n"
        "    raise ValueError('button gone')\n"
        "button = ruv3.Button()\n"
        "button.size = (60, 30)\n"
        "button.ignoreTransparency = True\n"
        "button.clickSound = u'click'\n"
        "button.onClick = leave\n"
        "root.AddItem(button)\n"
        "probe = weakref.ref(button)\n");
    TakeLog();
    ClickAt(20, 10);
    EXPECT_FALSE(PyErr_Occurred());
    EXPECT_NE(TakeLog().find("ValueError: button gone"), std::string::npos);
    bp::import("gc").attr("collect")();
    EXPECT_TRUE(bp::extract<bool>(bp::eval("probe() is None", ns, ns)));
    EXPECT_EQ(root->GetChildren().size(), 1u);  // the event spy
    ASSERT_FALSE(sounds->ids.empty());
    EXPECT_EQ(sounds->ids.back(), L"click");
    ClickAt(20, 10);
    ClickAt(20, 10);
}

TEST_F(WidgetBindings, ARootReplacedFromInsideItsFrameLivesUntilTheFrameEnds) {
    bp::object ns = Exec(
        "class Switch(ruv3.Item):\n"
        "    def __init__(self):\n"
        "        ruv3.Item.__init__(self)\n"
        "        self.pythonOverloads = True\n"
        "    def Cycle(self):\n"
        "        ruv3.SetRootItem(following)\n"
        "first = ruv3.RootItem()\n"
        "following = ruv3.RootItem()\n"
        "first.AddItem(Switch())\n"
        "ruv3.SetRootItem(first)\n"
        "probe = weakref.ref(first)\n"
        "del first\n"
        "gc.collect()\n");
    RootItem* first = GetRootItem();
    ASSERT_NE(first, root.get());
    first->Cycle();  // replaces itself halfway through and finishes its cycle
    bp::import("gc").attr("collect")();
    EXPECT_TRUE(bp::extract<bool>(bp::eval("probe() is None and ruv3.GetRootItem() is following", ns, ns)));
    SetRootItem(root.get());
}

}  // namespace
