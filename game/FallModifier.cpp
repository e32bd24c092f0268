#include "game/GameModifiers.h"

#include "shell/foundation/VectorMath.h"

void FallModifier::Init(const pf::Point& rest, float offset, float speed, float acceleration, bool fromAbove) {
    rest_ = rest;
    offset_ = offset;
    speed_ = speed;
    acceleration_ = acceleration;
    fromAbove_ = fromAbove;
}

void FallModifier::Start() {
    Item* client = GetClient();
    if (!client) return;
    // A script's offset may be huge or not a number: the start stays in the int range.
    const int64_t offset = pf::TruncateToInt(offset_);
    client->SetPosition(pf::Point(rest_.x, pf::SaturateToInt(fromAbove_ ? rest_.y - offset : rest_.y + offset)));
}

void FallModifier::Cycle() {
    Item* client = GetClient();
    if (!client) return;
    const auto now = static_cast<uint32_t>(client->GetTicks());
    if (lastTicks_ == 0) lastTicks_ = now;
    const uint32_t dt = now - lastTicks_;
    lastTicks_ = now;
    const float seconds = float(dt * 0.001);
    speed_ = acceleration_ * seconds + speed_;
    const float step = seconds * speed_;
    offset_ = fromAbove_ ? offset_ - step : offset_ + step;
    const float x = float(rest_.x), y = float(rest_.y);
    // Below 0 it has arrived; an offset that is not a number (bad script values) ends
    // the fall too, at the rest.
    if (!(offset_ >= 0.0f)) {
        client->SetPositionF(pf::VectorT2(x, y));
        Finish();
        return;
    }
    client->SetPositionF(pf::VectorT2(x, fromAbove_ ? y - offset_ : y + offset_));
}
