// The software device against its peers on the same sprites and the same 800 x 600
// target, side by side in rounds taken in turns, each pair printed as a CPU time ratio
// (device / peer):
//  (a) axis-aligned alpha-blended 64 x 64 sprites against SDL2's software renderer;
//  (b) rotated and scaled bilinear sprites against pixman's affine bilinear OVER;
//  (c) a full-screen clear with the display's own colour (opaque black) and an opaque
//      full-screen texture drawn with the display's default states (blending and the
//      alpha test on, stage 0 modulating by white) against memset and memcpy.
// Each device figure's output is checked before it is timed.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "shell/render/SoftDevice.h"

using namespace pf;

namespace {

constexpr int kWidth = 800, kHeight = 600, kSprite = 64, kSprites = 200;

// A soft round sprite: opaque in the middle, fading out to fully transparent corners.
std::vector<uint32_t> MakeSprite() {
    std::vector<uint32_t> px(kSprite * kSprite);
    for (int y = 0; y < kSprite; ++y)
        for (int x = 0; x < kSprite; ++x) {
            const double d = std::hypot(x - 31.5, y - 31.5) / 32.0;
            const uint32_t a = d >= 1 ? 0 : d < 0.6 ? 255 : uint32_t(255 * (1 - d) / 0.4);
            px[size_t(y) * kSprite + x] = a << 24 | uint32_t(x * 4) << 16 | uint32_t(y * 4) << 8 | 0x80;
        }
    return px;
}

struct Placement {
    float x, y, angle, scale;
};

std::vector<Placement> Placements() {
    std::mt19937 rng(2024);
    std::vector<Placement> out;
    for (int i = 0; i < kSprites; ++i)
        out.push_back({float(rng() % (kWidth - kSprite)), float(rng() % (kHeight - kSprite)),
                       float(rng() % 628) / 100.0f, 0.75f + float(rng() % 75) / 100.0f});
    return out;
}

// The device with the display's states and a game view of the whole back buffer.
struct DeviceRig {
    std::unique_ptr<SoftDevice> device;
    my_intrusive_ptr<DeviceTexture> sprite;

