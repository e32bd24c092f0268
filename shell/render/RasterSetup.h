// Vertex transform and primitive setup of the software rasteriser.
//
// Vertices are row vectors: (x, y, z, 1) x world x view x projection, divided by w, then
// mapped onto the viewport with y growing downwards. Pixel (i, j) is sampled at screen
// point (i, j): a quad whose corners sit half a pixel before whole coordinates covers
// exactly the pixels inside it, and its texel centres land on pixel centres (so the
// display's half-pixel view shift puts each pixel centre at game coordinate i + 0.5).
// Triangles follow the top-left fill rule on screen positions snapped to 1/256 pixel
// with exact integer edge stepping, so triangles sharing an edge neither leave a gap nor
// cover a pixel twice.
#pragma once

#include <cstdint>

#include "shell/foundation/VectorMath.h"
#include "shell/render/KeptPicture.h"
#include "shell/render/RasterSpans.h"
#include "shell/render/SoftDeviceTypes.h"

namespace pf {

// Where spans go: 32-bit pixels and the scissor rectangle [x0, x1) x [y0, y1).
struct RasterTarget {
    uint32_t* pixels = nullptr;
    int pitch = 0;  // in pixels
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    // A clear of the whole target not yet written (the device's first draw after a
    // clear): RasterQuad then draws only an axis-aligned rectangle, its rows standing
    // for `colour` where the drawing does not write them (FillRows), and says which
    // rectangle it wrote; any other shape it leaves undrawn (answers false) for the
    // device to settle the clear first.
    struct OwedFill {
        uint32_t colour = 0;
        bool written = false;  // the rectangle below was filled and drawn
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        // The target's kept picture, when the device keeps one: a picture drawn scaled
        // goes through it (`keptHeld`: the target holds what it last drew), and
        // `keptDrawn` says so.
        KeptPicture* kept = nullptr;
        bool keptHeld = false;
        bool keptDrawn = false;
    };
    OwedFill* owed = nullptr;
};

struct ScreenVertex {
    float x = 0, y = 0;
    float u = 0, v = 0;
    uint32_t color = 0;
    bool valid = false;  // false when w <= 0 or the position is not finite
};

// m: world x view x projection.
void TransformVertices(const MatrixT& m, const Viewport& vp, const DeviceVertex* in, int n,
                       ScreenVertex* out);

void RasterTriangle(const PixelPipeline& p, const RasterTarget& t, const ScreenVertex& a,
                    const ScreenVertex& b, const ScreenVertex& c, uint32_t cullMode);

// Two strip triangles a b c and c b d drawn as one quad, with exactly their pixels.
// False (nothing drawn) unless the four corners form a parallelogram over which texture
// coordinates and colours vary linearly.
bool RasterQuad(const PixelPipeline& p, const RasterTarget& t, const ScreenVertex& a,
                const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex& d, uint32_t cullMode);

// Pixels along the major axis from a towards b, the last one left out.
void RasterLine(const PixelPipeline& p, const RasterTarget& t, const ScreenVertex& a,
                const ScreenVertex& b);

}  // namespace pf
