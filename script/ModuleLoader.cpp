#include "script/ModuleLoader.h"

#include <boost/python.hpp>
#include <marshal.h>

#include <cstring>

#include "script/ScriptError.h"
#include "shell/FileSystem.h"
#include "shell/foundation/TextHelpers.h"

namespace bp = boost::python;

namespace {

// A walk over marshalled data that checks what its headers claim before the interpreter
// reads them: the interpreter reserves the memory a count asks for before it finds the
// data ends, so 21 bytes claiming a list of 700 million items cost gigabytes. Every
// item of a container takes at least one byte, so a count may claim no more items than
// bytes are left (and a string no more bytes). The containers around an item are reserved
// too while it is read, and their items still to come need bytes of their own: a claim is
// measured against the bytes left less those items, so nested claims together stay within
// the data. The walk does not judge anything else: data it cannot follow is left to the
// interpreter, which reports it.
class MarshalClaims {
public:
    MarshalClaims(const unsigned char* data, size_t size) : at_(data), end_(data + size) {}

    // False when some count claims more than the bytes left; `what` then says which.
    bool Check(std::string& what) {
        Walk(0);
        what = what_;
        return what_.empty();
    }

private:
    // Stops at data the interpreter is left to report: too deep, an unknown type, or data
    // that ends.
    static constexpr int kMaxDepth = 2000;

    size_t Left() const { return size_t(end_ - at_); }
    bool Skip(size_t n) {
        if (!going_ || n > Left()) return going_ = false;
        at_ += n;
        return true;
    }
    bool Byte(uint32_t& out) {
        if (!going_ || Left() < 1) return going_ = false;
        out = *at_++;
        return true;
    }
    bool Long(int64_t& out) {
        if (!going_ || Left() < 4) return going_ = false;
        out = int32_t(uint32_t(at_[0]) | uint32_t(at_[1]) << 8 | uint32_t(at_[2]) << 16 | uint32_t(at_[3]) << 24);
        at_ += 4;
        return true;
    }
    // A count of `unit`-byte items: refused (the walk ends) when they cannot fit.
    bool Claim(int64_t count, size_t unit, const char* kind) {
        if (count < 0) return going_ = false;  // the interpreter refuses it itself
        const size_t free = Left() > owed_ ? Left() - owed_ : 0;
        if (uint64_t(count) <= free / unit) return true;
        what_ = std::string(kind) + " of " + std::to_string(count) + " items with " + std::to_string(free) +
                " bytes left for it";
        return going_ = false;
    }
    // Walks `count` items; while one is walked, the ones after it are owed.
    void Items(int64_t count, int depth) {
        owed_ += uint64_t(count);
        for (int64_t i = 0; i < count && going_; ++i) {
            --owed_;
            Walk(depth + 1);
        }
        if (going_) return;
        owed_ = 0;  // the walk ended: nothing more is claimed
    }

    void Walk(int depth) {
        uint32_t type = 0;
        if (depth > kMaxDepth || !Byte(type)) {
            going_ = false;
            return;
        }
        int64_t n = 0;
        switch (type & 0x7F) {  // without the reference flag
            case '0': case 'N': case 'F': case 'T': case 'S': case '.':
                return;
            case 'i': case 'r': Skip(4); return;
            case 'I': case 'g': Skip(8); return;
            case 'y': Skip(16); return;
            case 'f': if (Byte(type)) Skip(type); return;
            case 'x':
                for (int k = 0; k < 2 && Byte(type); ++k) Skip(type);
                return;
            case 'l':
                if (Long(n) && Claim(n < 0 ? -n : n, 2, "a number")) Skip(size_t(n < 0 ? -n : n) * 2);
                return;
            case 's': case 't': case 'u': case 'a': case 'A':
                if (Long(n) && Claim(n, 1, "a string")) Skip(size_t(n));
                return;
            case 'z': case 'Z': if (Byte(type)) Skip(type); return;
            case ')': if (Byte(type)) Items(type, depth); return;
            case '(': case '[': case '<': case '>':
                if (Long(n) && Claim(n, 1, "a container")) Items(n, depth);
                return;
            case '{':
                // Pairs up to a NULL key.
                while (going_ && Left() > 0 && (*at_ & 0x7F) != '0') {
                    Walk(depth + 1);
                    Walk(depth + 1);
                }
                Skip(1);
                return;
            case 'c':
                // Five counts and flags, eight objects, the first line, two objects.
                if (!Skip(20)) return;
                Items(8, depth);
                if (Skip(4)) Items(2, depth);
                return;
            default:
                going_ = false;
                return;
        }
    }

    const unsigned char* at_;
    const unsigned char* end_;
    uint64_t owed_ = 0;  // items still to come in the containers being walked
    bool going_ = true;
    std::string what_;
};

}  // namespace

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
    std::string claim;
    if (!MarshalClaims(data + kHeaderSize, size - kHeaderSize).Check(claim)) {
        PyErr_Format(PyExc_ImportError, "'%s' is damaged: it claims %s", file.c_str(), claim.c_str());
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
