#include "scene/Actor.h"

#include <algorithm>
#include <sstream>

#include "scene/DragHandler.h"
#include "scene/ItemWalk.h"
#include "content/ResAnim.h"
#include "content/ResourceManager.h"
#include "scene/RootItem.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/PixelView.h"
#include "shell/foundation/TextHelpers.h"

using pf::Color;
using pf::MatrixT;
using pf::Point;
using pf::Rect;
using pf::VectorT3;

namespace {
constexpr float kPi = 3.1415927f;
}

// ---------------------------------------------------------------- Actor

Actor::Actor() { SetName(L"Actor"); }

Actor::Actor(const Actor& o)
    : Item(o),
      alpha_(o.alpha_),
      overwriteParentAlpha_(o.overwriteParentAlpha_),
      blend_(o.blend_),
      cel_(o.cel_),
      loop_(o.loop_),
      resanim_(o.resanim_),
      surface_(o.surface_),
      color_(o.color_),
      brightness_(o.brightness_),
      drawActor_(o.drawActor_),
      alphaIsOnThreshold_(o.alphaIsOnThreshold_),
      rotation_(o.rotation_),
      scale_(o.scale_),
      origin_(o.origin_) {}

Actor::~Actor() { surface_.reset(); }

Item* Actor::Clone(void* /*context*/) const { return new Actor(*this); }

int Actor::GetWidth() const { return surface_ ? surface_->GetWidth() : Item::GetWidth(); }
int Actor::GetHeight() const { return surface_ ? surface_->GetHeight() : Item::GetHeight(); }

std::wstring Actor::GetAnim() const { return resanim_ ? resanim_->GetId() : std::wstring(); }

float Actor::GetRotationDegrees() const { return GetRotation() / kPi * 180.0f; }

Point Actor::GetScaledOrigin() const {
    // A content size of 0 keeps the origin as it is rather than dividing by zero.
    const int cw = GetContentWidth(), ch = GetContentHeight();
    const double rx = cw != 0 ? static_cast<double>(GetWidth()) / cw : 1.0;
    const double ry = ch != 0 ? static_cast<double>(GetHeight()) / ch : 1.0;
    return Point(static_cast<int>(origin_.x * rx), static_cast<int>(origin_.y * ry));
}

void Actor::SetOrigin(const Point& p) {
    origin_ = p;
    MarkTransformDirty();
}

void Actor::SetOriginX(int x) { SetOrigin(Point(x, origin_.y)); }
void Actor::SetOriginY(int y) { SetOrigin(Point(origin_.x, y)); }
void Actor::setOriginToCenter() { SetOrigin(Point(GetWidth() / 2, GetHeight() / 2)); }

void Actor::ResetTransform() {
    SetScaleXY(1.0f, 1.0f);
    SetRotationDegrees(0.0f);
    SetAlpha(255);
}

int Actor::SetAlpha(int a) {
    if (a == alpha_) return alpha_;
    alpha_ = std::clamp(a, 0, 255);
    return alpha_;
}

void Actor::SetResAnim(ResAnim* r) {
    if (r) {
        resanim_ = r;
        SetLoop(0);
        SetCel(0);
    } else {
        resanim_.reset();
        cel_ = 0;
        loop_ = 0;
        surface_.reset();
    }
}

void Actor::SetAnim(const std::wstring& id) {
    ResourceManager* manager = GetResourceManager();
    ResAnim* anim = manager ? manager->LoadAnim(id) : nullptr;
    if (!anim) pf::DebugStream() << L"Error: Unable to load: " << id;
    SetResAnim(anim);
}

void Actor::SetCel(int c) {
    if (!resanim_) return;
    cel_ = std::max(0, std::min(c, resanim_->GetNumCels() - 1));
    SetSurface(resanim_->getCel(loop_, cel_));
}

void Actor::SetLoop(int l) {
    if (!resanim_) return;
    loop_ = std::max(0, std::min(l, resanim_->GetNumLoops() - 1));
    SetCel(cel_);
}

