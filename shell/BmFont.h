// Bitmap fonts described by a binary BMF file ("fonts/<id>.fnt", version 3 or later):
// one page image and, per character, its page rectangle, drawing offset and advance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/Font.h"

namespace pf {

// The BMF common block as stored (little-endian fields widened).
struct BmCommon {
    uint16_t lineHeight = 0, base = 0, scaleW = 0, scaleH = 0, pages = 0;
    uint8_t bitField = 0, alphaChnl = 0, redChnl = 0, greenChnl = 0, blueChnl = 0;
};

class BmFont : public Font {
public:
    explicit BmFont(const FontBase& desc);

    // Widths from the file's advances and kerning pairs, as drawing places the characters;
    // characters not in the file add nothing.
    void MeasureText(Point& size, const std::wstring& text, int spacing) const override;
    const CharDesc* GetCharDesc(wchar_t ch) const override;
    // Reads "fonts/<id>.fnt" and its first page. False (one log line) when the file is
    // missing, is not a BMF file of version 3 or later, is malformed, or names a page that
    // does not load; a file naming no page loads without a page surface.
    bool Load(ImageLoader* loader, FileSystem* fs, Display* display) override;
    // lineHeight - base.
    int GetBase() const override { return int(common_.lineHeight) - int(common_.base); }

    // Reads the BMF bytes (no page is loaded); firstPage gets page 0's name ("" when the
    // file names none). False, with one log line naming `what`, on malformed input.
    bool Parse(const uint8_t* data, size_t size, const std::wstring& what, std::string& firstPage);

    const CharMap& GetBmCharMap() const { return bmCharMap_; }
    const BmCommon& GetCommon() const { return common_; }

private:
    CharMap bmCharMap_;
    BmCommon common_;
};

}  // namespace pf
