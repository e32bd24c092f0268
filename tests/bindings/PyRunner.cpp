#include "PyRunner.h"

#include <boost/python.hpp>

#include <cstdlib>

#include "ScriptTestSupport.h"
#include "common/TestSupport.h"

namespace bp = boost::python;

namespace bindingstest {

namespace {

// Script objects come from malloc instead of the interpreter's own pools, so the
// sanitizer also sees an engine object that outlives the script object it is embedded
// in. The host ignores the PYTHON* environment, so the allocator is chosen by
// pre-initialising the runtime before the host starts it.
const bool kScriptObjectsFromMalloc = [] {
    PyPreConfig preconfig;
    PyPreConfig_InitPythonConfig(&preconfig);
    preconfig.allocator = PYMEM_ALLOCATOR_MALLOC;
    return !PyStatus_Exception(Py_PreInitialize(&preconfig));
}();

// The pending error as its formatted traceback; clears it.
std::string TakeError() {
    PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
    PyErr_Fetch(&type, &value, &trace);
    PyErr_NormalizeException(&type, &value, &trace);
    bp::object format = bp::import("traceback").attr("format_exception");
    bp::handle<> t(type), v(bp::allow_null(value)), tb(bp::allow_null(trace));
    bp::object lines = format(bp::object(t), v ? bp::object(v) : bp::object(), tb ? bp::object(tb) : bp::object());
    return bp::extract<std::string>(bp::str("").attr("join")(lines));
}

// Every test module gets raises(kind, f, *args): f(*args) must raise kind, and
// examples(n): how many random examples a property test draws. Under CI the property
// tests draw the same examples in every run (a failure there is reproducible), and a fifth
// of them (at least five) besides their fixed @example cases, the cases that once found a
// fault: CI may run on a busy machine or on two cores, where the interpreter under the
// sanitizers is slow. Exploring many new examples is for runs on a developer's machine.
const char kHelpers[] =
    "import os\n"
    "_ci = os.environ.get('CI') == 'true'\n"
    "if _ci:\n"
    "    import hypothesis\n"
    "    hypothesis.settings.register_profile('ci', derandomize=True, database=None, deadline=None)\n"
    "    hypothesis.settings.load_profile('ci')\n"
    "def examples(n):\n"
    "    return max(5, n // 5) if _ci else n\n"
    "def raises(kind, f, *args):\n"
    "    try:\n"
    "        f(*args)\n"
    "    except kind:\n"
    "        return\n"
    "    raise AssertionError('%r did not raise %r' % (f, kind))\n";

bp::object FreshNamespace() {
    scripttest::World();
    bp::dict ns;
    ns["__builtins__"] = bp::import("builtins");
    ns["__name__"] = "bindings_test";
    bp::exec(kHelpers, ns, ns);
    return ns;
}

}  // namespace

std::string RunSnippet(const std::string& source) {
    bp::object ns = FreshNamespace();
    try {
        bp::exec(("import ruv3\n" + source).c_str(), ns, ns);
    } catch (const bp::error_already_set&) {
        return TakeError();
    }
    return "";
}

std::string RunPythonTests(const std::string& file) {
    scripttest::World();
    return RunPythonTests(file, bp::dict());
}

std::string RunPythonTests(const std::string& file, const bp::dict& with) {
    const std::string path = std::string(RUV3_SOURCE_DIR) + "/tests/bindings/py/" + file;
    const std::string source = testkit::ReadFile(path);
    bp::object ns = FreshNamespace();
    ns["__file__"] = path;
    ns.attr("update")(with);
    try {
        bp::exec(source.c_str(), ns, ns);
    } catch (const bp::error_already_set&) {
        return file + ": " + TakeError();
    }
    std::string failures;
    bp::list names = bp::dict(ns).keys();
    for (int i = 0; i < bp::len(names); ++i) {
        const std::string name = bp::extract<std::string>(names[i]);
        if (name.rfind("test_", 0) != 0) continue;
        try {
            ns[name.c_str()]();
        } catch (const bp::error_already_set&) {
            failures += name + ":\n" + TakeError() + "\n";
        }
    }
    bp::import("gc").attr("collect")();
    return failures;
}

}  // namespace bindingstest
