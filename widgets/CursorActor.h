// A software mouse cursor: follows the mouse every frame (also while the scene's clocks
// are paused) and hides the system cursor while it is in the scene.
#pragma once

#include "scene/Actor.h"

class CursorActor : public Actor {
public:
    CursorActor();

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::CursorActor || Actor::IsKindOf(typeId);
    }

    bool HandleEvent(const TreeState& state, pf::Event& e) override;
    void OnAddedToParent(Item* parent) override;
    void OnRemovedFromParent(Item* parent) override;
};
