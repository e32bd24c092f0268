// Particle-effect definitions: the keyframed value curve, the particle template, the
// system record, the process-wide registry keyed by id and the reader of the XML format.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "shell/foundation/ValueTypes.h"
#include "shell/foundation/VectorMath.h"

class ResAnim;
class XmlMutableData;

// A float value over a normalised life from 0 (birth) to 1 (death), keyframed.
class ValueCurve {
public:
    ValueCurve();

    void Reset();
    void Advance(float d);
    // The smallest key time strictly above t; 1 when there is none.
    float NextKey(float t) const;
    // The value in use: the keyed value plus this copy's random offset.
    float Get() const { return value + offset; }
    void SetKey(float t, float v) { keys[t] = v; }

    float time = 0.0f;
    float segmentStart = 0.0f;
    float segmentEnd = 1.0f;
    float slope = 0.0f;
    bool animated = false;
    float value = 0.0f;
    float dev = 0.0f;
    float offset = 0.0f;
    std::map<float, float> keys;
};

enum ParticleForceKind : int {
    ForceNone = 0,
    ForceLinear = 1,
    ForceAngular = 2,
    ForceNonLinear = 3,
    ForceVerticalOscillation = 4,
    ForceHorizontalOscillation = 5,
};

struct ParticleForce {
    int kind = ForceNone;
    float a = 0.0f;
    float b = 0.0f;
};

enum ParticleEmitterType : int { EmitterRadial = 0, EmitterRegular = 1, EmitterCircle = 2, EmitterRectangle = 3 };

// One particle template.
struct ParticleDef {
    ParticleDef();

    bool isSprite = false;
    int massBase = 1;
    int massDev = 0;
    int lifespanBase = 100;
    int lifespanDev = 0;
    int framerate = 8;
    int animLoop = 0;
    ValueCurve scaleCurve;
    ValueCurve angleCurve;
    ValueCurve alphaCurve;
    ValueCurve colorCurves[3];
    bool hasColor = false;
    bool hasShear = false;
    ValueCurve shearCurves[2];
};

struct ParticleLink {
    int id = -1;
    float priority = 0.0f;
};

struct ParticleSystemDef {
    static constexpr int kMaxParticleDefs = 5;
    static constexpr int kMaxForces = 10;

    int id = 0;
    std::wstring name;
    ParticleDef particles[kMaxParticleDefs];
    int particleCount = 0;
    ResAnim* animation = nullptr;  // owned by the resource manager
    std::vector<ResAnim*> animations;
    std::wstring animRgb;
    std::wstring animAlpha;
    int animCels = 0;
    int animLoops = 0;
    int poolSize = 0;
    int lifespan = 0;
    float timescale = 1.0f;
    int emitterType = EmitterRadial;
    float radius = 0.0f;
    int angleBase = 0;
    int angleDev = 360;
    int emitPoints = 0;
    float initialOffset = 0.0f;
    pf::Rect rect;
    float velocityAngleBase = 0.0f;
    float velocityAngleDev = 360.0f;
    ParticleForce forces[kMaxForces];
    int emitRateBase = 0;
    int emitRateDev = 0;
    int emitSizeBase = 0;
    int emitSizeDev = 0;
    float emitSpeedBase = 0.0f;
    float emitSpeedDev = 0.0f;
    pf::VectorT2 velocityMulBase{1.0f, 1.0f};
    pf::VectorT2 velocityMulDev{0.0f, 0.0f};
    std::wstring target;
    std::vector<ParticleLink> links;
};

// The definitions of the process, by id. They live until the process ends.
class ParticleRegistry {
public:
    // Most particles one system keeps alive; a larger pool from a file is cut to it.
    static constexpr int kMaxPoolSize = 16384;

    // The definition of id, made with the defaults when there is none yet.
    static ParticleSystemDef& Get(int id);
    // The definition of id, or null (nothing is made).
    static const ParticleSystemDef* Find(int id);
    // Forgets every definition. The game never does (instances read their definitions
    // while they run); tools that load many unrelated files in one process do.
    static void Clear();
};

// Reads a definitions file ("file" or "file:element/path") into the registry. False, with
// one log line, when the file cannot be loaded.
bool LoadParticleDefinitions(const std::wstring& source);
// Reads every child element of the current element of data as one system.
bool ReadParticleDefinitions(XmlMutableData& data);

// Random deviations shared by the emitters and the particles: dev(n) is uniform in [-n, n)
// (0 for n = 0); DevMilli(f) the same in thousandths for a float deviation.
int ParticleDev(int n);
float ParticleDevMilli(float f);
// A float turned into an int without overflow: out-of-range values clamp, NaN gives 0.
int SaturatingInt(double v);
