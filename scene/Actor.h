// The drawable item: one cel of an anim or any surface, under its own transform, with
// alpha, colour, brightness and blend mode, optionally clipped; hit by pixel alpha.
#pragma once

#include "scene/Item.h"
#include "shell/Display.h"
#include "shell/pixels/Surface.h"

class ResAnim;

class Actor : public Item {
public:
    Actor();
    Actor(const Actor& other);
    ~Actor() override;

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::Actor || Item::IsKindOf(typeId);
    }

    virtual int GetAlpha() const { return alpha_; }
    virtual pf::Color getColorAtPoint(const pf::Point& p);
    virtual pf::Color GetColorAtLocalPoint(const pf::Point& p);
    virtual ResAnim* GetResAnim() const { return resanim_.get(); }
    virtual std::wstring GetAnim() const;
    virtual pf::BlendMode GetBlend() const { return blend_; }
    virtual int GetCel() const { return cel_; }
    virtual pf::Color GetColor() const { return color_; }
    virtual pf::Color GetBrightness() const { return brightness_; }
    virtual pf::Point GetOffset() const { return pf::Point(); }
    virtual bool GetDrawActor() const { return drawActor_; }
    virtual int GetAlphaIsOnThreshold() const { return alphaIsOnThreshold_; }
    virtual int GetLoop() const { return loop_; }
    virtual pf::Point GetOrigin() const { return origin_; }
    virtual int GetOriginX() const { return origin_.x; }
    virtual int GetOriginY() const { return origin_.y; }
    virtual float GetRotationDegrees() const;
    virtual float GetRotation() const { return rotation_; }
    virtual pf::Point GetScaledOrigin() const;
    virtual pf::VectorT2 GetScale2() const { return scale_; }
    virtual float GetScaleX() const { return scale_.x; }
    virtual float GetScaleY() const { return scale_.y; }
    virtual my_intrusive_ptr<pf::Surface> GetSurface() const { return surface_; }
    virtual int GetOverwriteParentAlpha() const { return overwriteParentAlpha_; }
    virtual void SetDrawActor(bool b) { drawActor_ = b; }
    virtual void SetOrigin(const pf::Point& p);
    virtual void SetOriginX(int x);
    virtual void SetOriginY(int y);
    virtual void setOriginToCenter();
    virtual bool CheckSurface() { return false; }
    virtual void ResetTransform();
    virtual void OnChanged() {}
    virtual int SetAlpha(int a);
    virtual void SetResAnimRef(ResAnim* r) { SetResAnim(r); }
    virtual void SetResAnim(ResAnim* r);
    virtual void SetAnim(const std::wstring& id);
    virtual void SetBlend(pf::BlendMode b) { blend_ = b; }
    virtual void SetCel(int c);
    virtual void SetColor(const pf::Color& c) { color_ = c; }
    virtual void SetAlphaIsOnThreshold(int t) { alphaIsOnThreshold_ = t; }
    virtual void SetOverwriteParentAlpha(int a) { overwriteParentAlpha_ = a; }
    virtual void SetBrightness(const pf::Color& c);
    virtual void ResetColors();
    virtual void SetLoop(int l);
    virtual void SetRotationDegrees(float d);
    virtual void SetRotation(float r);
    virtual void SetScaleXY(float x, float y);
    virtual void SetScale(float s) { SetScaleXY(s, s); }
    virtual void SetScale2(const pf::VectorT2& v) { SetScaleXY(v.x, v.y); }
    virtual void SetScaleX(float x) { SetScaleXY(x, scale_.y); }
    virtual void SetScaleY(float y) { SetScaleXY(scale_.x, y); }
    virtual void SetSurface(pf::Surface* s) { surface_ = s; }

    int GetHeight() const override;
    int GetContentHeight() const override { return Actor::GetHeight(); }
    int GetWidth() const override;
    int GetContentWidth() const override { return Actor::GetWidth(); }
    bool IsVisible() const override { return Item::IsVisible() && alpha_ != 0; }
    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    Item* Clone(void* context) const override;
    pf::Point ConvertPoint(const pf::Point& p, bool toParent) const override;
    void Draw(const RenderState& in) override;
    std::wstring Dump(bool withModifiers, bool coloured) const override;
    bool IsOn(const pf::Point& p) override;
    bool HitTest(const TreeState& s) override;
    pf::MatrixT ComputeTransform() const override;

    // The actor's drawing in two halves, for subclasses that draw in between.
    bool PrepareDraw(const RenderState& in, RenderState& out);
    void CompleteDraw(const RenderState& in, RenderState& out);

private:
    // The hit test on a point in the actor's own coordinates.
    bool IsOnLocal(const pf::Point& local);

    int alpha_ = 255;
    int overwriteParentAlpha_ = -1;
    pf::BlendMode blend_ = pf::BlendMode::Alpha;
    int cel_ = 0;
    int loop_ = 0;
    my_intrusive_ptr<ResAnim> resanim_;  // counted: the anim lives while shown
    my_intrusive_ptr<pf::Surface> surface_;
    pf::Color color_{255, 255, 255, 255};
    pf::Color brightness_{0, 0, 0, 0};
    bool drawActor_ = true;
    int alphaIsOnThreshold_ = 1;
    float rotation_ = 0.0f;
    pf::VectorT2 scale_{1.0f, 1.0f};
    pf::Point origin_;
};
