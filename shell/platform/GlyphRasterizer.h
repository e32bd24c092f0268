// The glyph rasteriser behind the font glyph caches: a font file's characters measured and
// drawn as 8-bit coverage into a buffer in memory, through FreeType.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pf {

// 8-bit coverage pixels, row 0 at the top.
struct CoverageView {
    uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
};

// What the glyph cache builder asks of a rasteriser; tests give it made-up metrics.
class GlyphSource {
public:
    virtual ~GlyphSource() = default;
    // The extent of the single character as drawn: advance width and cell height.
    virtual void Extent(wchar_t ch, int& cx, int& cy) = 0;
    // Draws the character with its cell's top-left at (x, y) (the baseline at y plus the
    // ascent); coverage is combined by maximum, and whatever falls outside the view is cut.
    virtual void Draw(wchar_t ch, int x, int y, CoverageView& target) = 0;
};

struct GlyphStyle {
    int cellHeight = 40;  // ascent + descent in pixels
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// The OS path of a font file named by the engine: the name resolved case-insensitively
// against the working folder (or as an absolute path); when no such file exists and the
// name is a bare file name, the installed font of that file name (fontconfig, ignoring
// case). Empty when nothing is found.
std::string FindFontFile(const std::wstring& name);

// Opens the first face of the font file (an OS path) at the style's cell height. Null,
// with one log line, when FreeType cannot load or size it.
std::unique_ptr<GlyphSource> OpenFreeTypeGlyphs(const std::string& osPath, const GlyphStyle& style);

}  // namespace pf
