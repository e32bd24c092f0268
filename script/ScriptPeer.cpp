#include "script/ScriptPeer.h"

namespace bp = boost::python;

namespace {

PyObject* Peer(const RefCounter* object) { return static_cast<PyObject*>(object->GetScriptPeer()); }

void IncPeer(const RefCounter* object) {
    if (PyObject* peer = Peer(object)) Py_INCREF(peer);
}

void DecPeer(const RefCounter* object) {
    if (PyObject* peer = Peer(object)) Py_DECREF(peer);
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

}  // namespace

// ---- ItemWrap ---------------------------------------------------------------------------

ItemWrap::ItemWrap(PyObject* self) { SetScriptPeer(self); }
void ItemWrap::AddRef() { IncPeer(this); }
void ItemWrap::Release() { DecPeer(this); }

void ItemWrap::Cycle() {
    if (pythonOverloads) {
        PeerHold hold(this);
        if (hold.get()) bp::call_method<void>(hold.get(), "Cycle");
    }
    Item::Cycle();
}

void ItemWrap::cleanup() {
    PeerHold hold(this);
    if (hold.get()) {
        bp::call_method<void>(hold.get(), "cleanup");
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
    if (pythonOverloads && hold.get()) return bp::call_method<bool>(hold.get(), "HandleEvent", state, bp::ptr(&e));
    return Item::HandleEvent(state, e);
}

bool ItemWrap::PassEvent(const TreeState& state, pf::Event& e) {
    PeerHold hold(this);
    if (pythonOverloads && hold.get()) return bp::call_method<bool>(hold.get(), "PassEvent", state, bp::ptr(&e));
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
        bp::call_method<void>(hold.get(), "Cycle");
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
    if (pythonOverloads && hold.get()) return bp::call_method<bool>(hold.get(), "HandleEvent", state, bp::ptr(&e));
    return Item::HandleEvent(state, e);
}

// ---- Callbacks --------------------------------------------------------------------------

void CallScriptCallback(const bp::object& f) {
    const int truth = PyObject_IsTrue(f.ptr());
    if (truth < 0) bp::throw_error_already_set();
    if (truth) f();
}

Callback MakeScriptCallback(const bp::object& f) {
    return Callback([f] { CallScriptCallback(f); });
}
