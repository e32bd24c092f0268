#include "game/ParticleSystem.h"

#include <algorithm>
#include <cmath>

#include "scene/RootItem.h"
#include "shell/foundation/Log.h"
#include "shell/Random.h"

// ---------------------------------------------------------------- instance

ParticleSystemInstance::~ParticleSystemInstance() {
    for (const auto& p : live)
        if (Item* parent = p->GetParent()) parent->RemoveItem(p.get());
    for (const auto& p : pool)
        if (Item* parent = p->GetParent()) parent->RemoveItem(p.get());
}

void ParticleSystemInstance::Init(int id) {
    std::vector<int> path;
    int budget = kMaxLinkedInstances;
    Init(id, path, budget);
}

void ParticleSystemInstance::Init(int id, std::vector<int>& path, int& budget) {
    defId = id;
    def = &ParticleRegistry::Get(id);
    std::copy(std::begin(def->forces), std::end(def->forces), std::begin(forces));
    timescale = def->timescale;
    linked.clear();
    path.push_back(id);
    for (const ParticleLink& link : def->links) {
        if (std::find(path.begin(), path.end(), link.id) != path.end()) {
            pf::DebugStream() << L"Particle system " << id << L" links system " << link.id
                              << L", which already contains it; the link is skipped";
            continue;
        }
        if (budget == 0) {
            pf::DebugStream() << L"Particle system " << path.front() << L" links more than " << kMaxLinkedInstances
                              << L" systems in all; the rest are skipped";
            budget = -1;
        }
        if (budget < 0) break;
        --budget;
        auto instance = std::make_unique<ParticleSystemInstance>();
        instance->Init(link.id, path, budget);
        linked.push_back(Linked{link.priority, std::move(instance)});
    }
    path.pop_back();
}

void ParticleSystemInstance::SetPosition(int px, int py) {
    x = px;
    y = py;
    for (const Linked& l : linked) l.instance->SetPosition(px, py);
}

void ParticleSystemInstance::Update(int dtMs) {
    if (state == Finished || !def) return;
    const float step = timescale * float(dtMs);
    const int wholeStep = SaturatingInt(std::floor(double(step)));
    const int before = state;
    if (state == New) {
        state = Emitting;
        elapsed = 0;
    } else {
        elapsed = SaturatingInt(double(elapsed) + wholeStep);
    }
    if (before == New || before == Emitting) {
        if (def->lifespan > 0 && def->lifespan < elapsed) state = EmissionOver;
        if (float(untilBurst) < step) Burst();
        untilBurst = SaturatingInt(double(untilBurst) - wholeStep);
    }
    size_t kept = 0;
    for (size_t i = 0; i < live.size(); ++i) {
        my_intrusive_ptr<Particle>& p = live[i];
        if (p->Update(step)) {
            // A dead particle attached to a target stays its child, unseen, until reused.
            p->SetVisible(false);
            pool.push_back(std::move(p));
        } else {
            if (kept != i) live[kept] = std::move(p);
            ++kept;
        }
    }
    live.resize(kept);
    if (live.empty() && state == EmissionOver) state = Finished;
    for (const Linked& l : linked) l.instance->Update(dtMs);
}

void ParticleSystemInstance::Burst() {
    untilBurst = SaturatingInt(double(def->emitRateBase) + ParticleDev(def->emitRateDev));
    Emit(SaturatingInt(double(def->emitSizeBase) + ParticleDev(def->emitSizeDev)));
}

my_intrusive_ptr<Particle> ParticleSystemInstance::TakeParticle() {
    if (!pool.empty()) {
        my_intrusive_ptr<Particle> p = std::move(pool.front());
        pool.pop_front();
        p->SetVisible(true);
        return p;
    }
    if (live.size() >= size_t(std::max(def->poolSize, 0))) return nullptr;
    my_intrusive_ptr<Particle> p(new Particle());
    if (!def->target.empty() && CurrentRootItem) {
        if (Item* target = CurrentRootItem->FindItem(def->target)) target->AddItem(p.get());
    }
    return p;
}

int ParticleSystemInstance::NextPriority() {
    if (priorities.empty()) {
        const int n = std::max(def->poolSize, 1);
        priorities.resize(size_t(n));
        for (int i = 0; i < n; ++i) priorities[size_t(i)] = i;
        for (int i = 1; i < n; ++i) std::swap(priorities[size_t(i)], priorities[pf::rand32b() % uint32_t(i + 1)]);
    }
    const int p = priorities.back();
    priorities.pop_back();
    return p;
}