    explicit DeviceRig(uint32_t filter) {
        PresentParams p;
        p.width = kWidth;
        p.height = kHeight;
        p.backBufferFormat = DeviceFormat::A8R8G8B8;
        device = CreateSoftDevice(p, nullptr);
        SoftDevice& d = *device;
        Viewport vp;
        vp.width = kWidth;
        vp.height = kHeight;
        d.SetViewport(vp);
        d.SetTransform(TransformId::Projection, MatrixT(2.0f / kWidth, 0, 0, 0, 0, 2.0f / kHeight, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
        d.SetTransform(TransformId::View, MatrixT::MakeScaling(VectorT3(1, -1, 1)) *
                                               MatrixT::MakeTranslation(VectorT3(-kWidth * 0.5f - 0.5f, kHeight * 0.5f + 0.5f, 0)));
        d.SetRenderState(RenderStateId::CullMode, CullNone);
        d.SetRenderState(RenderStateId::AlphaTestEnable, 1);
        d.SetRenderState(RenderStateId::AlphaRef, 1);
        d.SetRenderState(RenderStateId::AlphaFunc, CmpGreaterEqual);
        d.SetRenderState(RenderStateId::AlphaBlendEnable, 1);
        d.SetRenderState(RenderStateId::SrcBlend, BlendSrcAlpha);
        d.SetRenderState(RenderStateId::DestBlend, BlendInvSrcAlpha);
        d.SetTextureStageState(0, StageStateId::ColorArg2, ArgDiffuse);
        d.SetTextureStageState(0, StageStateId::AlphaOp, TopModulate);
        d.SetTextureStageState(0, StageStateId::AlphaArg2, ArgDiffuse);
        d.SetTextureStageState(0, StageStateId::MagFilter, filter);
        d.SetTextureStageState(0, StageStateId::MinFilter, filter);
        d.SetTextureStageState(0, StageStateId::AddressU, AddressClamp);
        d.SetTextureStageState(0, StageStateId::AddressV, AddressClamp);
        sprite = Texture(kSprite, kSprite, MakeSprite());
        d.SetTexture(0, sprite.get());
        d.BeginScene();
    }

    my_intrusive_ptr<DeviceTexture> Texture(int w, int h, const std::vector<uint32_t>& px) {
        my_intrusive_ptr<DeviceTexture> t;
        device->CreateTexture(w, h, 1, UsageNone, DeviceFormat::A8R8G8B8, MemoryPool::Managed, t);
        LockedRect lr;
        t->LockRect(0, nullptr, 0, lr);
        for (int y = 0; y < h; ++y) std::memcpy(lr.bits + y * lr.pitch, &px[size_t(y) * w], size_t(w) * 4);
        t->UnlockRect(0);
        return t;
    }

    void Quad(float x, float y, float w, float h) {
        const DeviceVertex v[4] = {{x, y, 0, 0xFFFFFFFFu, 0, 0}, {x + w, y, 0, 0xFFFFFFFFu, 1, 0},
                                   {x, y + h, 0, 0xFFFFFFFFu, 0, 1}, {x + w, y + h, 0, 0xFFFFFFFFu, 1, 1}};
        device->DrawPrimitiveUP(PrimitiveKind::TriangleStrip, 2, v);
    }
};

// Each piece of work below sets itself up (checking its output where it can), then draws
// one frame per call; the same frames are timed by the benchmark library and in turns.

// ---- (a) axis-aligned alpha-blended sprites ----

struct AlphaSpritesDevice {
    static constexpr int64_t kItems = kSprites, kBytes = 0;
    DeviceRig rig{SamplePoint};
    std::vector<Placement> where = Placements();
    const char* Failed() const { return nullptr; }
    void Frame() {
        for (const Placement& p : where) rig.Quad(p.x, p.y, kSprite, kSprite);
    }
};

struct AlphaSpritesSdl {
    static constexpr int64_t kItems = kSprites, kBytes = 0;
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
    std::vector<uint32_t> pixels = MakeSprite();
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kSprite, kSprite, 32, kSprite * 4,
                                                             SDL_PIXELFORMAT_ARGB8888);
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, sprite);
    std::vector<Placement> where = Placements();
    AlphaSpritesSdl() { SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND); }
    ~AlphaSpritesSdl() {
        SDL_DestroyTexture(texture);
        SDL_FreeSurface(sprite);
        SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(target);
    }
    const char* Failed() const { return texture ? nullptr : "SDL's renderer did not start"; }
    void Frame() {
        for (const Placement& p : where) {
            const SDL_Rect dst = {int(p.x), int(p.y), kSprite, kSprite};
            SDL_RenderCopy(renderer, texture, nullptr, &dst);
        }
        SDL_RenderFlush(renderer);
    }
};

// ---- (b) rotated and scaled bilinear sprites ----

struct RotatedSpritesDevice {
    static constexpr int64_t kItems = kSprites, kBytes = 0;
    DeviceRig rig{SampleLinear};
    std::vector<MatrixT> worlds;
    RotatedSpritesDevice() {
        for (const Placement& p : Placements())
            worlds.push_back(MatrixT::MakeTranslation(VectorT3(-32, -32, 0)) *
                             MatrixT::MakeScaling(VectorT3(p.scale, p.scale, 1)) * MatrixT().RotationZ(p.angle) *
                             MatrixT::MakeTranslation(VectorT3(p.x + 32, p.y + 32, 0)));
    }
    const char* Failed() const { return nullptr; }
    void Frame() {
        for (const MatrixT& w : worlds) {
            rig.device->SetTransform(TransformId::World, w);
            rig.Quad(0, 0, kSprite, kSprite);
        }
    }
};

