// Tracks whether the mouse is over the client (the client's hit test) and reports the
// crossings through the client's mouse-over flag and two callbacks.
#pragma once

#include "scene/EvtHandler.h"

class RollOverHandler : public EvtHandler {
public:
    RollOverHandler() = default;

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::RollOverHandler || EvtHandler::IsKindOf(typeId);
    }

    virtual Callback GetOnEnter() const { return onEnter_; }
    virtual Callback GetOnExit() const { return onExit_; }
    virtual void SetOnEnter(const Callback& cb) { onEnter_ = cb; }
    virtual void SetOnExit(const Callback& cb) { onExit_ = cb; }

    void OnEnter(const TreeState& state, pf::Event& e) override;
    void OnExit(const TreeState& state, pf::Event& e) override;
    // Never claims the event.
    void OnMouseMotion(const TreeState& state, pf::Event& e) override;

    bool IsMouseOver() const { return mouseOver_; }

private:
    void SetOver(bool over, const Callback& cb);

    bool mouseOver_ = false;
    Callback onEnter_;
    Callback onExit_;
};
