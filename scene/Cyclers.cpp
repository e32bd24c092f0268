#include "scene/Cyclers.h"

#include <algorithm>
#include <climits>

#include "content/ResID.h"
#include "content/XmlData.h"
#include "scene/Actor.h"
#include "scene/FrameList.h"
#include "scene/ResAnim.h"
#include "shell/Random.h"
#include "shell/foundation/TextHelpers.h"

Actor* ClientActor(const Modifier& m) {
    Item* client = m.GetClient();
    return client && client->IsKindOf(TypeId::Actor) ? dynamic_cast<Actor*>(client) : nullptr;
}

namespace {
// An index into n entries from a fraction: trunc(s x n), kept inside 0 .. n - 1 (a
// shifted value below 0, or one that is not a number, gives 0).
int IndexInto(float s, int n) { return std::clamp(pf::TruncateToInt(double(s) * n), 0, n - 1); }
}  // namespace

// ---------------------------------------------------------------- Cycler2

void Cycler2::SetFrames(const char* text) {
    frames_.clear();
    if (text) ParseFrameList(text, frames_);
}

void Cycler2::Start() {
    Actor* client = ClientActor(*this);
    if (!client || !client->GetResAnim()) return;
    if (dest_ == -1) dest_ = client->GetResAnim()->GetNumCels() - 1;
}

void Cycler2::Action(float /*value*/, float s) {
    Actor* client = ClientActor(*this);
    if (!client || !client->GetResAnim()) return;
    my_intrusive_ptr<Actor> hold = KeepAlive(client);
    if (!frames_.empty()) {
        client->SetCel(frames_[IndexInto(s, static_cast<int>(frames_.size()))]);
    } else {
        client->SetCel(pf::TruncateToInt((1.0f - s) * float(src_) + s * float(dest_)));
    }
}

// ---------------------------------------------------------------- Cycler

Cycler::Cycler(XmlData& element) : Modifier(element, L"Cycler") {
    element.GetInt(L"loops", loops_, 1);
    element.GetInt(L"cycleType", cycleType_, Forward);
    std::wstring frames;
    element.GetString(L"frames", frames, L"");
    if (!frames.empty()) ParseFrameList(pf::ToString(frames), frames_);
}

Cycler::Cycler(const Cycler& o)
    : Modifier(o), cycleType_(o.cycleType_), loops_(o.loops_), lastRandom_(o.lastRandom_), frames_(o.frames_) {}

void Cycler::Show(Actor& client, int i) const {
    if (frames_.empty())
        client.SetCel(i);
    else if (i >= 0 && i < static_cast<int>(frames_.size()))
        client.SetCel(frames_[static_cast<size_t>(i)]);
}

bool Cycler::LoopsLeftAfterOne() {
    // A count at the bottom of the int range stays there instead of wrapping.
    if (loops_ > INT_MIN) --loops_;
    return loops_ > 0;
}

void Cycler::EndLoop(Actor& client, int lastFrame) {
    if (LoopsLeftAfterOne()) {
        Start();
        return;
    }
    Show(client, lastFrame);
    Finish();
}

void Cycler::Action(float value, float s) {
    if (cycleType_ < Forward || cycleType_ > Random) return;
    Actor* client = ClientActor(*this);
    if (!client || !client->GetResAnim()) return;
    my_intrusive_ptr<Actor> holdClient = KeepAlive(client);
    my_intrusive_ptr<Cycler> holdSelf = KeepAlive(this);
    const int n = frames_.empty() ? client->GetResAnim()->GetNumCels() : static_cast<int>(frames_.size());
    if (n <= 0) return;
    // A shifted value below 0 (or not a number) starts at the first frame.
    const int e = std::max(0, pf::TruncateToInt(double(n) * s));
    switch (cycleType_) {
        case Forward:
            if (e < n)
                Show(*client, e);
            else
                EndLoop(*client, n - 1);
            break;
        case Backward:
            if (e < n)
                Show(*client, n - e - 1);
            else
                EndLoop(*client, 0);
            break;
        case PingPong:
            if (e < n)
                Show(*client, e);
            else if (static_cast<long long>(e) < 2LL * n)
                Show(*client, 2 * n - e - 1);
            else
                EndLoop(*client, 0);
            break;
        case Random:
            if (!(value >= 1.0f)) break;
            if (n > 1) {
                int r = 0;
                do {
                    r = pf::Rand() % n;
                } while (r == lastRandom_);
                lastRandom_ = r;
                Show(*client, r);
            } else {
                Show(*client, 0);
            }
            if (LoopsLeftAfterOne())
                Start();
            else
                Finish();
            break;
        default:
            break;
    }
}

void Cycler::Finish() {
    my_intrusive_ptr<Cycler> hold = KeepAlive(this);
    Modifier::Finish();
    if (ModifiersParent* parent = GetParent()) parent->RemoveModifier(this);
}

bool Cycler::SetProperty(const std::wstring& name, const std::wstring& value) {
    const int v = WToI(value);
    if (name == L"loops") {
        loops_ = v;
    } else if (name == L"type") {
        cycleType_ = v;
    } else {
        return false;
    }
    return true;
}
