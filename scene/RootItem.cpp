#include "scene/RootItem.h"

#include <algorithm>

#include "scene/ClockHandler.h"
#include "scene/EventManager.h"
#include "scene/ItemWalk.h"
#include "scene/ScreenSize.h"
#include "shell/Clock.h"
#include "shell/Display.h"

using pf::Event;
using pf::EventProperty;
using pf::EventType;

my_intrusive_ptr<RootItem> CurrentRootItem;

void SetRootItem(RootItem* root) { CurrentRootItem = root; }
RootItem* GetRootItem() { return CurrentRootItem.get(); }

namespace {
ButtonUpMotionPoster g_motionPoster = nullptr;

// Release positions are read from the button-event layout, so a stored double click
// (type 32) still has its position.
pf::Point ReleasePoint(const Event& e) { return pf::Point(e.GetData(4), e.GetData(5)); }
}  // namespace

void SetButtonUpMotionPoster(ButtonUpMotionPoster poster) { g_motionPoster = poster; }

RootItem::RootItem() {
    SetName(L"RootItem");
    SetClipRect(pf::Rect(0, 0, GetGameScreenWidth(), GetGameScreenHeight()));
    ConnectEventManager();
    AddEventHandler(new ClockHandler);
}

RootItem::~RootItem() = default;

void RootItem::ConnectEventManager() { SetEventManager(EventManager::Shared()); }

void RootItem::ScheduleDelete(Item* item) {
    if (!item) return;
    for (const auto& d : deletes_)
        if (d.item.get() == item) return;
    deletes_.push_back({KeepAlive(item), item});
}

void RootItem::Cycle() {
    // Hold the root: something in the tree may replace the current root item. A root that
    // nothing counts yet is its owner's to delete and is not held.
    my_intrusive_ptr<RootItem> hold = KeepAlive(this);
    if (!paused_) {
        Item::Cycle();
        // Each entry comes off the list before it is cleaned up, so a cleanup that throws
        // or schedules more deletes leaves the list sound.
        while (!deletes_.empty()) {
            const ScheduledDelete entry = std::move(deletes_.back());
            deletes_.pop_back();
            Item* item = entry.item.get();
            if (!item) continue;  // an item nothing counted, deleted by its owner meanwhile
            my_intrusive_ptr<Item> hold = KeepAlive(item);
            // The parent is held too: the removal notice may take it out of the tree.
            if (Item* parent = item->GetParent()) {
                my_intrusive_ptr<Item> keep = KeepAlive(parent);
                parent->RemoveItem(item);
            }
            item->cleanup();
        }
    }
    DispatchPostedEvents();
}

bool RootItem::PostEvent(int type, int code, int data1, int data2, const std::wstring& s1,
                         const std::wstring& s2, const std::wstring& s3) {
    Event e(type, 0);
    e.SetInt(EventProperty::CLICK_ID, code);
    e.SetInt(EventProperty::USER_DATA_1, data1);
    e.SetInt(EventProperty::USER_DATA_2, data2);
    if (!s1.empty()) e.SetString(0, s1);
    if (!s2.empty()) e.SetString(1, s2);
    if (!s3.empty()) e.SetString(2, s3);
    posted_.push_back(e);
    return true;
}

void RootItem::DispatchPostedEvents() {
    // Hold the root: a handler may replace the current root item.
    my_intrusive_ptr<RootItem> hold = KeepAlive(this);
    while (!posted_.empty()) {
        Event e = std::move(posted_.front());
        posted_.pop_front();
        TreeState state;
        PassEvent(state, e);
    }
}

bool RootItem::ProcessEvent(Event& e) {
    if (paused_) return false;
    my_intrusive_ptr<RootItem> hold = KeepAlive(this);
    TreeState in;
    if (e.isMouseEvent()) {
        const pf::Point p = e.GetPoint(EventProperty::MOUSE_XY);
        in.mouse = pf::VectorT3(static_cast<float>(p.x), static_cast<float>(p.y), 0.0f);
    }
    TreeState out;
    if (!UpdateTreeState(in, out, e)) return false;
    e.SetClaimed(false);
    if (e.GetType() == EventType::MouseButtonUp) {
        if (e.GetSource() && g_motionPoster) g_motionPoster(e.GetSource(), e);
        const int now = pf::NowMs();
        // Widened so a release time near the top of the int range cannot overflow.
        if (doubleClickEnabled_ &&
            static_cast<long long>(now) < static_cast<long long>(lastReleaseTime_) + doubleClickInterval_ &&
            ReleasePoint(e).IsNear(ReleasePoint(lastRelease_), 4) &&
            e.GetInt(EventProperty::WHICH_BUTTON) == lastRelease_.GetInt(EventProperty::WHICH_BUTTON)) {
            Event doubleClick = e;
            doubleClick.SetType(EventType::DoubleClick);
            lastRelease_ = doubleClick;
            lastReleaseTime_ = now;
            return Item::PassEvent(out, doubleClick);
        }
        lastRelease_ = e;
        lastReleaseTime_ = now;
    }
    return Item::PassEvent(out, e);
}

void RootItem::Render(pf::Display& display) {
    if (paused_ || !Item::IsVisible()) return;
    my_intrusive_ptr<RootItem> hold = KeepAlive(this);
    RenderState state;
    state.display = &display;
    state.drawChildren = true;
    state.alpha = GetAlpha();
    state.world = pf::MatrixT::MakeIdentity();
    state.clipRect = GetClipRect();
    display.SetClipRect(nullptr);
    WalkEntries(GetChildren(), false, false, [this](Item* c) { return c->GetParent() == this; },
                [&state](Item* c) {
                    if (c->IsVisible()) c->Draw(state);
                    return false;
                });
}
