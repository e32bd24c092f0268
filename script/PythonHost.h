// The embedded interpreter that runs the game's scripts: starts it with the engine module
// built in, sends script output to the log, installs the import hook for compiled
// modules, runs the start-up module and calls its per-frame hook.
#pragma once

#include <memory>

#include <boost/python/object.hpp>

namespace pf {
class FileSystem;
}
class ModuleLoader;

class PythonHost {
public:
    PythonHost();
    PythonHost(const PythonHost&) = delete;
    PythonHost& operator=(const PythonHost&) = delete;
    ~PythonHost();

    // Adds a module to the interpreter's built-in table, beside "ruv3". Only before Init:
    // false (with a log line) once the interpreter runs or when the table refuses it.
    static bool AddBuiltinModule(const char* name, PyObject* (*init)());

    // Starts the interpreter (once per process) and installs the output redirect, the
    // item-creation hook and the import hook. Script errors propagate as
    // boost::python::error_already_set; a failed start throws std::runtime_error.
    void Init(pf::FileSystem* fileSystem);
    // Loads the start-up module "ruv3_init" and fetches its hooks; prints every script
    // error and never lets one escape.
    void RunStartupScript();
    // True once RunStartupScript found no start-up module anywhere it looked (a module
    // that is there but fails is not missing).
    bool StartupModuleMissing() const { return startupModuleMissing_; }
    // Calls the start-up module's postCycleCall; a script error is printed.
    void PostCycle();
    // The live-item registry's creation hook; context is the host.
    static void OnCreateItem(void* context, int cid);

    // Drops every script object the host and its loader hold and removes the creation
    // hook, then finalises the interpreter. Nothing touches Python afterwards.
    void Finalize();

    // The host's script objects (None until set). They live only while the interpreter
    // does: Finalize drops them before the interpreter goes.
    boost::python::object& globals() { return objects_->globals; }
    boost::python::object& initModule() { return objects_->initModule; }
    boost::python::object& stopTasklets() { return objects_->stopTasklets; }
    boost::python::object& postCycleCall() { return objects_->postCycleCall; }
    boost::python::object& onCreateItem() { return objects_->onCreateItem; }

    pf::FileSystem* fileSystem = nullptr;
    ModuleLoader* loader = nullptr;

private:
    struct ScriptObjects {
        boost::python::object globals, initModule, stopTasklets, postCycleCall, onCreateItem;
    };
    void ReleaseObjects();

    std::unique_ptr<ScriptObjects> objects_ = std::make_unique<ScriptObjects>();
    bool noPostCycleLogged_ = false;
    bool startupModuleMissing_ = false;
    bool finalized_ = false;
};

// The engine module's initialisation, handed to the interpreter's built-in table.
extern "C" PyObject* PyInit_ruv3();
