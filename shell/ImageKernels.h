// Pixel kernels over four-byte pixels (bytes b, g, r, a) in memory views. Callers lock
// and pass views; the views' format field is ignored.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/Display.h"
#include "shell/pixels/PixelView.h"
#include "shell/foundation/ValueTypes.h"

namespace pf {

// dst filled from src by nearest neighbour, any sizes.
void ScaleView(const PixelView& src, PixelView& dst);
// Separable blur with weights (r + 1 - |d|)^2; radius 0..15 (others do nothing), sizes
// must be equal. src and dst may be the same view.
void BlurView(const PixelView& src, PixelView& dst, int radius);
// dst = the glow of src's alpha dilated by a disc of the radius, in the colour. Nothing
// when the sizes differ or the radius is negative or above about 14. src and dst may be
// the same view.
void GlowView(const PixelView& src, PixelView& dst, const Color& colour, float radius);
// image alpha = mask byte 2 (red of an A8R8G8B8 mask); nothing when the sizes differ.
void ApplyAlphaMask(const PixelView& mask, PixelView& image);
// Appends the textured quad source -> destination as two triangles (six vertices).
void AddTexturedQuad(std::vector<DisplayVertex>& vertices, float textureWidth,
                     float textureHeight, const Rect& source, const Rect& destination,
                     uint32_t colour);

}  // namespace pf
