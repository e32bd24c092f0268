// The reader of particle-system XML: every child of the loaded element is one system,
// its children set the emitter, emission, particle templates, animations, forces and
// links. Numbers that would break the simulation are clamped or refused, each with one
// log line naming the system.
#include <algorithm>
#include <cmath>
#include <functional>

#include "content/ResourceManager.h"
#include "content/XmlData.h"
#include "game/ParticleDefs.h"
#include "shell/foundation/Log.h"

namespace {

// Sizes far beyond any effect; larger values from a file are cut to them.
constexpr int kMaxRectSide = 1 << 16;
constexpr int kMaxAnimGrid = 1 << 10;
constexpr float kMaxTimescale = 1000.0f;

class Reader {
public:
    explicit Reader(XmlMutableData& x) : x_(x) {}

    void ReadSystems() {
        EachChild([this] { ReadSystem(); });
    }

private:
    // Runs f with each child element current in turn; the current element is unchanged after.
    void EachChild(const std::function<void()>& f) {
        if (!x_.GoFirstChild()) return;
        do {
            f();
        } while (x_.GoNextSibling());
        x_.GoParent();
    }
    std::wstring Tag() { return x_.GetTagName(); }
    int Int(const wchar_t* name, int def) {
        int v = def;
        x_.GetInt(name, v, def);
        return v;
    }
    float Float(const wchar_t* name, float def) {
        float v = def;
        x_.GetFloat(name, v, def);
        if (!std::isfinite(v)) {
            Warn(std::wstring(L"\"") + name + L"\" of " + Tag() + L" is not a finite number; " +
                 std::to_wstring(def) + L" is used");
            v = def;
        }
        return v;
    }
    std::wstring String(const wchar_t* name, const wchar_t* def) {
        std::wstring v;
        x_.GetString(name, v, def);
        return v;
    }
    void Warn(const std::wstring& text) {
        pf::DebugStream() << L"Particle system " << def_->id << L" in '" << x_.GetFileName() << L"': " << text;
    }
    // v limited to [lo, hi], with one log line when it was outside.
    int Clamp(int v, int lo, int hi, const wchar_t* what) {
        if (v >= lo && v <= hi) return v;
        const int c = std::clamp(v, lo, hi);
        Warn(std::wstring(what) + L" " + std::to_wstring(v) + L" is out of range; " + std::to_wstring(c) + L" is used");
        return c;
    }

    void ReadSystem() {
        const int id = Int(L"id", -1);
        def_ = &ParticleRegistry::Get(id);
        def_->id = id;
        def_->name = String(L"name", L"Unnamed");
        def_->target = String(L"target", L"");
        EachChild([this] { ReadSystemChild(); });
        if (def_->emitterType == EmitterRegular && def_->emitPoints < 1) {
            Warn(L"regular emitter without EmitPoints; one point is used");
            def_->emitPoints = 1;
        }
    }

    void ReadSystemChild() {
        const std::wstring tag = Tag();
        ParticleSystemDef& d = *def_;
        if (tag == L"PoolSize") {
            d.poolSize = Clamp(Int(L"value", 125), 0, ParticleRegistry::kMaxPoolSize, L"PoolSize");
        } else if (tag == L"EmitRate") {
            d.emitRateBase = Int(L"base", 100);
            d.emitRateDev = Int(L"dev", 0);
        } else if (tag == L"EmitSize") {
            d.emitSizeBase = Int(L"base", 5);
            d.emitSizeDev = Int(L"dev", 0);
        } else if (tag == L"EmitSpeed") {
            d.emitSpeedBase = Float(L"base", 0.0f);
            d.emitSpeedDev = Float(L"dev", 0.0f);
        } else if (tag == L"Lifespan") {
            d.lifespan = Int(L"value", 0);
        } else if (tag == L"Timescale") {
            const float t = Float(L"value", 1.0f);
            d.timescale = std::clamp(t, 0.0f, kMaxTimescale);
            if (d.timescale != t) Warn(L"Timescale " + std::to_wstring(t) + L" is out of range");
        } else if (tag == L"Link") {
            EachChild([this] {
                if (Tag() != L"ParticleSystem") return;
                def_->links.push_back(ParticleLink{Int(L"id", -1), Float(L"priority", 0.0f)});
            });
        } else if (tag == L"Emitter") {
            ReadEmitter();
        } else if (tag == L"Particle") {
            ReadParticle();
        } else if (tag == L"Animation") {
            d.animation = LoadAnim(d.animRgb, d.animAlpha, d.animCels, d.animLoops);
        } else if (tag == L"AnimationList") {
            EachChild([this] {
                if (Tag() != L"Animation") return;
                std::wstring rgb, alpha;
                int cels = 0, loops = 0;
                if (ResAnim* anim = LoadAnim(rgb, alpha, cels, loops)) def_->animations.push_back(anim);
            });
        } else if (tag == L"Force") {
            ReadForce();
        }
    }

