// Animation pairs: a Modifier (what changes on one item) stepped by an optional
// TimeController (when), owned by a runner (ModifiersParent; every Item is one).
#pragma once

#include <iosfwd>
#include <string>

#include "shell/foundation/Base.h"
#include "scene/Callback.h"
#include "scene/Lifetime.h"
#include "scene/TimeController.h"

class Item;
class XmlData;

// A runner that owns and steps modifier pairs. Modifiers and controllers name their
// runner weakly: it may go while a script still holds them.
class ModifiersParent : public WeakTarget {
public:
    virtual ~ModifiersParent() = default;
    virtual void AddModifier(Modifier* m, TimeController* tc) = 0;
    virtual void RemoveModifier(Modifier* m) = 0;
};

class Modifier : public Base {
public:
    Modifier() : Base(L"Modifier") {}
    // Named by the element's attribute "name", else defaultName.
    explicit Modifier(XmlData& element, const std::wstring& defaultName = L"Modifier");
    // The copy takes the client and the state flags; it has no runner and no callback.
    Modifier(const Modifier& o)
        : Base(o), client_(o.client_), deleteClient_(o.deleteClient_), done_(o.done_) {}
    ~Modifier() override = default;

    virtual bool IsDone() const { return done_; }
    virtual bool GetDeleteClient() const { return deleteClient_; }
    virtual Callback GetOnDone() const { return onDone_; }
    // The item the modifier changes; null once that item is gone.
    virtual Item* GetClient() const { return client_.get(); }
    // The runner that owns the pair; null once it is gone.
    virtual ModifiersParent* GetParent() const { return parent_.get(); }
    // The per-step update with the controller's value and the curve-shifted value.
    virtual void Action(float /*value*/, float /*shifted*/) {}
    virtual Modifier* Clone() const { return nullptr; }
    // Per-frame hook, run before the controller's step (also without a controller).
    virtual void Cycle() {}
    // Calls onDone, marks the modifier done and, when asked, schedules the client for
    // deletion at the end of the root's cycle.
    virtual void Finish();
    virtual Item* SetClient(Item* client);
    virtual void SetDeleteClient(bool d) { deleteClient_ = d; }
    virtual void SetParent(ModifiersParent* p) { parent_ = p; }
    virtual void SetOnDone(const Callback& cb) { onDone_ = cb; }
    // Hook for a state-machine cue.
    virtual void SetCue(const std::wstring& /*cue*/) {}
    // Called when the modifier is attached; subclasses capture their start values here.
    virtual void Start() { done_ = false; }
    // Hook for the item tree dump.
    virtual void Dump(std::wostream& /*out*/, int /*level*/, int /*flags*/) const {}
    virtual bool SetProperty(const std::wstring& /*name*/, const std::wstring& /*value*/) { return false; }
    std::wstring ToString() const override { return L"(Modifier: _name=" + GetName() + L")"; }

private:
    WeakRef<Item> client_;
    WeakRef<ModifiersParent> parent_;
    bool deleteClient_ = false;
    bool done_ = false;
    Callback onDone_;
};

// One element of an item's modifier list. The controller is released before the modifier.
struct ModifierEntry {
    my_intrusive_ptr<Modifier> modifier;
    my_intrusive_ptr<TimeController> controller;

    ModifierEntry() = default;
    ModifierEntry(Modifier* m, TimeController* tc) : modifier(m), controller(tc) {}
    ModifierEntry(const ModifierEntry&) = default;
    ModifierEntry(ModifierEntry&&) = default;
    ModifierEntry& operator=(const ModifierEntry&) = default;
    ModifierEntry& operator=(ModifierEntry&&) = default;
    ~ModifierEntry() { controller.reset(); }
};
