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

// Tuples nested in one another, each claiming no more items than bytes are left after it:
// the interpreter holds all of them at once, so together they claim far more (a thousand
// times the data here).
std::string NestedClaims(const std::string& header) {
    std::string bytes = header;
    const int levels = 1000, filler = 20000;
    for (int level = 0; level < levels; ++level) {
        const uint32_t left = uint32_t(5 * (levels - level - 1) + filler);
        bytes += '(';
        for (int shift = 0; shift < 32; shift += 8) bytes += char((left >> shift) & 0xff);
    }
    return bytes + std::string(filler, 'N');
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
        {"hook_nested_claims", NestedClaims(good.substr(0, 16)), "claims a container of"},
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

// What the interpreter writes passes the check of claimed counts: the game's own scripts
// and library modules with references, nested code, frozensets, long numbers and
// interned strings.
TEST(ImportHook, ModulesTheInterpreterWritesAllLoad) {
    bp::object globals = World().host.globals();
    bp::exec("import glob, importlib.util, marshal, os, sysconfig\n"
              "lib = sysconfig.get_paths()['stdlib']\n"
              "files = sorted(glob.glob('" RUV3_SOURCE_DIR "/data/scripts/**/*.py', recursive=True))\n"
              "files += [os.path.join(lib, n) for n in ('json/decoder.py', 'collections/__init__.py',\n"
              "          'dataclasses.py', 'typing.py', 'fractions.py', 'decimal.py', '_pydecimal.py')]\n"
              "files = [f for f in files if os.path.exists(f)]\n"
              "source = 'big = 1 << 400\\nneg = -(1 << 99)\\ns = frozenset({1, 2})\\n'\n"
              "source += 'def f(x):\\n    return x in {\\'a\\', \\'b\\'} or (lambda y: y * 2.5 + 1j)(x)\\n'\n"
              "codes = [compile(open(f, encoding='utf-8').read(), f, 'exec') for f in files]\n"
              "codes.append(compile(source, 'made', 'exec'))\n"
              "result = [importlib.util.MAGIC_NUMBER + bytes(12) + marshal.dumps(c) for c in codes]\n"
              "names = files + ['made']\n",
             globals, globals);
    bp::list modules = bp::extract<bp::list>(globals["result"]);
    ASSERT_GE(bp::len(modules), 5);
    for (int i = 0; i < bp::len(modules); ++i) {
        const std::string name = bp::extract<std::string>(globals["names"][i]);
        bp::object bytes = modules[i];
        ASSERT_TRUE(PyBytes_Check(bytes.ptr()));
        PyObject* code = ModuleLoader::UnmarshalCode(
            reinterpret_cast<const unsigned char*>(PyBytes_AS_STRING(bytes.ptr())),
            size_t(PyBytes_GET_SIZE(bytes.ptr())), name);
        EXPECT_NE(code, nullptr) << name;
        Py_XDECREF(code);
        if (!code) PyErr_Clear();
    }
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
