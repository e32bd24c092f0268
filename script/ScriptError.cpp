#include "script/ScriptError.h"

#include <Python.h>

#include <string>

#include "shell/foundation/Log.h"

namespace {

ScriptQuitHandler g_quitHandler = nullptr;

// The last traceback printed in full, and how often it came again since.
std::string g_lastTraceback;
long long g_repeats = 0;

// The pending error's traceback as text, the error left pending; "" when it cannot be
// formatted (then it is printed in full).
std::string FormatPendingError() {
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    std::string text;
    PyObject* module = PyImport_ImportModule("traceback");
    PyObject* lines = module ? PyObject_CallMethod(module, "format_exception", "OOO", type ? type : Py_None,
                                                   value ? value : Py_None, traceback ? traceback : Py_None)
                             : nullptr;
    PyObject* empty = lines ? PyUnicode_FromString("") : nullptr;
    PyObject* joined = empty ? PyUnicode_Join(empty, lines) : nullptr;
    const char* utf8 = joined ? PyUnicode_AsUTF8(joined) : nullptr;
    if (utf8) text = utf8;
    Py_XDECREF(joined);
    Py_XDECREF(empty);
    Py_XDECREF(lines);
    Py_XDECREF(module);
    PyErr_Clear();
    PyErr_Restore(type, value, traceback);
    return text;
}

void NoteEndOfRepeats() {
    if (g_repeats > 0)
        pf::DebugStream() << "script: the error before came " << g_repeats << " more times in all";
    g_repeats = 0;
}

}  // namespace

void SetScriptQuitHandler(ScriptQuitHandler handler) { g_quitHandler = handler; }

void PrintScriptError() {
    if (!PyErr_Occurred()) return;
    if (!PyErr_ExceptionMatches(PyExc_SystemExit)) {
        // Not kept in sys.last_traceback: its frames would hold the objects of the failed
        // step (items among them) alive until the next error. An error raised every frame
        // would fill the disk: the same traceback again only counts, and the count is
        // written at 1, 2, 4, 8, ... repeats.
        const std::string text = FormatPendingError();
        if (!text.empty() && text == g_lastTraceback) {
            PyErr_Clear();
            ++g_repeats;
            if ((g_repeats & (g_repeats - 1)) == 0)
                pf::DebugStream() << "script: the same error again (" << g_repeats << " repeats)";
            return;
        }
        NoteEndOfRepeats();
        g_lastTraceback = text;
        PyErr_PrintEx(0);
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
