// Input handlers: items attached to a client item that turn the events reaching the
// client into behaviour. EvtHandler filters the events and dispatches them to its hooks.
#pragma once

#include "scene/Item.h"

class EvtHandler : public Item {
public:
    EvtHandler() { SetName(L"EventHandler"); }

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::EvtHandler || Item::IsKindOf(typeId);
    }

    virtual void OnKeyDown(const TreeState& /*state*/, pf::Event& /*e*/) {}
    virtual void OnMouseDown(const TreeState& /*state*/, pf::Event& /*e*/) {}
    virtual void OnMouseUp(const TreeState& /*state*/, pf::Event& /*e*/) {}
    virtual void OnEnter(const TreeState& /*state*/, pf::Event& /*e*/) {}
    virtual void OnExit(const TreeState& /*state*/, pf::Event& /*e*/) {}
    virtual void OnMouseMotion(const TreeState& /*state*/, pf::Event& /*e*/) {}
    // True only when the client is visible and enabled in the tree state.
    virtual bool AcceptsEvent(const TreeState& state, const pf::Event& /*e*/) const {
        return state.visible && state.enable;
    }

    // Offers unclaimed, accepted events to the hook of their type, then to the handler's
    // own handlers. A hook that consumes the event claims it; the result does not say so.
    bool HandleEvent(const TreeState& state, pf::Event& e) override;
};

// The mouse position of a motion, button or double-click event in event coordinates. The
// double click keeps the release position in the button slots, which the property
// selectors do not read for its type.
pf::Point EventMousePoint(const pf::Event& e);

// Queues an engine event on the current root item, delivered at the end of its cycle.
// False (with a log line) when there is no root item.
bool PostToRoot(int type, int code, int data1, int data2);
