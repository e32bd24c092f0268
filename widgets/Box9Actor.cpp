#include "widgets/Box9Actor.h"

#include <algorithm>
#include <climits>

#include "content/ResAnim.h"
#include "widgets/TileLayout.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

using pf::Point;
using pf::Rect;

namespace {
// A laid-out length as an int: sizes past this come only from absurd requests.
constexpr int64_t kMaxLength = INT_MAX / 2;
int Length(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN / 2, kMaxLength)); }
}  // namespace

Box9Actor::Box9Actor() {
    SetName(L"Box9Actor");
    SetGuides(0, 0, 0, 0);
}

void Box9Actor::SetLeftGuide(int x) {
    left_ = x;
    UpdateSize();
}

void Box9Actor::SetRightGuide(int x) {
    right_ = x;
    UpdateSize();
}

void Box9Actor::SetTopGuide(int y) {
    top_ = y;
    UpdateSize();
}

void Box9Actor::SetGuides(int left, int right, int top, int bottom) {
    left_ = left;
    right_ = right;
    top_ = top;
    bottom_ = bottom;
    UpdateSize();
}

void Box9Actor::EffectiveGuides(int& l, int& r, int& t, int& b, int& w, int& h) const {
    ResAnim* anim = GetResAnim();
    pf::SurfacePtr image = anim ? anim->GetSurface() : pf::SurfacePtr();
    w = image ? std::max(0, image->GetWidth()) : 0;
    h = image ? std::max(0, image->GetHeight()) : 0;
    l = std::clamp(left_, 0, w);
    r = std::clamp(right_, l, w);
    t = std::clamp(top_, 0, h);
    b = std::clamp(bottom_, t, h);
}

Rect Box9Actor::GetPatchRect(int i) const {
    if (i < 0 || i > 8) return Rect();
    int l, r, t, b, w, h;
    EffectiveGuides(l, r, t, b, w, h);
    const int xs[4] = {0, l, r, w};
    const int ys[4] = {0, t, b, h};
    const int column = i % 3, row = i / 3;
    return Rect(xs[column], ys[row], xs[column + 1] - xs[column], ys[row + 1] - ys[row]);
}

Point Box9Actor::GetPatchSize(int i) const { return GetPatchRect(i).GetSize(); }

void Box9Actor::DrawPatch(const RenderState& rs, int i, const Point& position) {
    DrawPatchStretched(rs, i, Rect(position, GetPatchSize(i)));
}

void Box9Actor::DrawPatchStretched(const RenderState& rs, int i, const Rect& target) {
    ResAnim* anim = GetResAnim();
    pf::SurfacePtr image = anim ? anim->GetSurface() : pf::SurfacePtr();
    const Rect source = GetPatchRect(i);
    if (!image || !rs.display || source.IsEmpty() || target.IsEmpty()) return;
    image->Draw(rs.display, &source, &target);
}

void Box9Actor::SetDefaultGuides(ResAnim* anim) {
    if (!anim) return;
    pf::SurfacePtr image = anim->GetSurface();
    const int w = image ? image->GetWidth() : anim->GetWidth();
    const int h = image ? image->GetHeight() : anim->GetHeight();
    SetLeftGuide(w / 3);
    SetRightGuide(w - w / 3);
    SetTopGuide(h / 3);
    SetBottomGuide(h - h / 3);
}

bool Box9Actor::ComputeLayout(Layout& out) const {
    ResAnim* anim = GetResAnim();
    if (!anim || !anim->GetSurface()) return false;
    for (int i = 0; i < 9; ++i) out.size[i] = GetPatchSize(i);
    const Point* s = out.size;
    out.left = s[0].x;
    out.right = s[2].x;
    out.top = s[0].y;
    out.bottom = s[6].y;
    // An empty centre has no middle tiles (the counts would divide by its size).
    const int64_t reqW = requested_.x, reqH = requested_.y;
    out.n = s[4].x > 0 ? tiles::CoverCount(reqW - out.left - out.right, s[4].x) : 0;
    out.m = s[4].y > 0 ? tiles::CoverCount(reqH - out.top - out.bottom, s[4].y) : 0;
    // Tiles are drawn one by one: their number is bounded. Stretched, the counts only
    // scale sizes; a count below 0 (a request smaller than the borders) is none.
    if (stretchMode_ == Tile) {
        tiles::BoundGrid(out.n, out.m);
    } else {
        out.n = std::max<int64_t>(out.n, 0);
        out.m = std::max<int64_t>(out.m, 0);
    }
    const int64_t borderW = out.left + out.right, borderH = out.top + out.bottom;
    if (stretchMode_ == StretchMiddle) {
        out.e = useRealSize_ ? reqW - borderW : reqW;
        out.f = useRealSize_ ? reqH - borderH : reqH;
        if (out.e < 0 || out.f < 0) out.e = out.f = 0;
        if (useRealSize_)
            out.laidOut = (reqW < borderW || reqH < borderH) ? Point(Length(borderW), Length(borderH))
                                                               : Point(requested_.x, requested_.y);
        else
            out.laidOut = Point(Length(reqW + borderW), Length(reqH + borderH));
    } else {
        out.laidOut = Point(Length(borderW + out.n * s[1].x), Length(borderH + out.m * s[3].y));
    }
    return true;
}

