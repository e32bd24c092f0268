// TextBlock drawing: the cached glyph, outline and shadow quads, one triangle list each.
#include <algorithm>

#include "widgets/Markup.h"
#include "widgets/TextBlock.h"
#include "shell/Font.h"

void TextBlock::RebuildQuads(const pf::Font& font, const pf::Color& base, int alpha) {
    ++rebuilds_;
    dirty_ = false;
    glyphVertices_.clear();
    outlineVertices_.clear();
    std::vector<pf::Color> colours{base};
    const bool outlined = bool(font.GetOutlineSurface());
    int y = GetVAlignOffset();
    for (size_t i = 0; i < lines_.size(); ++i) {
        RenderMarkupLine(&glyphVertices_, outlined ? &outlineVertices_ : nullptr, &font, GetAlign(), GetWidth(),
                         pf::Point(i == 0 ? 0 : lineIndent_, y), 0, GetSpacing(), &colours, &outlineColour_, alpha,
                         nullptr, nullptr, pf::Point(), lines_[i], baseOffset_);
        y = LineTop(int64_t(y) + GetLineSkip());
    }
    shadowVertices_.clear();
    const int shadowAlpha = shadowColour_.a * alpha / 255;
    if (shadowAlpha > 0) {
        shadowVertices_ = outlineVertices_.empty() ? glyphVertices_ : outlineVertices_;
        const uint32_t colour = pf::Color(shadowColour_.r, shadowColour_.g, shadowColour_.b, shadowAlpha).GetARGB();
        for (pf::DisplayVertex& v : shadowVertices_) {
            v.x += shadowDx_;
            v.y += shadowDy_;
            v.color = colour;
        }
    }
}

void TextBlock::Draw(const RenderState& in) {
    RenderState out;
    if (!GetChildren().empty()) {
        // Children are drawn under the text.
        if (!PrepareDraw(in, out)) return;
        DrawChildren(out);
    }
    if (!PrepareDraw(in, out)) return;
    const pf::Font* font = GetFontObject();
    if (!text_.empty() && font) {
        pf::Color base = GetColor();
        base.a = uint8_t(std::clamp(out.alpha, 0, 255));
        if (out.display) out.display->SetColor(base);
        if (out.alpha != cachedAlpha_) {
            cachedAlpha_ = out.alpha;
            dirty_ = true;
        }
        if (dirty_) RebuildQuads(*font, base, base.a);
        pf::Display* display = out.display;
        const pf::SurfacePtr page = font->GetSurface();
        const pf::SurfacePtr outlinePage = font->GetOutlineSurface();
        auto draw = [display](const std::vector<pf::DisplayVertex>& v, const pf::SurfacePtr& texture) {
            if (v.size() >= 3 && texture) display->DrawTriangles(v.data(), int(v.size()), int(v.size() / 3), texture.get());
        };
        if (display) {
            display->SetTransform(out.world);
            draw(shadowVertices_, outlinePage ? outlinePage : page);
            if (outlinePage) draw(outlineVertices_, outlinePage);
            draw(glyphVertices_, page);
        }
    }
    CompleteDraw(in, out);
}
