// Script handlers, buttons, modifiers and time controllers in a scene with a fake clock:
// clicks from real mouse events reach script callbacks and ask for the buttons' sounds,
// and controllers and modifiers step with random parameters.
#include <boost/python.hpp>

#include <gtest/gtest.h>

#include "PyRunner.h"
#include "SceneInput.h"
#include "ScriptTestSupport.h"
#include "script/ScriptPeer.h"
#include "shell/EventSystem.h"
#include "widgets2/WidgetsFixture.h"

namespace {

namespace bp = boost::python;

RootItem* scene = nullptr;
testkit::SoundRequests* requests = nullptr;

// The ids of the shared sounds asked for so far.
bp::list SoundsAskedFor() {
    bp::list ids;
    for (const std::wstring& id : requests->ids) ids.append(id);
    return ids;
}

void Click(int x, int y) {
    pf::EventSystem events;
    bindingstest::PostLeftClick(events, x, y);
    pf::Event e;
    while (events.PopFront(e)) {
        widgettest::fakeNow += 10;
        scene->ProcessEvent(e);
    }
    scene->DispatchPostedEvents();
}

class ScriptScene : public widgettest::SceneTest {
protected:
    void SetUp() override {
        scripttest::World();
        SceneTest::SetUp();
        scene = root.get();
        requests = sounds.get();
    }
    void TearDown() override {
        bp::import("gc").attr("collect")();
        scene = nullptr;
        requests = nullptr;
        SceneTest::TearDown();
    }
    std::string Run(const char* file) {
        bp::import("ruv3");
        bp::dict with;
        with["root"] = ToScript(root.get());
        with["click"] = bp::make_function(&Click);
        with["sounds"] = bp::make_function(&SoundsAskedFor);
        with["advance"] = bp::make_function(+[](int ms) { widgettest::fakeNow += ms; });
        return bindingstest::RunPythonTests(file, with);
    }
};

TEST_F(ScriptScene, InputAndClockHandlers) { EXPECT_EQ(Run("handlers.py"), ""); }

TEST_F(ScriptScene, ButtonsClickedThroughTheRoot) { EXPECT_EQ(Run("buttons.py"), ""); }

TEST_F(ScriptScene, ModifiersControllersAndCurves) { EXPECT_EQ(Run("modifiers.py"), ""); }

}  // namespace