void Box9Actor::UpdateSize() {
    if (requested_.x == 0) return;
    Layout layout;
    if (!ComputeLayout(layout)) return;
    Item::SetSize(layout.laidOut);
}

void Box9Actor::SetSize(const Point& size) {
    requested_ = size;
    UpdateSize();
}

bool Box9Actor::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"guidLeft") {
        SetLeftGuide(pf::ToInt(value));
    } else if (key == L"guidRight") {
        SetRightGuide(pf::ToInt(value));
    } else if (key == L"guidTop") {
        SetTopGuide(pf::ToInt(value));
    } else if (key == L"guidBottom") {
        SetBottomGuide(pf::ToInt(value));
    } else if (key == L"colorKey") {
        colorKey_ = pf::ToBool(value);
        return false;
    } else {
        return Actor::SetProperty(key, value);
    }
    return true;
}

pf::Color Box9Actor::GetColorAtLocalPoint(const Point& p) {
    return GetInternalRect().PointIn(p) ? GetColor() : pf::Color(0, 0, 0, 0);
}

void Box9Actor::SetResAnim(ResAnim* r) {
    SetDefaultGuides(r);
    Actor::SetResAnim(r);
    UpdateSize();
}

void Box9Actor::SetAnim(const std::wstring& id) {
    Actor::SetAnim(id);
    SetDefaultGuides(GetResAnim());
    UpdateSize();
}

void Box9Actor::ReportBadGuides() {
    int l, r, t, b, w, h;
    EffectiveGuides(l, r, t, b, w, h);
    const bool bad = l != left_ || r != right_ || t != top_ || b != bottom_ || r == l || b == t;
    const int now[4] = {left_, right_, top_, bottom_};
    if (!bad || (reportedAny_ && std::equal(now, now + 4, reported_))) return;
    std::copy(now, now + 4, reported_);
    reportedAny_ = true;
    pf::DebugStream() << L"Box9Actor '" << GetName() << L"': guides " << left_ << L", " << right_ << L", " << top_
                      << L", " << bottom_ << L" do not cut the " << w << L" x " << h
                      << L" image into nine patches with a centre; drawn with " << l << L", " << r << L", " << t
                      << L", " << b;
}

void Box9Actor::Draw(const RenderState& in) {
    RenderState out;
    if (!PrepareDraw(in, out)) return;
    // Held: a drawing may outlive a change of anim made from elsewhere.
    my_intrusive_ptr<ResAnim> anim = GetResAnim();
    Layout L;
    if (anim && ComputeLayout(L)) {
        ReportBadGuides();
        const Point* s = L.size;
        const int top = L.top, left = L.left;
        if (stretchMode_ == Tile) {
            const int n = static_cast<int>(L.n), m = static_cast<int>(L.m);
            auto drawRow = [&](int first, int y) {
                DrawPatch(out, first, Point(0, y));
                int x = left;
                for (int i = 0; i < n; ++i, x += s[first + 1].x) DrawPatch(out, first + 1, Point(x, y));
                DrawPatch(out, first + 2, Point(x, y));
            };
            drawRow(0, 0);
            int y = top;
            for (int j = 0; j < m; ++j, y += s[3].y) drawRow(3, y);
            drawRow(6, y);
        } else if (stretchMode_ == Stretch) {
            const int nw1 = Length(L.n * s[1].x), nw4 = Length(L.n * s[4].x), nw7 = Length(L.n * s[7].x);
            const int mh3 = Length(L.m * s[3].y), mh4 = Length(L.m * s[4].y), mh5 = Length(L.m * s[5].y);
            DrawPatch(out, 0, Point(0, 0));
            DrawPatch(out, 2, Point(left + nw1, 0));
            DrawPatch(out, 6, Point(0, top + mh3));
            DrawPatch(out, 8, Point(s[6].x + nw7, top + mh3));
            DrawPatchStretched(out, 1, Rect(left, 0, nw1, s[1].y));
            DrawPatchStretched(out, 3, Rect(0, top, s[3].x, mh3));
            DrawPatchStretched(out, 4, Rect(s[3].x, top, nw4, mh4));
            DrawPatchStretched(out, 5, Rect(s[3].x + nw4, top, s[5].x, mh5));
            DrawPatchStretched(out, 7, Rect(s[6].x, top + mh3, nw7, s[7].y));
        } else if (stretchMode_ == StretchMiddle) {
            const int e = Length(L.e), f = Length(L.f);
            DrawPatch(out, 0, Point(0, 0));
            DrawPatch(out, 2, Point(e + left, 0));
            DrawPatch(out, 6, Point(0, f + top));
            DrawPatch(out, 8, Point(e + s[6].x, f + top));
            if (e > 0) {
                DrawPatchStretched(out, 1, Rect(left, 0, e, s[1].y));
                DrawPatchStretched(out, 3, Rect(0, top, s[3].x, f));
                DrawPatchStretched(out, 4, Rect(s[3].x, top, e, f));
                DrawPatchStretched(out, 5, Rect(e + s[3].x, top, s[5].x, f));
                DrawPatchStretched(out, 7, Rect(s[6].x, f + top, e, s[7].y));
            }
        }
        Item::SetSize(L.laidOut);
    }
    Item::DrawChildren(out);
    CompleteDraw(in, out);
}
