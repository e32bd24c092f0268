// Inline markup of widget text: {color=RRGGBBAA} / {c=...} ... {/c}, {click=N} ... {/click}
// and {n}. The tokenizer, the tag stripper used for measuring, and the layout of one
// marked-up line into textured glyph quads (or a hit test against its click regions).
#pragma once

#include <string>
#include <vector>

#include "shell/Display.h"
#include "shell/foundation/ValueTypes.h"

namespace pf {
class Font;
}

enum MarkupTokenKind : int32_t {
    MarkupEnd = 0,
    MarkupText = 1,
    MarkupOpen = 3,    // "{"
    MarkupClose = 4,   // "}"
    MarkupEquals = 5,  // "=" (tag mode only)
    MarkupSlash = 6,   // "/" (tag mode only)
};

struct MarkupToken {
    std::wstring text;  // empty for every kind but MarkupText
    MarkupTokenKind kind = MarkupEnd;
};

class MarkupTokenizer {
public:
    explicit MarkupTokenizer(const std::wstring& text, bool tagMode = false) : text_(text), tagMode_(tagMode) {}
    MarkupToken Next();

private:
    bool Stops(wchar_t c) const { return c == L'{' || c == L'}' || (tagMode_ && (c == L'=' || c == L'/')); }

    const std::wstring& text_;
    size_t position_ = 0;
    bool tagMode_;
};

// The text without its tags: every "{" up to the first "}" after it goes. A "{" with no
// later "}" and a "}" before any "{" stay.
std::wstring StripMarkupTags(const std::wstring& text);

// False without a font; an empty text measures 0 x 0.
bool MeasureTextExtent(const pf::Font* font, int spacing, const std::wstring& text, int& width, int& height);

// Horizontal alignment of a line.
enum MarkupAlign : int { AlignLeft = 1, AlignCenter = 2, AlignRight = 3, AlignCharIndex = 4 };

// Lays out one line with markup from `start`. Glyph and outline quads are appended to the
// lists given (a font without a page, or without an outline page, adds none of those);
// with hitId and clickStack given, the click id under hitPoint is stored in *hitId and the
// layout stops there. The colour stack's last entry (the base colour) is never popped.
void RenderMarkupLine(std::vector<pf::DisplayVertex>* glyphQuads, std::vector<pf::DisplayVertex>* outlineQuads,
                      const pf::Font* font, int align, int width, pf::Point start, int charIndex, int spacing,
                      std::vector<pf::Color>* colourStack, const pf::Color* outlineColour, int alpha,
                      std::vector<int>* clickStack, int* hitId, pf::Point hitPoint, const std::wstring& line,
                      int baseOffset);
