// 10,000 live sprite particles a frame at 800 x 600: updated and drawn by their system
// through the display, against the same quads handed straight to the software device with
// the same blend; and the update alone. Prints the frame ratio at the end.
//
// All are timed in rounds taken in turns, the frame also against a peer and a floor: SDL2's
// software renderer drawing the same quads (the particles' triangles as last drawn, same
// texture, same per-particle alpha) into an 800 x 600 frame in memory, and a memcpy of
// that frame.
// SDL's picture is compared with the display's first, and the live particle count is
// checked after the rounds, so no drawing or updating is skipped.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/DevicePeer.h"
#include "bench/common/InTurns.h"
#include "bench/common/SdlPeer.h"
#include "content/ResAnim.h"
#include "content/XmlData.h"
#include "game/ParticleSystem.h"
#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/NativeSurfaceDX.h"
#include "shell/Random.h"

namespace {

constexpr int kParticles = 10000;
constexpr int kSystemId = 1;
constexpr int kSide = 16;

const char kDefinition[] = R"(<Effects><System id="1"><PoolSize value="10000"/><EmitSize base="10000"/>
  <EmitRate base="100000000"/><EmitSpeed base="0"/>
  <Emitter type="circle"><Radius value="280"/><Angle base="0" dev="180"/></Emitter>
  <Particle type="sprite"><Lifespan base="100000000"/>
    <Angle><start value="0"/><end value="360000"/></Angle>
    <Alpha><start value="1"/><end value="0.2"/></Alpha>
    <Scale><start value="1"/><mid t="0.5" value="2"/><end value="1"/></Scale>
    <Animation framerate="0"/></Particle>
  <Force id="0" type="AngularForce"><AngularForce t="1"/></Force>
</System></Effects>)";

struct Scene {
    pf::HeadlessDisplayPlatform platform;
    pf::DisplayDX display{&platform};
    my_intrusive_ptr<ResAnim> anim{new ResAnim()};
    ParticleSystemInstance system;
    RenderState state;
    std::vector<pf::DeviceVertex> quads;
    std::vector<uint32_t> picture;  // the display's frame the quads were taken from

