// Reading a font's glyph cache: the page, the outline page (made from the page when
// missing) and the glyph rectangles.
#include <algorithm>

#include "shell/Font.h"
#include "shell/FontCacheFiles.h"
#include "shell/ImageKernels.h"
#include "shell/foundation/Log.h"

namespace pf {

namespace {

bool CacheIn(FileSystem& fs, const Font& font, bool userFolder) {
    return CacheFileSize(fs, font.PageFileName(), userFolder) > 0 &&
           CacheFileSize(fs, font.MapFileName(), userFolder) == kFontMapBytes;
}

int32_t Le32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

}  // namespace

bool Font::CacheExists(FileSystem* fs) {
    return fs && (CacheIn(*fs, *this, false) || CacheIn(*fs, *this, true));
}

void Font::LoadCache(ImageLoader* loader, FileSystem* fs, Display* display) {
    // The cache's page replaces any page an XML description gave; none stays when it fails.
    page_.reset();
    outlinePage_.reset();
    if (!loader || !fs || !display) return;
    const bool userFolder = !CacheIn(*fs, *this, false);
    MemorySurface image;
    if (!ReadCacheImage(*fs, *loader, PageFileName(), userFolder, image)) return;
    page_ = MakeFontPageSurface(*display, image.GetView(), PageFileName());

    if (outline >= 1) {
        const std::wstring outlineFile = OutlineFileName();
        const bool outlineInUser = CacheFileSize(*fs, outlineFile, false) <= 0;
        MemorySurface outlineImage;
        bool haveOutline = CacheFileSize(*fs, outlineFile, outlineInUser) > 0 &&
                           ReadCacheImage(*fs, *loader, outlineFile, outlineInUser, outlineImage);
        // It is drawn with the page's rectangles: one of another size is made again.
        if (haveOutline &&
            (outlineImage.GetWidth() != image.GetWidth() || outlineImage.GetHeight() != image.GetHeight())) {
            DebugStream() << "Font - '" << outlineFile << "' is not the size of its page; it is made again";
            haveOutline = false;
        }
        if (haveOutline) {
            outlinePage_ = MakeFontPageSurface(*display, outlineImage.GetView(), outlineFile);
        } else {
            MemorySurface glow(image.GetWidth(), image.GetHeight());
            PixelView glowView = glow.GetView();
            GlowView(image.GetView(), glowView, Color(255, 255, 255, 255), outline);
            outlinePage_ = MakeFontPageSurface(*display, glowView, PageFileName() + L" outline");
            bool saveToUser = false;
            if (ChooseCacheFolder(*fs, L"the outline page of '" + id + L"'", saveToUser))
                WriteCacheImage(*fs, *loader, outlineFile, saveToUser, glowView);
        }
    }

    FileBuffer map;
    if (ReadCacheFile(*fs, MapFileName(), map, userFolder) && ContentSize(map) == size_t(kFontMapBytes)) {
        Rect rects[kFontGlyphCount];
        for (int i = 0; i < kFontGlyphCount; ++i) {
            const uint8_t* p = map.data() + 16 * i;
            rects[i] = Rect(Le32(p), Le32(p + 4), Le32(p + 8), Le32(p + 12));
            // Drawing code takes these as page rectangles: one outside the page spoils the map.
            if (!RectInside(rects[i], image.GetWidth(), image.GetHeight())) {
                DebugStream() << "Font - '" << MapFileName() << "' has a glyph outside the page; the font is not usable";
                page_.reset();
                outlinePage_.reset();
                return;
            }
        }
        std::copy(rects, rects + kFontGlyphCount, glyphs_);
    }
}

}  // namespace pf
