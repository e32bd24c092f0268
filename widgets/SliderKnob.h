// A knob dragged along one axis over 0..length pixels; reports drags through callbacks.
#pragma once

#include <cstdint>

#include "scene/Actor.h"
#include "scene/Callback.h"

class SliderKnob : public Actor {
public:
    SliderKnob();
    ~SliderKnob() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::SliderKnob || Actor::IsKindOf(typeId); }

    virtual Callback GetOnChange() const { return onChange_; }
    virtual Callback GetOnDrop() const { return onDrop_; }
    virtual Callback GetOnMouseDown() const { return onMouseDown_; }
    virtual bool GetHorizontal() const { return horizontal_; }
    virtual int GetLength() const { return length_; }
    // value / length; 0 for a knob of length 0.
    virtual float GetValue() const;
    virtual void SetOnChange(const Callback& c) { onChange_ = c; }
    virtual void SetOnDrop(const Callback& c) { onDrop_ = c; }
    virtual void SetOnMouseDown(const Callback& c) { onMouseDown_ = c; }
    virtual void SetHorizontal(bool horizontal) { horizontal_ = horizontal; }
    // The value is not clamped again.
    virtual void SetLength(int length) { length_ = length; }
    // Places the knob at the fraction (clamped to 0..1) of its length without onChange.
    virtual void SetValue(float fraction);
    // value = v clamped to 0..length; the knob moves by the change; onChange when notify.
    void SetValueInt(int v, bool notify);
    int GetValueInt() const { return value_; }
    bool IsDragging() const { return dragging_; }

    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void cleanup() override;
    bool HandleEvent(const TreeState& state, pf::Event& e) override;

private:
    bool horizontal_ = true;
    bool dragging_ = false;
    int64_t grabX_ = 0, grabY_ = 0;  // the pointer's offset from the position at the press
    int length_ = 100;
    int value_ = 0;
    Callback onChange_, onDrop_, onMouseDown_;
};
