// Input handlers as the item's routing sees them: an Item attached to its client, offered
// every event that reaches the client. The concrete handlers (roll-over, button, drag)
// build on this class.
#pragma once

#include "scene/Item.h"

class EvtHandler : public Item {
public:
    EvtHandler() { SetName(L"EventHandler"); }

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::EvtHandler || Item::IsKindOf(typeId);
    }
    // The routing entry: true when the handler takes the event. The base takes nothing.
    bool HandleEvent(const TreeState& /*state*/, pf::Event& /*e*/) override { return false; }
    virtual bool AcceptsEvent(const TreeState& state, const pf::Event& /*e*/) const {
        return state.visible && state.enable;
    }
};
