#include <cmath>

#include "game/BoardSpacesActor.h"
#include "game/GameModifiers.h"

namespace {

// The value's low byte: (start + (target - start) x shifted) truncated; a shifted value
// outside 0..1 wraps, one that is not a number keeps the start.
uint8_t Blend(uint8_t start, uint8_t target, float shifted) {
    const float v = float(start) + float(int(target) - int(start)) * shifted;
    if (!std::isfinite(v) || std::fabs(v) > 1e15f) return start;
    return static_cast<uint8_t>(static_cast<int64_t>(v) & 0xFF);
}

}  // namespace

void SpaceShimmerModifier::Action(float value, float) {
    auto* board = dynamic_cast<BoardSpacesActor*>(GetClient());
    if (!board) return;
    if (value < 1.0f) {
        const double cel = double(value) * double(cels_);
        const int64_t index = std::isfinite(cel) && std::fabs(cel) < 1e15 ? static_cast<int64_t>(cel) : 0;
        board->SetCel(unsigned(column_), unsigned(row_), uint8_t(index & 0xFF));
        return;
    }
    board->SetCel(unsigned(column_), unsigned(row_), uint8_t(0));
    Finish();
}

void ColorBlendModifier::Start() {
    Modifier::Start();
    if (auto* actor = dynamic_cast<Actor*>(GetClient())) startColor_ = Read(*actor);
}

void ColorBlendModifier::Action(float, float shifted) {
    auto* actor = dynamic_cast<Actor*>(GetClient());
    if (!actor) return;
    const pf::Color s = startColor_, t = target_;
    Write(*actor, pf::Color(Blend(s.r, t.r, shifted), Blend(s.g, t.g, shifted), Blend(s.b, t.b, shifted),
                            Blend(s.a, t.a, shifted)));
}

pf::Color ColorModifier::Read(const Actor& actor) const { return actor.GetColor(); }
void ColorModifier::Write(Actor& actor, const pf::Color& c) const { actor.SetColor(c); }
pf::Color BrightnessModifier::Read(const Actor& actor) const { return actor.GetBrightness(); }
void BrightnessModifier::Write(Actor& actor, const pf::Color& c) const { actor.SetBrightness(c); }
