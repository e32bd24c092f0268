// The text widget: word-wrapped, multi-line text in a font resource, aligned in the item's
// box, with letter spacing, a line indent, glyph outline, drop shadow, colour markup and
// {click=N} regions that post ButtonClick. The glyph, outline and shadow quads are cached
// and rebuilt only after a change that affects them.
#pragma once

#include <string>
#include <vector>

#include "content/ResFont.h"
#include "scene/Actor.h"

class TextBlock : public Actor {
public:
    TextBlock();
    ~TextBlock() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::TextBlock || Actor::IsKindOf(typeId); }

    virtual int GetAlign() const { return align_; }
    virtual ResFont* GetResFont() const { return resFont_.get(); }
    // The font resource's id; "" without one.
    virtual std::wstring GetFont() const;
    virtual int GetLineCount() const { return int(lines_.size()); }
    // lineSkip, or the font's size when it is 0; 0 without a font.
    virtual int GetLineSkip() const;
    virtual pf::Color GetOutlineColor() const { return outlineColour_; }
    virtual int GetSpacing() const { return spacing_; }
    virtual std::wstring GetText() const { return text_; }
    virtual int GetVAlign() const { return valign_; }
    // Width of the widest line and the sum of the line heights, tags left out.
    virtual pf::Point calcTextSize() const;
    virtual pf::Rect GetTextBounds() const { return GetTextRect(); }
    virtual pf::Rect GetTextRect() const;
    virtual void SetAlign(int align);
    // The font resource of that id from the resource manager (none when it has no font).
    virtual void SetFont(const std::wstring& id);
    // Breaks the lines again with the new font.
    virtual void SetResFont(ResFont* font);
    virtual void SetLineIndent(int indent);
    virtual void SetLineSkip(int skip);
    virtual void FitHeightToText();
    virtual void SetOutlineColor(const pf::Color& colour);
    virtual void SetSpacing(int spacing);
    virtual void setShadow(float dx, float dy, const pf::Color& colour);
    virtual void SetText(const std::wstring& text);
    virtual void SetVAlign(int valign);
    // The font's base line plus the base offset; 0 without a font.
    virtual int GetBase() const;
    virtual void SetBase(int base);
    virtual void SetDelimiters(const std::wstring& delimiters);
    virtual void BreakLines(const std::wstring& text, std::vector<std::wstring>& lines, int width,
                            const pf::Font& font);

    // y of the first line for the vertical alignment.
    int GetVAlignOffset() const;
    // The click id of the {click=N} region under p (item coordinates).
    bool HitTestClick(int& id, const pf::Point& p) const;

    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void Draw(const RenderState& in) override;
    std::wstring Dump(bool withModifiers, bool coloured) const override;
    bool HandleEvent(const TreeState& state, pf::Event& e) override;
    int SetAlpha(int a) override;
    void SetColor(const pf::Color& c) override;

    const std::vector<std::wstring>& GetLines() const { return lines_; }
    // The loaded font of the resource; null without one or when it has no payload.
    pf::Font* GetFontObject() const { return resFont_ ? resFont_->GetFont() : nullptr; }
    // How often the cached quads were built (for tests and benchmarks).
    int GetRebuildCount() const { return rebuilds_; }

private:
    void RebuildQuads(const pf::Font& font, const pf::Color& base, int alpha);
    // A line's top, kept where the glyph offsets added to it stay in int range.
    static int LineTop(int64_t y);

    std::wstring delimiters_;
    int lineSkip_ = 0;
    int align_ = 1;
    my_intrusive_ptr<ResFont> resFont_;  // counted: unloading the resources cannot free it here
    int spacing_ = 0;
    std::wstring text_;
    int lineIndent_ = 0;
    int valign_ = 1;
    int baseOffset_ = 0;
    pf::Color outlineColour_{0, 0, 0, 255};
    pf::Color shadowColour_{0, 0, 0, 0};
    float shadowDx_ = 0, shadowDy_ = 0;
    std::vector<std::wstring> lines_;
    int pressedClickId_ = -1;
    bool dirty_ = true;
    int cachedAlpha_ = 255;
    std::vector<pf::DisplayVertex> glyphVertices_, outlineVertices_, shadowVertices_;
    int rebuilds_ = 0;
};
