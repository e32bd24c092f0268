// A panel covering at least a minimum size with whole tiles of its anim: one image, a
// 3 x 3 tile set (corners, edges, middle) or a vertical three-part strip.
#pragma once

#include "scene/Actor.h"

class TiledActor : public Actor {
public:
    TiledActor();

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::TiledActor || Actor::IsKindOf(typeId);
    }

    virtual pf::Point GetMinSize() const { return minSize_; }
    virtual void SetMinSize(const pf::Point& size);
    // Lays the tiles out for the minimum size and takes their size as the item's.
    virtual void Resize();

    bool GetColorKey() const { return colorKey_; }
    int GetRows() const { return rows_; }
    int GetColumns() const { return columns_; }

    int GetHeight() const override { return Item::GetHeight(); }
    int GetWidth() const override { return Item::GetWidth(); }
    int GetContentWidth() const override;
    int GetContentHeight() const override;
    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void Draw(const RenderState& in) override;
    void SetResAnim(ResAnim* r) override;

private:
    // Columns and rows of tileW x tileH tiles covering the minimum size, bounded; false
    // (nothing changed) for an empty tile. `report` logs a cut layout.
    bool ComputeLayout(int tileW, int tileH, bool report);
    void DrawTile(pf::Display* display, int loop, int cel, int x, int y);

    bool colorKey_ = true;
    pf::Point minSize_;
    int rows_ = 0;
    int columns_ = 0;
};