void ParticleSystemInstance::Emit(int count) {
    constexpr float kRadians = 3.1415927f / 180.0f;
    for (int i = 0; i < count; ++i) {
        float ox = float(x), oy = float(y);
        const float speed = def->emitSpeedBase + ParticleDevMilli(def->emitSpeedDev);
        const float mulX = def->velocityMulBase.x + ParticleDevMilli(def->velocityMulDev.x);
        const float mulY = def->velocityMulBase.y + ParticleDevMilli(def->velocityMulDev.y);
        float vx = 0.0f, vy = 0.0f;
        float angle = 0.0f;
        bool directed = true;
        switch (def->emitterType) {
        case EmitterRadial:
        case EmitterCircle:
            angle = float(double(def->angleBase) + ParticleDev(def->angleDev));
            break;
        case EmitterRegular:
            angle = 360.0f / float(std::max(def->emitPoints, 1)) * float(i) + def->initialOffset;
            break;
        case EmitterRectangle:
            angle = def->velocityAngleBase + ParticleDevMilli(def->velocityAngleDev);
            break;
        default:
            directed = false;
            break;
        }
        if (directed) {
            const float c = std::cos(angle * kRadians), s = std::sin(angle * kRadians);
            vx = speed * c * mulX;
            vy = speed * s * mulY;
            if (def->emitterType == EmitterRectangle) {
                ox += float(def->rect.x) + float(pf::Rand() % (int64_t(std::max(def->rect.width, 0)) + 1));
                oy += float(def->rect.y) + float(pf::Rand() % (int64_t(std::max(def->rect.height, 0)) + 1));
            } else if (def->radius > 0.0f) {
                const float d = def->emitterType == EmitterCircle ? float(pf::Rand()) / float(pf::kRandMax) * def->radius
                                                                  : def->radius;
                ox += c * d;
                oy += s * d;
            }
        }
        my_intrusive_ptr<Particle> p = TakeParticle();
        if (!p) return;
        p->Init(def->particles[0], ox, oy, vx, vy);
        p->SetPriority(NextPriority());
        if (def->particles[0].isSprite)
            p->SetAnimation(def->animations.empty() ? def->animation
                                                    : def->animations[size_t(pf::Rand()) % def->animations.size()]);
        for (const ParticleForce& f : forces) p->ApplyForce(f);
        live.push_back(std::move(p));
    }
}

void ParticleSystemInstance::Collect(std::vector<Particle*>& out) const {
    std::vector<Particle*> own;
    own.reserve(live.size());
    // A particle attached to a target item is drawn by that item.
    for (const auto& p : live)
        if (!p->GetParent()) own.push_back(p.get());
    std::stable_sort(own.begin(), own.end(),
                     [](const Particle* a, const Particle* b) { return a->GetPriority() < b->GetPriority(); });
    std::vector<size_t> at(linked.size());
    for (size_t k = 0; k < linked.size(); ++k) {
        const float p = linked[k].priority;
        if (p <= 0.0f) {
            at[k] = 0;
        } else if (p >= float(own.size())) {
            at[k] = own.size();
        } else {
            const int threshold = SaturatingInt(std::trunc(double(def->poolSize) * p));
            at[k] = size_t(std::find_if(own.begin(), own.end(),
                                        [threshold](const Particle* q) { return q->GetPriority() >= threshold; }) -
                           own.begin());
        }
    }
    for (size_t i = 0; i <= own.size(); ++i) {
        for (size_t k = 0; k < linked.size(); ++k)
            if (at[k] == i) linked[k].instance->Collect(out);
        if (i < own.size()) out.push_back(own[i]);
    }
}

void ParticleSystemInstance::Draw(const RenderState& in) {
    const RenderState copy = in;
    if (linked.empty()) {
        for (const auto& p : live)
            if (!p->GetParent()) p->Draw(copy);
        return;
    }
    std::vector<Particle*> all;
    Collect(all);
    for (Particle* p : all) p->Draw(copy);
}

// ---------------------------------------------------------------- host actor

ParticleRect::ParticleRect() {
    SetName(L"ParticleRect");
    lastTicks = GetTicks();
}

ParticleRect::~ParticleRect() = default;

void ParticleRect::SetSystem(int defId) {
    std::unique_ptr<ParticleSystemInstance>& instance = instances[0];
    if (!instance) instance = std::make_unique<ParticleSystemInstance>();
    instance->Init(defId);
}

ParticleSystemInstance* ParticleRect::GetSystem() const {
    auto it = instances.find(0);
    return it == instances.end() ? nullptr : it->second.get();
}

void ParticleRect::Cycle() {
    const int now = GetTicks();
    const int dt = SaturatingInt(double(now) - double(lastTicks));
    lastTicks = now;
    const pf::Point p = GetPosition();
    for (const auto& entry : instances) {
        entry.second->SetPosition(p.x, p.y);
        if (IsVisible() && dt > 0) entry.second->Update(dt);
    }
}

void ParticleRect::Draw(const RenderState& in) {
    if (!IsVisible()) return;
    for (const auto& entry : instances) entry.second->Draw(in);
}
