// Animation pairs as the item's runner sees them: a counted Modifier with an optional
// counted TimeController. Only what the item's modifier list needs is here; the modifier
// library and the controllers' timing build on these classes.
#pragma once

#include <string>

#include "scene/Base.h"
#include "scene/Callback.h"

class Item;
class Modifier;
class TimeController;

// A runner that owns and steps modifier pairs.
class ModifiersParent {
public:
    virtual ~ModifiersParent() = default;
    virtual void AddModifier(Modifier* m, TimeController* tc) = 0;
    virtual void RemoveModifier(Modifier* m) = 0;
};

class Modifier : public Base {
public:
    Modifier() : Base(L"Modifier") {}
    Modifier(const Modifier& o)
        : Base(o), client_(o.client_), deleteClient_(o.deleteClient_), done_(o.done_) {}

    virtual bool IsDone() const { return done_; }
    virtual bool GetDeleteClient() const { return deleteClient_; }
    virtual Callback GetOnDone() const { return onDone_; }
    virtual Item* GetClient() const { return client_; }
    virtual ModifiersParent* GetParent() const { return parent_; }
    virtual void Action(float /*value*/, float /*shifted*/) {}
    virtual Modifier* Clone() const { return nullptr; }
    // Per-frame hook, run before the controller's step.
    virtual void Cycle() {}
    virtual void Finish();
    virtual Item* SetClient(Item* client) { return client_ = client; }
    virtual void SetDeleteClient(bool d) { deleteClient_ = d; }
    virtual void SetParent(ModifiersParent* p) { parent_ = p; }
    virtual void SetOnDone(const Callback& cb) { onDone_ = cb; }
    virtual void Start() { done_ = false; }
    std::wstring ToString() const override { return L"(Modifier: _name=" + GetName() + L")"; }

private:
    Item* client_ = nullptr;
    ModifiersParent* parent_ = nullptr;
    bool deleteClient_ = false;
    bool done_ = false;
    Callback onDone_;
};

class TimeController : public Base {
public:
    TimeController() : Base(L"TimeController") {}

    virtual TimeController* Clone() const { return nullptr; }
    virtual void Restart() { startTime_ = 0; }
    // One step for the modifier; the timing itself is supplied by the controller classes.
    virtual float Update(Modifier* /*m*/) { return 0.0f; }
    virtual void SetOwner(ModifiersParent* owner) { owner_ = owner; }
    virtual bool IsDone() const { return done_; }

protected:
    ModifiersParent* owner_ = nullptr;
    unsigned startTime_ = 0;
    bool done_ = false;
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
