#include "widgets/TextBlock.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <sstream>

#include "content/ResourceManager.h"
#include "widgets/Markup.h"
#include "widgets/TextWrap.h"
#include "scene/RootItem.h"
#include "shell/Font.h"
#include "shell/foundation/TextHelpers.h"

TextBlock::TextBlock() {
    SetName(L"TextBlock");
    SetIgnoreTransparency(true);
}

TextBlock::~TextBlock() = default;

std::wstring TextBlock::GetFont() const { return resFont_ ? resFont_->GetId() : std::wstring(); }

int TextBlock::GetLineSkip() const {
    const pf::Font* font = GetFontObject();
    if (!font) return 0;
    return lineSkip_ != 0 ? lineSkip_ : font->GetSize();
}

pf::Point TextBlock::calcTextSize() const {
    const pf::Font* font = GetFontObject();
    pf::Point size;
    if (!font) return size;
    int64_t height = 0;  // many tall lines may sum past int range
    for (const std::wstring& line : lines_) {
        pf::Point s;
        font->MeasureText(s, StripMarkupTags(line), spacing_);
        size.x = std::max(size.x, s.x);
        height += s.y;
    }
    size.y = int(std::clamp<int64_t>(height, INT32_MIN, INT32_MAX));
    return size;
}

pf::Rect TextBlock::GetTextRect() const {
    const pf::Point p = GetPosition(), s = calcTextSize();
    return pf::Rect(p.x, p.y, s.x, s.y);
}

void TextBlock::SetAlign(int align) { align_ = align, dirty_ = true; }

void TextBlock::SetFont(const std::wstring& id) {
    ResourceManager* manager = GetResourceManager();
    SetResFont(manager ? manager->GetFont(id) : nullptr);
}

void TextBlock::SetResFont(ResFont* font) {
    resFont_ = font;
    SetText(GetText());
}

void TextBlock::SetLineIndent(int indent) { lineIndent_ = indent, dirty_ = true; }
void TextBlock::SetLineSkip(int skip) { lineSkip_ = skip, dirty_ = true; }
void TextBlock::FitHeightToText() { SetHeight(calcTextSize().y); }
void TextBlock::SetOutlineColor(const pf::Color& colour) { outlineColour_ = colour, dirty_ = true; }
void TextBlock::SetSpacing(int spacing) { spacing_ = spacing, dirty_ = true; }
void TextBlock::SetVAlign(int valign) { valign_ = valign, dirty_ = true; }
void TextBlock::SetDelimiters(const std::wstring& delimiters) { delimiters_ = delimiters; }

void TextBlock::setShadow(float dx, float dy, const pf::Color& colour) {
    shadowDx_ = dx, shadowDy_ = dy, shadowColour_ = colour;
    dirty_ = true;
}

void TextBlock::SetText(const std::wstring& text) {
    dirty_ = true;
    text_ = LookupText(text);
    lines_.clear();
    if (const pf::Font* font = GetFontObject(); font && !text_.empty()) BreakLines(text_, lines_, GetWidth(), *font);
}

void TextBlock::BreakLines(const std::wstring& text, std::vector<std::wstring>& lines, int width,
                           const pf::Font& font) {
    WrapText(ExpandLineBreakTags(text), lines, width, GetSpacing(), font,
             delimiters_.empty() ? std::wstring(L" \n") : delimiters_);
}

int TextBlock::GetBase() const {
    const pf::Font* font = GetFontObject();
    return font ? font->GetBase() + baseOffset_ : 0;
}

void TextBlock::SetBase(int base) {
    const pf::Font* font = GetFontObject();
    baseOffset_ = LineTop(int64_t(base) - (font ? font->GetBase() : 0));
    dirty_ = true;
}

int TextBlock::SetAlpha(int a) {
    dirty_ = true;
    return Actor::SetAlpha(a);
}

void TextBlock::SetColor(const pf::Color& c) {
    dirty_ = true;
    Actor::SetColor(c);
}

int TextBlock::GetVAlignOffset() const {
    const int64_t total = int64_t(GetLineCount()) * GetLineSkip();
    if (valign_ == 2) return LineTop((GetHeight() - total) / 2);
    if (valign_ == 3) return LineTop(GetHeight() - total);
    return 0;
}

int TextBlock::LineTop(int64_t y) { return int(std::clamp<int64_t>(y, INT32_MIN / 2, INT32_MAX / 2)); }

bool TextBlock::HitTestClick(int& id, const pf::Point& p) const {
    const pf::Font* font = GetFontObject();
    if (text_.empty() || !font) return false;
    std::vector<int> clicks;
    int y = GetVAlignOffset();
    for (size_t i = 0; i < lines_.size(); ++i) {
        int hit = -1;
        RenderMarkupLine(nullptr, nullptr, font, GetAlign(), GetWidth(), pf::Point(i == 0 ? 0 : lineIndent_, y), 0,
                         GetSpacing(), nullptr, nullptr, 255, &clicks, &hit, p, lines_[i], baseOffset_);
        if (hit != -1) {
            id = hit;
            return true;
        }
        y = LineTop(int64_t(y) + GetLineSkip());
    }
    return false;
}

// ---------------------------------------------------------------- properties and dump

bool TextBlock::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"align") {
        SetAlign(WToI(value));
    } else if (key == L"valign") {
        SetVAlign(WToI(value));
    } else if (key.compare(0, 15, L"clickStateColor") == 0 || key == L"clickID" || key == L"shadowColor" ||
               key == L"shadowOffset") {
        // accepted for older layouts; no effect
    } else if (key == L"font") {
        SetFont(value);
    } else if (key == L"lineSkip") {
        SetLineSkip(pf::ToInt(value));
    } else if (key == L"spacing") {
        SetSpacing(WToI(value));
    } else if (key == L"text") {
        SetText(value);
    } else if (key == L"outlinecolor") {
        SetOutlineColor(pf::HexToColor(value));
    } else if (key == L"delimiters") {
        SetDelimiters(value);
    } else {
        return Actor::SetProperty(key, value);
    }
    return true;
}

std::wstring TextBlock::Dump(bool withModifiers, bool coloured) const {
    std::wstring shown = text_.size() > 16 ? text_.substr(0, 16) + L"..." : text_;
    return Actor::Dump(withModifiers, coloured) + L"\n [TextBlock] text '" + shown + L"'";
}

// ---------------------------------------------------------------- events

bool TextBlock::HandleEvent(const TreeState& state, pf::Event& e) {
    if (e.IsClaimed()) return false;
    const int type = e.GetType();
    if (type != pf::EventType::MouseButtonDown && type != pf::EventType::MouseButtonUp)
        return Actor::HandleEvent(state, e);
    if (type == pf::EventType::MouseButtonDown) pressedClickId_ = -1;
    const pf::Point p(pf::TruncateToInt(state.mouse.x), pf::TruncateToInt(state.mouse.y));
    const pf::Rect inside = GetInternalRect();
    int id = -1;
    if (p.x >= inside.x && p.x < inside.x + inside.width && p.y >= inside.y && p.y < inside.y + inside.height &&
        HitTestClick(id, p)) {
        if (type == pf::EventType::MouseButtonDown) {
            pressedClickId_ = id;
        } else if (id == pressedClickId_ && CurrentRootItem) {
            CurrentRootItem->PostEvent(pf::EventType::ButtonClick, id, 0, 0, L"", L"", L"");
        }
        return true;
    }
    return Actor::HandleEvent(state, e);
}
