#include "scene/Tweens.h"

#include "scene/Actor.h"
#include "scene/Cyclers.h"

using pf::TruncateToInt;

void Mover2::Start() {
    if (Item* client = GetClient()) start_ = client->GetPosition();
}

void Mover2::Action(float /*value*/, float s) {
    Item* client = GetClient();
    if (!client) return;
    // The difference in integers (widened: any two ints), scaled in float, truncated.
    const long long dx = static_cast<long long>(dest_.x) - start_.x;
    const long long dy = static_cast<long long>(dest_.y) - start_.y;
    const double x = double(start_.x) + TruncateToInt(double(float(dx) * s));
    const double y = double(start_.y) + TruncateToInt(double(float(dy) * s));
    client->SetPositionF(pf::VectorT2(float(x), float(y)));
}

void Rotator2::Start() {
    if (Actor* client = ClientActor(*this)) start_ = client->GetRotation();
}

void Rotator2::Action(float /*value*/, float s) {
    if (Actor* client = ClientActor(*this)) client->SetRotation(start_ + (dest_ - start_) * s);
}

void Scaler2::Start() {
    if (Actor* client = ClientActor(*this)) start_ = client->GetScale2();
}

void Scaler2::Action(float /*value*/, float s) {
    if (Actor* client = ClientActor(*this))
        client->SetScaleXY(start_.x + (dest_.x - start_.x) * s, start_.y + (dest_.y - start_.y) * s);
}

void Fader2::Start() {
    Modifier::Start();
    if (Actor* client = ClientActor(*this)) start_ = client->GetAlpha();
}

void Fader2::Action(float /*value*/, float s) {
    if (Actor* client = ClientActor(*this))
        client->SetAlpha(TruncateToInt(double(float(static_cast<long long>(dest_) - start_) * s + float(start_))));
}
