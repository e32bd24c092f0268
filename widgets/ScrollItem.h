// A container scrolled inside its parent: it measures its content, moves itself to a
// scroll position and clips its drawing to the parent's rectangle.
#pragma once

#include "scene/Item.h"

class ScrollItem : public Item {
public:
    ScrollItem();
    ~ScrollItem() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::ScrollItem || Item::IsKindOf(typeId); }

    virtual int GetLineSize() const { return lineSize_; }
    virtual int GetPageSize() const { return pageSize_; }
    virtual void SetLineSize(int n) { lineSize_ = n; }
    virtual void SetPageSize(int n) { pageSize_ = n; }
    // With a parent: the content is taller than the parent.
    virtual bool IsScrollable();
    // The item's origin united with its descendants' rectangles, in root coordinates.
    virtual pf::Rect UpdateContentBounds();
    virtual bool CanScrollX() const;
    virtual bool CanScrollY() const;
    // Fractions 0..1 of the overhang: (0, 0) shows the top-left of the content.
    virtual void ScrollTo(double fx, double fy);

    pf::Rect GetContentBounds() const { return contentBounds_; }
    pf::Point GetScrollOffset() const { return scrollOffset_; }

    // The clip rectangle stays put in the parent while the content moves.
    pf::Rect GetClipRect() const override;
    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void Draw(const RenderState& in) override;

private:
    pf::Rect contentBounds_;
    int lineSize_ = 30;
    pf::Point scrollOffset_;
    int pageSize_ = 200;
};