void Actor::SetBrightness(const Color& c) { brightness_ = Color(c.r, c.g, c.b, 0); }

void Actor::ResetColors() {
    SetColor(Color(255, 255, 255, 255));
    SetBrightness(Color(0, 0, 0, 0));
}

void Actor::SetRotationDegrees(float d) { SetRotation(d / 180.0f * kPi); }

void Actor::SetRotation(float r) {
    if (r == rotation_) return;
    rotation_ = r;
    MarkTransformDirty();
}

void Actor::SetScaleXY(float x, float y) {
    if (x == scale_.x && y == scale_.y) return;
    scale_ = pf::VectorT2(x, y);
    MarkTransformDirty();
}

MatrixT Actor::ComputeTransform() const {
    MatrixT rotation;
    MatrixT::RotationZ(rotation, rotation_);
    const pf::VectorT2 p = GetPositionF();
    return MatrixT::MakeTranslation(VectorT3(-float(origin_.x), -float(origin_.y), 0.0f)) *
           MatrixT::MakeScaling(VectorT3(scale_.x, scale_.y, 1.0f)) * rotation *
           MatrixT::MakeTranslation(VectorT3(p.x, p.y, 0.0f));
}

Point Actor::ConvertPoint(const Point& p, bool toParent) const {
    const VectorT3 v(float(p.x), float(p.y), 0.0f);
    const VectorT3 r = toParent ? GetTransform().TransformVec3(v)
                                : GetTransform().GetInverse().TransformVec3(v);
    return Point(pf::TruncateToInt(r.x), pf::TruncateToInt(r.y));
}

// ---------------------------------------------------------------- drawing

bool Actor::PrepareDraw(const RenderState& in, RenderState& out) {
    if (IsChildOrderDirty()) SortChildren();
    // Scripts may store any int here (and hand in any render state): outside 0..255 it is
    // taken as the nearest alpha, which also keeps the product below from overflowing.
    const int inherited = std::clamp(overwriteParentAlpha_ != -1 ? overwriteParentAlpha_ : in.alpha, 0, 255);
    out = in;
    out.alpha = color_.a * alpha_ * inherited / 65025;
    pf::Display* display = out.display;
    out.world = GetTransform() * in.world;
    if (display) {
        display->SetColor(color_.r, color_.g, color_.b, out.alpha);
        display->SetBrightness(brightness_.r, brightness_.g, brightness_.b, 0);
        display->SetTransform(out.world);
        display->SetBlendMode(blend_);
    }
    if (out.alpha == 0 && brightness_.a == 0) return false;
    if (GetUseClipRect()) {
        Rect clip = GetClipRect();
        clip.MoveRelative(Point(static_cast<int>(out.world.m[3][0]), static_cast<int>(out.world.m[3][1])));
        out.clipRect.Clip(clip);
        if (out.clipRect.IsEmpty()) return false;
        if (display) display->SetClipRect(&out.clipRect);
    }
    return true;
}

void Actor::CompleteDraw(const RenderState& in, RenderState& out) {
    if (GetUseClipRect() && out.display) out.display->SetClipRect(&in.clipRect);
}

void Actor::Draw(const RenderState& in) {
    // The actor lives through the whole call: drawing its children may take it out of
    // the tree before it completes its own drawing.
    const WalkedCall<Item> call(this, GetParent() != nullptr);
    RenderState out;
    if (!PrepareDraw(in, out)) return;
    const Rect r = GetInternalRect();
    if (drawActor_ && surface_ && out.display) {
        my_intrusive_ptr<pf::Surface> surface = surface_;
        surface->Draw(out.display, nullptr, &r);
    }
    Item::DrawChildren(out);
    CompleteDraw(in, out);
}

// ---------------------------------------------------------------- hit tests

