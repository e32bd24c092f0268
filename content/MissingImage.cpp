#include "content/MissingImage.h"

#include <algorithm>
#include <cstdint>

#include "shell/ImageKernels.h"
#include "shell/OverlayFont.h"
#include "shell/platform/FreeTypeFace.h"

namespace {

constexpr int kTextPixelHeight = 16;

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
        ready_ = !file.empty() && face_.Open(file) && face_.SetPixelHeight(kTextPixelHeight);
    }
    bool Draw(pf::PixelView& view, int x, int y, const std::wstring& text) {
        if (!ready_ || !view.data || view.bytesPerPixel != 4) return false;
        const int ascender = int(face_.Ascender26_6() >> 6);
        int pen = x;
        for (wchar_t c : text) {
            if (pen >= view.width) break;
            if (!face_.RenderChar(uint32_t(c))) continue;
            const pf::FaceGlyph& glyph = face_.Glyph();
            // Only coverage bytes are read: a one-bit bitmap from the file has no such rows.
            if (glyph.gray) Blend(view, pen + glyph.left, y + ascender - glyph.top, glyph);
            pen += int(glyph.advance26_6 >> 6);
        }
        return true;
    }

private:
    static void Blend(pf::PixelView& view, int left, int top, const pf::FaceGlyph& glyph) {
        for (int row = 0; row < glyph.rows; ++row) {
            const int py = top + row;
            if (py < 0 || py >= view.height) continue;
            uint8_t* line = view.data + size_t(py) * size_t(view.pitch);
            const uint8_t* coverage = glyph.buffer + ptrdiff_t(row) * glyph.pitch;
            for (int col = 0; col < glyph.width; ++col) {
                const int px = left + col;
                if (px < 0 || px >= view.width || coverage[col] == 0) continue;
                uint8_t* p = line + size_t(px) * 4;
                for (int b = 0; b < 3; ++b) p[b] = std::max(p[b], coverage[col]);
            }
        }
    }

    pf::FreeTypeFace face_;
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
