#include "script/PythonHost.h"

#include <boost/python.hpp>

#include <csignal>
#include <stdexcept>

#include "scene/ItemLeakDetector.h"
#include "script/ModuleLoader.h"
#include "script/ScriptError.h"
#include "script/bindings/SceneThread.h"
#include "shell/foundation/Log.h"

namespace bp = boost::python;

namespace {

// Replaces the interpreter's standard output and error: text goes to the log as written.
struct PythonStdIoRedirect {
    void write(const std::wstring& text) { pf::LogWrite(text); }
    void flush() {}
};

// Runs one statement in the given namespace; false with the error printed.
bool RunStatement(const char* statement, bp::object ns) {
    try {
        bp::exec(statement, ns, ns);
        return true;
    } catch (const bp::error_already_set&) {
        PrintScriptError();
        return false;
    }
}

void ThrowOnFailure(const PyStatus& status) {
    if (PyStatus_Exception(status)) {
        throw std::runtime_error(std::string("Failed to start the script interpreter: ") +
                                 (status.err_msg ? status.err_msg : "unknown error"));
    }
}

// True when the pending error is the import machinery's "No module named" for `name`
// itself (not for a module that one imports). The error stays pending.
bool PendingErrorIsMissingModule(const char* name) {
    if (!PyErr_ExceptionMatches(PyExc_ModuleNotFoundError)) return false;
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    bool missing = false;
    if (value) {
        if (PyObject* missingName = PyObject_GetAttrString(value, "name")) {
            missing = PyUnicode_Check(missingName) && PyUnicode_CompareWithASCIIString(missingName, name) == 0;
            Py_DECREF(missingName);
        } else {
            PyErr_Clear();
        }
    }
    PyErr_Restore(type, value, traceback);
    return missing;
}

}  // namespace

PythonHost::PythonHost() = default;

bool PythonHost::AddBuiltinModule(const char* name, PyObject* (*init)()) {
    if (Py_IsInitialized()) {
        pf::DebugStream() << "script: module '" << name << "' added after the interpreter started";
        return false;
    }
    // The table keeps the name pointer: callers pass string literals.
    return PyImport_AppendInittab(name, init) != -1;
}

PythonHost::~PythonHost() {
    // Before finalisation the objects are dropped in order; after it there are none.
    if (objects_ && Py_IsInitialized()) ReleaseObjects();
}

void PythonHost::Init(pf::FileSystem* fs) {
    fileSystem = fs;
    if (PyImport_AppendInittab("ruv3", &PyInit_ruv3) == -1) {
        throw std::runtime_error("Failed to add embedded_hello to the interpreter's builtin modules");
    }
    // The process's locale is fixed before the window system starts, which keeps state
    // built for it: the interpreter leaves it as it is (no locale from the environment, no
    // switch away from the C locale) and reads and writes its text as UTF-8, as the engine
    // does. Its own settings come from here, not from the environment.
    PyPreConfig preconfig;
    PyPreConfig_InitPythonConfig(&preconfig);
    preconfig.configure_locale = 0;
    preconfig.utf8_mode = 1;
    preconfig.use_environment = 0;
    preconfig.parse_argv = 0;
    ThrowOnFailure(Py_PreInitialize(&preconfig));
    PyConfig config;
    PyConfig_InitPythonConfig(&config);
    // Ctrl-C and SIGPIPE stay the engine's: no KeyboardInterrupt inside a frame.
    config.install_signal_handlers = 0;
    config.parse_argv = 0;
    // The player's own Python settings (PYTHONHOME, PYTHONPATH, user site packages) are
    // not the game's: with them another installation could stop the game from starting
    // or shadow its modules.
    config.use_environment = 0;
    config.user_site_directory = 0;
    // The interpreter's own error printing ends the process on a SystemExit (one raised
    // by a script's sys.excepthook, say) unless it is in inspect mode: a script error
    // is printed, it never ends the game on the spot.
    config.inspect = 1;
    const PyStatus status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    ThrowOnFailure(status);
    // Importing the signal module puts the interpreter's Ctrl-C handler in place whenever
    // SIGINT is at its default, whatever the configuration says. Import it now, with
    // SIGINT set aside for that moment, so a script's import later leaves SIGINT alone.
    {
        void (*engineHandler)(int) = std::signal(SIGINT, SIG_IGN);
        PyObject* signalModule = PyImport_ImportModule("_signal");
        std::signal(SIGINT, engineHandler);
        if (!signalModule) bp::throw_error_already_set();
        Py_DECREF(signalModule);
    }

    // The thread that starts the interpreter is the scene's (the main thread).
    ruv3module::RecordSceneThread();
    PyObject* main = PyImport_AddModule("__main__");
    if (!main) bp::throw_error_already_set();
    globals() = bp::object(bp::borrowed(main)).attr("__dict__");

    globals()["PythonStdIoRedirect"] = bp::class_<PythonStdIoRedirect>("PythonStdIoRedirect")
                                         .def("write", &PythonStdIoRedirect::write)
                                         .def("flush", &PythonStdIoRedirect::flush)
                                         .add_property("encoding", +[](const PythonStdIoRedirect&) { return "utf-8"; });
    bp::object redirect = globals()["PythonStdIoRedirect"];
    bp::import("sys").attr("stderr") = redirect();
    bp::import("sys").attr("stdout") = redirect();

    ItemLeakDetector::SetCreationHook(&PythonHost::OnCreateItem, this);

    bp::object loaderClass = bp::class_<ModuleLoader>("Ruv3Loader")
                                 .def("__call__", &ModuleLoader::call)
                                 .def("find_module", &ModuleLoader::find_module)
                                 .def("find_spec", &ModuleLoader::find_spec,
                                      (bp::arg("name"), bp::arg("path") = bp::object(), bp::arg("target") = bp::object()))
                                 .def("create_module", &ModuleLoader::create_module)
                                 .def("exec_module", &ModuleLoader::exec_module)
                                 .def("load_module", &ModuleLoader::load_module);
    bp::object instance = loaderClass();
    loader = instance.is_none() ? nullptr : bp::extract<ModuleLoader*>(instance)();
    if (loader) {
        loader->SetFileSystem(fileSystem);
        loader->SetObjects(globals(), instance);
    }
    // First on the list, so the archive wins over anything on sys.path.
    bp::import("sys").attr("meta_path").attr("insert")(0, instance);
}

