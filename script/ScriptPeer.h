// How engine objects and script objects are tied together: engine objects a script made
// live exactly as long as their script object (their counts go to it), script subclasses
// of items and actors override the per-frame operations, and script functions become
// engine callbacks.
#pragma once

#include <boost/python.hpp>

#include <utility>

#include "scene/Actor.h"
#include "scene/Callback.h"
#include "scene/Item.h"

// The form in which a script class holds a counted engine object it created: embedded in
// its script instance, counting through it.
template <typename T>
class classWrap : public T {
public:
    template <typename... Args>
    explicit classWrap(PyObject* self, Args&&... args) : T(std::forward<Args>(args)...) {
        this->SetScriptPeer(self);
    }
    void AddRef() override {
        if (auto* peer = static_cast<PyObject*>(this->GetScriptPeer())) Py_INCREF(peer);
    }
    void Release() override {
        if (auto* peer = static_cast<PyObject*>(this->GetScriptPeer())) Py_DECREF(peer);
    }
};

// Whether the engine hands a script subclass its overridable operations.
class PythonOverloadeable {
public:
    bool pythonOverloads = false;
};

// The script class Item's objects.
class ItemWrap : public Item, public PythonOverloadeable {
public:
    explicit ItemWrap(PyObject* self);
    void AddRef() override;
    void Release() override;
    void Cycle() override;
    void cleanup() override;
    void Draw(const RenderState& in) override;
    bool HandleEvent(const TreeState& state, pf::Event& e) override;
    bool PassEvent(const TreeState& state, pf::Event& e) override;
};

// The script class Actor's objects.
class ActorWrap : public Actor, public PythonOverloadeable {
public:
    explicit ActorWrap(PyObject* self);
    ActorWrap(PyObject* self, const Actor& other);
    void AddRef() override;
    void Release() override;
    void Cycle() override;
    void Draw(const RenderState& in) override;
    bool HandleEvent(const TreeState& state, pf::Event& e) override;
};

// Calls f with no arguments when it is true in the script's sense; a false f (None, 0) is
// a silent callback. A script error (also from the truth test) leaves as
// boost::python::error_already_set.
void CallScriptCallback(const boost::python::object& f);
// An engine callback that runs CallScriptCallback on a copy of f.
Callback MakeScriptCallback(const boost::python::object& f);

// Engine pointer to script object: None for null, the object's own script object when a
// script made it, else a new script object of its most-derived registered class that
// does not keep it alive.
template <typename T>
boost::python::object ToScript(T* p) {
    if (!p) return boost::python::object();
    if (auto* peer = static_cast<PyObject*>(p->GetScriptPeer())) {
        return boost::python::object(boost::python::handle<>(boost::python::borrowed(peer)));
    }
    return boost::python::object(boost::python::ptr(p));
}
