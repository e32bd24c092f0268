// Records handed down the tree: RenderState while drawing, TreeState with events.
#pragma once

#include "shell/foundation/ValueTypes.h"
#include "shell/foundation/VectorMath.h"

namespace pf {
class Display;
}

struct RenderState {
    pf::Display* display = nullptr;
    bool drawChildren = true;
    int alpha = 255;
    pf::MatrixT world = pf::MatrixT::MakeIdentity();
    pf::Rect clipRect;
};

struct TreeState {
    bool visible = true;
    bool enable = true;
    // Pause counter of the nearest clock handler at or above the item.
    int pauseCount = 0;
    pf::MatrixT matrix = pf::MatrixT::MakeIdentity();
    // The event's mouse position in the current item's coordinates.
    pf::VectorT3 mouse;
};
