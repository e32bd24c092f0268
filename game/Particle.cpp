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
        const float t = float(age) / 15.7f;
        const float m = step * 0.001f;
        x += m * std::cos(t / hPeriod + 1.57079f + hPhase) * (hAmp * 2.0f);
        y += m * std::cos(t / vPeriod + vPhase) * (vAmp * 2.0f);
        vx += step * ax;
        vy += step * ay;
        x += step * vx;
        y += step * vy;
    }
    return int64_t(lifespan) - age <= 0;
}

pf::MatrixT& Particle::ComputeTransform(pf::MatrixT& out) const {
    const pf::SurfacePtr surface = GetSurface();
    const float w = surface ? float(surface->GetWidth()) : 0.0f;
    const float h = surface ? float(surface->GetHeight()) : 0.0f;
    pf::MatrixT rotationZ;
    pf::MatrixT::RotationZ(rotationZ, (angleCurve.Get() + rotation) / 180.0f * 3.1415927f);
    const pf::Point origin = GetOrigin();
    out = pf::MatrixT::MakeTranslation(pf::VectorT3(-w / 2, -h / 2, 0)) *
          pf::MatrixT::MakeScaling(pf::VectorT3(GetScaleX(), GetScaleY(), 1)) * rotationZ *
          pf::MatrixT::MakeTranslation(pf::VectorT3(w / 2 - float(origin.x), h / 2 - float(origin.y), 0));
    if (hasShear) {
        pf::MatrixT shear = pf::MatrixT::MakeIdentity();
        shear.m[0][1] = shearCurves[1].Get();
        shear.m[1][0] = shearCurves[0].Get();
        out = out * shear;
    }
    const pf::VectorT2 p = GetPositionF();
    out = out * pf::MatrixT::MakeTranslation(pf::VectorT3(p.x, p.y, 0));
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
    Item::DrawChildren(copy);
}
