#include "shell/FontGlyphCache.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "shell/Font.h"
#include "shell/foundation/Log.h"
#include "shell/ShelfPacker.h"

namespace pf {

bool DrawGlyphPage(GlyphSource& glyphs, int margin, CoverageView& coverage, Rect* rects, int& height4x) {
    height4x = 0;
    const int o = std::max(0, margin);
    if (o > kGlyphRenderSide / 16) {
        DebugStream() << "Font - an outline margin of " << o << " pixels leaves no room for the glyphs";
        return false;
    }
    // Cells with their margins, one page pixel apart, on whole page pixels.
    ShelfPacker shelves(kGlyphRenderSide, 0, 4, 4);
    int needed = 0;
    for (int i = 0; i < kFontGlyphCount; ++i) {
        const wchar_t ch = static_cast<wchar_t>(kFontFirstChar + i);
        int cx = 0, cy = 0;
        glyphs.Extent(ch, cx, cy);
        // A cell, its margins and the gap after it fit on one shelf: a wider glyph is cut
        // to the page rather than given a rectangle past its edge.
        cx = std::clamp(cx, 0, kGlyphRenderSide - 8 * o - 4);
        cy = std::clamp(cy, 0, kGlyphRenderSide);
        const Point at = shelves.Place(cx + 8 * o, cy + 8 * o);
        if (at.y >= kGlyphRenderSide) {
            DebugStream() << "Font - the glyphs do not fit in one page (cell " << cx << " x " << cy << ")";
            return false;
        }
        rects[i] = Rect(at.x / 4 + o, at.y / 4 + o, cx / 4 + 1, cy / 4);
        glyphs.Draw(ch, at.x + 4 * o, at.y + 4 * o, coverage);
        // The glyph's rows and its margin below must lie above the page's last row, which
        // the filter leaves empty.
        needed = std::max(needed, at.y + 4 * o + cy + 4);
    }
    if (needed >= kGlyphRenderSide) {
        DebugStream() << "Font - the glyphs do not fit in one page (" << needed << " rows at 4x)";
        return false;
    }
    height4x = kGlyphRenderSide;
    for (int h = 256; h < kGlyphRenderSide; h *= 2) {
        if (h > needed) {
            height4x = h;
            break;
        }
    }
    return true;
}

void BoxFilterGlyphPage(const CoverageView& coverage, int height4x, PixelView& page) {
    const int rows = std::min({(height4x - 1) / 4, page.height, (coverage.height) / 4});
    const int columns = std::min({kGlyphPageWidth - 1, page.width, coverage.width / 4});
    for (int r = 0; r < rows; ++r) {
        const uint8_t* src = coverage.data + ptrdiff_t(4 * r) * coverage.pitch;
        uint32_t* dst = reinterpret_cast<uint32_t*>(page.data + ptrdiff_t(r) * page.pitch);
        for (int c = 0; c < columns; ++c) {
            const uint8_t* block = src + 4 * c;
            unsigned sum = 0;
            for (int k = 0; k < 4; ++k) {
                const uint8_t* row = block + ptrdiff_t(k) * coverage.pitch;
                sum += unsigned(row[0]) + row[1] + row[2] + row[3];
            }
            dst[c] = (sum / 16) << 24 | 0x00FFFFFFu;
        }
    }
}

bool RenderGlyphPage(GlyphSource& glyphs, int margin, Rect* rects, MemorySurface& page) {
    // calloc: the pages of the buffer that no glyph touches are never written.
    const size_t bytes = size_t(kGlyphRenderSide) * kGlyphRenderSide;
    std::unique_ptr<uint8_t, decltype(&std::free)> buffer(static_cast<uint8_t*>(std::calloc(bytes, 1)), &std::free);
    if (!buffer) {
        DebugStream() << "Font - no memory for the glyph render buffer";
        return false;
    }
    CoverageView coverage{buffer.get(), kGlyphRenderSide, kGlyphRenderSide, kGlyphRenderSide};
    int height4x = 0;
    if (!DrawGlyphPage(glyphs, margin, coverage, rects, height4x)) return false;
    page.Init(kGlyphPageWidth, height4x / 4, 4, PixelFormat::A8R8G8B8);
    PixelView view = page.GetView();
    BoxFilterGlyphPage(coverage, height4x, view);
    return true;
}

}  // namespace pf
