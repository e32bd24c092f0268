// A running particle effect: a ParticleSystemInstance emits, moves, recycles and draws
// the particles of one definition together with the instances of the systems it links;
// a ParticleRect is the scene actor that hosts one instance.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "game/Particle.h"
#include "game/ParticleDefs.h"
#include "scene/Actor.h"

class ParticleSystemInstance {
public:
    enum State : int { New = 0, Emitting = 1, EmissionOver = 3, Finished = 4 };
    // Most instances one effect starts through its links, however they branch.
    static constexpr int kMaxLinkedInstances = 256;

    ParticleSystemInstance() = default;
    // Particles attached to a target item leave it with the instance.
    ~ParticleSystemInstance();
    ParticleSystemInstance(const ParticleSystemInstance&) = delete;
    ParticleSystemInstance& operator=(const ParticleSystemInstance&) = delete;

    // Takes forces and timescale from the definition and starts the linked systems anew.
    void Init(int defId);
    // The emission origin, in the space of the host's parent; linked instances follow.
    void SetPosition(int px, int py);
    void Update(int dtMs);
    void Draw(const RenderState& in);
    int GetState() const { return state; }

    int GetDefId() const { return defId; }
    const std::vector<my_intrusive_ptr<Particle>>& GetLive() const { return live; }
    size_t GetPoolCount() const { return pool.size(); }
    int GetElapsed() const { return elapsed; }
    int GetUntilBurst() const { return untilBurst; }
    size_t GetLinkedCount() const { return linked.size(); }
    ParticleSystemInstance* GetLinked(size_t i) const { return linked[i].instance.get(); }
    // The particles this instance draws, in drawing order: its own by ascending priority
    // with each linked system's spliced in at its link priority. Particles attached to a
    // target item are left out (that item draws them).
    void Collect(std::vector<Particle*>& out) const;

private:
    struct Linked {
        float priority;
        std::unique_ptr<ParticleSystemInstance> instance;
    };

    // Init below the chain of definitions in path, which a link must not revisit; budget
    // counts down the linked instances the effect may still start (-1 once reported).
    void Init(int defId, std::vector<int>& path, int& budget);
    void Burst();
    void Emit(int count);
    // Takes a parked particle, or makes one while the pool allows; null when it is full.
    my_intrusive_ptr<Particle> TakeParticle();
    int NextPriority();

    int state = New;
    int defId = 0;
    const ParticleSystemDef* def = nullptr;
    ParticleForce forces[ParticleSystemDef::kMaxForces];
    std::vector<my_intrusive_ptr<Particle>> live;
    std::deque<my_intrusive_ptr<Particle>> pool;
    int x = 0, y = 0;
    float timescale = 1.0f;
    int elapsed = 0;
    int untilBurst = 0;
    std::deque<int> priorities;
    std::vector<Linked> linked;
};

class ParticleRect : public Actor {
public:
    ParticleRect();
    ~ParticleRect() override;

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::ParticleRect || Actor::IsKindOf(typeId);
    }

    void SetSystem(int defId);
    ParticleSystemInstance* GetSystem() const;

    // Feeds the instance the rect's position and the time since the last cycle.
    void Cycle() override;
    void Draw(const RenderState& in) override;

private:
    std::map<int, std::unique_ptr<ParticleSystemInstance>> instances;
    int lastTicks = 0;
};
