// Span filling of the software rasteriser: texture sampling, the two texture stages,
// the alpha test and blending, applied to one horizontal run of pixels at a time.
//
// The device resolves its states into a PixelPipeline once per draw call; each triangle
// then picks one span function (a specialised loop for the common state combinations, or
// the generic loop for everything else) and calls it for each of its spans.
#pragma once

#include <cstdint>

#include "shell/render/SoftDeviceTexture.h"
#include "shell/render/SoftDeviceTypes.h"

namespace pf {

// The device states a span needs, read once per draw call.
struct PixelPipeline {
    TexelView tex;         // stage-0 texture (texels null: none bound)
    uint32_t magFilter = SamplePoint, minFilter = SamplePoint;
    uint32_t addressU = AddressClamp, addressV = AddressClamp;
    // [stage][0 colour, 1 alpha]: op, arg1, arg2
    uint32_t op[2][2] = {{TopModulate, TopSelectArg1}, {TopDisable, TopDisable}};
    uint32_t arg1[2][2] = {{ArgTexture, ArgTexture}, {ArgTexture, ArgTexture}};
    uint32_t arg2[2][2] = {{ArgCurrent, ArgCurrent}, {ArgCurrent, ArgCurrent}};
    uint32_t textureFactor = 0xFFFFFFFFu;
    bool alphaTest = false;
    uint32_t alphaFunc = CmpAlways, alphaRef = 0;
    bool blend = false;
    uint32_t srcBlend = BlendOne, destBlend = BlendZero;
    uint32_t dstAlphaOr = 0;  // 0xFF000000 for a target without alpha

    // Filled by Resolve.
    int alphaMin = 0;         // fast paths: a pixel is written when its alpha >= alphaMin
    bool drawsNothing = false;
    bool fast = false;        // the states fit the specialised loops
    int stageKind = 0;        // fast paths: 0 texture only, 1 texture x diffuse, 2 diffuse only
    bool bright = false;      // stage 1 adds the texture factor's colour
    int blendKind = 0;        // 0 none, 1 alpha, 2 add, 3 add with alpha, 4 other factors
    bool usesTexture = false;
    bool forceGeneric = false;  // test hook: always take the generic loop

    void Resolve();
};

// Interpolated values at the first pixel of a span, and their steps per pixel.
struct SpanStart {
    int64_t u = 0, v = 0, du = 0, dv = 0;  // texels, 16.16; bilinear values are already
                                           // moved by half a texel to the texel corners
    int32_t c[4] = {0, 0, 0, 0};           // a, r, g, b in 8.16
    int32_t dc[4] = {0, 0, 0, 0};
    uint32_t color = 0;                    // the constant colour of a flat primitive
    bool gouraud = false;                  // colours come from c rather than color
    uint32_t filter = SamplePoint;         // the filter chosen for the primitive
};

using SpanFn = void (*)(const PixelPipeline& p, uint32_t* dst, int n, const SpanStart& s);

// The span function for a primitive: flat (all vertices of one colour, given) or
// Gouraud, and the texture filter chosen for it.
SpanFn SelectSpan(const PixelPipeline& p, bool gouraud, uint32_t flatColor, uint32_t filter);

// Whether FillRows draws rows of `span`, n pixels wide stepping (du, dv) texels a pixel
// and all starting at the same u, through pf::FrameScaler (the same pixels): unrotated,
// unblended bilinear texels of a picture not shrunk below half its size.
bool ScaledRows(SpanFn span, int n, int64_t du, int64_t dv);

// Rows of one flat-coloured primitive that share a span function and a length: row k
// starts at dst + k x pitch with the texel start (u[k], v[k]); the rest of `start` is
// common. The same pixels as calling span row by row. With `fill`, the rows' pixels are
// not yet written and stand for *fill (a clear owed to them).
void FillRows(const PixelPipeline& p, SpanFn span, uint32_t* dst, int pitch, int n, int rows,
              const SpanStart& start, const int64_t* u, const int64_t* v, const uint32_t* fill = nullptr);

// Whether the 256-bit loops run where the processor has them (on by default); answers
// whether they now run. For tests of the narrower loops.
bool UseWideVectorSpans(bool on);
// Whether they run now.
bool WideVectorSpans();

// Exact round(x / 255) for 0 <= x <= 65535 + 127.
inline uint32_t Div255(uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

}  // namespace pf
