#include <algorithm>
#include <cmath>

#include "game/GameModifiers.h"
#include "shell/Random.h"

namespace {

// -0.5 .. 0.5 from one draw of the engine's generator.
float Shake() { return float(double(pf::Rand() % pf::kRandMax) / double(pf::kRandMax) - 0.5); }

}  // namespace

void PirnelsQuiverEffect::Init(float amplitude, const Item::ItemList& items, const pf::Point& centre) {
    amplitude_ = amplitude;
    centre_ = centre;
    for (const auto& item : items) {
        if (!item || !item->IsEnabled()) continue;
        startPositions_.push_back(item->GetPosition());
        items_.push_back(item);
    }
}

void PirnelsQuiverEffect::Action(float value, float) {
    if (!GetClient()) return;
    const float damping = 1.0f - value;
    for (size_t k = 0; k < items_.size(); ++k) {
        const float dx = Shake() * amplitude_ * damping;
        const float dy = Shake() * amplitude_ * damping;
        const float sx = float(startPositions_[k].x), sy = float(startPositions_[k].y);
        const float ex = sx - float(centre_.x), ey = sy - float(centre_.y);
        const float distance = std::sqrt(ex * ex + ey * ey);
        const float weight = std::max(0.0f, 1.0f - distance / 270.0f);
        items_[k]->SetPositionF(pf::VectorT2(sx + weight * dx, sy + weight * dy));
    }
}

void PirnelsQuiverEffect::Finish() {
    if (GetClient())
        for (size_t k = 0; k < items_.size(); ++k) items_[k]->SetPosition(startPositions_[k]);
    Modifier::Finish();
}

void BoardQuiverEffect::Start() {
    Item* client = GetClient();
    if (!client) return;
    baseX_ = float(client->GetX());
    baseY_ = float(client->GetY());
}

void BoardQuiverEffect::Action(float value, float) {
    Item* client = GetClient();
    if (!client) return;
    const float damping = 1.0f - value;
    const float dx = amplitude_ * Shake() * damping;
    const float dy = damping * (amplitude_ * Shake());
    client->SetPositionF(pf::VectorT2(baseX_ + dx, baseY_ + dy));
}
