// The particle definitions reader over arbitrary XML, then the first systems of the text
// run for 100 updates and are drawn each time. Nothing may crash, and no non-finite
// transform or out-of-range colour may reach the display.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "content/ResAnim.h"
#include "content/XmlData.h"
#include "game/ParticleSystem.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/Random.h"
#include "tests/common/NullDisplay.h"

namespace {

class CheckingDisplay : public testkit::NullDisplay {
public:
    void SetColor(int r, int g, int b, int a) override {
        for (int c : {r, g, b, a})
            if (c < 0 || c > 255) __builtin_trap();
    }
    void SetTransform(const pf::MatrixT& m) override {
        for (const auto& row : m.m)
            for (float v : row)
                if (!std::isfinite(v)) __builtin_trap();
    }
};

// Keeps one input fast: a big pool is legal, but not what this target looks for.
constexpr int kPoolLimit = 64;
constexpr int kSystems = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (pf::SetLogToStderr(false), true);
    (void)quiet;
    static CheckingDisplay display;
    static my_intrusive_ptr<ResAnim> anim = [] {
        my_intrusive_ptr<ResAnim> a(new ResAnim());
        a->SetSurface(&display, pf::SurfacePtr(new pf::MemorySurface(4, 4)), 2, 2);
        return a;
    }();

    pf::SeedRand(uint32_t(size));
    ParticleRegistry::Clear();
    XmlMutableData x;
    if (!x.ParseNarrow(std::string(reinterpret_cast<const char*>(data), size), L"")) return 0;
    // The ids of the first systems, read before the reader walks the element.
    std::vector<int> ids;
    if (x.GoFirstChild()) {
        do {
            int id = -1;
            x.GetInt(L"id", id, -1);
            ids.push_back(id);
        } while (ids.size() < size_t(kSystems) && x.GoNextSibling());
        x.GoParent();
    }
    if (!ReadParticleDefinitions(x)) return 0;

    RenderState state;
    state.display = &display;
    for (int id : ids) {
        ParticleSystemDef& def = ParticleRegistry::Get(id);
        def.poolSize = std::min(def.poolSize, kPoolLimit);
        if (!def.animation) def.animation = anim.get();
        // Linked systems are bounded the same way.
        for (const ParticleLink& link : def.links) {
            ParticleSystemDef& linked = ParticleRegistry::Get(link.id);
            linked.poolSize = std::min(linked.poolSize, kPoolLimit);
        }
        ParticleSystemInstance instance;
        instance.Init(id);
        for (int i = 0; i < 100; ++i) {
            instance.SetPosition(i, -i);
            instance.Update(i % 7 == 0 ? 250 : 16);
            instance.Draw(state);
        }
    }
    return 0;
}
