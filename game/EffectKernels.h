// Colour kernels of the image effects, over four-byte A8R8G8B8 views (bytes b, g, r, a).
// Views of other pixel sizes, or of unequal sizes, are left untouched.
#pragma once

#include "shell/pixels/PixelView.h"
#include "shell/foundation/ValueTypes.h"

namespace game {

// The sepia matrix, row by row (R', G', B' from R, G, B).
extern const float kSepiaMatrix[9];

// dst = (grey, grey, grey, src alpha) with grey = 0.2125 R + 0.7154 G + 0.0721 B in
// single-precision weights (their sum is just below 1: white gives 254), truncated.
void DesaturateView(const pf::PixelView& src, pf::PixelView& dst);
// dst = (m * (R, G, B), src alpha), each result rounded to a float, then clamped to 0..255
// and truncated. A null matrix is the sepia matrix. src and dst may be the same view.
void ColorMatrixView(const float* m, const pf::PixelView& src, pf::PixelView& dst);
// Every pixel becomes the colour.
void FillView(pf::PixelView& view, const pf::Color& c);

}  // namespace game
