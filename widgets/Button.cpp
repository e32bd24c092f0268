#include "widgets/Button.h"

#include "content/ResAnim.h"
#include "widgets/WidgetServices.h"
#include "scene/EvtHandler.h"
#include "shell/foundation/TextHelpers.h"

using pf::EventType;

Button* Button::hoveredButton = nullptr;

Button::Button() {
    SetName(L"Button");
    my_intrusive_ptr<ButtonHandler> handler(new ButtonHandler);
    AddEventHandler(handler.get());
    RefreshHoverAtMouse();
}

Button::~Button() {
    if (hoveredButton == this) hoveredButton = nullptr;
}

int Button::GetKeyEquivalent(int index) const {
    return index >= 0 && index < kCount ? keyEquivalents_[index] : 0;
}

void Button::SetKeyEquivalents(int key0, int key1, int key2) {
    if (key0 != 0 || key1 != 0 || key2 != 0) SetEnableKeyEvents(true);
    keyEquivalents_[0] = key0;
    keyEquivalents_[1] = key1;
    keyEquivalents_[2] = key2;
}

int Button::CelCount() const {
    ResAnim* anim = GetResAnim();
    return anim ? anim->GetNumCels() : 0;
}

void Button::UpdateDisplayState() {
    const int oldCel = GetCel(), oldLoop = GetLoop();
    const int cels = CelCount();
    if (!IsEnabled()) {
        if (cels > 3) SetCel(3);
    } else if (IsPressed()) {
        if (cels > 1) SetCel(1);
    } else if (GetMouseOver() && (toggle_ || !IsSelected())) {
        if (hoveredButton) hoveredButton->SetCel(0);
        hoveredButton = this;
        if (cels > 2) SetCel(2);
        PlayWidgetSound(rolloverSound_);
    } else {
        SetCel(0);
    }
    if (GetCel() != 2 && hoveredButton == this) hoveredButton = nullptr;
    if (toggle_ && GetLoop() < 2) SetLoop(IsSelected() ? 1 : 0);
    if (GetCel() != oldCel || GetLoop() != oldLoop) RefreshHoverAtMouse();
}

bool Button::TakesHover(const TreeState& state) {
    return IsEnabled() && !IsPressed() && HitTest(state) && (toggle_ || !IsSelected());
}

bool Button::HandleEvent(const TreeState& state, pf::Event& e) {
    if (e.IsClaimed()) return false;
    if (e.GetType() == EventType::MouseMotion) {
        if (!hoveredButton && TakesHover(state)) {
            hoveredButton = this;
            if (CelCount() > 2) SetCel(2);
        }
    } else if (e.GetType() == EventType::MouseButtonDown) {
        if (!mouseDownClickSound_.empty() && TakesHover(state)) PlayWidgetSound(mouseDownClickSound_);
    }
    return Actor::HandleEvent(state, e);
}

void Button::ToggleOnClick() {
    SetSelected(!IsSelected());
    SetPressed(false);
    SetMouseOver(!IsSelected());
    PostToRoot(EventType::ButtonToggled, GetClickID(), IsSelected() ? 1 : 0, 0);
}

void Button::Click(int whichButton) {
    // The callback may remove the button from the tree.
    my_intrusive_ptr<Button> hold = KeepAlive(this);
    if (toggle_) ToggleOnClick();
    PlayWidgetSound(clickSound_);
    PostToRoot(EventType::ButtonClick, GetClickID(), whichButton, 0);
    const Callback call = onClick_;
    call();
}

void Button::DoubleClick(int whichButton) {
    if (!sendDoubleClick_) {
        Click(whichButton);
        return;
    }
    if (toggle_) ToggleOnClick();
    PlayWidgetSound(clickSound_);
    PostToRoot(EventType::ButtonDoubleClick, GetClickID(), whichButton, 0);
}

void Button::cleanup() {
    onClick_ = Callback();
    Actor::cleanup();
}

void Button::OnRemovedFromParent(Item* parent) {
    if (hoveredButton == this) hoveredButton = nullptr;
    Actor::OnRemovedFromParent(parent);
}

void Button::SetResAnim(ResAnim* r) {
    Actor::SetResAnim(r);
    UpdateDisplayState();
}

bool Button::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"send_only_buttonclick") {
        SetSendDoubleClick(false);
        return true;
    }
    if (Actor::SetProperty(key, value)) return true;
    if (key == L"toggle") {
        SetToggle(pf::ToBool(value));
    } else if (key == L"clickSound") {
        SetClickSound(value);
    } else if (key == L"mouseDownClickSound") {
        SetMouseDownClickSound(value);
    } else if (key == L"rolloverSound") {
        SetRolloverSound(value);
    } else if (key == L"keyEquivalents") {
        const pf::Rect keys = pf::ToRect(value);
        SetKeyEquivalents(keys.x, keys.y, keys.width);
    } else {
        return false;
    }
    return true;
}