    // The four attributes of an Animation element, and its anim from the resource manager.
    ResAnim* LoadAnim(std::wstring& rgb, std::wstring& alpha, int& cels, int& loops) {
        rgb = String(L"rgb", L"");
        alpha = String(L"alpha", L"");
        cels = Clamp(Int(L"cels", 1), 1, kMaxAnimGrid, L"Animation cels");
        loops = Clamp(Int(L"loops", 1), 1, kMaxAnimGrid, L"Animation loops");
        ResourceManager* manager = GetResourceManager();
        if (!manager || rgb.empty()) return nullptr;
        ResAnim* anim = manager->LoadAnimFromFile(rgb, alpha, cels, loops, rgb, L"", L"default");
        if (!anim) Warn(L"animation '" + rgb + L"' could not be loaded");
        return anim;
    }

    void ReadEmitter() {
        ParticleSystemDef& d = *def_;
        const std::wstring type = String(L"type", L"radial");
        if (type == L"radial") d.emitterType = EmitterRadial;
        else if (type == L"regular") d.emitterType = EmitterRegular;
        else if (type == L"circle") d.emitterType = EmitterCircle;
        else if (type == L"rectangle") d.emitterType = EmitterRectangle;
        EachChild([this, &type] {
            ParticleSystemDef& s = *def_;
            const std::wstring tag = Tag();
            if (type == L"regular" && tag == L"EmitPoints") {
                s.emitPoints = Clamp(Int(L"num", 1), 1, 360 * 1000, L"EmitPoints");
                s.initialOffset = Float(L"initialoffset", 0.0f);
            } else if (type == L"rectangle" && tag == L"Rect") {
                s.rect = pf::Rect(Int(L"x", 0), Int(L"y", 0), Clamp(Int(L"width", 50), 0, kMaxRectSide, L"Rect width"),
                                  Clamp(Int(L"height", 50), 0, kMaxRectSide, L"Rect height"));
            } else if (type == L"rectangle" && tag == L"VelocityAngle") {
                s.velocityAngleBase = Float(L"base", 0.0f);
                s.velocityAngleDev = Float(L"dev", 0.0f);
            }
        });
        EachChild([this] {
            ParticleSystemDef& s = *def_;
            const std::wstring tag = Tag();
            if (tag == L"Radius") {
                s.radius = Float(L"value", 15.0f);
            } else if (tag == L"Angle") {
                s.angleBase = Int(L"base", 180);
                s.angleDev = Int(L"dev", 180);
            } else if (tag == L"VelocityMultipler") {
                EachChild([this] {
                    const std::wstring part = Tag();
                    if (part == L"Base") def_->velocityMulBase = pf::VectorT2(Float(L"x", 1.0f), Float(L"y", 1.0f));
                    else if (part == L"Dev") def_->velocityMulDev = pf::VectorT2(Float(L"x", 0.0f), Float(L"y", 0.0f));
                });
            }
        });
    }

