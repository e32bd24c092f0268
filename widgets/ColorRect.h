// A filled rectangle in the actor's colour, with an optional border drawn inside it.
#pragma once

#include "scene/Actor.h"

class ColorRect : public Actor {
public:
    ColorRect();

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::ColorRect || Actor::IsKindOf(typeId);
    }

    virtual pf::Color GetBorderColor() const { return border_; }
    virtual void SetBorderColor(const pf::Color& c) { border_ = c; }
    virtual void SetBorderSize(int size) { borderSize_ = size; }
    virtual int GetBorderSize() const { return borderSize_; }

    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void Draw(const RenderState& in) override;
    std::wstring Dump(bool withModifiers, bool coloured) const override;
    pf::Color GetColorAtLocalPoint(const pf::Point& p) override;

private:
    pf::Color border_{0, 0, 0, 0};
    int borderSize_ = 1;
};
