#include "shell/platform/GlyphRasterizer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
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

int RoundPixels(FT_Pos value26_6) { return int((value26_6 + 32) >> 6); }

class FreeTypeGlyphs : public GlyphSource {
public:
    ~FreeTypeGlyphs() override {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }

    bool Open(const std::string& path, const GlyphStyle& style) {
        style_ = style;
        if (FT_Init_FreeType(&library_) != 0 || FT_New_Face(library_, path.c_str(), 0, &face_) != 0) {
            DebugStream() << "Font - FreeType cannot load the font file '" << path << "'";
            return false;
        }
        FT_Size_RequestRec request = {};
        request.type = FT_SIZE_REQUEST_TYPE_CELL;
        request.height = FT_Long(std::max(1, style.cellHeight)) * 64;
        if (FT_Request_Size(face_, &request) != 0) {
            DebugStream() << "Font - the face in '" << path << "' cannot be sized to " << style.cellHeight
                          << " pixels";
            return false;
        }
        ascent_ = RoundPixels(face_->size->metrics.ascender);
        syntheticBold_ = style.bold && !(face_->style_flags & FT_STYLE_FLAG_BOLD);
        syntheticOblique_ = style.italic && !(face_->style_flags & FT_STYLE_FLAG_ITALIC);
        if (FT_IS_SCALABLE(face_) && face_->underline_thickness > 0) {
            const FT_Fixed scale = face_->size->metrics.y_scale;
            underlineTop_ = -RoundPixels(FT_MulFix(face_->underline_position, scale));
            underlineThickness_ = std::max(1, RoundPixels(FT_MulFix(face_->underline_thickness, scale)));
            underlineTop_ -= underlineThickness_ / 2;
        } else {
            underlineThickness_ = std::max(1, style.cellHeight / 20);
            underlineTop_ = std::max(1, (style.cellHeight - ascent_) / 2);
        }
        return true;
    }

    void Extent(wchar_t ch, int& cx, int& cy) override {
        cy = style_.cellHeight;
        cx = LoadRendered(ch) ? RoundPixels(face_->glyph->advance.x) : 0;
    }

    void Draw(wchar_t ch, int x, int y, CoverageView& target) override {
        if (!LoadRendered(ch)) return;
        const FT_GlyphSlot slot = face_->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
            Blit(bitmap, x + slot->bitmap_left, y + ascent_ - slot->bitmap_top, target);
        if (style_.underline) {
            const int width = RoundPixels(slot->advance.x);
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
        lastOk_ = false;
        if (FT_Load_Char(face_, FT_ULong(static_cast<uint32_t>(ch)), FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0)
            return false;
        if (syntheticOblique_) FT_GlyphSlot_Oblique(face_->glyph);
        if (syntheticBold_) FT_GlyphSlot_Embolden(face_->glyph);
        lastOk_ = FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_NORMAL) == 0;
        return lastOk_;
    }

    static void Blit(const FT_Bitmap& bitmap, int left, int top, CoverageView& target) {
        const int width = int(bitmap.width), rows = int(bitmap.rows);
        const int x0 = std::max(0, left), y0 = std::max(0, top);
        const int x1 = std::min(target.width, left + width), y1 = std::min(target.height, top + rows);
        for (int y = y0; y < y1; ++y) {
            const uint8_t* src = bitmap.buffer + ptrdiff_t(y - top) * bitmap.pitch + (x0 - left);
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

    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
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
