#include "widgets/SliderKnob.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "shell/foundation/TextHelpers.h"

SliderKnob::SliderKnob() = default;  // keeps the actor's name

SliderKnob::~SliderKnob() = default;

float SliderKnob::GetValue() const { return length_ > 0 ? float(double(value_) / double(length_)) : 0.0f; }

void SliderKnob::SetValue(float fraction) {
    const double f = std::isnan(fraction) ? 0.0 : std::clamp(double(fraction), 0.0, 1.0);
    SetValueInt(int(std::max(length_, 0) * f), false);
}

void SliderKnob::SetValueInt(int v, bool notify) {
    const int old = value_;
    value_ = std::clamp(v, 0, std::max(length_, 0));
    if (value_ == old) return;
    // In 64 bits: a knob near the end of the coordinate range stops at that end.
    const pf::Point p = GetPosition();
    const int64_t delta = int64_t(value_) - old;
    auto moved = [delta](int from) { return int(std::clamp<int64_t>(from + delta, INT32_MIN, INT32_MAX)); };
    SetPosition(horizontal_ ? pf::Point(moved(p.x), p.y) : pf::Point(p.x, moved(p.y)));
    if (notify && onChange_) onChange_();
}

bool SliderKnob::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"horizontal") {
        SetHorizontal(pf::ToBool(value));
        return true;
    }
    return Actor::SetProperty(key, value);
}

void SliderKnob::cleanup() {
    onChange_ = onDrop_ = onMouseDown_ = Callback();
    Item::cleanup();
}

bool SliderKnob::HandleEvent(const TreeState& state, pf::Event& e) {
    for (const Item* x = this; x; x = x->GetParent())
        if (!x->IsVisible() || !x->IsEnabled()) return Actor::HandleEvent(state, e);
    const int type = e.GetType();
    if (type == pf::EventType::MouseButtonDown && HitTest(state)) {
        dragging_ = true;
        const pf::Point mouse = e.GetPoint(pf::EventProperty::MOUSE_XY), at = GetPosition();
        grabX_ = int64_t(mouse.x) - at.x;
        grabY_ = int64_t(mouse.y) - at.y;
        if (onMouseDown_) onMouseDown_();
    } else if (type == pf::EventType::MouseButtonUp && dragging_) {
        dragging_ = false;
        if (onDrop_) onDrop_();
    } else if (type == pf::EventType::MouseMotion && dragging_) {
        const pf::Point mouse = e.GetPoint(pf::EventProperty::MOUSE_XY), at = GetPosition();
        const int64_t moved = horizontal_ ? int64_t(mouse.x) - grabX_ - at.x : int64_t(mouse.y) - grabY_ - at.y;
        SetValueInt(int(std::clamp<int64_t>(value_ + moved, INT32_MIN, INT32_MAX)), true);
    } else {
        return Actor::HandleEvent(state, e);
    }
    e.SetClaimed(true);
    return true;
}
