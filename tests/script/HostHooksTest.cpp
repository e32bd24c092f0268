// The host's per-frame hook, its item-creation hook and script callbacks, in the test
// process's interpreter.
#include <boost/python.hpp>

#include <csignal>

#include "ScriptTestSupport.h"
#include "scene/Item.h"
#include "scene/ItemLeakDetector.h"
#include "script/ScriptError.h"
#include "script/ScriptPeer.h"

namespace {

namespace bp = boost::python;
using scripttest::TakeLog;
using scripttest::World;

bp::object Define(const std::string& source, const char* name) {
    bp::object globals = World().host.globals();
    bp::exec(source.c_str(), globals, globals);
    return globals[name];
}

int g_quitCode = -1;

TEST(HostHooks, PostCycleErrorsArePrintedAndTheNextFrameRuns) {
    PythonHost& host = World().host;
    host.postCycleCall() = Define(
        "frames = []\n"
        "def post():\n"
        "    frames.append(len(frames))\n"
        "    if len(frames) == 2: raise RuntimeError('frame two failed')\n",
        "post");
    TakeLog();
    for (int i = 0; i < 3; ++i) host.PostCycle();
    EXPECT_EQ(bp::len(host.globals()["frames"]), 3);
    const std::string log = TakeLog();
    EXPECT_NE(log.find("Traceback"), std::string::npos);
    EXPECT_NE(log.find("RuntimeError: frame two failed"), std::string::npos);
    EXPECT_FALSE(PyErr_Occurred());

    // SystemExit asks the game to quit instead of ending the process.
    SetScriptQuitHandler(+[](int code) { g_quitCode = code; });
    host.postCycleCall() = Define("import sys\ndef leave(): sys.exit(3)\n", "leave");
    host.PostCycle();
    EXPECT_EQ(g_quitCode, 3);
    SetScriptQuitHandler(nullptr);

    // No hook at all: one line, not one per frame.
    host.postCycleCall() = bp::object();
    TakeLog();
    for (int i = 0; i < 5; ++i) host.PostCycle();
    const std::string quiet = TakeLog();
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), '\n'), 1) << quiet;
}

// An error raised every frame would fill the disk: the same traceback again only counts
// (at 1, 2, 4, 8, ... repeats), and the next different error says how many came.
TEST(HostHooks, ARepeatedErrorIsCountedNotPrintedAgain) {
    PythonHost& host = World().host;
    host.postCycleCall() = Define("def again(): raise RuntimeError('every frame')\n", "again");
    TakeLog();
    for (int i = 0; i < 10; ++i) host.PostCycle();
    std::string log = TakeLog();
    const size_t once = log.find("RuntimeError: every frame");
    ASSERT_NE(once, std::string::npos) << log;
    EXPECT_EQ(log.find("every frame", once + 30), std::string::npos) << log;
    EXPECT_EQ(log.find("Traceback", log.find("Traceback") + 1), std::string::npos) << log;
    EXPECT_NE(log.find("the same error again (1 repeats)"), std::string::npos) << log;
    EXPECT_NE(log.find("the same error again (8 repeats)"), std::string::npos) << log;
    EXPECT_EQ(log.find("(9 repeats)"), std::string::npos) << log;

    host.postCycleCall() = Define("def other(): raise KeyError('another')\n", "other");
    host.PostCycle();
    log = TakeLog();
    EXPECT_NE(log.find("KeyError: 'another'"), std::string::npos) << log;
    // The first error is still a recent one: coming back, it is only counted.
    host.postCycleCall() = Define("def again(): raise RuntimeError('every frame')\n", "again");
    for (int i = 0; i < 7; ++i) host.PostCycle();
    log = TakeLog();
    EXPECT_EQ(log.find("Traceback"), std::string::npos) << log;
    EXPECT_NE(log.find("the same error again (16 repeats)"), std::string::npos) << log;
    // Pushed out by enough newer errors, its count is written a last time.
    for (int i = 0; i < 16; ++i) {
        const std::string name = "fails" + std::to_string(i);
        host.postCycleCall() = Define("def " + name + "(): raise ValueError(" + std::to_string(i) + ")\n", name.c_str());
        host.PostCycle();
    }
    log = TakeLog();
    EXPECT_NE(log.find("script: the error RuntimeError at File"), std::string::npos) << log;
    EXPECT_NE(log.find("came 16 more times in all"), std::string::npos) << log;
    host.postCycleCall() = bp::object();
    EXPECT_FALSE(PyErr_Occurred());
}

