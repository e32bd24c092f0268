#include "game/ParticleMgr.h"

ParticleMgr::ParticleMgr() { SetName(L"ParticleMgr"); }

ParticleMgr::~ParticleMgr() { clear(); }

bool ParticleMgr::init(const std::wstring& source) { return LoadParticleDefinitions(source); }

void ParticleMgr::Empty(ParticleSlot& slot) {
    if (!slot.rect) return;
    my_intrusive_ptr<ParticleRect> rect = std::move(slot.rect);
    RemoveItem(rect.get());
}

void ParticleMgr::clear() {
    for (ParticleSlot& slot : slots) Empty(slot);
}

void ParticleMgr::removeParticles(int slot) {
    if (slot >= 0 && slot < kSlotCount) Empty(slots[slot]);
}

int ParticleMgr::FindSlot(int priority) const {
    int best = -1;
    float bestAge = -1.0f;
    for (int i = 0; i < kSlotCount; ++i) {
        const ParticleSlot& s = slots[i];
        if (!s.rect) return i;
        if (s.priority < priority) {
            best = i;
            bestAge = s.age;
        } else if (s.priority == priority && bestAge < s.age) {
            best = i;
            bestAge = s.age;
        }
    }
    return best;
}

int ParticleMgr::addParticles(int system, const pf::Point& position, int priority) {
    if (system < 0) return -1;
    const int index = FindSlot(priority);
    if (index < 0) return -1;
    ParticleSlot& slot = slots[index];
    Empty(slot);
    slot.rect = my_intrusive_ptr<ParticleRect>(new ParticleRect());
    slot.rect->SetSystem(system);
    slot.rect->SetPosition(position);
    AddItem(slot.rect.get());
    slot.priority = priority;
    slot.age = 0.0f;
    return index;
}

void ParticleMgr::Cycle() {
    for (ParticleSlot& slot : slots) {
        if (!slot.rect) continue;
        const ParticleSystemInstance* instance = slot.rect->GetSystem();
        if (instance && instance->GetState() < ParticleSystemInstance::Finished)
            slot.age += 0.01f;
        else
            Empty(slot);
    }
    Actor::Cycle();
}
