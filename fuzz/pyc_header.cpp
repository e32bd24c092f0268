// The compiled-module import hook's reading steps on arbitrary bytes: the header's length
// and magic checks and the unmarshalling of the rest. The code is never run: the
// interpreter does not verify bytecode, so running fuzzed code would find its crashes,
// not ours.
//
// A count in damaged marshal data (a list of 700 million entries in a 21-byte file) would
// make the interpreter reserve its memory before it finds the data ends: the loader
// refuses counts that claim more than the bytes left, so the fuzzer may keep a tight
// memory limit:
//   build-fuzz/fuzz_pyc_header -malloc_limit_mb=512 -rss_limit_mb=1024 fuzz/corpus/pyc_header
#include <Python.h>

#include <cstdint>
#include <cstdlib>

#include "script/ModuleLoader.h"

namespace {

void StartInterpreter() {
    PyConfig config;
    PyConfig_InitIsolatedConfig(&config);
    config.install_signal_handlers = 0;  // the fuzzer's own handlers stay
    const PyStatus status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status)) std::abort();
    std::atexit(+[] { Py_FinalizeEx(); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = (StartInterpreter(), true);
    (void)started;
    PyObject* code = ModuleLoader::UnmarshalCode(data, size, "pyc/fuzz.pyc");
    // Either a code object, or no object and an error saying why.
    if (code ? !PyCode_Check(code) || PyErr_Occurred() : !PyErr_Occurred()) __builtin_trap();
    Py_XDECREF(code);
    PyErr_Clear();
    return 0;
}
