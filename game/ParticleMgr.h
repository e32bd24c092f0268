// The actor through which the scripts play particle effects: 100 slots, each holding one
// ParticleRect child; finished effects are dropped, and with every slot busy a new effect
// replaces one of lower (or equal and older) priority.
#pragma once

#include <string>

#include "game/ParticleSystem.h"
#include "scene/Actor.h"
#include "shell/foundation/ValueTypes.h"

struct ParticleSlot {
    my_intrusive_ptr<ParticleRect> rect;  // null: empty
    int priority = 0;
    float age = 0.0f;  // grows by 0.01 a frame while the effect runs
};

class ParticleMgr : public Actor {
public:
    static constexpr int kSlotCount = 100;

    ParticleMgr();
    ~ParticleMgr() override;

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::ParticleMgr || typeId == TypeId::Item || typeId == TypeId::Base;
    }

    // Loads a definitions file ("file" or "file:path") into the shared registry; false
    // when it cannot be loaded.
    static bool init(const std::wstring& source);
    void clear();
    // The slot index of the new effect, or -1 (no system, or every slot more important).
    int addParticles(int system, const pf::Point& position, int priority);
    void removeParticles(int slot);

    void Cycle() override;

    // The slot a new effect of this priority goes to, or -1.
    int FindSlot(int priority) const;
    const ParticleSlot& GetSlot(int i) const { return slots[i]; }

private:
    void Empty(ParticleSlot& slot);

    ParticleSlot slots[kSlotCount];
};
