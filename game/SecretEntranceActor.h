// A private copy of an image cut into cells of 40 x 40 pixels whose transparency changes
// cell by cell: a cell made opaque or transparent, or a cell-sized area taking its alpha
// from a mask. The copy is the actor's drawn surface; the source image stays untouched.
#pragma once

#include "scene/Actor.h"
#include "scene/ResAnim.h"

namespace pf {
class Display;
}

class SecretEntranceActor : public Actor {
public:
    // Copies the image's current surface into a new A8R8G8B8 texture of the display and
    // shows it; nothing happens without an image, and a surface that cannot be made or
    // filled leaves the actor without one.
    void Init(pf::Display* display, ResAnim* image, unsigned rows, unsigned columns);
    // Alpha 255 or 0 over the cell's part inside the image; cells outside the grid are
    // ignored.
    void SetCellStatus(int column, int row, bool opaque);
    // Offset of the cell grid inside the image.
    void SetShift(const pf::Point& shift) {
        shiftX_ = shift.x;
        shiftY_ = shift.y;
    }
    // The alpha of the cell-sized area at (x, y) + shift from byte 2 (red) of the mask;
    // the part of the area clipped away by the image's edge is skipped in the mask too.
    void Cut(int x, int y, ResAnim* mask);

    my_intrusive_ptr<pf::Surface> GetCopy() const { return surface_; }

private:
    // The rectangle (x, y, cell size) clipped to the copy; empty when nothing is left.
    pf::Rect ClipToCopy(int x, int y) const;

    int shiftX_ = 0;
    int shiftY_ = 0;
    int columns_ = 0;
    int rows_ = 0;
    int cellWidth_ = 40;
    int cellHeight_ = 40;
    my_intrusive_ptr<pf::Surface> surface_;
};
