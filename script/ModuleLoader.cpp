#include "script/ModuleLoader.h"

#include <boost/python.hpp>
#include <marshal.h>

#include <cstring>

#include "script/ScriptError.h"
#include "shell/FileSystem.h"
#include "shell/TextHelpers.h"

namespace bp = boost::python;

void ModuleLoader::SetObjects(bp::object globals, bp::object instance) {
    // The old instance may be the last thing keeping this loader alive: it is let go
    // only on return, after the fields were written.
    std::swap(globals_, globals);
    std::swap(self_, instance);
}

std::wstring ModuleLoader::FileName(const std::string& name) { return L"pyc/" + pf::FromUtf8(name) + L".pyc"; }

bp::object ModuleLoader::find_module(const std::string& name, bp::object) {
    int size = 0;
    if (fileSystem_ && fileSystem_->GetResourceFileSize(FileName(name), size)) return self_;
    return bp::object();
}

bp::object ModuleLoader::find_spec(const std::string& name, bp::object path, bp::object) {
    if (find_module(name, path).is_none()) return bp::object();
    bp::object machinery = bp::import("importlib.machinery");
    return machinery.attr("ModuleSpec")(name, self_);
}

bp::object ModuleLoader::create_module(bp::object) { return bp::object(); }

PyObject* ModuleLoader::ReadCode(const std::string& name) {
    pf::FileBuffer buffer;
    const std::wstring file = FileName(name);
    if (!fileSystem_ || !fileSystem_->ReadResourceFile(buffer, file)) return nullptr;
    const size_t size = pf::ContentSize(buffer);
    if (size == 0) return nullptr;
    return UnmarshalCode(buffer.data(), size, pf::ToUtf8(file));
}

PyObject* ModuleLoader::UnmarshalCode(const unsigned char* data, size_t size, const std::string& file) {
    if (size < static_cast<size_t>(kHeaderSize)) {
        PyErr_Format(PyExc_ImportError, "'%s' is too short for a compiled module (%zu bytes)", file.c_str(), size);
        return nullptr;
    }
    const long magic = PyImport_GetMagicNumber();
    const long fileMagic = static_cast<long>(data[0]) | static_cast<long>(data[1]) << 8 |
                           static_cast<long>(data[2]) << 16 | static_cast<long>(data[3]) << 24;
    if (magic == -1 || fileMagic != magic) {
        PyErr_Clear();
        PyErr_Format(PyExc_ImportError, "'%s' was compiled for another interpreter (magic %x, not %x)",
                     file.c_str(), static_cast<unsigned>(fileMagic), static_cast<unsigned>(magic));
        return nullptr;
    }
    PyObject* code = PyMarshal_ReadObjectFromString(reinterpret_cast<const char*>(data) + kHeaderSize,
                                                    static_cast<Py_ssize_t>(size - kHeaderSize));
    if (code && !PyCode_Check(code)) {
        Py_DECREF(code);
        PyErr_Format(PyExc_ImportError, "'%s' holds no code object", file.c_str());
        return nullptr;
    }
    return code;
}

bool ModuleLoader::Run(PyObject* code, bp::object module, const std::string& name) {
    bp::object dict = module.attr("__dict__");
    dict["__file__"] = name;  // the module name, as the game's scripts expect
    dict["__loader__"] = self_;
    if (!dict.contains("__builtins__")) dict["__builtins__"] = bp::import("builtins");
    PyObject* result = PyEval_EvalCode(code, dict.ptr(), dict.ptr());
    Py_XDECREF(result);
    return result != nullptr;
}

void ModuleLoader::exec_module(bp::object module) {
    const std::string name = bp::extract<std::string>(module.attr("__name__"));
    PyObject* code = ReadCode(name);
    if (!code) {
        if (!PyErr_Occurred()) PyErr_Format(PyExc_ImportError, "no compiled module for '%s'", name.c_str());
        bp::throw_error_already_set();
    }
    const bool ok = Run(code, module, name);
    Py_DECREF(code);
    if (!ok) bp::throw_error_already_set();
}

bp::object ModuleLoader::load_module(const std::string& name) {
    bool entered = false;
    try {
        PyObject* code = ReadCode(name);
        if (!code) {
            if (PyErr_Occurred()) bp::throw_error_already_set();
            return bp::object();  // missing or empty: silently nothing
        }
        bp::handle<> codeHandle(code);
        bp::object modules = bp::import("sys").attr("modules");
        entered = !modules.contains(name);
        bp::object module = modules.attr("setdefault")(name, bp::object(bp::handle<>(PyModule_New(name.c_str()))));
        if (!Run(code, module, name)) bp::throw_error_already_set();
        return module;
    } catch (const bp::error_already_set&) {
        // Printed first (the traceback names the failing line), then a module this call
        // entered leaves sys.modules: no one imports it half-run.
        PrintScriptError();
        if (entered) {
            PyObject* modules = PySys_GetObject("modules");
            if (modules && PyDict_DelItemString(modules, name.c_str()) != 0) PyErr_Clear();
        }
        return bp::object();
    }
}
