// Full screen with the game's 800 x 600 frame on a 1920 x 1080 screen, the two ways the
// display gets there, each against its floor and its former peer, in rounds taken in turns:
//  (a) the present of an 800 x 600 frame into a 1920 x 1080 window (a back buffer of the
//      game's size, scaled by the window's present target) against a memcpy of the
//      1920 x 1080 window frame and against SDL_BlitScaled doing the same present (what
//      the target did before);
//  (b) the letterbox: the game's 800 x 600 picture drawn as one bilinear quad onto a
//      1920 x 1080 back buffer through the device, as the display draws it, against the
//      same memcpy. Every texel changes from each frame to the next (two pictures drawn
//      in turn), so the back buffer's kept picture draws the whole quad every time: the
//      cost in full motion.
// CPU is this process's ("ours"): the X server copies the finished window frame the same
// way whichever way it was made (its share is printed beside). The window's pixels and
// the back buffer are checked against the frame before any figure is printed, so no work
// is skipped.
//
// Needs an X display of at least 1920 x 1080:
//     xvfb-run -a -s '-screen 0 1920x1080x24' build-rel/bench_full_screen
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/common/CpuMeter.h"
#include "bench/common/InTurns.h"
#include "shell/foundation/Log.h"
#include "shell/platform/SdlPresentTarget.h"
#include "shell/render/SoftDevice.h"

namespace {

constexpr int kFrameW = 800, kFrameH = 600, kScreenW = 1920, kScreenH = 1080;

// A painted scene's frame: smooth gradients with a fine pattern.
std::vector<uint32_t> Frame() {
    std::vector<uint32_t> px(size_t(kFrameW) * kFrameH);
    for (int y = 0; y < kFrameH; ++y)
        for (int x = 0; x < kFrameW; ++x)
            px[size_t(y) * kFrameW + x] = 0xFF000000u | uint32_t(32 + x * 160 / kFrameW + ((x ^ y) & 15)) << 16 |
                                          uint32_t(48 + y * 128 / kFrameH) << 8 | uint32_t(96 + ((x * 3 + y * 5) & 31));
    return px;
}

int Channel(uint32_t c, int k) { return int((c >> (8 * k)) & 255); }

// Whether the picture `got` (w x h, read through `at`) shows the frame scaled onto the
// rectangle (x0, y0, sw, sh) of it: at sample points away from the pattern's steps every
// channel is within the pattern's own range of the frame's pixel there.
template <typename At>
bool ShowsFrame(const std::vector<uint32_t>& frame, At at, int x0, int y0, int sw, int sh) {
    int bad = 0, checked = 0;
    for (int gy = 1; gy < 16; ++gy)
        for (int gx = 1; gx < 16; ++gx) {
            const int fx = gx * kFrameW / 16, fy = gy * kFrameH / 16;
            const int x = x0 + int((fx + 0.5) * sw / kFrameW), y = y0 + int((fy + 0.5) * sh / kFrameH);
            const uint32_t want = frame[size_t(fy) * kFrameW + fx], got = at(x, y);
            ++checked;
            for (int k = 0; k < 3; ++k) bad += std::abs(Channel(want, k) - Channel(got, k)) > 34 ? 1 : 0;
        }
    return checked > 0 && bad == 0;
}

bool WindowShowsFrame(SDL_Window* window, const std::vector<uint32_t>& frame) {
    SDL_Surface* s = SDL_GetWindowSurface(window);
    if (!s || s->w != kScreenW || s->h != kScreenH || SDL_LockSurface(s) != 0) return false;
    const bool ok = ShowsFrame(frame, [&](int x, int y) {
        Uint32 raw = 0;
        std::memcpy(&raw, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel,
                    size_t(s->format->BytesPerPixel));
        Uint8 r, g, b;
        SDL_GetRGB(raw, s->format, &r, &g, &b);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    }, 0, 0, kScreenW, kScreenH);
    SDL_UnlockSurface(s);
    return ok;
}

// The present as the window's target made it before: SDL converts and scales.
bool BlitScaledPresent(SDL_Window* window, const std::vector<uint32_t>& frame) {
    SDL_Surface* screen = SDL_GetWindowSurface(window);
    SDL_Surface* from = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(frame.data()), kFrameW, kFrameH, 32,
                                                           kFrameW * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!screen || !from) return false;
    SDL_SetSurfaceBlendMode(from, SDL_BLENDMODE_NONE);
    const bool ok = SDL_BlitScaled(from, nullptr, screen, nullptr) == 0;
    SDL_FreeSurface(from);
    return ok && SDL_UpdateWindowSurface(window) == 0;
}

