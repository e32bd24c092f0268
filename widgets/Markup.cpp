#include "widgets/Markup.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "shell/Font.h"
#include "shell/ImageKernels.h"
#include "shell/foundation/TextHelpers.h"

MarkupToken MarkupTokenizer::Next() {
    MarkupToken token;
    if (position_ >= text_.size()) return token;
    const wchar_t c = text_[position_];
    if (c == L'{' || c == L'}' || (tagMode_ && (c == L'=' || c == L'/'))) {
        ++position_;
        token.kind = c == L'{' ? MarkupOpen : c == L'}' ? MarkupClose : c == L'=' ? MarkupEquals : MarkupSlash;
        return token;
    }
    const size_t begin = position_;
    while (position_ < text_.size() && !Stops(text_[position_])) ++position_;
    token.kind = MarkupText;
    token.text = text_.substr(begin, position_ - begin);
    return token;
}

std::wstring StripMarkupTags(const std::wstring& text) {
    // Erasing a tag leaves no "{" before it, so one pass from left to right removes the
    // same characters as searching again from the start after every erase.
    std::wstring out;
    out.reserve(text.size());
    size_t from = 0;
    for (;;) {
        const size_t open = text.find(L'{', from);
        const size_t close = open == std::wstring::npos ? open : text.find(L'}', open);
        if (close == std::wstring::npos) break;
        out.append(text, from, open - from);
        from = close + 1;
    }
    out.append(text, from, std::wstring::npos);
    return out;
}

bool MeasureTextExtent(const pf::Font* font, int spacing, const std::wstring& text, int& width, int& height) {
    if (!font) return false;
    width = height = 0;
    if (text.empty()) return true;
    pf::Point size;
    font->MeasureText(size, text, spacing);
    width = size.x;
    height = size.y;
    return true;
}

namespace {

const pf::Color kWhite(255, 255, 255, 255);

int MeasuredWidth(const pf::Font* font, int spacing, const std::wstring& text) {
    int w = 0, h = 0;
    MeasureTextExtent(font, spacing, text, w, h);
    return w;
}

bool Contains(const pf::Rect& r, const pf::Point& p) {
    return r.x <= p.x && p.x < r.x + r.width && r.y <= p.y && p.y < r.y + r.height;
}

// The page a quad list samples; null when the font has none (nothing is added then).
struct Page {
    pf::SurfacePtr surface;
    float width = 0, height = 0;
    explicit Page(pf::SurfacePtr s) : surface(std::move(s)) {
        if (surface && surface->GetWidth() > 0 && surface->GetHeight() > 0) {
            width = float(surface->GetWidth());
            height = float(surface->GetHeight());
        } else {
            surface = nullptr;
        }
    }
    explicit operator bool() const { return bool(surface); }
};

struct LineLayout {
    std::vector<pf::DisplayVertex>* glyphQuads;
    std::vector<pf::DisplayVertex>* outlineQuads;
    const pf::Font* font;
    int spacing;
    std::vector<pf::Color>* colourStack;
    pf::Color outlineColour;
    int alpha;
    std::vector<int>* clickStack;
    int* hitId;
    pf::Point hitPoint;
    int baseOffset;
    Page page;
    Page outlinePage;
    int outlineWidth;
    pf::Point pen;

    // Lays out one character; true when the hit test found it.
    bool Glyph(wchar_t ch, wchar_t previous) {
        const pf::CharDesc* desc = font->GetCharDesc(ch);
        // Kerning moves this character by the amount the font stores for it after the
        // previous one, so the pair itself closes up (and the pen after it with it).
        if (desc) Advance(desc->KerningAfter(previous));
        pf::Rect source, destination;
        if (desc) {
            source = pf::Rect(desc->x, desc->y, desc->width, desc->height);
            destination = pf::Rect(pen.x + desc->xoffset, pen.y + desc->yoffset, desc->width, desc->height);
        } else {
            if (const pf::Rect* glyph = font->GetGlyph(ch)) source = *glyph;
            destination = pf::Rect(pen.x, pen.y, source.width, source.height);
        }
        destination.y = int(std::clamp<int64_t>(int64_t(destination.y) - baseOffset, INT32_MIN / 2, INT32_MAX / 2));
        if (glyphQuads && page) {
            const pf::Color colour = colourStack && !colourStack->empty() ? colourStack->back() : kWhite;
            pf::AddTexturedQuad(*glyphQuads, page.width, page.height, source, destination, colour.GetARGB());
        }
        if (outlineQuads && outlinePage) {
            pf::Rect outline;
            font->GetGlyphOutlineRect(outline, ch);
            const pf::Rect at(destination.x - outlineWidth, destination.y - outlineWidth, outline.width,
                              outline.height);
            pf::AddTexturedQuad(*outlineQuads, outlinePage.width, outlinePage.height, outline, at,
                                outlineColour.GetARGB());
        }
        if (hitId && clickStack && !clickStack->empty() && Contains(destination, hitPoint)) {
            *hitId = clickStack->back();
            return true;
        }
        Advance(int64_t(desc ? desc->xadvance : source.width) + spacing);
        return false;
    }

