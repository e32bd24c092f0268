#include "scene/DragHandler.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "scene/RootItem.h"
#include "scene/ScreenSize.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

using pf::EventProperty;
using pf::Point;

namespace {
// The mouse position of the event in the space the item's position is measured in.
Point InParentSpace(const Item* item, const pf::Event& e) {
    return ConvertPointBetweenSpaces(item, EventMousePoint(e), CoordRoot, CoordParent);
}

// Snaps one coordinate to the grid of step s starting at origin; a remainder of s/2 - 1
// already moves up to the next line. Computed wide: the grid and the origin come from
// item properties, so any int may reach here.
int Snap(int value, int origin, int s) {
    const long long q = (static_cast<long long>(value) - origin + s / 2 + 1) / s;
    const long long snapped = origin + q * s;
    return static_cast<int>(std::clamp<long long>(snapped, INT_MIN, INT_MAX));
}

const Item* TopOf(const Item* item) {
    while (const Item* up = item->GetParent()) item = up;
    return item;
}
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
    // In doubles: event coordinates may lie anywhere in the int range. Comparing with the
    // whole-pixel threshold gives what truncating the distance to an int would.
    const double dx = static_cast<double>(e.GetInt(EventProperty::MOUSE_X)) - pressPoint_.x;
    const double dy = static_cast<double>(e.GetInt(EventProperty::MOUSE_Y)) - pressPoint_.y;
    if (std::sqrt(dx * dx + dy * dy) >= dragThreshold_) StartDrag(state, e);
    e.SetClaimed(true);
}

Item* DragHandler::Dragged() const {
    Item* client = GetClient();
    if (!dragClient_.IsSet()) return client;
    // A drag client that is gone reads as none; one that lives is used only while it is in
    // the client's tree (the current root's for a handler not attached yet).
    Item* dragged = dragClient_.get();
    if (!dragged) return nullptr;
    for (const Item* up = client; up; up = up->GetParent())
        if (up == dragged) return dragged;  // the usual case: a window the client sits in
    const Item* tree = client ? TopOf(client) : CurrentRootItem.get();
    return tree && tree->Contains(dragged) ? dragged : nullptr;
}

my_intrusive_ptr<Item> DragHandler::GetDragClient() const {
    return dragClient_.IsSet() ? KeepAlive(Dragged()) : my_intrusive_ptr<Item>();
}

void DragHandler::StartDrag(const TreeState&, pf::Event& e) {
    my_intrusive_ptr<Item> item = KeepAlive(Dragged());
    if (!item) {
        if (dragClient_.IsSet())
            pf::DebugStream() << L"DragHandler: the drag client is no longer in the tree of '"
                              << (GetClient() ? GetClient()->GetName() : std::wstring(L"")) << L"'; no drag";
        return;
    }
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