    void ReadParticle() {
        ParticleSystemDef& d = *def_;
        if (d.particleCount >= ParticleSystemDef::kMaxParticleDefs) return;
        ParticleDef& p = d.particles[d.particleCount++];
        p.isSprite = String(L"type", L"sprite") == L"sprite";
        EachChild([this, &p] {
            const std::wstring tag = Tag();
            if (tag == L"Mass") {
                p.massBase = Int(L"base", 1);
                p.massDev = Int(L"dev", 0);
                // Forces are divided by the mass: it must stay at 1 or more.
                if (p.massBase < 1 || int64_t(p.massBase) - std::abs(int64_t(p.massDev)) < 1) {
                    Warn(L"Mass " + std::to_wstring(p.massBase) + L" with deviation " + std::to_wstring(p.massDev) +
                         L" can reach 0 or less; such masses are taken as 1");
                    p.massBase = std::max(p.massBase, 1);
                }
            } else if (tag == L"Lifespan") {
                p.lifespanBase = Int(L"base", 1);
                p.lifespanDev = Int(L"dev", 0);
            } else if (tag == L"Angle") {
                ReadCurve(p.angleCurve);
            } else if (tag == L"Alpha") {
                ReadCurve(p.alphaCurve);
            } else if (tag == L"Scale") {
                ReadCurve(p.scaleCurve);
            } else if (tag == L"Color") {
                p.hasColor = true;
                ReadKeys(p.colorCurves, {L"r", L"g", L"b"});
            } else if (tag == L"Shear") {
                p.hasShear = true;
                ReadKeys(p.shearCurves, {L"x", L"y"});
            } else if (tag == L"Animation" && p.isSprite) {
                p.framerate = Int(L"framerate", 10);
                p.animLoop = Clamp(Int(L"animloop", 0), 0, kMaxAnimGrid, L"animloop");
            }
        });
        // Curves take their keys and deviations into account.
        for (ValueCurve* c : {&p.scaleCurve, &p.angleCurve, &p.alphaCurve, &p.colorCurves[0], &p.colorCurves[1],
                              &p.colorCurves[2], &p.shearCurves[0], &p.shearCurves[1]})
            c->Reset();
    }

    // The key time of a "mid" element, inside the life.
    float MidTime() {
        const float t = Float(L"t", 0.0f);
        if (t >= 0.0f && t <= 1.0f) return t;
        Warn(L"key time " + std::to_wstring(t) + L" is outside 0..1");
        return std::clamp(t, 0.0f, 1.0f);
    }

    void ReadCurve(ValueCurve& curve) {
        EachChild([this, &curve] {
            const std::wstring tag = Tag();
            if (tag == L"start") curve.SetKey(0.0f, Float(L"value", 0.0f));
            else if (tag == L"end") curve.SetKey(1.0f, Float(L"value", 0.0f));
            else if (tag == L"mid") curve.SetKey(MidTime(), Float(L"value", 0.0f));
            else if (tag == L"dev") curve.dev = Float(L"value", 0.0f);
        });
    }

    template <size_t N>
    void ReadKeys(ValueCurve (&curves)[N], const wchar_t* const (&names)[N]) {
        EachChild([&] {
            const std::wstring tag = Tag();
            float t = 0.0f;
            if (tag == L"start") t = 0.0f;
            else if (tag == L"end") t = 1.0f;
            else if (tag == L"mid") t = MidTime();
            else return;
            for (size_t i = 0; i < N; ++i) curves[i].SetKey(t, Float(names[i], 0.0f));
        });
    }

    void ReadForce() {
        const int id = Int(L"id", 0);
        if (id < 0 || id >= ParticleSystemDef::kMaxForces) {
            Warn(L"Force id " + std::to_wstring(id) + L" is outside 0..9; the force is skipped");
            return;
        }
        const std::wstring type = String(L"type", L"");
        ParticleForce& force = def_->forces[id];
        EachChild([this, &type, &force] {
            if (Tag() != type) return;
            if (type == L"LinearForce") {
                force = ParticleForce{ForceLinear, Float(L"x", 0.0f), Float(L"y", 0.0f)};
            } else if (type == L"AngularForce") {
                force = ParticleForce{ForceAngular, Float(L"t", 0.0f), 0.0f};
            } else if (type == L"NonLinearForce") {
                force = ParticleForce{ForceNonLinear, Float(L"force", 0.0f), Float(L"freq", 0.0f)};
            } else if (type == L"VerticalOscillationForce" || type == L"HorizontalOscillationForce") {
                const float period = Float(L"period", 0.0f);
                const float amplitude = Float(L"amplitude", 0.0f);
                // The oscillation divides by its period.
                if (period == 0.0f) {
                    Warn(type + L" without a period is skipped");
                    return;
                }
                force = ParticleForce{type == L"VerticalOscillationForce" ? ForceVerticalOscillation
                                                                          : ForceHorizontalOscillation,
                                      amplitude, period};
            }
        });
    }

    XmlMutableData& x_;
    ParticleSystemDef* def_ = nullptr;
};

}  // namespace

bool ReadParticleDefinitions(XmlMutableData& data) {
    if (!data.IsValid()) return false;
    Reader(data).ReadSystems();
    return true;
}

bool LoadParticleDefinitions(const std::wstring& source) {
    XmlMutableData data;
    if (!data.Load(source) || !data.IsValid()) {
        pf::DebugStream() << L"Particle definitions '" << source << L"' could not be loaded";
        return false;
    }
    return ReadParticleDefinitions(data);
}