void PythonHost::RunStartupScript() {
    if (!objects_ || !Py_IsInitialized()) return;
    RunStatement("import wingdbstub", globals());
    try {
        initModule() = loader ? loader->load_module("ruv3_init") : bp::object();
        // A compiled module that is there but failed has printed its error; importing it
        // again would run its top level a second time.
        const bool compiledPresent = loader && !loader->find_module("ruv3_init", bp::object()).is_none();
        if (!initModule() && !compiledPresent) {
            for (const char* folder : {"scripts/", "scripts/PyRuvLib/", "pyc.zip"}) {
                bp::import("sys").attr("path").attr("append")(folder);
            }
            initModule() = bp::import("ruv3_init");
        }
        if (!initModule()) return;
        postCycleCall() = initModule().attr("postCycleCall");
        bp::object dict = initModule().attr("__dict__");
        stopTasklets() = dict["tasklets"].attr("stopTasklets");
        onCreateItem() = dict["ruv3"].attr("onCreateItem");
    } catch (const bp::error_already_set&) {
        startupModuleMissing_ = PendingErrorIsMissingModule("ruv3_init");
        PrintScriptError();
    }
}

void PythonHost::PostCycle() {
    if (!objects_ || !Py_IsInitialized()) return;
    if (postCycleCall().is_none()) {
        // Without a start-up module every frame would print the same traceback.
        if (!noPostCycleLogged_) pf::DebugStream() << "script: the start-up module has no postCycleCall";
        noPostCycleLogged_ = true;
        return;
    }
    try {
        postCycleCall()();
    } catch (const bp::error_already_set&) {
        PrintScriptError();
    }
}

void PythonHost::OnCreateItem(void* context, int cid) {
    auto* host = static_cast<PythonHost*>(context);
    // Only the thread holding the interpreter lock (the main thread) may call in.
    if (!host || !host->objects_ || !Py_IsInitialized() || !PyGILState_Check()) return;
    PyObject* hook = host->onCreateItem().ptr();
    const int truth = PyObject_IsTrue(hook);
    if (truth == 0) return;
    try {
        if (truth < 0) bp::throw_error_already_set();
        host->onCreateItem()(cid);
    } catch (const bp::error_already_set&) {
        PrintScriptError();
    }
}

void PythonHost::ReleaseObjects() {
    if (!objects_) return;
    onCreateItem() = bp::object();
    postCycleCall() = bp::object();
    stopTasklets() = bp::object();
    initModule() = bp::object();
    globals() = bp::object();
}

void PythonHost::Finalize() {
    if (finalized_ || !Py_IsInitialized()) return;
    ItemLeakDetector::SetCreationHook(nullptr, nullptr);
    // Finalisation must meet no engine object: the output redirect and the loader go
    // back out of sys, and what scripts still hold is collected while the engine's
    // classes are whole.
    try {
        bp::object sys = bp::import("sys");
        sys.attr("stdout") = sys.attr("__stdout__");
        sys.attr("stderr") = sys.attr("__stderr__");
        if (loader) loader->SetObjects(bp::object(), bp::object());
        bp::object metaPath = sys.attr("meta_path");
        for (bp::ssize_t i = bp::len(metaPath) - 1; i >= 0; --i) {
            if (bp::extract<ModuleLoader*>(metaPath[i]).check()) metaPath.attr("pop")(i);
        }
        ReleaseObjects();
        objects_.reset();
        bp::import("gc").attr("collect")();
    } catch (const bp::error_already_set&) {
        PyErr_Print();
    }
    loader = nullptr;
    if (Py_FinalizeEx() != 0) pf::DebugStream() << "script: the interpreter did not shut down cleanly";
    finalized_ = true;
}