struct RotatedSpritesPixman {
    static constexpr int64_t kItems = kSprites, kBytes = 0;
    struct Job {
        pixman_transform_t transform;
        int x, y, w, h;
    };
    std::vector<uint32_t> target = std::vector<uint32_t>(size_t(kWidth) * kHeight);
    std::vector<uint32_t> pixels = MakeSprite();
    pixman_image_t* dst = nullptr;
    pixman_image_t* src = nullptr;
    std::vector<Job> jobs;

    RotatedSpritesPixman() {
        for (uint32_t& c : pixels) {  // pixman works on premultiplied colour
            const uint32_t a = c >> 24;
            c = a << 24 | (((c >> 16) & 255) * a / 255) << 16 | (((c >> 8) & 255) * a / 255) << 8 | (c & 255) * a / 255;
        }
        dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, target.data(), kWidth * 4);
        src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, pixels.data(), kSprite * 4);
        pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(src, PIXMAN_REPEAT_NONE);
        for (const Placement& p : Placements()) {
            // Destination to source: undo the move, the rotation and the scale.
            const double c = std::cos(p.angle), s = std::sin(p.angle), k = 1.0 / p.scale;
            const double cx = p.x + 32, cy = p.y + 32;
            pixman_f_transform_t f;
            // The device rotates row vectors: (x, y) -> (x c - y s, x s + y c).
            f.m[0][0] = c * k;  f.m[0][1] = s * k;  f.m[0][2] = -(c * cx + s * cy) * k + 32;
            f.m[1][0] = -s * k; f.m[1][1] = c * k;  f.m[1][2] = (s * cx - c * cy) * k + 32;
            f.m[2][0] = 0;      f.m[2][1] = 0;      f.m[2][2] = 1;
            Job j;
            pixman_transform_from_pixman_f_transform(&j.transform, &f);
            const double r = 32 * p.scale * std::sqrt(2.0) + 1;
            j.x = int(std::floor(cx - r));
            j.y = int(std::floor(cy - r));
            j.w = j.h = int(std::ceil(2 * r));
            jobs.push_back(j);
        }
    }
    ~RotatedSpritesPixman() {
        pixman_image_unref(src);
        pixman_image_unref(dst);
    }
    RotatedSpritesPixman(const RotatedSpritesPixman&) = delete;
    RotatedSpritesPixman& operator=(const RotatedSpritesPixman&) = delete;
    const char* Failed() const { return src && dst ? nullptr : "pixman's images were not made"; }
    void Frame() {
        for (const Job& j : jobs) {
            pixman_image_set_transform(src, &j.transform);
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, j.x, j.y, 0, 0, j.x, j.y, j.w, j.h);
        }
    }
};

// ---- (c) full-screen clear and opaque copy ----

struct ClearDevice {
    static constexpr int64_t kItems = 0, kBytes = int64_t(kWidth) * kHeight * 4;
    DeviceRig rig{SamplePoint};
    bool cleared = false;
    ClearDevice() {
        rig.device->Clear(0xFF000000u);
        const uint32_t* px = reinterpret_cast<const uint32_t*>(rig.device->GetBackBuffer()->Bits());
        cleared = std::count(px, px + size_t(kWidth) * kHeight, 0xFF000000u) == kWidth * kHeight;
    }
    const char* Failed() const { return cleared ? nullptr : "the clear left other pixels"; }
    void Frame() { rig.device->Clear(0xFF000000u); }
};

struct ClearMemset {
    static constexpr int64_t kItems = 0, kBytes = int64_t(kWidth) * kHeight * 4;
    std::vector<uint32_t> target = std::vector<uint32_t>(size_t(kWidth) * kHeight);
    const char* Failed() const { return nullptr; }
    void Frame() {
        std::memset(target.data(), 0xFF, target.size() * 4);
        benchmark::DoNotOptimize(target.data());
    }
};

