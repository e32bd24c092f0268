// Places rectangles left to right in rows ("shelves") across a strip of fixed width, as
// glyph pages and atlases are laid out: a rectangle that would reach past the strip's right
// edge starts a new shelf below the tallest rectangle of the current one.
#pragma once

#include "shell/foundation/ValueTypes.h"

namespace pf {

class ShelfPacker {
public:
    // `border`: free space above the first shelf and left of each shelf's first rectangle;
    // `gap`: free space right of and below every rectangle (the strip's right edge
    // included); `align`: positions are rounded down to a multiple of it.
    ShelfPacker(int stripWidth, int border, int gap, int align = 1);

    // The top-left of a width x height rectangle. One too wide for an empty shelf is still
    // placed, at the start of its shelf, and reaches past the right edge: callers that
    // cannot have that check Fits first.
    Point Place(int width, int height);
    // Whether a rectangle this wide fits on an empty shelf.
    bool Fits(int width) const { return border_ + width + gap_ <= stripWidth_; }
    // The strip's height so far: the current shelf's top, its tallest rectangle and a gap.
    int Height() const { return y_ + shelf_ + gap_; }

private:
    int AlignDown(int v) const { return v / align_ * align_; }

    int stripWidth_, border_, gap_, align_;
    int x_, y_, shelf_ = 0;
    bool shelfEmpty_ = true;
};

}  // namespace pf
