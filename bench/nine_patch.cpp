// A 1600 x 1200 nine-patch panel (96 x 96 image, 32-pixel patches, tile mode) drawn each
// frame through the scene (root, actor, nine-patch layout, surface draws) against the same
// quads handed straight to the software device. Checks that both frames hold the same
// pixels, then prints the scene's time over the device's.
//
// All are timed in rounds taken in turns, the scene's frame also against a peer and a
// floor: SDL2's software renderer drawing the same patch quads from the same image into a
// 1600 x 1200 frame in memory, and a memcpy of that frame (every pixel of it is drawn once). SDL's
// picture is compared with the scene's first, and the scene's checksum after the rounds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "bench/common/SdlPeer.h"
#include "content/ResAnim.h"
#include "widgets/Box9Actor.h"
#include "scene/RootItem.h"
#include "scene/ScreenSize.h"
#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/NativeSurfaceDX.h"
#include "shell/platform/DisplayPlatform.h"

namespace {

constexpr int kWidth = 1600, kHeight = 1200, kImage = 96;

// Keeps the patches it draws (source, destination) when asked to.
class CapturingBox9 : public Box9Actor {
public:
    std::vector<std::pair<pf::Rect, pf::Rect>>* capture = nullptr;
    void DrawPatchStretched(const RenderState& rs, int i, const pf::Rect& target) override {
        if (capture && !GetPatchRect(i).IsEmpty() && !target.IsEmpty()) capture->emplace_back(GetPatchRect(i), target);
        Box9Actor::DrawPatchStretched(rs, i, target);
    }
};

struct Scene {
    pf::HeadlessDisplayPlatform platform;
    pf::DisplayDX display{&platform};
    my_intrusive_ptr<RootItem> root{new RootItem};
    my_intrusive_ptr<CapturingBox9> box{new CapturingBox9};
    pf::SurfacePtr image;
    std::vector<pf::DeviceVertex> quads;

    Scene() {
        // A monitor the frame fits on, so the frame is drawn straight to the back buffer
        // (on a smaller one the display would letterbox it and scale it down each frame).
        platform.monitorWidth = kWidth;
        platform.monitorHeight = kHeight;
        platform.modes.push_back({kWidth, kHeight});
        if (!display.Init(kWidth, kHeight, false, false, false)) std::abort();
        SetGameScreenSize(kWidth, kHeight);
        pf::MemorySurface pixels(kImage, kImage);
        pf::PixelView v = pixels.GetView();
        for (int y = 0; y < kImage; ++y)
            for (int x = 0; x < kImage; ++x)
                reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] =
                    0xFF000000u | uint32_t(x * 2) << 16 | uint32_t(y * 2) << 8 | uint32_t((x ^ y) & 0xFF);
        image = display.CreateSurfaceFromImage(v);
        my_intrusive_ptr<ResAnim> anim(new ResAnim);
        anim->SetSurface(&display, image, 1, 1);
        box->SetResAnim(anim.get());
        box->SetSize(pf::Point(kWidth, kHeight));
        root->AddItem(box.get());

        std::vector<std::pair<pf::Rect, pf::Rect>> patches;
        box->capture = &patches;
        ThroughScene();
        box->capture = nullptr;
        for (const auto& [source, target] : patches) {
            const auto q = pf::BuildQuad(source, target, kImage, kImage, 0xFFFFFFFFu);
            for (const auto& c : q) quads.push_back(pf::DeviceVertex{c.x, c.y, c.z, c.color, c.u, c.v});
        }
    }

