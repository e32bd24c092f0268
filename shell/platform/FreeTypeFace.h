// One face of a font file opened through FreeType, with a library instance of its own (the
// loaders open faces on several threads), sized, and its glyphs rendered one at a time as
// 8-bit coverage. FreeType's own types stay inside the implementation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pf {

// The glyph rendered last. Lengths in 26.6 fixed point are named so; the rest in pixels.
struct FaceGlyph {
    const uint8_t* buffer = nullptr;  // rows top to bottom, `pitch` bytes apart
    int width = 0, rows = 0, pitch = 0;
    bool gray = false;                // 8-bit coverage (any other pixel mode is not)
    int left = 0, top = 0;            // bitmap offset from the pen on the baseline, y up
    long advance26_6 = 0;             // horizontal pen advance
};

class FreeTypeFace {
public:
    FreeTypeFace();
    ~FreeTypeFace();
    FreeTypeFace(const FreeTypeFace&) = delete;
    FreeTypeFace& operator=(const FreeTypeFace&) = delete;

    // Opens the first face of the font file (an OS path), closing any face opened before.
    // False when FreeType cannot load it; callers say so in their own words.
    bool Open(const std::string& osPath);
    bool IsOpen() const;

    // Sizes the face to an em of `pixels` pixels (as FreeType's pixel sizes with the width
    // following the height).
    bool SetPixelHeight(int pixels);
    // Sizes the face so that ascent + descent is `pixels` pixels.
    bool SetCellHeight(int pixels);

    // The sized face's ascender, 26.6.
    long Ascender26_6() const;
    // The face's own style (false while nothing is open).
    bool IsBold() const;
    bool IsItalic() const;
    // The underline of a scalable face that describes one, scaled to the size: the bar's
    // centre above the baseline (negative below it) and its thickness, both 26.6. False
    // when the face has no usable underline metrics.
    bool ScaledUnderline(long& position26_6, long& thickness26_6) const;

    // Loads and renders the character, using the file's embedded bitmaps where it has them.
    bool RenderChar(uint32_t ch);
    // Loads the character's outline only, slants and/or emboldens it, then renders it.
    bool RenderOutline(uint32_t ch, bool oblique, bool embolden);
    // The glyph the last successful render made; undefined after a failed one.
    const FaceGlyph& Glyph() const { return glyph_; }

private:
    struct Handles;
    void Close();
    bool CaptureGlyph();

    std::unique_ptr<Handles> ft_;
    FaceGlyph glyph_;
};

}  // namespace pf
