#include "widgets/ColorRect.h"

#include <algorithm>
#include <sstream>

#include "shell/foundation/TextHelpers.h"

using pf::Color;
using pf::Rect;

ColorRect::ColorRect() {
    SetName(L"ColorRect");
    SetIgnoreTransparency(true);
}

bool ColorRect::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"color") {
        SetColor(pf::ToColor(value));
        return true;
    }
    return Actor::SetProperty(key, value);
}

void ColorRect::Draw(const RenderState& in) {
    // The fill always inherits the parent's alpha and is not clipped by the rectangle's
    // own clip (the actor's drawing below clips its surface and children).
    const Color colour = GetColor();
    const int parentAlpha = std::max(0, std::min(in.alpha, 255));
    const int a = colour.a * GetAlpha() * parentAlpha / 65025;
    if (pf::Display* display = in.display) {
        display->SetColor(colour.r, colour.g, colour.b, a);
        display->SetTransform(GetTransform() * in.world);
        display->SetBlendMode(GetBlend());
        const Rect r = GetInternalRect();
        if (GetDrawActor()) {
            display->FillRect(r);
            if (border_.a != 0) {
                const int s = borderSize_;
                display->SetColor(border_.r, border_.g, border_.b, border_.a * GetAlpha() * parentAlpha / 65025);
                display->FillRect(Rect(r.x, r.y, r.width, s));
                display->FillRect(Rect(r.x, r.y, s, r.height));
                display->FillRect(Rect(r.width - s, r.y, s, r.height));
                display->FillRect(Rect(r.x, r.height - s, r.width, s));
            }
        }
    }
    Actor::Draw(in);
}

Color ColorRect::GetColorAtLocalPoint(const pf::Point& p) {
    return GetInternalRect().PointIn(p) ? GetColor() : Color(0, 0, 0, 0);
}

std::wstring ColorRect::Dump(bool withModifiers, bool coloured) const {
    std::wostringstream out;
    out << Actor::Dump(withModifiers, coloured) << L"\n [ColorRect] border=" << borderSize_ << L" border color=x"
        << pf::ColorToHex(border_);
    if (coloured) out << L"{color=" << pf::ColorToHex(border_) << L"} (*color*){/c}";
    return out.str();
}