// The display's letterbox on the device: the game's picture in a texture, drawn with the
// display's standing states (bilinear, alpha test, blending off) through the letterbox
// transform onto a cleared screen-sized back buffer.
struct Letterbox {
    pf::MemoryPresentTarget target;
    std::unique_ptr<pf::SoftDevice> device;
    my_intrusive_ptr<pf::DeviceTexture> pictures[2];  // the frame, and the frame with every texel changed
    int drawn = 0;
    float scale = 0, dx = 0, dy = 0;

    explicit Letterbox(const std::vector<uint32_t>& frame) {
        using namespace pf;
        PresentParams p;
        p.width = kScreenW;
        p.height = kScreenH;
        p.backBufferFormat = DeviceFormat::X8R8G8B8;
        device = CreateSoftDevice(p, &target);
        if (!device) return;
        for (int i = 0; i < 2; ++i) {
            my_intrusive_ptr<DeviceTexture>& picture = pictures[i];
            if (device->CreateTexture(kFrameW, kFrameH, 1, UsageNone, DeviceFormat::A8R8G8B8, MemoryPool::Managed,
                                      picture) != DeviceResult::Ok)
                return;
            LockedRect lr;
            if (picture->LockRect(0, nullptr, 0, lr) != DeviceResult::Ok) return;
            // The second picture one level off in every channel: every texel differs.
            for (int y = 0; y < kFrameH; ++y)
                for (int x = 0; x < kFrameW; ++x)
                    reinterpret_cast<uint32_t*>(lr.bits + y * lr.pitch)[x] =
                        frame[size_t(y) * kFrameW + x] ^ (i == 0 ? 0u : 0x00010101u);
            picture->UnlockRect(0);
        }
        // The letterbox transform: the largest whole-picture scale, centred.
        scale = std::min(float(kScreenW) / kFrameW, float(kScreenH) / kFrameH);
        dx = std::floor((kScreenW - scale * kFrameW) * 0.5f);
        dy = std::floor((kScreenH - scale * kFrameH) * 0.5f);
        Viewport vp;
        vp.width = kScreenW;
        vp.height = kScreenH;
        device->SetViewport(vp);
        const MatrixT proj(2.0f / kScreenW, 0, 0, 0, 0, 2.0f / kScreenH, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
        const MatrixT view = MatrixT::MakeScaling(VectorT3(1, -1, 1)) *
                             MatrixT::MakeTranslation(VectorT3(-kScreenW * 0.5f - 0.5f, kScreenH * 0.5f + 0.5f, 0));
        device->SetTransform(TransformId::Projection, proj);
        device->SetTransform(TransformId::View, view);
        device->SetTransform(TransformId::World, MatrixT::MakeScaling(VectorT3(scale, scale, 1)) *
                                                     MatrixT::MakeTranslation(VectorT3(dx, dy, 0)));
        device->SetRenderState(RenderStateId::CullMode, CullNone);
        device->SetRenderState(RenderStateId::AlphaTestEnable, 1);
        device->SetRenderState(RenderStateId::AlphaRef, 1);
        device->SetRenderState(RenderStateId::AlphaFunc, CmpGreaterEqual);
        device->SetRenderState(RenderStateId::AlphaBlendEnable, 0);
        device->SetTextureStageState(0, StageStateId::ColorOp, TopModulate);
        device->SetTextureStageState(0, StageStateId::ColorArg1, ArgTexture);
        device->SetTextureStageState(0, StageStateId::ColorArg2, ArgDiffuse);
        device->SetTextureStageState(0, StageStateId::AlphaOp, TopModulate);
        device->SetTextureStageState(0, StageStateId::AlphaArg1, ArgTexture);
        device->SetTextureStageState(0, StageStateId::AlphaArg2, ArgDiffuse);
        device->SetTextureStageState(0, StageStateId::AddressU, AddressClamp);
        device->SetTextureStageState(0, StageStateId::AddressV, AddressClamp);
        device->SetTextureStageState(0, StageStateId::MagFilter, SampleLinear);
        device->SetTextureStageState(0, StageStateId::MinFilter, SampleLinear);
    }

    bool Draw() {
        using namespace pf;
        const DeviceVertex v[4] = {{0, 0, 0, 0xFFFFFFFFu, 0, 0},
                                   {float(kFrameW), 0, 0, 0xFFFFFFFFu, 1, 0},
                                   {0, float(kFrameH), 0, 0xFFFFFFFFu, 0, 1},
                                   {float(kFrameW), float(kFrameH), 0, 0xFFFFFFFFu, 1, 1}};
        bool ok = device->SetTexture(0, pictures[drawn++ % 2].get()) == DeviceResult::Ok;
        ok &= device->BeginScene() == DeviceResult::Ok;
        ok &= device->Clear(0xFF000000u) == DeviceResult::Ok;
        ok &= device->DrawPrimitiveUP(PrimitiveKind::TriangleStrip, 2, v) == DeviceResult::Ok;
        ok &= device->EndScene() == DeviceResult::Ok;
        benchmark::ClobberMemory();
        return ok;
    }

    bool ShowsFrame(const std::vector<uint32_t>& frame) {
        const auto bb = device->GetBackBuffer();
        pf::LockedRect lr;
        if (bb->LockRect(nullptr, pf::LockReadOnly, lr) != pf::DeviceResult::Ok) return false;
        auto at = [&](int x, int y) { return *reinterpret_cast<const uint32_t*>(lr.bits + y * lr.pitch + x * 4); };
        const bool ok = ::ShowsFrame(frame, at, int(dx), int(dy), int(scale * kFrameW), int(scale * kFrameH)) &&
                        (at(0, kScreenH / 2) & 0xFFFFFFu) == 0 && (at(kScreenW - 1, kScreenH / 2) & 0xFFFFFFu) == 0;
        bb->UnlockRect();
        return ok;
    }
};

}  // namespace

