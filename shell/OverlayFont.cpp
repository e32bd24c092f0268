#include "shell/OverlayFont.h"

#include "shell/foundation/Log.h"
#include "shell/ShelfPacker.h"
#include "shell/platform/FontLookup.h"
#include "shell/platform/FreeTypeFace.h"
#include "shell/platform/LocalFiles.h"

namespace pf {

namespace {

constexpr const char* kDebianFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kAtlasWidth = 512;

}  // namespace

OverlayFont::OverlayFont() = default;
OverlayFont::~OverlayFont() = default;

std::string OverlayFont::FindFontFile() {
    if (IsRegularFile(kDebianFace)) return kDebianFace;
    return FindSystemFontFile("DejaVu Sans");
}

bool OverlayFont::Create(RenderDevice& device, int cellHeight, const std::string& fontFile) {
    texture_.reset();
    FreeTypeFace face;
    if (fontFile.empty() || !face.Open(fontFile)) {
        DebugStream() << "OverlayFont - no usable font file ('" << fontFile << "'); the overlay draws no text";
        return false;
    }
    if (!face.SetCellHeight(cellHeight)) {
        DebugStream() << "OverlayFont - the face cannot be sized: '" << fontFile << "'";
        return false;
    }
    ascender_ = int(face.Ascender26_6() >> 6);
    lineHeight_ = cellHeight;

    // First pass: render every glyph and place it on shelves, a pixel apart and from the
    // texture's edges.
    struct Bitmap {
        std::vector<uint8_t> pixels;
        int width = 0, height = 0;
    };
    std::vector<Bitmap> bitmaps(kLast + 1);
    ShelfPacker shelves(kAtlasWidth, 1, 1);
    for (int c = kFirst; c <= kLast; ++c) {
        Glyph& g = glyphs_[c];
        g = Glyph();
        if (!face.RenderChar(uint32_t(c))) continue;
        const FaceGlyph& bm = face.Glyph();
        if (!bm.gray && bm.width > 0) continue;
        // A glyph wider than the texture has no place in it: drawn as a missing one.
        if (!shelves.Fits(bm.width)) continue;
        Bitmap& b = bitmaps[c];
        b.width = bm.width;
        b.height = bm.rows;
        b.pixels.resize(size_t(b.width) * b.height);
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) b.pixels[size_t(y) * b.width + x] = bm.buffer[y * bm.pitch + x];
        const Point at = shelves.Place(b.width, b.height);
        g.x = at.x;
        g.y = at.y;
        g.width = b.width;
        g.height = b.height;
        g.left = bm.left;
        g.top = bm.top;
        g.advance = int(bm.advance26_6 >> 6);
        g.present = true;
    }
    int height = 1;
    while (height < shelves.Height()) height *= 2;

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
