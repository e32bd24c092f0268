// The start-up sequence and shutdown, each in a child process: the compiled start-up
// module from an encrypted archive, the source fallback, missing names, no module at
// all, a script asking to exit; every child must finalise cleanly.
#include "ScriptTestSupport.h"

namespace {

using scripttest::CompileModule;

const char kPassword[] = "Hx4Tq9Lm2Zr7";

const char kInitSource[] = R"(import sys, ruv3
class tasklets:
    @staticmethod
    def stopTasklets(): pass
def created(cid): print("created", cid)
ruv3.onCreateItem = created
frames = 0
def postCycleCall():
    global frames
    frames += 1
    print("frame", frames)
print("path tail", sys.path[-3:])
)";

struct Outcome {
    int status = -1;
    std::string log, err;
};

Outcome RunChild(const testkit::TempDir& dir, bool archive, const std::string& environment = "") {
    const std::string res = (dir.Path() / "res").string();
    const std::string log = (dir.Path() / "log.txt").string();
    const std::string err = (dir.Path() / "stderr.txt").string();
    std::string command = environment + "'" + SCRIPT_HOST_CHILD + "' '" + res + "' '" + log + "'";
    if (archive) command += std::string(" ") + kPassword;
    Outcome out;
    out.status = testkit::RunCommand(command + " 2>'" + err + "' >/dev/null");
    out.log = testkit::ReadFile(log);
    out.err = testkit::ReadFile(err);
    return out;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

void ExpectCleanEnd(const Outcome& out) {
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.log.find("child: finished"), std::string::npos) << out.log;
    EXPECT_EQ(out.err.find("Fatal Python error"), std::string::npos) << out.err;
}

TEST(Startup, CompiledModuleFromTheEncryptedArchive) {
    ASSERT_TRUE(testkit::HaveProgram("zip")) << "zip is missing: run ./deps.sh";
    testkit::TempDir dir;
    dir.Write("stage/pyc/ruv3_init.pyc", CompileModule(kInitSource, "ruv3_init"));
    std::filesystem::create_directories(dir.Path() / "res");
    ASSERT_EQ(testkit::RunCommand("cd '" + (dir.Path() / "stage").string() + "' && zip -q -r -P " + kPassword +
                                  " ../res/data.zip pyc"),
              0);
    const Outcome out = RunChild(dir, true);
    ExpectCleanEnd(out);
    EXPECT_EQ(Count(out.log, "frame "), 3u) << out.log;
    EXPECT_EQ(Count(out.log, "created "), 3u) << out.log;
    EXPECT_EQ(out.log.find("pyc.zip"), std::string::npos) << "sys.path was extended:\n" << out.log;
    // The only traceback is the optional debugger stub's, which is not shipped.
    EXPECT_EQ(Count(out.log, "Traceback"), 1u) << out.log;
    EXPECT_NE(out.log.find("No module named 'wingdbstub'"), std::string::npos);
}

TEST(Startup, SourceModuleFoundThroughTheFallbackPath) {
    testkit::TempDir dir;
    dir.Write("res/scripts/ruv3_init.py", kInitSource);
    // The fallback folders are relative: the child runs in the resource folder.
    const std::string res = (dir.Path() / "res").string();
    const std::string command = "cd '" + res + "' && '" + SCRIPT_HOST_CHILD + "' . '" +
                                (dir.Path() / "log.txt").string() + "' 2>'" + (dir.Path() / "err.txt").string() +
                                "' >/dev/null";
    Outcome out;
    out.status = testkit::RunCommand(command);
    out.log = testkit::ReadFile(dir.Path() / "log.txt");
    out.err = testkit::ReadFile(dir.Path() / "err.txt");
    ExpectCleanEnd(out);
    EXPECT_NE(out.log.find("path tail ['scripts/', 'scripts/PyRuvLib/', 'pyc.zip']"), std::string::npos) << out.log;
    EXPECT_EQ(Count(out.log, "frame "), 3u);
}

TEST(Startup, ThePlayersPythonEnvironmentIsNotTheGames) {
    testkit::TempDir dir;
    dir.Write("res/pyc/ruv3_init.pyc", CompileModule(kInitSource, "ruv3_init"));
    dir.Write("theirs/wingdbstub.py", "print('the player\\'s own module')\n");
    const std::string environment =
        "PYTHONHOME=/nonexistent PYTHONPATH='" + (dir.Path() / "theirs").string() + "' ";
    const Outcome out = RunChild(dir, false, environment);
    ExpectCleanEnd(out);
    EXPECT_EQ(Count(out.log, "frame "), 3u) << out.log;
    EXPECT_EQ(out.log.find("own module"), std::string::npos) << out.log;
}

TEST(Startup, MissingNamesAndMissingModules) {
    struct Case {
        const char* name;
        const char* source;  // null: no start-up module at all
        size_t frames, created;
        const char* logged;
        bool missing;  // the host reports the start-up module missing
    } cases[] = {
        {"no tasklets", "import ruv3\nruv3.onCreateItem = print\ndef postCycleCall(): print('frame')\n", 3, 0,
         "KeyError: 'tasklets'", false},
        {"no module", nullptr, 0, 0, "No module named 'ruv3_init'", true},
        // There, but what it imports is not: the start-up module is not the one missing.
        {"imports a missing module", "import nosuchmodule\n", 0, 0, "No module named 'nosuchmodule'", false},
        {"item outlives", "import ruv3\nruv3.getItemByName('keeper').AddItem(ruv3.Item())\n"
         "def postCycleCall(): print('frame')\n", 3, 0, "KeyError: 'tasklets'", false},
        {"exit", "import sys\ndef postCycleCall(): sys.exit(0)\n", 0, 0, "child: quit requested 0", false},
    };
    for (const Case& c : cases) {
        testkit::TempDir dir;
        std::filesystem::create_directories(dir.Path() / "res/pyc");
        if (c.source) dir.Write("res/pyc/ruv3_init.pyc", CompileModule(c.source, "ruv3_init"));
        const Outcome out = RunChild(dir, false);
        ExpectCleanEnd(out);
        EXPECT_EQ(Count(out.log, "frame"), c.frames) << c.name << "\n" << out.log;
        EXPECT_NE(out.log.find(c.logged), std::string::npos) << c.name << "\n" << out.log;
        EXPECT_EQ(Count(out.log, "child: no start-up module"), c.missing ? 1u : 0u) << c.name << "\n" << out.log;
        if (!c.source) {
            EXPECT_EQ(Count(out.log, "no postCycleCall"), 1u) << out.log;
        }
    }
}

TEST(Startup, FailingCompiledModuleRunsOnce) {
    // The import machinery must not try the same compiled module a second time.
    testkit::TempDir dir;
    dir.Write("res/pyc/ruv3_init.pyc", CompileModule("print('top level')\nraise RuntimeError('broken start')\n", "ruv3_init"));
    const Outcome out = RunChild(dir, false);
    ExpectCleanEnd(out);
    EXPECT_EQ(Count(out.log, "top level"), 1u) << out.log;
    EXPECT_EQ(Count(out.log, "RuntimeError: broken start"), 1u) << out.log;
    EXPECT_EQ(Count(out.log, "Traceback"), 2u) << out.log;  // the debugger stub's and this one
}

}  // namespace
