// Plays modifier pairs one after another: each pair starts on the cycle after the one
// before it finished; the queue finishes after its last pair.
#pragma once

#include <deque>

#include "scene/Modifier.h"

class ModifierQueue : public Modifier, public ModifiersParent {
public:
    ModifierQueue() { SetName(L"ModifierQueue"); }
    ~ModifierQueue() override { ExpireWeakRefs(); }

    // Appends a pair (both held counted).
    void pushModifier(Modifier* m, TimeController* tc);
    // Whether m is this queue or one of its steps, here or in a queue among its steps:
    // such an m pushed into this queue would run inside itself.
    bool Holds(const Modifier* m) const;
    // The runner side does nothing: pairs come in through pushModifier.
    void AddModifier(Modifier* /*m*/, TimeController* /*tc*/) override {}
    void RemoveModifier(Modifier* /*m*/) override {}

    void Cycle() override;
    void Start() override { StartNext(); }

    Modifier* GetCurrent() const { return current_.get(); }
    size_t GetQueuedCount() const { return queue_.size(); }

private:
    void StartNext();

    std::deque<ModifierEntry> queue_;
    my_intrusive_ptr<Modifier> current_;
    my_intrusive_ptr<TimeController> currentController_;
};
