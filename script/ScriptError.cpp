#include "script/ScriptError.h"

#include <Python.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/foundation/Log.h"

namespace {

ScriptQuitHandler g_quitHandler = nullptr;

// The errors printed in full lately, each with how often it came again since. A few
// errors taking turns every frame are each printed once and then counted, as one error
// repeating is.
struct RecentError {
    std::string traceback;
    long long repeats = 0;
    unsigned long long lastSeen = 0;
};
constexpr size_t kRecentErrors = 16;
std::vector<RecentError> g_recent;
unsigned long long g_errorClock = 0;

// A short name for an error in the lines that count it: its type and where it was raised
// ("RuntimeError at File "x.py", line 3, in f"), without its message.
std::string Summary(const std::string& traceback) {
    std::string type, place;
    size_t pos = 0;
    while (pos < traceback.size()) {
        size_t end = traceback.find('\n', pos);
        if (end == std::string::npos) end = traceback.size();
        std::string line = traceback.substr(pos, end - pos);
        pos = end + 1;
        const size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        line.erase(0, first);
        if (line.compare(0, 6, "File \"") == 0) {
            place = line;
        } else if (first == 0) {
            type = line.substr(0, line.find(':'));
        }
    }
    return place.empty() ? type : type + " at " + place;
}

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

void NoteEndOfRepeats(const RecentError& error) {
    if (error.repeats > 0)
        pf::DebugStream() << "script: the error " << Summary(error.traceback) << " came " << error.repeats
                          << " more times in all";
}

// Counts the error when it came lately (true: it is not printed again); else makes room
// for it among the recent ones.
bool CountedAsRecent(const std::string& text) {
    ++g_errorClock;
    for (RecentError& error : g_recent) {
        if (error.traceback != text) continue;
        error.lastSeen = g_errorClock;
        ++error.repeats;
        // The count is written at 1, 2, 4, 8, ... repeats.
        if ((error.repeats & (error.repeats - 1)) == 0)
            pf::DebugStream() << "script: the same error again (" << error.repeats << " repeats): " << Summary(text);
        return true;
    }
    if (g_recent.size() == kRecentErrors) {
        auto oldest = std::min_element(g_recent.begin(), g_recent.end(),
                                       [](const RecentError& a, const RecentError& b) { return a.lastSeen < b.lastSeen; });
        NoteEndOfRepeats(*oldest);
        g_recent.erase(oldest);
    }
    g_recent.push_back(RecentError{text, 0, g_errorClock});
    return false;
}

}  // namespace

void SetScriptQuitHandler(ScriptQuitHandler handler) { g_quitHandler = handler; }

void PrintScriptError() {
    if (!PyErr_Occurred()) return;
    if (!PyErr_ExceptionMatches(PyExc_SystemExit)) {
        // Not kept in sys.last_traceback: its frames would hold the objects of the failed
        // step (items among them) alive until the next error. Errors raised every frame
        // would fill the disk: a traceback printed lately only counts when it comes again.
        const std::string text = FormatPendingError();
        if (!text.empty() && CountedAsRecent(text)) {
            PyErr_Clear();
            return;
        }
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
