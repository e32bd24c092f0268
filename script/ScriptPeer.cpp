#include "script/ScriptPeer.h"

#include <memory>

#include "script/bindings/EventProxy.h"

namespace bp = boost::python;

namespace {

PyObject* Peer(const RefCounter* object) { return static_cast<PyObject*>(object->GetScriptPeer()); }

void IncPeer(const RefCounter* object) {
    PyObject* peer = Peer(object);
    if (peer && ScriptObjectsAlive()) Py_INCREF(peer);
}

void DecPeer(const RefCounter* object) {
    PyObject* peer = Peer(object);
    if (peer && ScriptObjectsAlive()) Py_DECREF(peer);
}

// The peer is held for the call: the script method may drop the last other reference.
class PeerHold {
public:
    explicit PeerHold(const RefCounter* object) : peer_(Peer(object)) { Py_XINCREF(peer_); }
    ~PeerHold() { Py_XDECREF(peer_); }
    PeerHold(const PeerHold&) = delete;
    PeerHold& operator=(const PeerHold&) = delete;
    PyObject* get() const { return peer_; }

private:
    PyObject* peer_;
};

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

}  // namespace

// ---- ItemWrap ---------------------------------------------------------------------------

ItemWrap::ItemWrap(PyObject* self) { SetScriptPeer(self); }
void ItemWrap::AddRef() { IncPeer(this); }
void ItemWrap::Release() { DecPeer(this); }

void ItemWrap::Cycle() {
    // Held until the engine's part is done too: the script's Cycle may drop the last
    // other reference.
    PeerHold hold(this);
    if (pythonOverloads && hold.get()) CallNoArgs(hold.get(), &PyId_Cycle);
    Item::Cycle();
}

void ItemWrap::cleanup() {
    PeerHold hold(this);
    if (hold.get()) {
        CallNoArgs(hold.get(), &PyId_cleanup);
    } else {
        Item::cleanup();
    }
}

void ItemWrap::Draw(const RenderState& in) {
    PeerHold hold(this);
    if (pythonOverloads && hold.get()) {
        bp::call_method<void>(hold.get(), "Draw", in);
    } else {
        Item::Draw(in);
    }
}

bool ItemWrap::HandleEvent(const TreeState& state, pf::Event& e) {
    PeerHold hold(this);
    if (pythonOverloads && hold.get()) {
        EventLease lease(e);
        return Answer(bp::call_method<bp::object>(hold.get(), "HandleEvent", state, lease.object()));
    }
    return Item::HandleEvent(state, e);
}

bool ItemWrap::PassEvent(const TreeState& state, pf::Event& e) {
    PeerHold hold(this);
    if (pythonOverloads && hold.get()) {
        EventLease lease(e);
        return Answer(bp::call_method<bp::object>(hold.get(), "PassEvent", state, lease.object()));
    }
    return Item::PassEvent(state, e);
}

// ---- ActorWrap --------------------------------------------------------------------------

ActorWrap::ActorWrap(PyObject* self) { SetScriptPeer(self); }
ActorWrap::ActorWrap(PyObject* self, const Actor& other) : Actor(other) { SetScriptPeer(self); }
void ActorWrap::AddRef() { IncPeer(this); }
void ActorWrap::Release() { DecPeer(this); }

void ActorWrap::Cycle() {
    PeerHold hold(this);
    if (pythonOverloads && hold.get()) {
        CallNoArgs(hold.get(), &PyId_Cycle);
    } else {
        Item::Cycle();
    }
}

void ActorWrap::Draw(const RenderState& in) {
    PeerHold hold(this);
    if (pythonOverloads && hold.get()) {
        bp::call_method<void>(hold.get(), "Draw", in);
    } else {
        Actor::Draw(in);
    }
}

bool ActorWrap::HandleEvent(const TreeState& state, pf::Event& e) {
    PeerHold hold(this);
    if (pythonOverloads && hold.get()) {
        EventLease lease(e);
        return Answer(bp::call_method<bp::object>(hold.get(), "HandleEvent", state, lease.object()));
    }
    return Item::HandleEvent(state, e);
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
