#include "widgets/CursorActor.h"

#include "widgets/WidgetServices.h"
#include "scene/ClockHandler.h"
#include "scene/MoveWithCursor.h"
#include "scene/ScreenSize.h"
#include "shell/Application.h"

CursorActor::CursorActor() {
    my_intrusive_ptr<ClockHandler> clock(new ClockHandler);
    clock->SetPausable(false);
    AddEventHandler(clock.get());
    my_intrusive_ptr<MoveWithCursor> follow(
        new MoveWithCursor(pf::Rect(0, 0, GetGameScreenWidth(), GetGameScreenHeight())));
    follow->SetKeepOffset(false);
    AddModifier(follow.get(), nullptr);
}

bool CursorActor::HandleEvent(const TreeState& state, pf::Event& e) {
    if (e.GetType() == pf::EventType::Active && (e.GetInt(pf::EventProperty::ACTIVE_STATE) & 1) != 0) {
        SetVisible(e.GetInt(pf::EventProperty::ACTIVE_GAIN) == 1);
    } else if (e.GetType() == pf::EventType::MouseMotion) {
        SetVisible(true);
    }
    return Item::HandleEvent(state, e);
}

void CursorActor::OnAddedToParent(Item* parent) {
    pf::ShowSystemCursor(false);
    Item::OnAddedToParent(parent);
}

void CursorActor::OnRemovedFromParent(Item* parent) {
    pf::ShowSystemCursor(true);
    Item::OnRemovedFromParent(parent);
}
