#include "script/ScriptError.h"

#include <Python.h>

#include "shell/Log.h"

namespace {
ScriptQuitHandler g_quitHandler = nullptr;
}  // namespace

void SetScriptQuitHandler(ScriptQuitHandler handler) { g_quitHandler = handler; }

void PrintScriptError() {
    if (!PyErr_Occurred()) return;
    if (!PyErr_ExceptionMatches(PyExc_SystemExit)) {
        PyErr_Print();
        return;
    }
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    int exitCode = 0;
    if (value) {
        if (PyObject* code = PyObject_GetAttrString(value, "code")) {
            if (code != Py_None) {
                const long n = PyLong_Check(code) ? PyLong_AsLong(code) : 1;
                exitCode = PyErr_Occurred() ? 1 : static_cast<int>(n);
                PyErr_Clear();
            }
            Py_DECREF(code);
        } else {
            PyErr_Clear();
        }
    }
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    pf::DebugStream() << "script: SystemExit(" << exitCode << "): the game quits after this cycle";
    if (g_quitHandler) g_quitHandler(exitCode);
}
