// The import hook for compiled modules and the host's output redirect, in the test
// process's interpreter.
#include <boost/python.hpp>

#include <cstdio>

#include "ScriptTestSupport.h"
#include "script/ModuleLoader.h"

namespace {

namespace bp = boost::python;
using scripttest::CompileModule;
using scripttest::TakeLog;
using scripttest::World;

void WritePyc(const std::string& name, const std::string& bytes) {
    World().dir.Write("res/pyc/" + name + ".pyc", bytes);
}

// Runs Python statements in __main__; answers the repr of `result` afterwards.
std::string Eval(const std::string& statements) {
    bp::object globals = World().host.globals();
    bp::exec(statements.c_str(), globals, globals);
    return bp::extract<std::string>(bp::str(globals["result"]));
}

TEST(ImportHook, FindsAndLoadsCompiledModulesFromTheFileSystem) {
    WritePyc("hook_abc", CompileModule("runs = globals().get('runs', 0) + 1\nvalue = 42\n"));
    ModuleLoader* loader = World().host.loader;
    ASSERT_NE(loader, nullptr);
    bp::object instance = loader->call(bp::object(1));
    EXPECT_TRUE(loader->find_module("hook_abc", bp::object()) == instance);
    EXPECT_TRUE(loader->find_module("hook_abc", bp::object("ignored")) == instance);
    EXPECT_TRUE(loader->find_module("hook_missing", bp::object()).is_none());
    EXPECT_TRUE(loader->call(bp::object("x")) == instance);
    EXPECT_TRUE(loader->call(bp::object()) == instance);

    bp::object module = loader->load_module("hook_abc");
    ASSERT_FALSE(module.is_none());
    EXPECT_EQ(bp::extract<int>(module.attr("value"))(), 42);
    EXPECT_EQ(bp::extract<std::string>(module.attr("__file__"))(), "hook_abc");
    EXPECT_TRUE(module.attr("__loader__") == instance);
    EXPECT_FALSE(PyObject_HasAttrString(module.ptr(), "__path__"));
    // Loading again runs the code again, in the same module object.
    bp::object again = loader->load_module("hook_abc");
    EXPECT_TRUE(again == module);
    EXPECT_EQ(bp::extract<int>(module.attr("runs"))(), 2);
    TakeLog();
}

TEST(ImportHook, TheImportStatementFindsTheArchiveFirst) {
    WritePyc("hook_imported", CompileModule("import sys\nfrom_hook = True\n"));
    EXPECT_EQ(Eval("import hook_imported\nresult = hook_imported.from_hook and hook_imported.__file__"),
              "hook_imported");
    EXPECT_EQ(Eval("import sys\nresult = type(sys.meta_path[0]).__name__"), "Ruv3Loader");
}

TEST(ImportHook, DamagedMissingAndRaisingModules) {
    ModuleLoader* loader = World().host.loader;
    const std::string good = CompileModule("x = 1\n");
    std::string foreign = good;
    foreign[0] = static_cast<char>(foreign[0] ^ 0x55);
    char foreignLogged[80];
    std::snprintf(foreignLogged, sizeof foreignLogged, "another interpreter (magic %lx, not %lx)",
                  PyImport_GetMagicNumber() ^ 0x55, PyImport_GetMagicNumber());
    struct Case {
        const char* name;
        std::string bytes;  // "-" : no file at all
        const char* logged;  // "" : nothing may be logged
    } cases[] = {
        {"hook_absent", "-", ""},
        {"hook_empty", "", ""},
        {"hook_five", "12345", "too short"},
        {"hook_header_only", good.substr(0, 16), "EOFError"},
        {"hook_foreign", foreign, foreignLogged},
        {"hook_garbage", good.substr(0, 16) + std::string(40, '\xee'), "Error"},
        // Counts claiming more than the bytes left (a list of 700 million items in 21
        // bytes; a string of 2 GB) are refused before the interpreter reserves for them.
        {"hook_huge_list", good.substr(0, 16) + std::string("[\x00\x27\xb9\x29", 5), "claims a container of 700000000"},
        {"hook_huge_string", good.substr(0, 16) + std::string("\xe3\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                                                              "\x00\x00\x00\x00\x00\x00\x00\x00s\xff\xff\xff\x7f", 26),
         "claims a string of 2147483647"},
        {"hook_raises", CompileModule("half = True\nraise ValueError('broken module')\n"), "broken module"},
    };
    for (const Case& c : cases) {
        if (std::string(c.bytes) != "-") WritePyc(c.name, c.bytes);
        TakeLog();
        EXPECT_TRUE(loader->load_module(c.name).is_none()) << c.name;
        const std::string log = TakeLog();
        if (*c.logged) {
            EXPECT_NE(log.find(c.logged), std::string::npos) << c.name << ": " << log;
        } else {
            EXPECT_EQ(log, "") << c.name;
        }
        EXPECT_FALSE(bp::import("sys").attr("modules").contains(c.name)) << c.name << " was left in sys.modules";
        EXPECT_FALSE(PyErr_Occurred());
    }
    // Through the import statement the script sees the error; nothing half-run stays.
    EXPECT_EQ(Eval("try:\n import hook_raises\n result = 'imported'\nexcept ValueError as e:\n result = str(e)\n"),
              "broken module");
    EXPECT_EQ(Eval("import sys\nresult = 'hook_raises' in sys.modules"), "False");
}

TEST(ImportHook, DottedNamesAreOneFileName) {
    WritePyc("pkg.sub", CompileModule("where = 'dotted'\n"));
    EXPECT_EQ(ModuleLoader::FileName("pkg.sub"), L"pyc/pkg.sub.pyc");
    ModuleLoader* loader = World().host.loader;
    EXPECT_FALSE(loader->find_module("pkg.sub", bp::object()).is_none());
    EXPECT_FALSE(loader->find_spec("pkg.sub", bp::object(), bp::object()).is_none());
    EXPECT_TRUE(loader->find_spec("pkg", bp::object(), bp::object()).is_none());
}

TEST(OutputRedirect, TextReachesTheLogExactlyAsWritten) {
    TakeLog();
    Eval("import sys\nsys.stdout.write('a')\nsys.stdout.write('\\n')\nsys.stderr.write('b\\u00e9')\n"
         "print('c', end='')\nsys.stdout.flush()\nresult = sys.stdout.encoding");
    EXPECT_EQ(TakeLog(), "a\nb\xc3\xa9"
                         "c");
}

}  // namespace
