#include "scene/ClockHandler.h"

#include "scene/RootItem.h"

using pf::EventProperty;

namespace {
// True when an ancestor of item has the creation id cid. Posted events carry items by
// creation id, so a sender that is gone matches nothing.
bool IsBelowItemWithID(const Item* item, int cid) {
    for (const Item* p = item->GetParent(); p; p = p->GetParent())
        if (p->GetCreationID() == cid) return true;
    return false;
}
}  // namespace

void ClockHandler::Pause(bool pause) {
    if (!pausable_) return;
    my_intrusive_ptr<ClockHandler> hold = KeepAlive(this);
    if (pause) {
        ++pauseCounter_;
        time_.Pause();
        if (pauseCounter_ == 1) {
            const Callback call = onPause_;
            call();
        }
        return;
    }
    if (--pauseCounter_ > 0) return;
    // An extra resume of a running clock still reports the resume.
    pauseCounter_ = 0;
    time_.Start();
    const Callback call = onUnPause_;
    call();
}

void ClockHandler::SetPauseCounter(int n) {
    const int target = n < 0 ? 0 : n;
    my_intrusive_ptr<ClockHandler> hold = KeepAlive(this);
    // A callback that makes the clock unpausable ends the walk.
    while (pausable_ && pauseCounter_ != target) Pause(pauseCounter_ < target);
}

void ClockHandler::PauseTime(bool pause) {
    my_intrusive_ptr<ClockHandler> hold = KeepAlive(this);
    Pause(pause);
    PostClockEvent(pause ? ClockEventCode::PauseBelow : ClockEventCode::ResumeBelow);
}

void ClockHandler::PauseAllOtherClocks(bool pause) {
    PostClockEvent(pause ? ClockEventCode::PauseOthers : ClockEventCode::ResumeOthers);
}

void ClockHandler::PostClockEvent(int code) {
    const Item* client = GetClient();
    PostToRoot(pf::EventType::Clock, code, client ? client->GetCreationID() : 0, 0);
}

bool ClockHandler::HandleEvent(const TreeState& state, pf::Event& e) {
    my_intrusive_ptr<ClockHandler> hold = KeepAlive(this);
    const Item* client = GetClient();
    if (e.GetType() == pf::EventType::Clock && client) {
        const int sender = e.GetInt(EventProperty::USER_DATA_1);
        if (sender != client->GetCreationID()) {
            const int code = e.GetInt(EventProperty::CLICK_ID);
            const bool below = IsBelowItemWithID(client, sender);
            if ((code == ClockEventCode::PauseBelow || code == ClockEventCode::ResumeBelow) && below)
                Pause(code == ClockEventCode::PauseBelow);
            else if ((code == ClockEventCode::PauseOthers || code == ClockEventCode::ResumeOthers) && !below)
                Pause(code == ClockEventCode::PauseOthers);
        }
    }
    return Item::HandleEvent(state, e);
}
