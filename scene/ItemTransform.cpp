// Item transforms, point and rectangle conversions, clipping and drawing.
#include "scene/Actor.h"
#include "scene/Item.h"
#include "scene/ItemWalk.h"
#include "scene/RootItem.h"
#include "scene/ScreenSize.h"
#include "shell/Display.h"

using pf::MatrixT;
using pf::Point;
using pf::Rect;
using pf::VectorT3;

MatrixT Item::ComputeTransform() const {
    const pf::VectorT2 p = GetPositionF();
    return MatrixT::MakeTranslation(VectorT3(p.x, p.y, 0.0f));
}

const MatrixT& Item::GetTransform() const {
    if (transformDirty_) {
        local_ = ComputeTransform();
        inverse_ = local_.GetInverse();
        transformDirty_ = false;
    }
    return local_;
}

const MatrixT& Item::GetInverseTransform() const {
    GetTransform();
    return inverse_;
}

Point Item::ConvertPoint(const Point& p, bool toParent) const {
    const Point pos = GetPosition();
    return toParent ? p + pos : p - pos;
}

Point ConvertPointBetweenItems(Point p, const Item* from, const Item* to, bool upward) {
    if (!from || !to || from == to) return p;
    if (upward) {
        for (const Item* x = from; x && x != to; x = x->GetParent()) p = x->ConvertPoint(p, true);
        return p;
    }
    const Item* chain[32];
    int n = 0;
    for (const Item* x = to; x && x != from && n < 32; x = x->GetParent()) chain[n++] = x;
    while (n > 0) p = chain[--n]->ConvertPoint(p, false);
    return p;
}

namespace {
const Item* ItemForSpace(const Item* item, int space) {
    switch (space) {
        case CoordRoot: return CurrentRootItem.get();
        case CoordParent: return item ? item->GetParent() : nullptr;
        case CoordSelf: return item;
        default: return nullptr;
    }
}

// The scaled origin an actor subtracts from its rectangle; (0, 0) for other items.
Point ScaledOriginOf(const Item* x) {
    if (!x->IsKindOf(TypeId::Actor)) return Point();
    const auto* actor = dynamic_cast<const Actor*>(x);
    return actor ? actor->GetScaledOrigin() : Point();
}
}  // namespace

Point ConvertPointBetweenSpaces(const Item* item, Point p, int from, int to) {
    const Item* a = ItemForSpace(item, from);
    const Item* b = ItemForSpace(item, to);
    if (a == b) return p;
    return ConvertPointBetweenItems(p, a, b, to < from);
}

Rect ConvertRectBetweenSpaces(const Item* item, Rect r, int from, int to) {
    r.SetPosition(ConvertPointBetweenSpaces(item, r.GetPosition(), from, to));
    return r;
}

Rect Item::GetRectInParent() const {
    Rect r = GetInternalRect();
    r.SetPosition(ConvertPointBetweenSpaces(this, r.GetPosition(), CoordSelf, CoordParent));
    return r;
}

namespace {
// The internal rectangle moved up the ancestors (less each actor's scaled origin); with
// stopAtActorParent the walk ends at the first item whose parent is an actor.
Rect RectUpTheTree(const Item* item, bool stopAtActorParent) {
    Rect r = item->GetInternalRect();
    for (const Item* x = item; x; x = x->GetParent()) {
        r.MoveRelative(-ScaledOriginOf(x));
        r.MoveRelative(x->GetPosition());
        if (stopAtActorParent && x->GetParent() && x->GetParent()->HasSurface()) break;
    }
    return r;
}
}  // namespace

Rect Item::GetRectInRoot() const { return RectUpTheTree(this, false); }

Rect Item::GetRectInActorParent() const { return RectUpTheTree(this, true); }

Rect Item::GetChildrenRect(Rect& acc, bool recursive) const {
    for (size_t i = 0; i < children_.size(); ++i) {
        my_intrusive_ptr<Item> c = children_[i];
        Rect r = c->GetRectInRoot();
        if (recursive) c->GetChildrenRect(r, true);
        acc.Union(r);
    }
    return acc;
}

Rect Item::calculateSubtreeRect() const {
    Rect r = GetInternalRect();
    for (const auto& c : children_) r.Union(c->calculateSubtreeRect());
    const MatrixT& m = GetTransform();
    r.x += static_cast<int>(m.m[3][0]);
    r.y += static_cast<int>(m.m[3][1]);
    r.width = static_cast<int>(static_cast<float>(GetWidth()) * m.m[0][0]);
    r.height = static_cast<int>(static_cast<float>(GetHeight()) * m.m[1][1]);
    return r;
}

Rect CalcUnionChildRect(const Item* item, bool recursive, bool includeHidden) {
    Rect u;
    if (!item) return u;
    if (includeHidden || item->IsVisible()) u = item->GetRectInRoot();
    for (const auto& c : item->GetChildren()) {
        if (includeHidden || c->IsVisible()) u.Union(c->GetRectInRoot());
        if (recursive && !c->GetChildren().empty()) u.Union(CalcUnionChildRect(c.get(), true, true));
    }
    return u;
}

Rect Item::GetEffectiveClipRect() const {
    Rect acc(0, 0, GetGameScreenWidth(), GetGameScreenHeight());
    bool found = false;
    for (const Item* x = this; x; x = x->GetParent()) {
        const Rect clip = x->GetClipRect();
        if (clip.IsEmpty()) continue;
        acc.Intersection(ConvertRectBetweenSpaces(x, clip, CoordSelf, CoordRoot));
        found = true;
    }
    if (!found) return Rect();
    return ConvertRectBetweenSpaces(this, acc, CoordRoot, CoordSelf);
}

bool Item::IsInClipRect(const Point& p) const {
    if (!clipRect_.IsEmpty()) {
        if (!clipRect_.PointIn(ConvertPointBetweenSpaces(this, p, CoordRoot, CoordSelf))) return false;
    } else if (IsKindOf(TypeId::Actor)) {
        if (!GetInternalRect().PointIn(ConvertPointBetweenSpaces(this, p, CoordRoot, CoordSelf)))
            return false;
    }
    return parent_ ? parent_->IsInClipRect(p) : true;
}

void Item::Draw(const RenderState& in) {
    if (childOrderDirty_) SortChildren();
    RenderState copy = in;
    copy.world = GetTransform() * in.world;
    if (!eventManager_) ConnectEventManager();
    DrawChildren(copy);
}

void Item::DrawChildren(const RenderState& rs) {
    if (!rs.drawChildren) return;
    if (childOrderDirty_) SortChildren();
    if (!eventManager_) ConnectEventManager();
    WalkEntries(children_, false, false, [this](Item* c) { return IsChild(c); },
                [&rs](Item* c) {
                    if (c->IsVisible()) c->Draw(rs);
                    return false;
                });
}
