#include "shell/Font.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "shell/FontCacheFiles.h"
#include "shell/FontGlyphCache.h"
#include "shell/foundation/Log.h"
#include "shell/platform/GlyphRasterizer.h"

namespace pf {

namespace {

// Outline widths above this are taken as this (no page could hold such glyphs anyway).
constexpr float kMaxOutline = 1000.0f;

// Lines cut at '\n' (a final '\n' gives an empty last line); a line is as wide as the sum
// of spacing + advance over its characters, where advance(ch, previous, out) answers false
// for a character that adds nothing; previous is the character before ch on its line (0 at
// the line's start).
template <class Advance>
Point MeasureLines(const std::wstring& text, int spacing, int lineHeight, Advance advance) {
    long long widest = 0, line = 0;
    long long lines = 1;
    wchar_t previous = 0;
    for (wchar_t ch : text) {
        if (ch == L'\n') {
            widest = std::max(widest, line);
            line = 0;
            ++lines;
            previous = 0;
            continue;
        }
        long long step = 0;
        if (advance(ch, previous, step)) line += (long long)spacing + step;
        previous = ch;
    }
    widest = std::max(widest, line);
    const long long height = lines * lineHeight;
    return Point(int(std::clamp<long long>(widest, INT_MIN, INT_MAX)),
                 int(std::clamp<long long>(height, INT_MIN, INT_MAX)));
}

}  // namespace

int32_t CharDesc::KerningAfter(wchar_t previous) const {
    if (previous == 0) return 0;
    auto it = kerning.find(static_cast<uint32_t>(previous));
    return it == kerning.end() ? 0 : it->second;
}

Point MeasureWithCharMap(const CharMap& chars, const std::wstring& text, int spacing, int lineHeight, bool kerned) {
    return MeasureLines(text, spacing, lineHeight, [&chars, kerned](wchar_t ch, wchar_t previous, long long& step) {
        auto it = chars.find(static_cast<uint32_t>(ch));
        if (it == chars.end()) return false;
        step = (long long)it->second.xadvance + (kerned ? it->second.KerningAfter(previous) : 0);
        return true;
    });
}

Font::Font(const FontBase& desc) : FontBase(desc) {
    if (size <= 0) size = kDefaultFontSize;
    if (!(outline >= 0)) outline = 0;  // negative or not a number
    if (outline > kMaxOutline) outline = kMaxOutline;
}

Font::~Font() = default;

void Font::MeasureText(Point& out, const std::wstring& text, int spacing) const {
    if (hasCharMap_) {
        out = MeasureWithCharMap(charMap_, text, spacing, size);
        return;
    }
    out = MeasureLines(text, spacing, size, [this](wchar_t ch, wchar_t, long long& step) {
        step = GetGlyph(ch)->width;
        return true;
    });
}

void Font::GetGlyphOutlineRect(Rect& out, wchar_t ch) const {
    const int o = GetOutlineWidth();
    const Rect& g = *GetGlyph(ch);
    out = Rect(g.x - o, g.y - o, g.width + 2 * o, g.height + 2 * o);
}

// In double, as the sum is written: in float an outline of 0.0001 would round up to 1.
int Font::GetOutlineWidth() const { return static_cast<int>(static_cast<double>(outline) + 0.9999); }

const Rect* Font::GetGlyph(wchar_t ch) const {
    if (ch < kFontFirstChar || ch >= kFontFirstChar + kFontGlyphCount) return &glyphs_[0];
    return &glyphs_[ch - kFontFirstChar];
}

std::wstring Font::OutlineFileName() const {
    // The float widened first: an outline of 1.15 (just below it as a float) gives 114.
    const double hundredths = static_cast<double>(outline) * 100.0;
    return L"fonts/" + CacheName() + L"_outline_" + std::to_wstring(static_cast<int>(hundredths)) + L".png";
}

std::wstring Font::CacheName() const {
    std::wstring name = id;
    std::replace(name.begin(), name.end(), L'/', L'_');
    std::replace(name.begin(), name.end(), L'\\', L'_');
    return name;
}

bool Font::Load(ImageLoader* loader, FileSystem* fs, Display* display) {
    loaded_ = false;
    if (!loader || !fs || !display) {
        DebugStream() << "Font - '" << id << "' cannot load without an image loader, a file system and a display";
        return false;
    }
    // The id names the cache files: one that leaves the "fonts" folder (or names none)
    // would read and overwrite files elsewhere on the machine.
    if (!StaysInsideFolder(id)) return false;
    if (!CacheExists(fs)) RenderGlyphCache(*fs, *loader);
    if (LoadXml(loader, fs, display)) hasCharMap_ = true;
    // Without the cache there are no glyph rectangles to draw with, whatever the XML
    // description held; a cache page that did not decode leaves the font unusable too.
    if (CacheExists(fs)) {
        LoadCache(loader, fs, display);
        loaded_ = bool(page_);
    }
    return loaded_;
}

bool Font::RenderGlyphCache(FileSystem& fs, ImageLoader& loader) {
    const std::string path = FindFontFile(file);
    if (path.empty()) {
        DebugStream() << "Font - no font file '" << file << "'; no glyph cache for '" << id << "'";
        return false;
    }
    FontNames names;
    if (!ReadTrueTypeNamesAt(path, names)) {
        DebugStream() << "Font - no family name in '" << file << "'; no glyph cache for '" << id << "'";
        return false;
    }
    // A cell taller than the render buffer can never be placed (and 4 x size must not
    // overflow): refused before the font is opened and its huge glyphs rendered.
    if (size > kGlyphRenderSide / 4) {
        DebugStream() << "Font - size " << size << " is too large for a glyph page; no glyph cache for '" << id
                      << "'";
        return false;
    }
    GlyphStyle style;
    style.cellHeight = 4 * size;
    style.bold = bold;
    style.italic = italic;
    style.underline = underline;
    std::unique_ptr<GlyphSource> glyphs = OpenFreeTypeGlyphs(path, style);
    return glyphs && RenderGlyphCache(fs, loader, *glyphs);
}

bool Font::RenderGlyphCache(FileSystem& fs, ImageLoader& loader, GlyphSource& glyphs) {
    if (!StaysInsideFolder(id)) return false;
    Rect rects[kFontGlyphCount];
    MemorySurface page;
    if (!RenderGlyphPage(glyphs, GetOutlineWidth() + 1, rects, page)) return false;
    bool userFolder = false;
    if (!ChooseCacheFolder(fs, L"the glyph cache of '" + id + L"'", userFolder)) return false;
    // Files of an earlier cache must not pair with the new page: the map is written last,
    // so a page cut short leaves no map beside it, and an outline made from the old page
    // is made again.
    std::remove(CacheOsPath(fs, MapFileName(), userFolder).c_str());
    if (outline >= 1) std::remove(CacheOsPath(fs, OutlineFileName(), userFolder).c_str());
    if (!WriteCacheImage(fs, loader, PageFileName(), userFolder, page.GetView())) return false;

    uint8_t bytes[kFontMapBytes];
    for (int i = 0; i < kFontGlyphCount; ++i) {
        const int32_t values[4] = {rects[i].x, rects[i].y, rects[i].width, rects[i].height};
        for (int k = 0; k < 4; ++k) {
            const uint32_t v = static_cast<uint32_t>(values[k]);
            uint8_t* p = bytes + 16 * i + 4 * k;
            p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
        }
    }
    if (!WriteCacheBytes(fs, MapFileName(), userFolder, bytes, kFontMapBytes)) return false;
    std::copy(rects, rects + kFontGlyphCount, glyphs_);
    return true;
}

}  // namespace pf
