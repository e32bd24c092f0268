#include "content/MissingImage.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdint>

#include "shell/ImageKernels.h"
#include "shell/OverlayFont.h"

namespace {

constexpr int kTextPixelHeight = 16;

struct Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

const std::string& FontFile() {
    static const std::string file = pf::OverlayFont::FindFontFile();
    return file;
}

// Same text, same noise: a small generator seeded from the text.
uint32_t Seed(const std::wstring& id, const std::wstring& path) {
    uint32_t h = 2166136261u;
    for (wchar_t c : id + L"\n" + path) h = (h ^ uint32_t(c)) * 16777619u;
    return h | 1;
}

// The overlay's face, opened once per stand-in image.
class TextPainter {
public:
    TextPainter() {
        const std::string& file = FontFile();
        ready_ = !file.empty() && FT_Init_FreeType(&ft_.library) == 0 &&
                 FT_New_Face(ft_.library, file.c_str(), 0, &ft_.face) == 0 &&
                 FT_Set_Pixel_Sizes(ft_.face, 0, kTextPixelHeight) == 0;
    }
    bool Draw(pf::PixelView& view, int x, int y, const std::wstring& text) {
        if (!ready_ || !view.data || view.bytesPerPixel != 4) return false;
        const int ascender = int(ft_.face->size->metrics.ascender >> 6);
        int pen = x;
        for (wchar_t c : text) {
            if (pen >= view.width) break;
            if (FT_Load_Char(ft_.face, FT_ULong(c), FT_LOAD_RENDER) != 0) continue;
            const FT_GlyphSlot slot = ft_.face->glyph;
            const FT_Bitmap& bitmap = slot->bitmap;
            const int left = pen + slot->bitmap_left, top = y + ascender - slot->bitmap_top;
            for (int row = 0; row < int(bitmap.rows); ++row) {
                const int py = top + row;
                if (py < 0 || py >= view.height) continue;
                uint8_t* line = view.data + size_t(py) * size_t(view.pitch);
                const uint8_t* coverage = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
                for (int col = 0; col < int(bitmap.width); ++col) {
                    const int px = left + col;
                    if (px < 0 || px >= view.width || coverage[col] == 0) continue;
                    uint8_t* p = line + size_t(px) * 4;
                    for (int b = 0; b < 3; ++b) p[b] = std::max(p[b], coverage[col]);
                }
            }
            pen += int(slot->advance.x >> 6);
        }
        return true;
    }

private:
    Face ft_;
    bool ready_ = false;
};

}  // namespace

bool DrawLightText(pf::PixelView& view, int x, int y, const std::wstring& text) {
    TextPainter painter;
    return painter.Draw(view, x, y, text);
}

void FillMissingImage(pf::PixelView& view, const std::wstring& id, const std::wstring& path) {
    if (!view.data || view.bytesPerPixel != 4) return;
    uint32_t state = Seed(id, path);
    for (int y = 0; y < view.height; ++y) {
        uint8_t* p = view.data + size_t(y) * size_t(view.pitch);
        for (int x = 0; x < view.width; ++x, p += 4) {
            for (int b = 0; b < 3; ++b) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                p[b] = uint8_t(state % 255);
            }
            p[3] = 255;
        }
    }
    pf::BlurView(view, view, 4);
    std::wstring lineA, lineB;
    for (int i = 0; i < 5; ++i) {
        lineA += L"id: " + id + L"  ";
        lineB += L"p: " + path + L"  ";
    }
    TextPainter painter;
    for (int y = 5; y < view.height; y += 50) {
        painter.Draw(view, 5, y, lineA);
        painter.Draw(view, 5, y + 30, lineB);
    }
    pf::FillAlpha(view, 255);
}