std::vector<uint32_t> OpaqueScreen() {
    std::vector<uint32_t> px(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
    return px;
}

struct OpaqueCopyDevice {
    static constexpr int64_t kItems = 0, kBytes = int64_t(kWidth) * kHeight * 4;
    DeviceRig rig{SamplePoint};  // blending on, as the display leaves it
    std::vector<uint32_t> pixels = OpaqueScreen();
    my_intrusive_ptr<DeviceTexture> screen = rig.Texture(kWidth, kHeight, pixels);
    bool copied = false;
    OpaqueCopyDevice() {
        rig.device->SetTexture(0, screen.get());
        rig.device->Clear(0xFF000000u);
        Frame();
        copied = std::memcmp(rig.device->GetBackBuffer()->Bits(), pixels.data(), pixels.size() * 4) == 0;
    }
    const char* Failed() const { return copied ? nullptr : "the copy differs from the texture"; }
    void Frame() { rig.Quad(0, 0, kWidth, kHeight); }
};

struct OpaqueCopyMemcpy {
    static constexpr int64_t kItems = 0, kBytes = int64_t(kWidth) * kHeight * 4;
    std::vector<uint32_t> src = OpaqueScreen();
    std::vector<uint32_t> target = std::vector<uint32_t>(src.size());
    const char* Failed() const { return nullptr; }
    void Frame() {
        std::memcpy(target.data(), src.data(), src.size() * 4);
        benchmark::DoNotOptimize(target.data());
    }
};

template <typename Work>
void BM_Frames(benchmark::State& state) {
    Work work;
    if (const char* failed = work.Failed()) return state.SkipWithError(failed);
    for (auto _ : state) {
        work.Frame();
        benchmark::ClobberMemory();
    }
    if (Work::kItems) state.SetItemsProcessed(state.iterations() * Work::kItems);
    if (Work::kBytes) state.SetBytesProcessed(state.iterations() * Work::kBytes);
}
BENCHMARK_TEMPLATE(BM_Frames, AlphaSpritesDevice)->Name("BM_AlphaSprites_Device")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Frames, AlphaSpritesSdl)->Name("BM_AlphaSprites_SDL")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Frames, RotatedSpritesDevice)->Name("BM_RotatedSprites_Device")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Frames, RotatedSpritesPixman)->Name("BM_RotatedSprites_Pixman")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Frames, ClearDevice)->Name("BM_Clear_Device")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Frames, ClearMemset)->Name("BM_Clear_Memset")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Frames, OpaqueCopyDevice)->Name("BM_OpaqueCopy_Device")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Frames, OpaqueCopyMemcpy)->Name("BM_OpaqueCopy_Memcpy")->Unit(benchmark::kMicrosecond);

// A pair's frames in rounds taken in turns, the ratio of this process's CPU time printed;
// false when either side failed its check.
template <typename Ours, typename Peer>
bool PrintPair(const char* what, double goal) {
    Ours ours;
    Peer peer;
    for (const char* failed : {ours.Failed(), peer.Failed()})
        if (failed) {
            std::fprintf(stderr, "%s: %s\n", what, failed);
            return false;
        }
    constexpr int kFrames = 10, kRounds = 15;
    benchkit::InTurns turns;
    const size_t a = turns.Add("device", kFrames, [&] {
        ours.Frame();
        benchmark::ClobberMemory();
    });
    const size_t b = turns.Add("peer", kFrames, [&] {
        peer.Frame();
        benchmark::ClobberMemory();
    });
    turns.Run(kRounds);
    turns.PrintProcessRatio(a, b, what, goal);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchkit::RunBenchmarks();
    std::printf("\nTime ratios (CPU time, device / peer; below 1: the device is faster):\n");
    bool ok = PrintPair<AlphaSpritesDevice, AlphaSpritesSdl>("(a) alpha sprites, device / SDL2 software renderer", 1.0);
    ok &= PrintPair<RotatedSpritesDevice, RotatedSpritesPixman>("(b) rotated bilinear sprites, device / pixman", 1.0);
    ok &= PrintPair<ClearDevice, ClearMemset>("(c) full-screen clear with opaque black, device / memset", 1.1);
    ok &= PrintPair<OpaqueCopyDevice, OpaqueCopyMemcpy>("(c) opaque full-screen texture, blending on, device / memcpy",
                                                        1.5);
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
