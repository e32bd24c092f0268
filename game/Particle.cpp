#include "game/Particle.h"

#include <algorithm>
#include <cmath>

#include "content/ResAnim.h"
#include "shell/Random.h"

namespace {

constexpr float kDegreesToRadians = 3.1415927f / 180.0f;

int ClampChannel(float v) { return std::clamp(SaturatingInt(v), 0, 255); }

bool IsFinite(const pf::MatrixT& m) {
    for (const auto& row : m.m)
        for (float v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

}  // namespace

Particle::Particle() { Reset(); }

void Particle::Reset() {
    isSprite = false;
    lifespan = age = mass = 0;
    vx = vy = ax = ay = angularVelocity = rotation = x = y = 0.0f;
    animated = false;
    framesPerMs = frame = 0.0f;
    hasColor = hasShear = false;
    animation = nullptr;
    animLoop = 0;
    kickForce = 0.0f;
    kickFreq = 0;
    vAmp = hAmp = 0.0f;
    vPeriod = hPeriod = 1.0f;
    vPhase = float(pf::Rand()) * 3.14159f / float(pf::kRandMax);
    hPhase = float(pf::Rand()) * 3.14159f / float(pf::kRandMax);
    priority = 0;
    for (ValueCurve* c : {&angleCurve, &scaleCurve, &alphaCurve, &colorCurves[0], &colorCurves[1], &colorCurves[2],
                          &shearCurves[0], &shearCurves[1]})
        c->Reset();
    Item::SetWidth(1);
    Item::SetHeight(1);
}

void Particle::Init(const ParticleDef& def, float px, float py, float velocityX, float velocityY) {
    Reset();
    x = px;
    y = py;
    isSprite = def.isSprite;
    vx = velocityX / 1000.0f;
    vy = velocityY / 1000.0f;
    lifespan = SaturatingInt(double(def.lifespanBase) + ParticleDev(def.lifespanDev));
    // Forces are divided by the mass; the reader reports templates that can reach 0.
    mass = std::max(1, SaturatingInt(double(def.massBase) + ParticleDev(def.massDev)));
    angleCurve = def.angleCurve;
    angleCurve.Reset();
    scaleCurve = def.scaleCurve;
    scaleCurve.Reset();
    alphaCurve = def.alphaCurve;
    alphaCurve.Reset();
    if (def.hasColor) {
        hasColor = true;
        for (int i = 0; i < 3; ++i) {
            colorCurves[i] = def.colorCurves[i];
            colorCurves[i].Reset();
        }
    }
    if (def.hasShear) {
        hasShear = true;
        for (int i = 0; i < 2; ++i) {
            shearCurves[i] = def.shearCurves[i];
            shearCurves[i].Reset();
        }
    }
    frame = 0.0f;
    animLoop = std::max(def.animLoop, 0);
    if (def.framerate > 0) {
        animated = true;
        framesPerMs = float(def.framerate) / 1000.0f;
    }
}

void Particle::ApplyForce(const ParticleForce& force) {
    switch (force.kind) {
    case ForceLinear:
        ax += (force.a / float(mass)) / 1000000.0f;
        ay += (force.b / float(mass)) / 1000000.0f;
        break;
    case ForceAngular:
        angularVelocity += force.a / float(mass) / 1000.0f;
        break;
    case ForceNonLinear:
        kickForce = force.a;
        kickFreq = SaturatingInt(std::floor(force.b));
        break;
    case ForceVerticalOscillation:
        if (force.b == 0.0f) break;  // the oscillation divides by its period
        vPeriod = force.b;
        vAmp = force.a;
        break;
    case ForceHorizontalOscillation:
        if (force.b == 0.0f) break;
        hPeriod = force.b;
        hAmp = force.a;
        break;
    default:
        break;
    }
}

bool Particle::Update(float step) {
    age = SaturatingInt(double(age) + std::trunc(double(step)));
    if (int64_t(lifespan) - age > 0) {
        const float d = step / float(lifespan);
        angleCurve.Advance(d);
        scaleCurve.Advance(d);
        alphaCurve.Advance(d);
        if (animated) frame += step * framesPerMs;
        if (hasColor)
            for (ValueCurve& c : colorCurves) c.Advance(d);
        if (hasShear)
            for (ValueCurve& c : shearCurves) c.Advance(d);
        rotation += step * angularVelocity;
        if (kickFreq > 0 && double(pf::Rand() % 100) < double(step) * 100.0 * kickFreq / 1000.0) {
            const float k = kickForce / float(mass);
            vx += (float(pf::Rand() % 2000 - 1000) / 1000.0f) * k;
            vy += k * (float(pf::Rand() % 2000 - 1000) / 1000.0f);
        }
        // Oscillations (skipped without amplitude: they would add nothing).
        const float t = float(age) / 15.7f;
        const float m = step * 0.001f;
        if (hAmp != 0.0f) x += m * std::cos(t / hPeriod + 1.57079f + hPhase) * (hAmp * 2.0f);
        if (vAmp != 0.0f) y += m * std::cos(t / vPeriod + vPhase) * (vAmp * 2.0f);
        vx += step * ax;
        vy += step * ay;
        x += step * vx;
        y += step * vy;
    }
    return int64_t(lifespan) - age <= 0;
}

pf::MatrixT& Particle::ComputeTransform(pf::MatrixT& out) const {
    // T(-w/2, -h/2) x S x R x T(w/2, h/2) x T(-origin) x [K] x T(position), as one affine
    // transform: the 2 x 2 part L and the translation t of row vectors (p' = p L + t).
    const pf::SurfacePtr surface = GetSurface();
    const float cx = surface ? float(surface->GetWidth()) / 2 : 0.0f;
    const float cy = surface ? float(surface->GetHeight()) / 2 : 0.0f;
    const float radians = (angleCurve.Get() + rotation) / 180.0f * 3.1415927f;
    const float c = std::cos(radians), s = std::sin(radians);
    const float sx = GetScaleX(), sy = GetScaleY();
    float l00 = sx * c, l01 = sx * s, l10 = -sy * s, l11 = sy * c;
    const pf::Point origin = GetOrigin();
    float tx = -cx * l00 - cy * l10 + cx - float(origin.x);
    float ty = -cx * l01 - cy * l11 + cy - float(origin.y);
    if (hasShear) {
        // K: the identity with m01 = shear y and m10 = shear x.
        const float k01 = shearCurves[1].Get(), k10 = shearCurves[0].Get();
        const float n00 = l00 + l01 * k10, n01 = l00 * k01 + l01;
        const float n10 = l10 + l11 * k10, n11 = l10 * k01 + l11;
        const float ux = tx + ty * k10, uy = tx * k01 + ty;
        l00 = n00, l01 = n01, l10 = n10, l11 = n11, tx = ux, ty = uy;
    }
    const pf::VectorT2 p = GetPositionF();
    out = pf::MatrixT::MakeIdentity();
    out.m[0][0] = l00;
    out.m[0][1] = l01;
    out.m[1][0] = l10;
    out.m[1][1] = l11;
    out.m[3][0] = tx + p.x;
    out.m[3][1] = ty + p.y;
    return out;
}

void Particle::Draw(const RenderState& in) {
    RenderState copy = in;
    if (isSprite) {
        if (!animation) return;
        const int cels = animation->GetNumCels();
        // The frame wraps here, so a long life never overflows the cel index.
        const int column = cels > 0 ? int(std::fmod(frame, float(cels))) : 0;
        pf::Surface* cel = animation->getCel(animLoop, column);
        SetSurface(cel);
        SetScale(scaleCurve.Get());
        SetPositionF(pf::VectorT2(x, y));
        SetRotationDegrees(angleCurve.Get());
        SetOrigin(pf::Point(GetWidth() / 2, GetHeight() / 2));
        const int alpha = std::clamp(SaturatingInt(std::trunc(alphaCurve.Get() * float(in.alpha))), 0, 255);
        copy.alpha = alpha;
        pf::Display* display = copy.display;
        // Drawn by its target item or by its system: either way under the state's world.
        pf::MatrixT local;
        copy.world = ComputeTransform(local) * in.world;
        if (display && cel && IsFinite(copy.world)) {
            // Without colour curves the sprite is drawn in its own colours at the curve's alpha.
            if (hasColor)
                display->SetColor(ClampChannel(colorCurves[0].Get()), ClampChannel(colorCurves[1].Get()),
                                  ClampChannel(colorCurves[2].Get()), alpha);
            else
                display->SetColor(255, 255, 255, alpha);
            display->SetTransform(copy.world);
            display->SetBlendMode(GetBlend());
            const pf::Rect r = GetInternalRect();
            cel->Draw(display, nullptr, &r);
        }
    }
    if (!GetChildren().empty()) Item::DrawChildren(copy);
}