TEST(HostHooks, AnExcepthookRaisingSystemExitDoesNotEndTheProcess) {
    PythonHost& host = World().host;
    bp::object globals = host.globals();
    bp::exec("import sys\nsys.excepthook = lambda *error: sys.exit(7)\n", globals, globals);
    host.postCycleCall() = Define("def fails(): raise ValueError('frame failed')\n", "fails");
    TakeLog();
    host.PostCycle();  // without the fix the test process ends here with status 7
    bp::exec("import sys\nsys.excepthook = sys.__excepthook__\n", globals, globals);
    host.postCycleCall() = bp::object();
    const std::string log = TakeLog();
    EXPECT_NE(log.find("Error in sys.excepthook"), std::string::npos) << log;
    EXPECT_NE(log.find("ValueError: frame failed"), std::string::npos) << log;
    EXPECT_FALSE(PyErr_Occurred());
}

TEST(HostHooks, ImportingSignalLeavesCtrlCToTheEngine) {
    World();
    // With SIGINT at its default, a script's import must not put the interpreter's
    // handler in (Ctrl-C would become a KeyboardInterrupt printed inside some frame).
    void (*before)(int) = std::signal(SIGINT, SIG_DFL);
    bp::object globals = World().host.globals();
    bp::exec("import signal\n", globals, globals);
    void (*after)(int) = std::signal(SIGINT, before);
    EXPECT_TRUE(after == SIG_DFL);
}

TEST(HostHooks, NewItemsAreReportedToTheScriptHook) {
    PythonHost& host = World().host;
    host.onCreateItem() = Define("seen = []\ndef created(cid): seen.append(cid)\n", "created");
    my_intrusive_ptr<Item> item(new Item());
    ASSERT_EQ(bp::len(host.globals()["seen"]), 1);
    EXPECT_EQ(bp::extract<int>(host.globals()["seen"][0])(), item->GetCreationID());

    // A false hook reports nothing; a hook whose truth test fails is a printed error.
    for (const char* falsy : {"None", "0", "''"}) {
        host.onCreateItem() = bp::eval(falsy);
        my_intrusive_ptr<Item> quiet(new Item());
    }
    EXPECT_EQ(bp::len(host.globals()["seen"]), 1);
    host.onCreateItem() = Define("class Bad:\n    def __bool__(self): raise TypeError('no truth')\nbad = Bad()\n", "bad");
    TakeLog();
    const int before = ItemLeakDetector::Count();
    { my_intrusive_ptr<Item> judged(new Item()); EXPECT_EQ(ItemLeakDetector::Count(), before + 1); }
    EXPECT_NE(TakeLog().find("no truth"), std::string::npos);

    // A raising hook is printed; the item is made and registered, and goes cleanly.
    host.onCreateItem() = Define("def fails(cid): raise KeyError(cid)\n", "fails");
    {
        my_intrusive_ptr<Item> made(new Item());
        EXPECT_EQ(ItemLeakDetector::Count(), before + 1);
        EXPECT_NE(TakeLog().find("KeyError"), std::string::npos);
    }
    EXPECT_EQ(ItemLeakDetector::Count(), before);
    EXPECT_FALSE(PyErr_Occurred());
    host.onCreateItem() = bp::object();
}

TEST(ScriptCallbacks, NoneIsSilentAndErrorsReachTheCaller) {
    World();
    bp::object globals = World().host.globals();
    bp::exec("hits = [0]\ndef hit(): hits[0] += 1\ndef boom(): raise ValueError('callback failed')\n", globals,
             globals);
    Callback none = MakeScriptCallback(bp::object());
    none();
    Callback hit = MakeScriptCallback(globals["hit"]);
    hit();
    hit();
    EXPECT_EQ(bp::extract<int>(globals["hits"][0])(), 2);
    Callback boom = MakeScriptCallback(globals["boom"]);
    EXPECT_THROW(boom(), bp::error_already_set);
    EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_ValueError));
    PyErr_Clear();
}

}  // namespace
