#include "scene/RollOverHandler.h"

void RollOverHandler::OnMouseMotion(const TreeState& state, pf::Event& e) {
    my_intrusive_ptr<Item> client = KeepAlive(GetClient());
    if (!client) return;
    const bool hit = client->HitTest(state);
    if (hit && !mouseOver_)
        OnEnter(state, e);
    else if (!hit && mouseOver_)
        OnExit(state, e);
}

void RollOverHandler::OnEnter(const TreeState&, pf::Event&) { SetOver(true, onEnter_); }

void RollOverHandler::OnExit(const TreeState&, pf::Event&) { SetOver(false, onExit_); }

void RollOverHandler::SetOver(bool over, const Callback& cb) {
    my_intrusive_ptr<RollOverHandler> hold = KeepAlive(this);
    my_intrusive_ptr<Item> client = KeepAlive(GetClient());
    mouseOver_ = over;
    if (client) client->SetMouseOver(over);
    // A copy: the callback may replace itself.
    const Callback call = cb;
    call();
}
