// Building a font's glyph page: every character 32 .. 255 measured and drawn at four times
// the size into one coverage buffer, then box-filtered down to the 1024-pixel-wide page.
#pragma once

#include "shell/pixels/MemorySurface.h"
#include "shell/foundation/ValueTypes.h"
#include "shell/platform/GlyphRasterizer.h"

namespace pf {

constexpr int kGlyphRenderSide = 4096;  // the coverage buffer, in 4x pixels
constexpr int kGlyphPageWidth = kGlyphRenderSide / 4;

// Places and draws the characters into the coverage buffer (kGlyphRenderSide square);
// `margin` is the free border around each glyph in page pixels. Fills the page rectangles
// (index = character - 32) and the page height in 4x pixels (256, 512, ... 4096: enough
// for the bottom row's glyphs with their margin). False, with one log line, when the
// glyphs do not fit in the buffer.
bool DrawGlyphPage(GlyphSource& glyphs, int margin, CoverageView& coverage, Rect* rects, int& height4x);

// page (kGlyphPageWidth x height4x / 4, A8R8G8B8): each pixel white with alpha = the sum of
// its 4 x 4 block of coverage / 16. The last row and column stay 0.
void BoxFilterGlyphPage(const CoverageView& coverage, int height4x, PixelView& page);

// Both steps with a buffer of its own: page becomes the filtered A8R8G8B8 page.
bool RenderGlyphPage(GlyphSource& glyphs, int margin, Rect* rects, MemorySurface& page);

}  // namespace pf
