// Script items driven by the engine: the overridden operations, lifetimes across the two
// worlds, script errors inside a frame, and a click routed from a real mouse event.
#include <boost/python.hpp>

#include <gtest/gtest.h>

#include "PyRunner.h"
#include "ScriptTestSupport.h"
#include "scene/Lifetime.h"
#include "scene/RootItem.h"
#include "script/ScriptError.h"
#include "script/ScriptPeer.h"
#include "shell/EventSystem.h"

namespace {

namespace bp = boost::python;
using scripttest::TakeLog;
using scripttest::World;

bp::object Exec(const std::string& source) {
    World();
    bp::dict ns;
    ns["__builtins__"] = bp::import("builtins");
    bp::exec(("import ruv3, gc, weakref\n" + source).c_str(), ns, ns);
    return ns;
}

// Each test's script objects are collected when it ends (their namespaces form cycles),
// so what they hold of the engine is freed before the process exits.
class SceneBindings : public ::testing::Test {
protected:
    void TearDown() override { bp::import("gc").attr("collect")(); }
};

// Whether reading the attribute of target raises an exception of that kind.
bool Raises(const bp::object& target, const char* attribute, PyObject* kind) {
    PyObject* value = PyObject_GetAttrString(target.ptr(), attribute);
    if (value) {
        Py_DECREF(value);
        return false;
    }
    const bool matches = PyErr_ExceptionMatches(kind);
    PyErr_Clear();
    return matches;
}

Item* EngineItem(const bp::object& o) { return bp::extract<Item*>(o); }

// The per-frame handling of the game: a script error ends this step of the frame, its
// traceback goes to the log, and the next frame runs.
template <class F>
void Step(F&& f) {
    try {
        f();
    } catch (const bp::error_already_set&) {
        PrintScriptError();
    }
}

TEST_F(SceneBindings, OverriddenOperationsFollowTheWrapperTable) {
    // An engine Cycle of the parent cycles its children: the counter child shows whether
    // the engine's Item::Cycle ran for the parent, and how often.
    bp::object ns = Exec(
        "class Counter(ruv3.Item):\n"
        "    def __init__(self):\n"
        "        ruv3.Item.__init__(self)\n"
        "        self.pythonOverloads = True\n"
        "        self.cycles = 0\n"
        "    def Cycle(self): self.cycles += 1\n"
        "def make(base, overloads, defines):\n"
        "    body = {}\n"
        "    if defines:\n"
        "        def Cycle(self): self.scriptCycles += 1\n"
        "        body['Cycle'] = Cycle\n"
        "    cls = type('Probe', (base,), body)\n"
        "    p = cls()\n"
        "    p.scriptCycles = 0\n"
        "    p.pythonOverloads = overloads\n"
        "    p.counter = Counter()\n"
        "    p.AddItem(p.counter)\n"
        "    return p\n");
    struct Case {
        const char* base;
        bool overloads, defines;
        int scriptCycles, engineCycles;
    };
    const Case cases[] = {
        {"Item", false, true, 0, 1},  {"Item", true, true, 1, 1},   {"Item", true, false, 0, 2},
        {"Item", false, false, 0, 1}, {"Actor", false, true, 0, 1}, {"Actor", true, true, 1, 0},
        {"Actor", true, false, 0, 1}, {"Actor", false, false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + (c.overloads ? " overloads" : " plain") + (c.defines ? " defines" : ""));
        bp::object probe;
        try {
            probe = ns["make"](bp::object(ns["ruv3"].attr(c.base)), c.overloads, c.defines);
        } catch (const bp::error_already_set&) {
            PyErr_Print();
            FAIL();
        }
        EngineItem(probe)->Cycle();
        EXPECT_EQ(bp::extract<int>(probe.attr("scriptCycles"))(), c.scriptCycles);
        EXPECT_EQ(bp::extract<int>(probe.attr("counter").attr("cycles"))(), c.engineCycles);
    }

    // cleanup reaches the script whatever pythonOverloads holds; HandleEvent's answer is
    // the script's converted to bool.
    bp::object more = Exec(
        "class Tidy(ruv3.Item):\n"
        "    cleaned = 0\n"
        "    def cleanup(self):\n"
        "        Tidy.cleaned += 1\n"
        "        ruv3.Item.cleanup(self)\n"
        "class Answer(ruv3.Item):\n"
        "    def HandleEvent(self, state, event): return self.answer\n"
        "tidy = Tidy()\n"
        "answer = Answer()\n"
        "answer.pythonOverloads = True\n");
    EngineItem(more["tidy"])->cleanup();
    EXPECT_EQ(bp::extract<int>(more["Tidy"].attr("cleaned"))(), 1);
    Item* answer = EngineItem(more["answer"]);
    pf::Event e(pf::EventType::KeyDown, 0);
    for (auto [value, expected] : {std::pair<const char*, bool>{"True", true}, {"None", false}, {"0", false}, {"7", true}}) {
        more["answer"].attr("answer") = bp::eval(value);
        EXPECT_EQ(answer->HandleEvent(TreeState(), e), expected) << value;
    }
}

TEST_F(SceneBindings, EachWrapperForwardsOnlyTheOperationsItReplaces) {
    // Every overridable operation defined by the script: which of them the engine's calls
    // reach, and what the engine's HandleEvent and PassEvent answer (the script answers
    // True). An actor's PassEvent is the engine's, which hands the event on to the actor's
    // own HandleEvent: the script's, once it overloads.
    bp::object ns = Exec(
        "def make(base, overloads):\n"
        "    class Probe(base):\n"
        "        def note(self, name):\n"
        "            self.calls.append(name)\n"
        "            return True\n"
        "        def Draw(self, rs): self.note('Draw')\n"
        "        def HandleEvent(self, state, event): return self.note('HandleEvent')\n"
        "        def PassEvent(self, state, event): return self.note('PassEvent')\n"
        "        def cleanup(self): self.note('cleanup')\n"
        "    p = Probe()\n"
        "    p.calls = []\n"
        "    p.pythonOverloads = overloads\n"
        "    return p\n");
    struct Case {
        const char* base;
        bool overloads;
        const char* reached;
        bool handled, passed;
    };
    const Case cases[] = {
        {"Item", false, "cleanup", false, false},
        {"Item", true, "Draw HandleEvent PassEvent cleanup", true, true},
        {"Actor", false, "", false, false},
        {"Actor", true, "Draw HandleEvent HandleEvent", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + (c.overloads ? " overloads" : " plain"));
        try {
            bp::object probe = ns["make"](bp::object(ns["ruv3"].attr(c.base)), c.overloads);
            Item* item = EngineItem(probe);
            pf::Event e(pf::EventType::KeyDown, 0);
            item->Draw(RenderState());
            const bool handled = item->HandleEvent(TreeState(), e);
            const bool passed = item->PassEvent(TreeState(), e);
            item->cleanup();
            const std::string reached = bp::extract<std::string>(bp::str(" ").join(bp::object(probe.attr("calls"))));
            EXPECT_EQ(reached, c.reached);
            EXPECT_EQ(handled, c.handled);
            EXPECT_EQ(passed, c.passed);
        } catch (const bp::error_already_set&) {
            PyErr_Print();
            ADD_FAILURE();
        }
    }
}

TEST_F(SceneBindings, AnAnswerWhoseTruthTestFailsIsAScriptErrorNotAnAnswer) {
    // An int whose truth test raises: the engine must not read an answer while the
    // error stays pending for some later, unrelated call to find.
    bp::object ns = Exec(
        "class Sly(int):\n"
        "    def __bool__(self): raise RuntimeError('no truth')\n"
        "class Answer(ruv3.Item):\n"
        "    def HandleEvent(self, state, event): return Sly(1)\n"
        "    def PassEvent(self, state, event): return Sly(1)\n"
        "item = Answer()\n"
        "item.pythonOverloads = True\n");
    Item* item = EngineItem(ns["item"]);
    pf::Event e(pf::EventType::KeyDown, 0);
    for (const char* what : {"HandleEvent", "PassEvent"}) {
        bool threw = false;
        try {
            if (std::string(what) == "HandleEvent") item->HandleEvent(TreeState(), e);
            else item->PassEvent(TreeState(), e);
        } catch (const bp::error_already_set&) {
            threw = PyErr_ExceptionMatches(PyExc_RuntimeError);
            PyErr_Clear();
        }
        EXPECT_TRUE(threw) << what;
        EXPECT_FALSE(PyErr_Occurred()) << what;
        PyErr_Clear();
    }
}

TEST_F(SceneBindings, AnItemThatDropsItsLastReferenceInItsOwnCycleIsLeftAlone) {
    // The engine calls Cycle on an item it does not count (as on a root it reaches by a
    // plain pointer); the script's Cycle drops the item's last other reference.
    bp::object ns = Exec(
        "class Leaving(ruv3.Item):\n"
        "    def __init__(self):\n"
        "        ruv3.Item.__init__(self)\n"
        "        self.pythonOverloads = True\n"
        "    def Cycle(self):\n"
        "        holder.clear()\n"
        "holder = [Leaving()]\n"
        "probe = weakref.ref(holder[0])\n");
    Item* item = EngineItem(ns["holder"][0]);
    item->Cycle();
    EXPECT_TRUE(bp::extract<bool>(bp::eval("probe() is None", ns, ns))());
}

TEST_F(SceneBindings, LifetimesAcrossTheTwoWorlds) {
    bp::object ns = Exec(
        "parent = ruv3.Item()\n"
        "child = ruv3.Item()\n"
        "child.tag = 'mine'\n"
        "cid = child.itemID\n"
        "probe = weakref.ref(child)\n"
        "parent.AddItem(child)\n"
        "del child\n"
        "gc.collect()\n"
        "alive_while_child = probe() is not None and parent.children[0] is probe()\n"
        "same_object = ruv3.getItemByID(cid) is probe() and ruv3.getItemByID(cid).tag == 'mine'\n"
        "probe().parent = None\n"
        "gc.collect()\n"
        "freed = probe() is None and ruv3.getItemByID(cid) is None\n");
    EXPECT_TRUE(bp::extract<bool>(ns["alive_while_child"]));
    EXPECT_TRUE(bp::extract<bool>(ns["same_object"]));
    EXPECT_TRUE(bp::extract<bool>(ns["freed"]));

    // An engine item handed out twice: two script objects, neither keeping it alive; once
    // the engine frees it, using either raises instead of reading freed memory.
    my_intrusive_ptr<Item> engine(new Item());
    engine->SetName(L"engine item");
    bp::object two = Exec(
        "a = ruv3.getItemByName(u'engine item')\n"
        "b = ruv3.getItemByName(u'engine item')\n"
        "distinct = a is not b and a.name == b.name == u'engine item'\n");
    EXPECT_TRUE(bp::extract<bool>(two["distinct"]));
    EXPECT_EQ(engine->GetRefCount(), 1);
    Item* raw = engine.get();
    engine.reset();
    EXPECT_EQ(getItemByName(L"engine item"), nullptr);
    (void)raw;
    EXPECT_TRUE(Raises(two["a"], "name", PyExc_TypeError));
}

TEST_F(SceneBindings, ScriptErrorsInAFrameReachTheLogAndTheNextFrameRuns) {
    bp::object ns = Exec(
        "class Faulty(ruv3.Item):\n"
        "    def __init__(self):\n"
        "        ruv3.Item.__init__(self)\n"
        "        self.pythonOverloads = True\n"
        "        self.frames = 0\n"
        "    def Cycle(self):\n"
        "        self.frames += 1\n"
        "        if self.frames == 1: raise RuntimeError('cycle failed')\n"
        "    def Draw(self, rs):\n"
        "        raise KeyError('draw failed')\n"
        "    def HandleEvent(self, state, event):\n"
        "        raise ValueError('event failed')\n"
        "item = Faulty()\n");
    Item* item = EngineItem(ns["item"]);
    TakeLog();
    pf::Event e(pf::EventType::KeyDown, 0);
    Step([&] { item->Cycle(); });
    Step([&] { item->Draw(RenderState()); });
    Step([&] { item->HandleEvent(TreeState(), e); });
    Step([&] { item->Cycle(); });
    EXPECT_FALSE(PyErr_Occurred());
    EXPECT_EQ(bp::extract<int>(ns["item"].attr("frames"))(), 2);
    const std::string log = TakeLog();
    for (const char* line : {"RuntimeError: cycle failed", "KeyError: 'draw failed'", "ValueError: event failed"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    EXPECT_NE(log.find("Traceback"), std::string::npos);

    // The printed error keeps nothing of the failed step alive.
    bp::exec("probe = weakref.ref(item)\ndel item\ngc.collect()\ngone = probe() is None\n", ns, ns);
    EXPECT_TRUE(bp::extract<bool>(ns["gone"]));
}

// A script's Cycle takes every item out of the tree, drops the last script references to
// them and raises: the walk lets go of them as the error leaves it, a finaliser run by
// that release takes out more, and nothing but the script's own error reaches the log.
TEST_F(SceneBindings, AWalkLeftByAScriptErrorLetsGoOfWhatTheScriptDropped) {
    bp::object ns = Exec(
        "class Wrecker(ruv3.Item):\n"
        "    def __init__(self):\n"
        "        ruv3.Item.__init__(self)\n"
        "        self.pythonOverloads = True\n"
        "    def Cycle(self):\n"
        "        for c in list(top.children): c.parent = None\n"
        "        del holder[:]\n"
        "        raise RuntimeError('wrecked')\n"
        "class Leaf(ruv3.Item):\n"
        "    def __del__(self):\n"
        "        finalised.append(len(top.children))\n"
        "        for c in list(top.children): c.parent = None\n"
        "        late.clear()\n"
        "top = ruv3.Item()\n"
        "finalised = []\n"
        "holder = [Wrecker(), Leaf(), Leaf()]\n"
        "for x in holder: top.AddItem(x)\n"
        "del x\n"
        "late = [ruv3.Item()]\n"
        "top.AddItem(late[0])\n"
        "probes = [weakref.ref(x) for x in holder + late]\n");
    Item* top = EngineItem(ns["top"]);
    TakeLog();
    Step([&] { top->Cycle(); });
    EXPECT_FALSE(PyErr_Occurred());
    EXPECT_FALSE(WalkScope::Open());
    bp::exec("gc.collect()\ngone = all(p() is None for p in probes)\n", ns, ns);
    EXPECT_TRUE(bp::extract<bool>(ns["gone"]));
    EXPECT_EQ(bp::len(ns["finalised"]), 2);
    EXPECT_TRUE(top->GetChildren().empty());
    const std::string log = TakeLog();
    EXPECT_NE(log.find("RuntimeError: wrecked"), std::string::npos) << log;
    EXPECT_EQ(log.find("Traceback"), log.rfind("Traceback")) << log;  // one error only
    EXPECT_EQ(log.find("SystemError"), std::string::npos) << log;
    EXPECT_EQ(log.find("Exception ignored"), std::string::npos) << log;
}

TEST_F(SceneBindings, ALentEventIsTheEnginesDuringTheCallAndInvalidAfter) {
    bp::object ns = Exec(
        "class Keeper(ruv3.Item):\n"
        "    def HandleEvent(self, state, event):\n"
        "        self.kept = event\n"
        "        self.seen = (event.type, event.click_id)\n"
        "        event.claimed = True\n"
        "        return False\n"
        "item = Keeper()\n"
        "item.pythonOverloads = True\n");
    pf::Event e(pf::EventType::ButtonClick, 42);
    EXPECT_FALSE(EngineItem(ns["item"])->HandleEvent(TreeState(), e));
    EXPECT_TRUE(e.IsClaimed());
    EXPECT_EQ(bp::extract<int>(ns["item"].attr("seen")[1])(), 42);
    EXPECT_TRUE(Raises(ns["item"].attr("kept"), "type", PyExc_ReferenceError));
}

TEST_F(SceneBindings, AScriptItemReceivesAClickFromARealMouseEvent) {
    bp::object ns = Exec(
        "class Clickable(ruv3.Item):\n"
        "    def __init__(self):\n"
        "        ruv3.Item.__init__(self)\n"
        "        self.pythonOverloads = True\n"
        "        self.clicks = []\n"
        "    def HandleEvent(self, state, event):\n"
        "        if event.type == ruv3.EventType.MouseButtonDown:\n"
        "            self.clicks.append((event.button, event.isMouseEvent))\n"
        "            return True\n"
        "        return ruv3.Item.HandleEvent(self, state, event)\n"
        "item = Clickable()\n"
        "item.size = (100, 100)\n");
    my_intrusive_ptr<RootItem> root(new RootItem());
    root->AddItem(EngineItem(ns["item"]));
    pf::EventSystem events;
    events.PostMouseButtonDown(pf::ButtonType::Left, 20, 30);
    pf::Event e;
    bool handled = false;
    while (events.PopFront(e)) handled = root->ProcessEvent(e) || handled;
    EXPECT_TRUE(handled);
    bp::object clicks = ns["item"].attr("clicks");
    ASSERT_EQ(bp::len(clicks), 1);
    EXPECT_EQ(bp::extract<int>(clicks[0][0])(), pf::ButtonType::Left);
    EXPECT_TRUE(bp::extract<bool>(clicks[0][1]));
    root->RemoveAllDescendents(false);
}

TEST_F(SceneBindings, ScriptSideTablesAndRandomTrees) {
    World();
    my_intrusive_ptr<RootItem> root(new RootItem());
    SetRootItem(root.get());
    bp::dict with;
    with["get_root"] = bp::make_function(+[] { return ToScript(GetRootItem()); });
    with["cycle_root"] = bp::make_function(+[] {
        if (RootItem* r = GetRootItem()) r->Cycle();
    });
    EXPECT_EQ(bindingstest::RunPythonTests("scene.py", with), "");
    SetRootItem(nullptr);
}

TEST_F(SceneBindings, EveryFilledRegistrationStepRegistersItsNames) {
    const char* const names[] = {
        "Callback",     "Point",         "Color",          "Rect",         "ItemsParent",   "Items",
        "RefCounter",   "Item",          "GetItemByPoint", "ConvertPoint", "GetUnionChildRect", "Actor",
        "Event",        "EventSystem",   "GetEventSystem", "sin",          "KeyType",       "ButtonType",
        "EventType",    "EventProperty", "RenderState",    "TreeState",    "BlendMode",     "Display",
        "Vector3",      "Vector2",       "Matrix",         "ToPoint",      "ToColor",       "Surface",
        "FileSystem",   "Application",   "OptionList",     "getTicks",     "GetAsyncKeyState", "rand32b",
        "messageBoxAssert", "getItemByID", "getItemByName"};
    World();
    bp::object module = bp::import("ruv3");
    for (const char* name : names) EXPECT_TRUE(PyObject_HasAttrString(module.ptr(), name)) << name;
    // Base classes come first: the script classes inherit as the engine's do.
    EXPECT_EQ(bindingstest::RunSnippet("assert issubclass(ruv3.Actor, ruv3.Item)\n"
                                       "assert issubclass(ruv3.Item, ruv3.RefCounter)\n"),
              "");
}

}  // namespace