    Scene() {
        pf::SeedRand(7);
        display.Init(800, 600, false, false, false);
        pf::MemorySurface image(kSide, kSide);
        pf::PixelView v = image.GetView();
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] = 0xC0000000u | uint32_t(x * 16) << 16 | uint32_t(y * 16);
        anim->SetSurface(&display, display.CreateSurfaceFromImage(v), 1, 1);
        XmlMutableData xml;
        xml.ParseNarrow(kDefinition, L"");
        ReadParticleDefinitions(xml);
        ParticleRegistry::Get(kSystemId).animation = anim.get();
        system.Init(kSystemId);
        system.SetPosition(400, 300);
        state.display = &display;
        EngineFrame();
        picture = benchkit::BackBufferPicture(display, 800, 600);
        // The engine's work is real: every particle is alive and took the drawing path.
        int drawn = 0;
        for (const auto& p : system.GetLive()) drawn += p->GetSurface() ? 1 : 0;
        if (system.GetLive().size() != size_t(kParticles) || drawn != kParticles) {
            std::fprintf(stderr, "expected %d drawn particles, got %zu live, %d drawn\n", kParticles,
                         system.GetLive().size(), drawn);
            std::abort();
        }
        // The same quads, as the particles were last drawn, in screen space.
        for (const auto& p : system.GetLive()) {
            pf::MatrixT world;
            p->ComputeTransform(world);
            const int alpha = int(p->GetAlphaCurve().Get() * 255.0f);
            const auto q = pf::BuildQuad(pf::Rect(0, 0, kSide, kSide), pf::Rect(0, 0, kSide, kSide), kSide, kSide,
                                         uint32_t(alpha) << 24 | 0xFFFFFFu);
            for (const auto& c : q) {
                const pf::VectorT3 s = world.TransformVec3(pf::VectorT3(c.x, c.y, 0));
                quads.push_back(pf::DeviceVertex{s.x, s.y, 0, c.color, c.u, c.v});
            }
        }
    }

    void EngineFrame() {
        display.BeginFrame(nullptr);
        system.Update(16);
        system.Draw(state);
        display.EndFrame();
    }
    void DeviceFrame() {
        display.SetBlendMode(pf::BlendMode::Alpha);
        benchkit::DrawQuadsOnDevice(display, anim->GetSurface().get(), quads);
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void BM_ParticleFrame(benchmark::State& state) {
    for (auto _ : state) TheScene().EngineFrame();
    state.counters["particles/s"] = benchmark::Counter(kParticles, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ParticleFrame)->Unit(benchmark::kMillisecond);

void BM_DeviceQuads(benchmark::State& state) {
    for (auto _ : state) TheScene().DeviceFrame();
    state.counters["particles/s"] = benchmark::Counter(kParticles, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DeviceQuads)->Unit(benchmark::kMillisecond);

void BM_ParticleUpdate10k(benchmark::State& state) {
    Scene& s = TheScene();
    for (auto _ : state) s.system.Update(16);
    benchmark::DoNotOptimize(s.system.GetLive().back()->GetParticlePosition());
    state.counters["particles/s"] = benchmark::Counter(kParticles, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ParticleUpdate10k)->Unit(benchmark::kMicrosecond);

// The frame in turns with SDL2's software renderer and a memcpy of the frame.
bool InTurns(Scene& s) {
    benchkit::SdlPeer sdl(800, 600);
    SDL_Texture* texture = sdl.Texture(s.anim->GetSurface().get());
    if (!texture) {
        std::fprintf(stderr, "SDL2's software renderer did not start: %s\n", SDL_GetError());
        return false;
    }
    sdl.SetTriangles(s.quads, true);
    bool drawn = sdl.Frame(texture);
    const benchkit::PictureMatch match = benchkit::MatchPictures(s.picture, sdl.Picture(), 0xFF000000u);
    std::printf("pictures: display drew over %.1f %% of the frame, SDL2 %.1f %%, mean channel difference %.2f\n",
                match.oursDrawn * 100, match.peerDrawn * 100, match.meanDifference);
    if (!match.Same(8.0)) {
        std::fprintf(stderr, "SDL2's picture is not the display's: the comparison would be void\n");
        return false;
    }
    benchkit::FrameCopy copy(size_t(800) * 600 * 4);
    benchkit::InTurns turns;
    constexpr int kFrames = 5, kRounds = 15;
    const size_t frame = turns.Add("update and draw", kFrames, [&] { s.EngineFrame(); });
    const size_t device = turns.Add("device quads alone", kFrames, [&] { s.DeviceFrame(); });
    const size_t peer = turns.Add("SDL2 software renderer, same quads", kFrames, [&] { drawn &= sdl.Frame(texture); });
    const size_t floor = turns.Add("memcpy of the 800x600 frame", kFrames, copy);
    const size_t update = turns.Add("update alone", 10, [&] { s.system.Update(16); });
    turns.Run(kRounds);
    if (!drawn || s.system.GetLive().size() != size_t(kParticles)) {
        std::fprintf(stderr, "a frame was not drawn or particles were lost: %zu live\n", s.system.GetLive().size());
        return false;
    }
    std::printf("%d particles a frame, in turns (median of %d rounds of %d frames; peer: SDL2's software renderer "
                "drawing the same %zu triangles with SDL_RenderGeometry, nearest sampling): update and draw "
                "%.3f ms, device quads alone %.3f ms; update alone %.3f ms per 10,000\n",
                kParticles, kRounds, kFrames, sdl.Triangles(), turns.Wall(frame) * 1e3, turns.Wall(device) * 1e3,
                turns.Wall(update) * 1e3);
    turns.PrintWallRatio(frame, device, "particle frame (update + draw) / device quads alone");
    turns.PrintWallRatio(frame, peer, "particle frame (update + draw) / SDL2 software renderer, same quads");
    turns.PrintWallRatio(device, peer, "device quads alone / SDL2 software renderer, same quads");
    turns.PrintWallRatio(frame, floor, "particle frame (update + draw) / memcpy of the 800x600 frame");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    benchkit::RunBenchmarks();
    Scene& s = TheScene();
    const bool ok = InTurns(s);
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
