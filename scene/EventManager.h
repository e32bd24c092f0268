// Classifies event types for routing. Its answers depend only on the event type, so the
// whole process shares one instance (Shared), every item's default. An item given another
// one (SetEventManager) holds it counted and routes by it.
#pragma once

#include "shell/foundation/Base.h"
#include "shell/Event.h"

class EventManager : public Base {
public:
    EventManager() = default;

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::EventManager || typeId == TypeId::Base;
    }
    virtual bool IsKeyEvent(const pf::Event& e) const;
    virtual bool IsUserEvent(const pf::Event& e) const;
    virtual bool IsMouseEvent(const pf::Event& e) const;

    // The process-wide classifier; never destroyed.
    static EventManager* Shared();
};