    // Moves the pen, kept within int range however large the spacing.
    void Advance(int64_t dx) { pen.x = int(std::clamp<int64_t>(pen.x + dx, INT32_MIN / 2, INT32_MAX / 2)); }

    void Tag(MarkupTokenizer& line) {
        const MarkupToken body = line.Next();
        MarkupTokenizer parts(body.text, true);
        const MarkupToken first = parts.Next();
        if (first.kind == MarkupText) {
            parts.Next();  // normally "="
            const std::wstring value = parts.Next().text;
            if (colourStack && glyphQuads && (first.text == L"color" || first.text == L"c")) {
                pf::Color c = pf::HexToColor(value);
                c.a = uint8_t(alpha * c.a / 255);
                colourStack->push_back(c);
            }
            if (hitId && clickStack && first.text == L"click") clickStack->push_back(pf::ToInt(value));
        } else if (first.kind == MarkupSlash) {
            const std::wstring name = parts.Next().text;
            if (colourStack && glyphQuads && (name == L"color" || name == L"c") && colourStack->size() > 1)
                colourStack->pop_back();
            if (hitId && clickStack && name == L"click" && !clickStack->empty()) clickStack->pop_back();
        }
        line.Next();  // normally the closing "}"
    }
};

}  // namespace

void RenderMarkupLine(std::vector<pf::DisplayVertex>* glyphQuads, std::vector<pf::DisplayVertex>* outlineQuads,
                      const pf::Font* font, int align, int width, pf::Point start, int charIndex, int spacing,
                      std::vector<pf::Color>* colourStack, const pf::Color* outlineColour, int alpha,
                      std::vector<int>* clickStack, int* hitId, pf::Point hitPoint, const std::wstring& line,
                      int baseOffset) {
    if (!font || line.empty()) return;
    alpha = std::clamp(alpha, 0, 255);
    const std::wstring stripped = StripMarkupTags(line);
    const int w = MeasuredWidth(font, spacing, stripped);
    // Room for this line's quads, grown at least twofold: a block lays out its lines into one
    // list, and growing it by exactly one line at a time would copy the whole list per line.
    for (auto* quads : {glyphQuads, outlineQuads}) {
        if (!quads) continue;
        const size_t needed = quads->size() + 6 * stripped.size();
        if (needed > quads->capacity()) quads->reserve(std::max(needed, 2 * quads->capacity()));
    }

    pf::Color outline = outlineColour ? *outlineColour : kWhite;
    outline.a = uint8_t(alpha * outline.a / 255);

    // In 64 bits: a box or a spacing at the int limits must not overflow the offset.
    int64_t dx = 0;
    if (align == AlignCenter) {
        dx = (int64_t(width) - w) / 2;
    } else if (align == AlignRight) {
        dx = int64_t(width) - w;
    } else if (align == AlignCharIndex) {
        const size_t n = size_t(std::clamp(charIndex, 0, int(stripped.size())));
        dx = -int64_t(MeasuredWidth(font, spacing, stripped.substr(0, n)));
    }

    LineLayout layout{glyphQuads,  outlineQuads, font,   spacing,
                      colourStack, outline,      alpha,  clickStack,
                      hitId,       hitPoint,     baseOffset,
                      Page(font->GetSurface()),
                      Page(outlineQuads ? font->GetOutlineSurface() : nullptr),
                      font->GetOutlineWidth(),
                      pf::Point(start.x, int(std::clamp<int64_t>(start.y, INT32_MIN / 2, INT32_MAX / 2)))};
    layout.Advance(dx);
    MarkupTokenizer tokens(line);
    for (MarkupToken t = tokens.Next(); t.kind != MarkupEnd; t = tokens.Next()) {
        if (t.kind == MarkupText) {
            wchar_t previous = 0;  // kerning never reaches across a tag
            for (wchar_t ch : t.text) {
                if (layout.Glyph(ch, previous)) return;
                previous = ch;
            }
        } else if (t.kind == MarkupOpen) {
            layout.Tag(tokens);
        }
    }
}
