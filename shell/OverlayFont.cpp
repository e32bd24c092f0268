#include "shell/OverlayFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H

#include "shell/foundation/Log.h"
#include "shell/platform/FontLookup.h"
#include "shell/platform/LocalFiles.h"

namespace pf {

namespace {

constexpr const char* kDebianFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kAtlasWidth = 512;

struct FreeTypeFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeFace() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

}  // namespace

OverlayFont::OverlayFont() = default;
OverlayFont::~OverlayFont() = default;

std::string OverlayFont::FindFontFile() {
    if (IsRegularFile(kDebianFace)) return kDebianFace;
    return FindSystemFontFile("DejaVu Sans");
}

bool OverlayFont::Create(RenderDevice& device, int cellHeight, const std::string& fontFile) {
    texture_.reset();
    FreeTypeFace ft;
    if (fontFile.empty() || FT_Init_FreeType(&ft.library) != 0 ||
        FT_New_Face(ft.library, fontFile.c_str(), 0, &ft.face) != 0) {
        DebugStream() << "OverlayFont - no usable font file ('" << fontFile << "'); the overlay draws no text";
        return false;
    }
    FT_Size_RequestRec request = {};
    request.type = FT_SIZE_REQUEST_TYPE_CELL;
    request.height = FT_Long(cellHeight) << 6;
    if (FT_Request_Size(ft.face, &request) != 0) {
        DebugStream() << "OverlayFont - the face cannot be sized: '" << fontFile << "'";
        return false;
    }
    ascender_ = int(ft.face->size->metrics.ascender >> 6);
    lineHeight_ = cellHeight;

    // First pass: render every glyph and place it on shelves.
    struct Bitmap {
        std::vector<uint8_t> pixels;
        int width = 0, height = 0;
    };
    std::vector<Bitmap> bitmaps(kLast + 1);
    int penX = 1, penY = 1, shelf = 0;
    for (int c = kFirst; c <= kLast; ++c) {
        Glyph& g = glyphs_[c];
        g = Glyph();
        if (FT_Load_Char(ft.face, FT_ULong(c), FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot slot = ft.face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.width > 0) continue;
        Bitmap& b = bitmaps[c];
        b.width = int(bm.width);
        b.height = int(bm.rows);
        b.pixels.resize(size_t(b.width) * b.height);
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) b.pixels[size_t(y) * b.width + x] = bm.buffer[y * bm.pitch + x];
        if (penX + b.width + 1 > kAtlasWidth) {
            penX = 1;
            penY += shelf + 1;
            shelf = 0;
        }
        g.x = penX;
        g.y = penY;
        g.width = b.width;
        g.height = b.height;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.advance = int(slot->advance.x >> 6);
        g.present = true;
        penX += b.width + 1;
        if (b.height > shelf) shelf = b.height;
    }
    int height = 1;
    while (height < penY + shelf + 1) height *= 2;

    my_intrusive_ptr<DeviceTexture> texture;
    if (!Succeeded(device.CreateTexture(kAtlasWidth, height, 1, UsageNone, DeviceFormat::A8, MemoryPool::Managed,
                                        texture))) {
        DebugStream() << "OverlayFont - the glyph texture cannot be made";
        return false;
    }
    LockedRect locked;
    if (!Succeeded(texture->LockRect(0, nullptr, 0, locked))) return false;
    for (int y = 0; y < height; ++y) std::fill(locked.bits + size_t(y) * locked.pitch, locked.bits + size_t(y) * locked.pitch + kAtlasWidth, 0);
    for (int c = kFirst; c <= kLast; ++c) {
        const Glyph& g = glyphs_[c];
        const Bitmap& b = bitmaps[c];
        for (int y = 0; y < b.height; ++y)
            std::copy(b.pixels.begin() + ptrdiff_t(y) * b.width, b.pixels.begin() + ptrdiff_t(y + 1) * b.width,
                      locked.bits + size_t(g.y + y) * locked.pitch + g.x);
    }
    texture->UnlockRect(0);
    texture_ = texture;
    textureWidth_ = kAtlasWidth;
    textureHeight_ = height;
    return true;
}

void OverlayFont::Layout(const std::wstring& text, float x, float y, uint32_t colour,
                         std::vector<DeviceVertex>& out) const {
    if (!texture_) return;
    const float tw = float(textureWidth_), th = float(textureHeight_);
    float penX = x, baseline = y + float(ascender_);
    for (wchar_t ch : text) {
        if (ch == L'\n') {
            penX = x;
            baseline += float(lineHeight_);
            continue;
        }
        int c = int(ch);
        if (ch == L'\t') c = ' ';
        if (c < kFirst || c > kLast || !glyphs_[c].present) c = '?';
        const Glyph& g = glyphs_[c];
        if (g.present && g.width > 0 && g.height > 0) {
            const float x0 = penX + float(g.left), y0 = baseline - float(g.top);
            const float x1 = x0 + float(g.width), y1 = y0 + float(g.height);
            const float u0 = float(g.x) / tw, v0 = float(g.y) / th;
            const float u1 = float(g.x + g.width) / tw, v1 = float(g.y + g.height) / th;
            const DeviceVertex a{x0, y0, 0, colour, u0, v0}, b{x1, y0, 0, colour, u1, v0};
            const DeviceVertex c2{x0, y1, 0, colour, u0, v1}, d{x1, y1, 0, colour, u1, v1};
            out.insert(out.end(), {a, b, c2, b, d, c2});
        }
        penX += float(g.advance);
    }
}

}  // namespace pf
