// Bitmap fonts made from font files: a page of white glyphs with alpha coverage, the page
// rectangles of the characters 32 to 255, an optional outline page, and, when an XML
// description exists, a character map with per-character advances.
//
// The page and the rectangles are rendered once from the font file at four times the size,
// box-filtered down and cached as "fonts/<id>.png" plus the 3584-byte "fonts/<id>.map"
// (the resource folder, or the user folder when the resource folder cannot be written).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "shell/pixels/Surface.h"
#include "shell/foundation/ValueTypes.h"

namespace pf {

class Display;
class FileSystem;
class ImageLoader;
class GlyphSource;

// A character of a bitmap font: page rectangle, drawing offset from the pen, pen advance,
// and kerning amounts keyed by a neighbouring character.
struct CharDesc {
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t xoffset = 0, yoffset = 0;
    int32_t xadvance = 0;
    std::map<uint32_t, int32_t> kerning;

    // The pen adjustment for this character drawn right after `previous`, for the
    // descriptions of BmFont (0 when the pair has none). Positive moves it right.
    int32_t KerningAfter(wchar_t previous) const;
};
using CharMap = std::map<uint32_t, CharDesc>;

// Strings of a TrueType "name" table.
struct FontNames {
    std::wstring fullName;   // name ID 4 (the family when the file has none)
    std::wstring copyright;  // name ID 0
    std::wstring trademark;  // name ID 7
    std::wstring family;     // name ID 1
};

// What a font is made from.
struct FontBase {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int size = 10;        // pixels; 0 or less renders at kDefaultFontSize
    float outline = 0;    // outline width in pixels; an outline page is made from 1 up
    std::wstring file;    // the font file (or the BMF font's name)
    std::wstring id;      // names the cache files
};

constexpr int kFontFirstChar = 32;
constexpr int kFontGlyphCount = 224;  // characters 32 .. 255
constexpr int kFontMapBytes = kFontGlyphCount * 16;
constexpr int kDefaultFontSize = 10;

class Font : public FontBase {
public:
    // Copies the description. A size of 0 or less becomes kDefaultFontSize (a resource that
    // names no size loads at size 0); an outline that is negative or not a number becomes 0.
    explicit Font(const FontBase& desc);
    virtual ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // (widest line, size x lines) of the text cut at every '\n'.
    virtual void MeasureText(Point& size, const std::wstring& text, int spacing) const;
    virtual SurfacePtr GetOutlineSurface() const { return outlinePage_; }
    // The glyph's rectangle grown by the outline width on every side.
    virtual void GetGlyphOutlineRect(Rect& out, wchar_t ch) const;
    virtual int GetSize() const { return size; }
    virtual SurfacePtr GetSurface() const { return page_; }
    // (int)(outline + 0.9999).
    virtual int GetOutlineWidth() const;
    // The rectangle of characters 32 .. 255; any other character gets the space's.
    virtual const Rect* GetGlyph(wchar_t ch) const;
    // Null: only bitmap fonts describe their characters to the drawing code.
    virtual const CharDesc* GetCharDesc(wchar_t ch) const { return nullptr; }
    // Makes the cache when it is missing, reads the XML description when there is one, and
    // loads the cache. Answers IsLoaded(): true only when the cache's page loaded.
    virtual bool Load(ImageLoader* loader, FileSystem* fs, Display* display);
    virtual int GetBase() const { return 0; }
    // Whether the page (non-empty) and the 3584-byte map exist in the resource or user folder.
    virtual bool CacheExists(FileSystem* fs);
    virtual void LoadCache(ImageLoader* loader, FileSystem* fs, Display* display);
    // Reads "fonts/<id>.fnt" in the XML form. False when it is missing, does not parse or
    // has a malformed "pages" element.
    virtual bool LoadXml(ImageLoader* loader, FileSystem* fs, Display* display);

    // Renders the cache from the font file and saves it; false (with one log line) when the
    // file is missing, has no family name, cannot be rendered or the files cannot be written.
    bool RenderGlyphCache(FileSystem& fs, ImageLoader& loader);
    // The same from a given rasteriser (tests inject metrics).
    bool RenderGlyphCache(FileSystem& fs, ImageLoader& loader, GlyphSource& glyphs);

    bool IsLoaded() const { return loaded_; }
    bool HasCharMap() const { return hasCharMap_; }
    const CharMap& GetCharMap() const { return charMap_; }
    const Rect* GetGlyphs() const { return glyphs_; }

    // The cache files, relative to the resource (or user) folder.
    // The id's folder separators become '_' in the cache files' names, so an id that is a
    // font file's path (a font made by name) still names one file in the folder.
    std::wstring PageFileName() const { return L"fonts/" + CacheName() + L".png"; }
    std::wstring MapFileName() const { return L"fonts/" + CacheName() + L".map"; }
    // "fonts/<id>_outline_<(int)(outline x 100)>.png" (separators as above).
    std::wstring OutlineFileName() const;
    std::wstring DescriptionFileName() const { return L"fonts/" + id + L".fnt"; }

protected:
    std::wstring CacheName() const;

    Rect glyphs_[kFontGlyphCount];
    SurfacePtr page_;
    SurfacePtr outlinePage_;
    bool loaded_ = false;
    bool hasCharMap_ = false;
    CharMap charMap_;
};

// Reads the names of a TrueType or OpenType font file (located as FindFontFile does).
// True when a family name was found; a file that cannot be opened answers false silently.
bool ReadTrueTypeNames(const std::wstring& file, FontNames& names);
// The same for an OS path (UTF-8) used as it stands.
bool ReadTrueTypeNamesAt(const std::string& osPath, FontNames& names);
// The same over the file's bytes.
bool ParseTrueTypeNames(const uint8_t* data, size_t size, FontNames& names);

// The width and height of text laid out with per-character advances: characters missing
// from `chars` add nothing, not even the spacing. Kerned, each character is moved by its
// amount after the one before it on its line, as the drawing of bitmap fonts places it.
Point MeasureWithCharMap(const CharMap& chars, const std::wstring& text, int spacing, int lineHeight,
                         bool kerned = false);

}  // namespace pf
