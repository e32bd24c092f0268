// Event routing through the item tree and the hit test for scripts.
#include "scene/ClockHandler.h"
#include "scene/EventManager.h"
#include "scene/Item.h"
#include "scene/ItemWalk.h"

bool Item::PassEvent(const TreeState& state, pf::Event& e) {
    // The item lives through the whole call: its children may take it out of the tree
    // before its own handlers run.
    const WalkedCall<Item> call(this, parent_ != nullptr);
    TreeState local = state;
    if (!UpdateTreeState(state, local, e)) return false;
    if (!IsEnabled()) return false;
    // Held: a handler may give the item another classifier while the event is routed.
    const my_intrusive_ptr<EventManager> events = RoutingEvents();
    if (!enableMouseEvents_ && events->IsMouseEvent(e)) return false;
    if (!enableKeyEvents_ && events->IsKeyEvent(e)) return false;
    // The children as they are now, top-most first; one removed meanwhile is skipped.
    if (WalkEntries(children_, true, false, [this](Item* c) { return IsChild(c); },
                    [&](Item* c) { return c->PassEvent(local, e); }))
        return true;
    if (local.pauseCount > 0 && events->IsUserEvent(e)) return false;
    if (HandleEvent(local, e)) return true;
    return modal_ && events->IsUserEvent(e);
}

bool Item::UpdateTreeState(const TreeState& in, TreeState& out, const pf::Event& e) {
    out = in;
    if (ClockHandler* clock = OwnClockHandler()) out.pauseCount = clock->GetPauseCounter();
    // The double click carries a release position too, so it is carried into the item's
    // space like the other mouse events.
    if (e.isMouseEvent() || e.GetType() == pf::EventType::DoubleClick)
        out.mouse = GetInverseTransform().TransformVec3(in.mouse);
    if (!IsEnabled()) out.enable = false;
    if (!IsVisible()) out.visible = false;
    return true;
}

namespace {
void CollectHits(Item* x, const pf::Point& p, my_intrusive_ptr<Item>& last) {
    if (!x->IsVisible()) return;
    const auto& children = x->GetChildren();
    for (size_t i = 0; i < children.size(); ++i) {
        my_intrusive_ptr<Item> c = children[i];
        if (c->IsOn(p) && c->IsVisible() && c->IsEnabled()) last = c;
        CollectHits(c.get(), p, last);
    }
}
}  // namespace

Item* GetItemByPoint(Item* root, const pf::Point& p) {
    if (!root) return nullptr;
    my_intrusive_ptr<Item> last;
    CollectHits(root, p, last);
    return last.get();
}
