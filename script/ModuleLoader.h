// The import hook for compiled modules: answers the interpreter's find and load requests
// with "pyc/<name>.pyc" read through the engine's file system (archive first, then the
// data folder). Also called directly by the script host for the start-up module.
#pragma once

#include <string>

#include <boost/python/object.hpp>

namespace pf {
class FileSystem;
}

class ModuleLoader {
public:
    // The header the interpreter writes before the marshalled code: magic, flags, and
    // two words of source time and size (or a hash).
    static constexpr int kHeaderSize = 16;

    ModuleLoader() = default;

    // globals: the namespace of __main__; instance: the script object carrying this loader.
    void SetObjects(boost::python::object globals, boost::python::object instance);
    void SetFileSystem(pf::FileSystem* fileSystem) { fileSystem_ = fileSystem; }

    // The file's name for a module name: dots stay dots ("a.b" -> "pyc/a.b.pyc").
    static std::wstring FileName(const std::string& name);

    // The loader's instance when the file exists, else None; path is ignored.
    boost::python::object find_module(const std::string& name, boost::python::object path);
    // The interpreter's own protocol: a spec naming this loader when the file exists.
    boost::python::object find_spec(const std::string& name, boost::python::object path,
                                    boost::python::object target);
    boost::python::object create_module(boost::python::object spec);
    // Runs the module's code in the module; a script error goes to the importer.
    void exec_module(boost::python::object module);
    // The module, or None: a missing or empty file silently, anything else with the error
    // printed (and a module it entered into sys.modules taken out again).
    boost::python::object load_module(const std::string& name);
    boost::python::object call(boost::python::object any) { return self_; }

    // The code object of a compiled module's bytes (the header checked, the rest
    // unmarshalled, nothing run); null with a script error set when the bytes are no
    // compiled module of this interpreter. file names the module in the error.
    static PyObject* UnmarshalCode(const unsigned char* data, size_t size, const std::string& file);

private:
    // Reads, checks and unmarshals the file; null with a script error set when it is
    // damaged, null with none set when it is missing or empty.
    PyObject* ReadCode(const std::string& name);
    // Runs code in module; false with the script error set.
    bool Run(PyObject* code, boost::python::object module, const std::string& name);

    boost::python::object self_;
    boost::python::object globals_;
    pf::FileSystem* fileSystem_ = nullptr;
};
