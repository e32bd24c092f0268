// The software device against its peers on the same sprites and the same 800 x 600
// target, side by side, each pair printed as a time ratio (device / peer):
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

#include "bench/common/BenchSupport.h"
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

// ---- (a) axis-aligned alpha-blended sprites ----

void BM_AlphaSprites_Device(benchmark::State& state) {
    DeviceRig rig(SamplePoint);
    const auto where = Placements();
    for (auto _ : state) {
        for (const Placement& p : where) rig.Quad(p.x, p.y, kSprite, kSprite);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSprites);
}
BENCHMARK(BM_AlphaSprites_Device)->Unit(benchmark::kMicrosecond);

void BM_AlphaSprites_SDL(benchmark::State& state) {
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
    auto pixels = MakeSprite();
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kSprite, kSprite, 32, kSprite * 4,
                                                             SDL_PIXELFORMAT_ARGB8888);
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, sprite);
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    const auto where = Placements();
    for (auto _ : state) {
        for (const Placement& p : where) {
            const SDL_Rect dst = {int(p.x), int(p.y), kSprite, kSprite};
            SDL_RenderCopy(renderer, texture, nullptr, &dst);
        }
        SDL_RenderFlush(renderer);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSprites);
    SDL_DestroyTexture(texture);
    SDL_FreeSurface(sprite);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(target);
}
BENCHMARK(BM_AlphaSprites_SDL)->Unit(benchmark::kMicrosecond);

// ---- (b) rotated and scaled bilinear sprites ----

void BM_RotatedSprites_Device(benchmark::State& state) {
    DeviceRig rig(SampleLinear);
    const auto where = Placements();
    std::vector<MatrixT> worlds;
    for (const Placement& p : where)
        worlds.push_back(MatrixT::MakeTranslation(VectorT3(-32, -32, 0)) *
                         MatrixT::MakeScaling(VectorT3(p.scale, p.scale, 1)) * MatrixT().RotationZ(p.angle) *
                         MatrixT::MakeTranslation(VectorT3(p.x + 32, p.y + 32, 0)));
    for (auto _ : state) {
        for (const MatrixT& w : worlds) {
            rig.device->SetTransform(TransformId::World, w);
            rig.Quad(0, 0, kSprite, kSprite);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSprites);
}
BENCHMARK(BM_RotatedSprites_Device)->Unit(benchmark::kMicrosecond);

void BM_RotatedSprites_Pixman(benchmark::State& state) {
    std::vector<uint32_t> target(size_t(kWidth) * kHeight);
    auto pixels = MakeSprite();
    for (uint32_t& c : pixels) {  // pixman works on premultiplied colour
        const uint32_t a = c >> 24;
        c = a << 24 | (((c >> 16) & 255) * a / 255) << 16 | (((c >> 8) & 255) * a / 255) << 8 | (c & 255) * a / 255;
    }
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, target.data(), kWidth * 4);
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, pixels.data(), kSprite * 4);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(src, PIXMAN_REPEAT_NONE);
    struct Job {
        pixman_transform_t transform;
        int x, y, w, h;
    };
    std::vector<Job> jobs;
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
    for (auto _ : state) {
        for (const Job& j : jobs) {
            pixman_image_set_transform(src, &j.transform);
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, j.x, j.y, 0, 0, j.x, j.y, j.w, j.h);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSprites);
    pixman_image_unref(src);
    pixman_image_unref(dst);
}
BENCHMARK(BM_RotatedSprites_Pixman)->Unit(benchmark::kMicrosecond);

// ---- (c) full-screen clear and opaque copy ----

void BM_Clear_Device(benchmark::State& state) {
    DeviceRig rig(SamplePoint);
    rig.device->Clear(0xFF000000u);
    const uint32_t* px = reinterpret_cast<const uint32_t*>(rig.device->GetBackBuffer()->Bits());
    if (std::count(px, px + size_t(kWidth) * kHeight, 0xFF000000u) != kWidth * kHeight) {
        state.SkipWithError("the clear left other pixels");
        return;
    }
    for (auto _ : state) {
        rig.device->Clear(0xFF000000u);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_Clear_Device)->Unit(benchmark::kMicrosecond);

void BM_Clear_Memset(benchmark::State& state) {
    std::vector<uint32_t> target(size_t(kWidth) * kHeight);
    for (auto _ : state) {
        std::memset(target.data(), 0xFF, target.size() * 4);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_Clear_Memset)->Unit(benchmark::kMicrosecond);

std::vector<uint32_t> OpaqueScreen() {
    std::vector<uint32_t> px(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
    return px;
}

void BM_OpaqueCopy_Device(benchmark::State& state) {
    DeviceRig rig(SamplePoint);  // blending on, as the display leaves it
    const auto pixels = OpaqueScreen();
    auto screen = rig.Texture(kWidth, kHeight, pixels);
    rig.device->SetTexture(0, screen.get());
    rig.device->Clear(0xFF000000u);
    rig.Quad(0, 0, kWidth, kHeight);
    if (std::memcmp(rig.device->GetBackBuffer()->Bits(), pixels.data(), pixels.size() * 4) != 0) {
        state.SkipWithError("the copy differs from the texture");
        return;
    }
    for (auto _ : state) {
        rig.Quad(0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_OpaqueCopy_Device)->Unit(benchmark::kMicrosecond);

void BM_OpaqueCopy_Memcpy(benchmark::State& state) {
    const auto src = OpaqueScreen();
    std::vector<uint32_t> target(src.size());
    for (auto _ : state) {
        std::memcpy(target.data(), src.data(), src.size() * 4);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_OpaqueCopy_Memcpy)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchkit::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* what, const char* mine, const char* peer, double goal) {
        benchkit::PrintRatio(what, reporter.cpuTimes[mine], reporter.cpuTimes[peer], goal);
    };
    std::printf("\nTime ratios (CPU time, device / peer; below 1: the device is faster):\n");
    ratio("(a) alpha sprites, device / SDL2 software renderer", "BM_AlphaSprites_Device", "BM_AlphaSprites_SDL", 1.0);
    ratio("(b) rotated bilinear sprites, device / pixman", "BM_RotatedSprites_Device", "BM_RotatedSprites_Pixman", 1.0);
    ratio("(c) full-screen clear with opaque black, device / memset", "BM_Clear_Device", "BM_Clear_Memset", 1.1);
    ratio("(c) opaque full-screen texture, blending on, device / memcpy", "BM_OpaqueCopy_Device", "BM_OpaqueCopy_Memcpy", 1.5);
    benchmark::Shutdown();
    return 0;
}
