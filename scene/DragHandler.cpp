#include "scene/DragHandler.h"

#include <cmath>

#include "scene/ScreenSize.h"
#include "shell/TextHelpers.h"

using pf::EventProperty;
using pf::Point;

namespace {
// The mouse position of the event in the space the item's position is measured in.
Point InParentSpace(const Item* item, const pf::Event& e) {
    return ConvertPointBetweenSpaces(item, EventMousePoint(e), CoordRoot, CoordParent);
}

// Snaps one coordinate to the grid of step s starting at origin; a remainder of s/2 - 1
// already moves up to the next line.
int Snap(int value, int origin, int s) { return origin + (value - origin + s / 2 + 1) / s * s; }
}  // namespace

DragHandler::DragHandler() : confines_(0, 0, GetGameScreenWidth(), GetGameScreenHeight()) {}

bool DragHandler::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"confines") {
        confines_ = pf::ToRect(value);
    } else if (key == L"confineToScreen") {
        SetConfineToScreen(pf::ToBool(value));
    } else if (key == L"snapTo") {
        SetSnapTo(pf::ToInt(value));
    } else {
        return ButtonHandler::SetProperty(key, value);
    }
    return true;
}

void DragHandler::OnMouseDown(const TreeState& state, pf::Event& e) {
    my_intrusive_ptr<Item> client = KeepAlive(GetClient());
    if (!client || !client->IsEnabled() || e.IsClaimed()) return;
    if (client->HitTest(state)) {
        if (client->IsPressed()) return;
        SetPressed(true);
        pressPoint_ = EventMousePoint(e);
        e.SetClaimed(true);
    } else {
        SetPressed(false);
    }
}

void DragHandler::OnMouseMotion(const TreeState& state, pf::Event& e) {
    my_intrusive_ptr<DragHandler> hold = KeepAlive(this);
    RollOverHandler::OnMouseMotion(state, e);
    if (dragging_) {
        e.SetClaimed(true);
        my_intrusive_ptr<Item> item = KeepAlive(Dragged());
        if (!item) return;
        item->SetPosition(InParentSpace(item.get(), e) - grabOffset_);
        const Callback call = onDrag_;
        call();
        return;
    }
    my_intrusive_ptr<Item> client = KeepAlive(GetClient());
    if (!client || !client->IsEnabled() || e.IsClaimed() || !client->HitTest(state) ||
        !client->IsPressed())
        return;
    const double dx = e.GetInt(EventProperty::MOUSE_X) - pressPoint_.x;
    const double dy = e.GetInt(EventProperty::MOUSE_Y) - pressPoint_.y;
    const int distance = static_cast<int>(std::sqrt(dx * dx + dy * dy));
    if (distance >= dragThreshold_) StartDrag(state, e);
    e.SetClaimed(true);
}

void DragHandler::StartDrag(const TreeState&, pf::Event& e) {
    my_intrusive_ptr<Item> item = KeepAlive(Dragged());
    if (!item) return;
    if (confineToScreen_)
        confines_ = pf::Rect(0, 0, GetGameScreenWidth() - item->GetWidth(),
                             GetGameScreenHeight() - item->GetHeight());
    dragging_ = true;
    grabOffset_ = InParentSpace(item.get(), e) - item->GetPosition();
    PostDragEvent(pf::EventType::DragStart);
}

void DragHandler::EndDrag(const TreeState&, pf::Event&) {
    if (dragging_) {
        if (snapTo_ > 1) {
            if (my_intrusive_ptr<Item> item = KeepAlive(Dragged())) {
                const Point p = item->GetPosition();
                item->SetPosition(Point(Snap(p.x, confines_.x, snapTo_), Snap(p.y, confines_.y, snapTo_)));
            }
        }
        dragging_ = false;
    }
    PostDragEvent(pf::EventType::DragEnd);
}

void DragHandler::OnMouseUp(const TreeState& state, pf::Event& e) {
    my_intrusive_ptr<DragHandler> hold = KeepAlive(this);
    my_intrusive_ptr<Item> client = KeepAlive(GetClient());
    if (!client || !client->IsEnabled()) return;
    if (client->IsPressed()) EndDrag(state, e);
    SetPressed(false);
}

void DragHandler::PostDragEvent(int type) {
    // The client travels as its creation id: the event is delivered later, when the item
    // may be gone.
    const Item* client = GetClient();
    PostToRoot(type, type, client ? client->GetCreationID() : 0, client ? client->GetClickID() : -1);
}
