// Draws an item with its subtree off screen and copies a rectangle of the picture into a
// surface.
#pragma once

#include "shell/foundation/ValueTypes.h"

namespace pf {
class Display;
class Surface;
}  // namespace pf
class Item;

// The off-screen size for a destination side: the next power of two, at least 2.
int OffscreenSide(int side);

// source: the rectangle of the off-screen picture (drawn with the item at its own
// position); destination: where it goes in target, of the same size, which must also be
// target's size. True when the picture was drawn and copied; false (with a log line) on a
// size mismatch, a rectangle outside either surface, a failed off-screen surface or
// render target, or a failed copy.
bool renderItemIntoSurface(pf::Display* display, Item* item, pf::Rect source, pf::Surface* target,
                           pf::Rect destination);
