// A nine-patch panel: the anim's image cut along four guide lines into corners, edges and
// a centre, laid out around a requested size by tiling, stretching, or stretching only
// the middle.
#pragma once

#include <cstdint>

#include "scene/Actor.h"

class Box9Actor : public Actor {
public:
    enum StretchMode : int { Tile = 0, Stretch = 1, StretchMiddle = 2 };

    Box9Actor();

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::Box9Actor || Actor::IsKindOf(typeId);
    }

    virtual pf::Rect GetPatchRect(int i) const;
    virtual void DrawPatchStretched(const RenderState& rs, int i, const pf::Rect& target);
    virtual void DrawPatch(const RenderState& rs, int i, const pf::Point& position);
    virtual void SetLeftGuide(int x);
    virtual void SetRightGuide(int x);
    virtual void SetTopGuide(int y);
    virtual void SetBottomGuide(int y) { bottom_ = y; }
    virtual int GetLeftGuide() const { return left_; }
    virtual int GetRightGuide() const { return right_; }
    virtual int GetTopGuide() const { return top_; }
    virtual int GetBottomGuide() const { return bottom_; }
    virtual void SetGuides(int left, int right, int top, int bottom);
    virtual void SetStretchMode(int mode) { stretchMode_ = mode; }
    virtual int GetStretchMode() const { return stretchMode_; }
    virtual void SetDefaultGuides(ResAnim* anim);
    virtual int GetResizedWidth() const { return Item::GetWidth(); }
    virtual int GetResizedHeight() const { return Item::GetHeight(); }
    virtual bool GetUseRealSize() const { return useRealSize_; }
    virtual void SetUseRealSize(bool b) { useRealSize_ = b; }
    virtual void UpdateSize();
    pf::Point GetPatchSize(int i) const;

    bool GetColorKey() const { return colorKey_; }

    int GetHeight() const override { return requested_.y; }
    int GetWidth() const override { return requested_.x; }
    pf::Point GetSize() const override { return requested_; }
    void SetHeight(int h) override { SetSize(pf::Point(requested_.x, h)); }
    void SetWidth(int w) override { SetSize(pf::Point(w, requested_.y)); }
    void SetSize(const pf::Point& size) override;
    pf::Rect GetInternalRect() const override { return pf::Rect(0, 0, Item::GetWidth(), Item::GetHeight()); }
    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void Draw(const RenderState& in) override;
    pf::Color GetColorAtLocalPoint(const pf::Point& p) override;
    void SetResAnim(ResAnim* r) override;
    void SetAnim(const std::wstring& id) override;

    // The quantities one layout works with.
    struct Layout {
        pf::Point size[9];
        int left = 0, right = 0, top = 0, bottom = 0;
        int64_t n = 0, m = 0;  // middle columns and rows (tile and stretch modes)
        int64_t e = 0, f = 0;  // middle size (stretch_middle)
        pf::Point laidOut;
    };
    // The layout for the requested size and the current mode; false without an image.
    bool ComputeLayout(Layout& out) const;

private:
    // The guides limited to the image: 0 <= left <= right <= width, the same downward.
    void EffectiveGuides(int& l, int& r, int& t, int& b, int& w, int& h) const;
    void ReportBadGuides();

    int left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
    int stretchMode_ = Tile;
    bool useRealSize_ = false;
    bool colorKey_ = true;
    pf::Point requested_;
    // The guides last reported as unusable, so a bad set is logged once.
    int reported_[4] = {0, 0, 0, 0};
    bool reportedAny_ = false;
};