Color Actor::GetColorAtLocalPoint(const Point& p) {
    if (!surface_ || !GetInternalRect().PointIn(p)) return Color(0, 0, 0, 0);
    my_intrusive_ptr<pf::Surface> surface = surface_;
    const Rect pixel(p.x, p.y, 1, 1);
    pf::PixelView view = pf::LockView(surface.get(), &pixel, true, false);
    const Color c = view.data ? pf::ReadPixelColor(view.data, view.format) : Color(0, 0, 0, 0);
    surface->Unlock();
    return c;
}

Color Actor::getColorAtPoint(const Point& p) {
    return GetColorAtLocalPoint(ConvertPointBetweenItems(p, CurrentRootItem.get(), this, false));
}

bool Actor::IsOnLocal(const Point& local) {
    if (!GetInternalRect().PointIn(local)) return false;
    if (GetIgnoreTransparency() || alphaIsOnThreshold_ <= 0) return true;
    return GetColorAtLocalPoint(local).a >= alphaIsOnThreshold_;
}

bool Actor::IsOn(const Point& p) {
    return IsOnLocal(ConvertPointBetweenItems(p, CurrentRootItem.get(), this, false));
}

bool Actor::HitTest(const TreeState& s) {
    return IsOnLocal(Point(pf::TruncateToInt(s.mouse.x), pf::TruncateToInt(s.mouse.y)));
}

// ---------------------------------------------------------------- properties and dump

bool Actor::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"alpha") {
        SetAlpha(pf::ToInt(value));
    } else if (key == L"color") {
        SetColor(pf::ToColor(value));
    } else if (key == L"anim") {
        SetAnim(value);
    } else if (key == L"cel") {
        SetCel(pf::ToInt(value));
    } else if (key == L"loop") {
        SetLoop(pf::ToInt(value));
    } else if (key == L"origin") {
        SetOrigin(pf::ToPoint(value));
    } else if (key == L"scale") {
        SetScale(static_cast<float>(pf::ToDouble(value)));
    } else if (key == L"scaleX") {
        SetScaleXY(static_cast<float>(pf::ToDouble(value)), GetScaleY());
    } else if (key == L"scaleY") {
        SetScaleXY(GetScaleX(), static_cast<float>(pf::ToDouble(value)));
    } else if (key == L"shadowColor" || key == L"shadowOffset") {
        // accepted for old data; no effect
    } else if (key == L"confines" || key == L"snapTo") {
        DragHandler* drag = static_cast<DragHandler*>(GetEventHandlerOfType(TypeId::DragHandler));
        if (!drag) {
            drag = new DragHandler;
            AddEventHandler(drag);
        }
        if (key == L"confines")
            drag->SetConfines(pf::ToRect(value));
        else
            drag->SetSnapTo(pf::ToInt(value));
    } else if (key == L"rotation") {
        std::wistringstream in(value);
        float degrees = 0.0f;
        in >> degrees;
        SetRotationDegrees(degrees);
    } else {
        return Item::SetProperty(key, value);
    }
    return true;
}

std::wstring Actor::Dump(bool withModifiers, bool coloured) const {
    std::wostringstream out;
    out << Item::Dump(withModifiers, coloured) << L"\n [Actor]";
    if (alpha_ != 255) out << L" alpha " << alpha_;
    if (origin_.x != 0 || origin_.y != 0) out << L", origin (" << origin_.x << L", " << origin_.y << L")";
    if (scale_.x != 1.0f || scale_.y != 1.0f) out << L", scale (" << scale_.x << L", " << scale_.y << L")";
    if (rotation_ != 0.0f) out << L", rotation " << GetRotationDegrees();
    if (color_.r != 255 || color_.g != 255 || color_.b != 255)
        out << L", color (" << pf::ColorToHex(color_) << L")";
    if (cel_ != 0) out << L", cel " << cel_;
    if (loop_ != 0) out << L", loop " << loop_;
    if (coloured) out << L"{color=" << pf::ColorToHex(color_) << L"}, (*color*){/c}";
    return out.str();
}