    void ThroughScene() {
        display.BeginFrame(nullptr);
        root->Render(display);
        display.EndFrame();
    }
    void ThroughDevice() {
        display.BeginFrame(nullptr);
        pf::RenderDevice& d = *display.GetDevice();
        d.SetTransform(pf::TransformId::World, pf::MatrixT::MakeIdentity());
        d.SetTexture(0, static_cast<pf::NativeSurfaceDX*>(image.get())->GetTexture());
        for (size_t i = 0; i < quads.size(); i += 4) d.DrawPrimitiveUP(pf::PrimitiveKind::TriangleStrip, 2, &quads[i]);
        display.EndFrame();
    }
    // A checksum of the back buffer after the last frame, read from the device directly
    // (the display copies its back buffer only into render-target surfaces).
    uint64_t FrameSum() {
        const std::vector<uint32_t> px = benchkit::BackBufferPicture(display, kWidth, kHeight);
        uint64_t sum = 0;
        for (uint32_t p : px) sum = sum * 1099511628211ull + p;
        return sum;
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void BM_NinePatchThroughScene(benchmark::State& state) {
    for (auto _ : state) TheScene().ThroughScene();
    state.counters["quads"] = double(TheScene().quads.size() / 4);
}
BENCHMARK(BM_NinePatchThroughScene)->Unit(benchmark::kMillisecond);

void BM_NinePatchQuadsToDevice(benchmark::State& state) {
    for (auto _ : state) TheScene().ThroughDevice();
    state.counters["quads"] = double(TheScene().quads.size() / 4);
}
BENCHMARK(BM_NinePatchQuadsToDevice)->Unit(benchmark::kMillisecond);

// The scene's frame in turns with SDL2's software renderer and a memcpy of the frame.
bool InTurns(Scene& s, uint64_t sceneSum) {
    benchkit::SdlPeer sdl(kWidth, kHeight);
    SDL_Texture* texture = sdl.Texture(s.image.get());
    if (!texture) {
        std::fprintf(stderr, "SDL2's software renderer did not start: %s\n", SDL_GetError());
        return false;
    }
    sdl.SetTriangles(s.quads, true);
    sdl.SetCopies(s.quads, 4, kImage, kImage);
    s.ThroughScene();
    const std::vector<uint32_t> ours = benchkit::BackBufferPicture(s.display, kWidth, kHeight);
    benchkit::SdlPeer::Matches match;
    bool drawn = sdl.MatchBoth(texture, ours, "the scene", match);
    if (!match.triangles.Same(2.0) || !match.copies.Same(2.0)) {
        std::fprintf(stderr, "SDL2's picture is not the scene's: the comparison would be void\n");
        return false;
    }
    benchkit::FrameCopy copy(size_t(kWidth) * kHeight * 4);
    benchkit::InTurns turns;
    constexpr int kFrames = 5, kRounds = 15;
    const size_t scene = turns.Add("scene", kFrames, [&] { s.ThroughScene(); });
    const size_t device = turns.Add("device alone", kFrames, [&] { s.ThroughDevice(); });
    const size_t peer = turns.Add("SDL2 copies", kFrames, [&] { drawn &= sdl.CopyFrame(texture); });
    const size_t triangles = turns.Add("SDL2 triangles", kFrames, [&] { drawn &= sdl.Frame(texture); });
    const size_t floor = turns.Add("memcpy", kFrames, copy);
    turns.Run(kRounds);
    s.ThroughScene();
    if (!drawn || s.FrameSum() != sceneSum) {
        std::fprintf(stderr, "a frame was not drawn or the scene's picture changed: the comparison is void\n");
        return false;
    }
    std::printf("%dx%d nine-patch, %zu quads a frame, in turns (median of %d rounds of %d frames; peer: SDL2's "
                "software renderer drawing the same quads as SDL_RenderCopy rectangles, and as triangles with "
                "SDL_RenderGeometry): scene %.3f ms, device alone %.3f ms\n",
                kWidth, kHeight, s.quads.size() / 4, kRounds, kFrames, turns.Wall(scene) * 1e3, turns.Wall(device) * 1e3);
    turns.PrintWallRatio(scene, device, "nine-patch through the scene / device alone");
    turns.PrintWallRatio(scene, peer, "nine-patch through the scene / SDL2 software renderer, RenderCopy");
    turns.PrintWallRatio(device, peer, "device alone / SDL2 software renderer, RenderCopy");
    turns.PrintWallRatio(scene, triangles, "nine-patch through the scene / SDL2 software renderer, RenderGeometry");
    turns.PrintWallRatio(scene, floor, "nine-patch through the scene / memcpy of the 1600x1200 frame");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    Scene& s = TheScene();
    s.ThroughScene();
    const uint64_t scene = s.FrameSum();
    s.ThroughDevice();
    const uint64_t device = s.FrameSum();
    if (scene == 0 || scene != device) {
        std::printf("the scene's frame and the device's differ: the comparison would be void\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchkit::RunBenchmarks();
    const bool ok = InTurns(s, scene);
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
