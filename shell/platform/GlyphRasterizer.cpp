#include "shell/platform/GlyphRasterizer.h"

#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/FreeTypeFace.h"
#include "shell/platform/PathResolve.h"

namespace pf {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// The installed font whose file is named `fileName`, through fontconfig's font list.
std::string FindInstalledFont(const std::string& fileName) {
    std::string found;
    // A configuration of its own: loaders run on several threads, and nothing stays behind.
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet* fonts = (config && pattern && objects) ? FcFontList(config, pattern, objects) : nullptr;
    for (int i = 0; fonts && i < fonts->nfont && found.empty(); ++i) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file) continue;
        const std::string path(reinterpret_cast<const char*>(file));
        const size_t slash = path.rfind('/');
        if (EqualsIgnoringAsciiCase(path.substr(slash == std::string::npos ? 0 : slash + 1), fileName) &&
            IsRegularFile(path))
            found = path;
    }
    if (fonts) FcFontSetDestroy(fonts);
    if (objects) FcObjectSetDestroy(objects);
    if (pattern) FcPatternDestroy(pattern);
    if (config) FcConfigDestroy(config);
    return found;
}

int RoundPixels(long value26_6) { return int((value26_6 + 32) >> 6); }

class FreeTypeGlyphs : public GlyphSource {
public:
    bool Open(const std::string& path, const GlyphStyle& style) {
        style_ = style;
        if (!face_.Open(path)) {
            DebugStream() << "Font - FreeType cannot load the font file '" << path << "'";
            return false;
        }
        if (!face_.SetCellHeight(std::max(1, style.cellHeight))) {
            DebugStream() << "Font - the face in '" << path << "' cannot be sized to " << style.cellHeight
                          << " pixels";
            return false;
        }
        ascent_ = RoundPixels(face_.Ascender26_6());
        syntheticBold_ = style.bold && !face_.IsBold();
        syntheticOblique_ = style.italic && !face_.IsItalic();
        long position = 0, thickness = 0;
        if (face_.ScaledUnderline(position, thickness)) {
            underlineTop_ = -RoundPixels(position);
            underlineThickness_ = std::max(1, RoundPixels(thickness));
            underlineTop_ -= underlineThickness_ / 2;
        } else {
            underlineThickness_ = std::max(1, style.cellHeight / 20);
            underlineTop_ = std::max(1, (style.cellHeight - ascent_) / 2);
        }
        return true;
    }

    void Extent(wchar_t ch, int& cx, int& cy) override {
        cy = style_.cellHeight;
        cx = LoadRendered(ch) ? RoundPixels(face_.Glyph().advance26_6) : 0;
    }

    void Draw(wchar_t ch, int x, int y, CoverageView& target) override {
        if (!LoadRendered(ch)) return;
        const FaceGlyph& glyph = face_.Glyph();
        if (glyph.gray) Blit(glyph, x + glyph.left, y + ascent_ - glyph.top, target);
        if (style_.underline) {
            const int width = RoundPixels(glyph.advance26_6);
            FillBar(x, y + ascent_ + underlineTop_, width, underlineThickness_, target);
        }
    }

private:
    // Loads and renders the character unless it is the one rendered last (the cache builder
    // measures a character and draws it right after).
    bool LoadRendered(wchar_t ch) {
        if (haveLast_ && ch == last_) return lastOk_;
        haveLast_ = true;
        last_ = ch;
        lastOk_ = face_.RenderOutline(static_cast<uint32_t>(ch), syntheticOblique_, syntheticBold_);
        return lastOk_;
    }

    static void Blit(const FaceGlyph& glyph, int left, int top, CoverageView& target) {
        const int x0 = std::max(0, left), y0 = std::max(0, top);
        const int x1 = std::min(target.width, left + glyph.width), y1 = std::min(target.height, top + glyph.rows);
        for (int y = y0; y < y1; ++y) {
            const uint8_t* src = glyph.buffer + ptrdiff_t(y - top) * glyph.pitch + (x0 - left);
            uint8_t* dst = target.data + ptrdiff_t(y) * target.pitch + x0;
            for (int x = 0; x < x1 - x0; ++x) dst[x] = std::max(dst[x], src[x]);
        }
    }

    static void FillBar(int left, int top, int width, int height, CoverageView& target) {
        const int x0 = std::max(0, left), y0 = std::max(0, top);
        const int x1 = std::min(target.width, left + width), y1 = std::min(target.height, top + height);
        for (int y = y0; y < y1; ++y)
            if (x1 > x0) std::memset(target.data + ptrdiff_t(y) * target.pitch + x0, 255, size_t(x1 - x0));
    }

    FreeTypeFace face_;
    GlyphStyle style_;
    int ascent_ = 0;
    bool syntheticBold_ = false, syntheticOblique_ = false;
    int underlineTop_ = 0, underlineThickness_ = 1;  // the bar's top below the baseline
    bool haveLast_ = false, lastOk_ = false;
    wchar_t last_ = 0;
};

}  // namespace

std::string FindFontFile(const std::wstring& name) {
    if (name.empty()) return std::string();
    const std::string utf8 = ToUtf8(name);
    const bool absolute = utf8[0] == '/';
    const std::string path = ResolvePath(absolute ? "/" : "", absolute ? utf8.substr(1) : utf8);
    if (IsRegularFile(path)) return path;
    if (utf8.find('/') != std::string::npos || utf8.find('\\') != std::string::npos) return std::string();
    return FindInstalledFont(utf8);
}

std::unique_ptr<GlyphSource> OpenFreeTypeGlyphs(const std::string& osPath, const GlyphStyle& style) {
    auto glyphs = std::make_unique<FreeTypeGlyphs>();
    if (!glyphs->Open(osPath, style)) return nullptr;
    return glyphs;
}

}  // namespace pf