int main() {
    pf::SetLogToStderr(false);
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_full_screen: needs an X display; run it as\n"
                             "    xvfb-run -a -s '-screen 0 1920x1080x24' build-rel/bench_full_screen\n");
        return 1;
    }
    // As the game starts its video: window surfaces are the system's framebuffer, not a
    // texture of an OpenGL renderer.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "bench_full_screen: no video: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("full screen", 0, 0, kScreenW, kScreenH, SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS);
    SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
    if (!surface || surface->w != kScreenW || surface->h != kScreenH) {
        std::fprintf(stderr, "bench_full_screen: no %d x %d window (is the screen that large?)\n", kScreenW, kScreenH);
        return 1;
    }
    const int server = benchkit::FindXServer();
    const std::vector<uint32_t> frame = Frame();
    pf::SdlWindowPresentTarget target(window);
    Letterbox letterbox(frame);

    // The pictures first: each way shows the frame.
    const bool scaledOk = target.PresentFrame(frame.data(), kFrameW, kFrameH, kFrameW) && WindowShowsFrame(window, frame);
    const bool blitOk = BlitScaledPresent(window, frame) && WindowShowsFrame(window, frame);
    const bool letterboxOk = letterbox.device && letterbox.pictures[1] && letterbox.Draw() && letterbox.ShowsFrame(frame);
    std::printf("window surface %s; pictures: scaled present %s, SDL_BlitScaled %s, letterbox %s\n",
                SDL_GetPixelFormatName(surface->format->format), scaledOk ? "right" : "WRONG",
                blitOk ? "right" : "WRONG", letterboxOk ? "right" : "WRONG");
    if (!scaledOk || !blitOk || !letterboxOk) return 1;

    benchkit::FrameCopy copy(size_t(kScreenW) * kScreenH * 4);
    constexpr int kFrames = 10, kRounds = 21;
    bool ok = true;
    using M = benchkit::InTurns::Measure;
    benchkit::InTurns turns;
    const size_t scaled = turns.Add("scaled present", kFrames,
                                    [&] { ok &= target.PresentFrame(frame.data(), kFrameW, kFrameH, kFrameW); }, server);
    const size_t blit = turns.Add("SDL_BlitScaled present", kFrames, [&] { ok &= BlitScaledPresent(window, frame); }, server);
    const size_t boxed = turns.Add("letterbox", kFrames, [&] { ok &= letterbox.Draw(); });
    const size_t floor = turns.Add("memcpy", kFrames, copy);
    turns.Run(kRounds);
    if (!ok || !WindowShowsFrame(window, frame) || !letterbox.ShowsFrame(frame)) {
        std::fprintf(stderr, "bench_full_screen: a present or a draw failed while timed\n");
        return 1;
    }
    const double ms = 1e3;
    std::printf("per frame (medians of %d rounds of %d): scaled present %.3f ms CPU (ours; %.3f with the X server), "
                "SDL_BlitScaled present %.3f ms (%.3f), letterbox %.3f ms, memcpy of %d x %d %.3f ms\n",
                kRounds, kFrames, turns.Median(scaled, M::Process) * ms, turns.Cpu(scaled) * ms,
                turns.Median(blit, M::Process) * ms, turns.Cpu(blit) * ms, turns.Median(boxed, M::Process) * ms,
                kScreenW, kScreenH, turns.Wall(floor) * ms);
    turns.PrintRatio("(a) scaled present 800x600 -> 1920x1080 / memcpy of the 1920x1080 frame", scaled, M::Process,
                     floor, M::Wall, 2.0);
    turns.PrintRatio("(a) scaled present / SDL_BlitScaled present, 800x600 -> 1920x1080", scaled, M::Process, blit,
                     M::Process, 0.3);
    turns.PrintRatio("(b) letterbox (clear, bilinear quad) on 1920x1080 / memcpy of the frame", boxed, M::Process, floor,
                     M::Wall);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
}
