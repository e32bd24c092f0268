// One moving sprite of a particle effect: started from a template with random
// deviations, moved by its velocity and forces, drawn with the cel, scale, rotation, alpha,
// colour and shear its curves give over its normalised life.
#pragma once

#include "game/ParticleDefs.h"
#include "scene/Actor.h"

class ResAnim;

class Particle : public Actor {
public:
    Particle();

    // Every field back to its start value (new oscillation phases, curves reset), size 1 x 1.
    void Reset();
    // Starts the particle at (x, y) with a velocity in pixels per second.
    void Init(const ParticleDef& def, float x, float y, float velocityX, float velocityY);
    void ApplyForce(const ParticleForce& force);
    // Advances by step milliseconds of its system's time; true when the particle is dead.
    bool Update(float step);

    using Actor::ComputeTransform;
    // Scale and rotation about the cel's centre, then shear, then the position.
    virtual pf::MatrixT& ComputeTransform(pf::MatrixT& out) const;
    void Draw(const RenderState& in) override;
    // The draw order among the particles of an effect; the parent is not told.
    void SetPriority(int p) override { priority = p; }
    int GetPriority() const override { return priority; }

    void SetAnimation(ResAnim* anim) { animation = anim; }
    int GetLifespan() const { return lifespan; }
    int GetAge() const { return age; }
    int GetMass() const { return mass; }
    pf::VectorT2 GetParticlePosition() const { return pf::VectorT2(x, y); }
    pf::VectorT2 GetVelocity() const { return pf::VectorT2(vx, vy); }
    float GetFrame() const { return frame; }
    const ValueCurve& GetAlphaCurve() const { return alphaCurve; }
    const ValueCurve& GetScaleCurve() const { return scaleCurve; }
    const ValueCurve& GetAngleCurve() const { return angleCurve; }

private:
    bool isSprite = false;
    int lifespan = 0;
    int age = 0;
    int mass = 0;
    float vx = 0.0f, vy = 0.0f;
    float ax = 0.0f, ay = 0.0f;
    float angularVelocity = 0.0f;
    float rotation = 0.0f;
    float x = 0.0f, y = 0.0f;
    ValueCurve angleCurve, scaleCurve, alphaCurve;
    bool animated = false;
    float framesPerMs = 0.0f;
    float frame = 0.0f;
    bool hasColor = false, hasShear = false;
    ValueCurve colorCurves[3];
    ValueCurve shearCurves[2];
    ResAnim* animation = nullptr;  // not counted: owned by the resource manager
    int animLoop = 0;
    float kickForce = 0.0f;
    int kickFreq = 0;
    float vAmp = 0.0f, vPeriod = 1.0f;
    float hAmp = 0.0f, hPeriod = 1.0f;
    float vPhase = 0.0f, hPhase = 0.0f;
    int priority = 0;
};
