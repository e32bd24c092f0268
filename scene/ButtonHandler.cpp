#include "scene/ButtonHandler.h"

using pf::EventProperty;
using pf::EventType;

void ButtonHandler::SetPressed(bool b) {
    my_intrusive_ptr<ButtonHandler> hold = KeepAlive(this);
    my_intrusive_ptr<Item> client = KeepAlive(GetClient());
    if (!client || client->IsPressed() == b) return;
    client->SetPressed(b);
    const Callback call = b ? onPressDown_ : onPressUp_;
    call();
}

bool ButtonHandler::PassesFilter(const pf::Event& e) const {
    return mouseButton_ == 0 || e.GetInt(EventProperty::WHICH_BUTTON) == mouseButton_;
}

void ButtonHandler::OnMouseDown(const TreeState& state, pf::Event& e) {
    if (!PassesFilter(e)) return;
    my_intrusive_ptr<Item> client = KeepAlive(GetClient());
    if (!client) return;
    if (client->HitTest(state)) {
        SetPressed(true);
        e.SetClaimed(true);
    } else if (!client->IsSelected()) {
        SetPressed(false);
    }
}

void ButtonHandler::OnMouseUp(const TreeState& state, pf::Event& e) {
    if (!PassesFilter(e)) return;
    // The click may remove the client, this handler or both from the tree.
    my_intrusive_ptr<ButtonHandler> hold = KeepAlive(this);
    my_intrusive_ptr<Item> client = KeepAlive(GetClient());
    if (!client) return;
    if (client->IsPressed() && client->HitTest(state)) {
        const int button = e.GetInt(EventProperty::WHICH_BUTTON);
        if (e.GetType() == EventType::DoubleClick) {
            client->DoubleClick(button);
        } else {
            client->Click(button);
            const Callback call = onClick_;
            call();
        }
        e.SetClaimed(true);
    }
    if (client->IsPressed()) SetPressed(false);
}

void ButtonHandler::OnKeyDown(const TreeState&, pf::Event& e) {
    Item* client = GetClient();
    if (!client || !client->IsKindOf(TypeId::Button)) return;
    const int key = e.GetInt(EventProperty::KEY_SYM);
    if (key == 0) return;
    const auto* keys = dynamic_cast<const ButtonKeyEquivalents*>(client);
    if (!keys) return;
    for (int i = 0; i < ButtonKeyEquivalents::kCount; ++i) {
        if (keys->GetKeyEquivalent(i) != key) continue;
        PostToRoot(EventType::ButtonClick, client->GetClickID(), 0, 0);
        return;
    }
}
