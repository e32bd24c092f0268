// The debug overlay's font: a sans-serif face rendered through FreeType into one alpha
// texture holding the Latin-1 glyphs, laid out as textured triangles.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "shell/foundation/RefCounter.h"
#include "shell/render/SoftDevice.h"

namespace pf {

class OverlayFont {
public:
    OverlayFont();
    ~OverlayFont();
    OverlayFont(const OverlayFont&) = delete;
    OverlayFont& operator=(const OverlayFont&) = delete;

    // The file of the face the overlay uses: DejaVu Sans at its Debian place, else the
    // system's font configuration's best match; empty when there is none.
    static std::string FindFontFile();
    // Renders the glyphs with a cell height of `cellHeight` pixels into a texture of the
    // device. Without a usable font file: one log line, false, and the overlay draws nothing.
    bool Create(RenderDevice& device, int cellHeight, const std::string& fontFile = FindFontFile());
    bool IsReady() const { return bool(texture_); }
    // The texture lives in the managed pool: it survives a device reset.
    void OnLostDevice() {}
    void OnResetDevice(RenderDevice&) {}

    // Two triangles per visible character of text (lines split at '\n') with the top-left
    // of the first line at (x, y), in the display's pixel coordinates (whole numbers are
    // pixel edges, as in game coordinates).
    void Layout(const std::wstring& text, float x, float y, uint32_t colour, std::vector<DeviceVertex>& out) const;
    DeviceTexture* GetTexture() const { return texture_.get(); }
    int LineHeight() const { return lineHeight_; }

private:
    struct Glyph {
        int x = 0, y = 0, width = 0, height = 0;  // in the texture
        int left = 0, top = 0;                     // bearing from the pen on the baseline
        int advance = 0;
        bool present = false;
    };
    static constexpr int kFirst = 32, kLast = 255;

    my_intrusive_ptr<DeviceTexture> texture_;
    int textureWidth_ = 0, textureHeight_ = 0;
    int lineHeight_ = 16, ascender_ = 12;
    Glyph glyphs_[kLast + 1];
};

}  // namespace pf
