// How engine objects and script objects are tied together: engine objects a script made
// live exactly as long as their script object (their counts go to it), script subclasses
// of items and actors override the per-frame operations, and script functions become
// engine callbacks.
#pragma once

#include <boost/python.hpp>

#include <type_traits>
#include <utility>

#include "scene/Actor.h"
#include "scene/Callback.h"
#include "scene/Item.h"
#include "script/bindings/Holders.h"

// Counting on a script object that holds an engine object: +1 or -1 on its reference
// count. A null peer is not counted, and neither is any peer once the interpreter has
// been finalised: counting on it then would free it into an interpreter that is gone.
void AddRefScriptPeer(void* peer);
void ReleaseScriptPeer(void* peer);

// The form in which a script class holds an engine object it created: embedded in its
// script instance (self), counting through it, so the engine object lives exactly as
// long as the script object. Every other operation is T's own.
template <typename T>
class classWrap : public T {
public:
    template <typename... Args>
    explicit classWrap(PyObject* self, Args&&... args) : T(std::forward<Args>(args)...) {
        this->SetScriptPeer(self);
    }
    void AddRef() override { AddRefScriptPeer(this->GetScriptPeer()); }
    void Release() override { ReleaseScriptPeer(this->GetScriptPeer()); }
};

// Whether the engine hands a script subclass its overridable operations.
class PythonOverloadeable {
public:
    bool pythonOverloads = false;
};

// The script class Item's objects. Cycle runs the script's Cycle before the engine's own;
// cleanup always reaches the script.
class ItemWrap : public classWrap<Item>, public PythonOverloadeable {
public:
    explicit ItemWrap(PyObject* self) : classWrap(self) {}
    void Cycle() override;
    void cleanup() override;
    void Draw(const RenderState& in) override;
    bool HandleEvent(const TreeState& state, pf::Event& e) override;
    bool PassEvent(const TreeState& state, pf::Event& e) override;
};

// The script class Actor's objects. Cycle runs the script's Cycle instead of the engine's.
class ActorWrap : public classWrap<Actor>, public PythonOverloadeable {
public:
    explicit ActorWrap(PyObject* self) : classWrap(self) {}
    ActorWrap(PyObject* self, const Actor& other) : classWrap(self, other) {}
    void Cycle() override;
    void Draw(const RenderState& in) override;
    bool HandleEvent(const TreeState& state, pf::Event& e) override;
};

// Calls f with no arguments when it is true in the script's sense; a false f (None, 0) is
// a silent callback. A script error (also from the truth test) leaves as
// boost::python::error_already_set.
void CallScriptCallback(const boost::python::object& f);
// An engine callback that runs CallScriptCallback on f; its copies share one reference to
// f, let go only while the interpreter is alive.
Callback MakeScriptCallback(const boost::python::object& f);

// Engine pointer to script object: None for null, the object's own script object when a
// script made it, else a new script object of its most-derived registered class that
// does not keep it alive. Items are held weakly: once the engine frees one, its script
// object refuses every use (an argument error) instead of reaching freed memory.
template <typename T>
boost::python::object ToScript(T* p) {
    if (!p) return boost::python::object();
    if (auto* peer = static_cast<PyObject*>(p->GetScriptPeer())) {
        return boost::python::object(boost::python::handle<>(boost::python::borrowed(peer)));
    }
    if constexpr (std::is_base_of_v<Item, T>) {
        return boost::python::object(WeakRef<Item>(p));
    } else {
        return boost::python::object(boost::python::ptr(p));
    }
}
