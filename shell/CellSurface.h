// A rectangle of another surface (one cel of an animation strip).
#pragma once

#include "shell/pixels/Surface.h"

namespace pf {

class CellSurface : public Surface {
public:
    CellSurface(const SurfacePtr& source, const Rect& cell) : source_(source), cell_(cell) {}

    const SurfacePtr& GetSource() const { return source_; }
    const Rect& GetCell() const { return cell_; }

    int GetWidth() const override { return cell_.width; }
    int GetHeight() const override { return cell_.height; }
    PixelFormat GetFormat() const override;
    // The rect is moved by the cell's position (the whole cell without a rect).
    void Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) override;
    void Unlock() override;
    void Draw(Display* display, const Rect* source, const Rect* destination) override;

private:
    // The rect in the source's coordinates; false when it would leave the int range.
    bool Map(const Rect* rect, Rect& mapped) const;

    SurfacePtr source_;
    Rect cell_;
};

}  // namespace pf
