#include "script/ScriptPeer.h"

#include <memory>

#include "script/bindings/EventProxy.h"

namespace bp = boost::python;

namespace {

// Whether script objects may be touched: the interpreter runs (or is being finalised) on
// this process's behalf.
bool ScriptObjectsAlive() { return _PyThreadState_UncheckedGet() != nullptr; }

// The peer is held for the call: the script method may drop the last other reference.
class PeerHold {
public:
    explicit PeerHold(const RefCounter& object) : peer_(static_cast<PyObject*>(object.GetScriptPeer())) {
        Py_XINCREF(peer_);
    }
    ~PeerHold() { Py_XDECREF(peer_); }
    PeerHold(const PeerHold&) = delete;
    PeerHold& operator=(const PeerHold&) = delete;
    PyObject* get() const { return peer_; }

private:
    PyObject* peer_;
};

// An overridable operation: the script method while the wrapper forwards to its script
// object, else the engine's own. The peer is held until either is done: both may drop
// the last other reference to it. A script error leaves as error_already_set.
template <typename Script, typename Engine>
auto Forward(const RefCounter& object, bool forward, Script script, Engine engine) {
    PeerHold hold(object);
    if (forward && hold.get()) return script(hold.get());
    return engine();
}

// Calls the script method `name` of peer with no arguments and drops the result. The
// name is looked up through the interpreter's identifier cache (made once, released with
// the interpreter), which is much cheaper per frame than a new name string each call.
void CallNoArgs(PyObject* peer, _Py_Identifier* name) {
    PyObject* result = _PyObject_CallMethodIdNoArgs(peer, name);
    if (!result) bp::throw_error_already_set();
    Py_DECREF(result);
}

// A script's answer to an event, by Boost.Python's rule for bool (None and ints; anything
// else is a TypeError), except that a truth test that raises is the script's error, not
// an answer with the error left pending.
bool Answer(const bp::object& result) {
    if (result.is_none()) return false;
    if (!PyLong_Check(result.ptr())) {
        PyErr_Format(PyExc_TypeError, "an event handler answers a bool, not %.200s", Py_TYPE(result.ptr())->tp_name);
        bp::throw_error_already_set();
    }
    const int truth = PyObject_IsTrue(result.ptr());
    if (truth < 0) bp::throw_error_already_set();
    return truth != 0;
}

_Py_IDENTIFIER(Cycle);
_Py_IDENTIFIER(cleanup);

// The script methods of the overridable operations, as Forward calls them.
void ScriptCycle(PyObject* peer) { CallNoArgs(peer, &PyId_Cycle); }
void ScriptCleanup(PyObject* peer) { CallNoArgs(peer, &PyId_cleanup); }
auto ScriptDraw(const RenderState& in) {
    return [&in](PyObject* peer) { bp::call_method<void>(peer, "Draw", in); };
}
// HandleEvent and PassEvent: the engine's event is lent to the script for the call.
auto ScriptEventMethod(const char* name, const TreeState& state, pf::Event& e) {
    return [name, &state, &e](PyObject* peer) {
        EventLease lease(e);
        return Answer(bp::call_method<bp::object>(peer, name, state, lease.object()));
    };
}

}  // namespace

// ---- Counting through the script object -------------------------------------------------

void AddRefScriptPeer(void* peer) {
    if (peer && ScriptObjectsAlive()) Py_INCREF(static_cast<PyObject*>(peer));
}

void ReleaseScriptPeer(void* peer) {
    if (peer && ScriptObjectsAlive()) Py_DECREF(static_cast<PyObject*>(peer));
}

// ---- ItemWrap ---------------------------------------------------------------------------

void ItemWrap::Cycle() {
    // Held until the engine's part is done too: the script's Cycle may drop the last
    // other reference.
    PeerHold hold(*this);
    if (pythonOverloads && hold.get()) ScriptCycle(hold.get());
    Item::Cycle();
}

void ItemWrap::cleanup() {
    Forward(*this, true, ScriptCleanup, [this] { Item::cleanup(); });
}

void ItemWrap::Draw(const RenderState& in) {
    Forward(*this, pythonOverloads, ScriptDraw(in), [&] { Item::Draw(in); });
}

bool ItemWrap::HandleEvent(const TreeState& state, pf::Event& e) {
    return Forward(*this, pythonOverloads, ScriptEventMethod("HandleEvent", state, e),
                   [&] { return Item::HandleEvent(state, e); });
}

bool ItemWrap::PassEvent(const TreeState& state, pf::Event& e) {
    return Forward(*this, pythonOverloads, ScriptEventMethod("PassEvent", state, e),
                   [&] { return Item::PassEvent(state, e); });
}

// ---- ActorWrap --------------------------------------------------------------------------

void ActorWrap::Cycle() {
    Forward(*this, pythonOverloads, ScriptCycle, [this] { Item::Cycle(); });
}

void ActorWrap::Draw(const RenderState& in) {
    Forward(*this, pythonOverloads, ScriptDraw(in), [&] { Actor::Draw(in); });
}

bool ActorWrap::HandleEvent(const TreeState& state, pf::Event& e) {
    return Forward(*this, pythonOverloads, ScriptEventMethod("HandleEvent", state, e),
                   [&] { return Item::HandleEvent(state, e); });
}

// ---- Callbacks --------------------------------------------------------------------------

void CallScriptCallback(const bp::object& f) {
    const int truth = PyObject_IsTrue(f.ptr());
    if (truth < 0) bp::throw_error_already_set();
    if (truth) f();
}

Callback MakeScriptCallback(const bp::object& f) {
    std::shared_ptr<PyObject> held(bp::incref(f.ptr()), [](PyObject* p) {
        if (ScriptObjectsAlive()) Py_DECREF(p);
    });
    return Callback([held] { CallScriptCallback(bp::object(bp::handle<>(bp::borrowed(held.get())))); });
}
