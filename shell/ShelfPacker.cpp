#include "shell/ShelfPacker.h"

#include <algorithm>

namespace pf {

ShelfPacker::ShelfPacker(int stripWidth, int border, int gap, int align)
    : stripWidth_(stripWidth), border_(border), gap_(gap), align_(std::max(1, align)), x_(border), y_(AlignDown(border)) {}

Point ShelfPacker::Place(int width, int height) {
    // A new shelf cannot help a rectangle that does not fit on an empty one.
    if (x_ + width + gap_ > stripWidth_ && !shelfEmpty_) {
        x_ = border_;
        y_ = AlignDown(y_ + shelf_ + gap_);
        shelf_ = 0;
    }
    const Point at(AlignDown(x_), y_);
    x_ = at.x + width + gap_;
    shelf_ = std::max(shelf_, height);
    shelfEmpty_ = false;
    return at;
}

}  // namespace pf
