#include "scene/ModifierQueue.h"

#include "shell/foundation/Log.h"

void ModifierQueue::pushModifier(Modifier* m, TimeController* tc) {
    // A pair without a modifier would never finish and hold up every pair behind it.
    if (!m) {
        pf::DebugStream() << L"ModifierQueue '" << GetName() << L"': no modifier given; nothing queued";
        return;
    }
    queue_.emplace_back(m, tc);
}

bool ModifierQueue::Holds(const Modifier* m) const {
    if (m == this) return true;
    const auto holds = [m](const Modifier* step) {
        if (step == m) return true;
        const auto* inner = dynamic_cast<const ModifierQueue*>(step);
        return inner && inner->Holds(m);
    };
    if (holds(current_.get())) return true;
    for (const ModifierEntry& entry : queue_)
        if (holds(entry.modifier.get())) return true;
    return false;
}

void ModifierQueue::StartNext() {
    if (queue_.empty()) return;
    // Taken off the queue before anything is called: a callee may push or start again.
    ModifierEntry next = std::move(queue_.front());
    queue_.pop_front();
    current_ = next.modifier;
    currentController_ = next.controller;
    if (next.controller) {
        next.controller->SetOwner(this);
        next.controller->Restart();
    }
    if (next.modifier) {
        next.modifier->SetParent(this);
        next.modifier->SetClient(GetClient());
        next.modifier->Start();
    }
}

void ModifierQueue::Cycle() {
    // Held for the step: the pair's own calls may start the next one or drop the queue.
    my_intrusive_ptr<ModifierQueue> self = KeepAlive(this);
    const my_intrusive_ptr<Modifier> m = current_;
    const my_intrusive_ptr<TimeController> tc = currentController_;
    if (!m) return;
    m->Cycle();
    if (tc) tc->Update(m.get());
    if (!m->IsDone() || current_ != m) return;
    m->SetParent(nullptr);
    if (!queue_.empty()) {
        StartNext();
    } else {
        current_.reset();
        currentController_.reset();
        Modifier::Finish();
    }
}
