// A text block of 2,000 words with colour markup in DejaVu Sans drawn through the display
// each frame: unchanged (its cached quads), after a colour change (quads rebuilt) and after
// a font change (lines broken again too), against the same glyph quads handed straight to
// the software device. Prints the frame times over the device's at the end.
//
// All are timed in rounds taken in turns, the block's frames also against a peer and a
// floor: SDL2's software renderer drawing the same glyph triangles from the same atlas
// into a 1024 x 768 frame in memory, and a memcpy of that frame. SDL's picture is compared with
// the block's first; the triangle and rebuild counts are checked after the rounds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "bench/common/SdlPeer.h"
#include "content/ResFont.h"
#include "widgets/Markup.h"
#include "widgets/TextBlock.h"
#include "shell/DisplayDX.h"
#include "shell/FileSystem.h"
#include "shell/Font.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/Log.h"
#include "shell/NativeSurfaceDX.h"
#include "shell/foundation/TextHelpers.h"

namespace {

constexpr const char* kFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kWords = 2000;

std::wstring MarkupText() {
    const wchar_t* words[] = {L"lantern", L"over", L"the", L"tide", L"glass", L"of", L"nightwake", L"harbour",
                              L"stone", L"and", L"Tessmar", L"gleams"};
    std::wstring text;
    for (int i = 0; i < kWords; ++i) {
        if (i % 7 == 0) text += i % 14 == 0 ? L"{c=FFD080FF}" : L"{c=80C0FFFF}";
        text += words[i % 12];
        if (i % 7 == 3) text += L"{/c}";
        text += i % 97 == 96 ? L"{n}" : L" ";
    }
    return text;
}

struct Scene {
    pf::HeadlessDisplayPlatform platform;
    pf::DisplayDX display{&platform};
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "ruv3-bench-text";
    pf::FileSystemWin32 fs;
    pf::ImageLoaderDX loader;
    my_intrusive_ptr<ResFont> fonts[2];
    my_intrusive_ptr<TextBlock> block{new TextBlock};
    std::vector<pf::DeviceVertex> quads;  // the block's glyph quads, for the device alone
    pf::MatrixT world;
    bool ok = false;

    Scene() {
        display.Init(1024, 768, false, false, false);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        fs.SetResourcePath(pf::FromUtf8(dir.string()));
        fs.SetUserPath(pf::FromUtf8(dir.string()));
        for (int i = 0; i < 2; ++i) {
            fonts[i] = new ResFont;
            fonts[i]->SetId(i == 0 ? L"text16" : L"text14");
            if (!fonts[i]->Load(&loader, &fs, &display, pf::FromUtf8(kFace), i == 0 ? 16 : 14, false, false, false,
                                0))
                return;
        }
        block->SetSize(pf::Point(1000, 760));
        block->SetPosition(pf::Point(12, 4));
        block->SetResFont(fonts[0].get());
        block->SetText(MarkupText());
        world = block->GetTransform();

        // The same quads the block builds, laid out once.
        const pf::Font& font = *fonts[0]->GetFont();
        std::vector<pf::DisplayVertex> glyphs;
        std::vector<pf::Color> colours{pf::Color(255, 255, 255, 255)};
        int y = 0;
        for (const std::wstring& line : block->GetLines()) {
            RenderMarkupLine(&glyphs, nullptr, &font, 1, 1000, pf::Point(0, y), 0, 0, &colours, nullptr, 255, nullptr,
                             nullptr, pf::Point(), line, 0);
            y += font.GetSize();
        }
        for (const auto& v : glyphs) quads.push_back(pf::DeviceVertex{v.x, v.y, v.z, v.color, v.u, v.v});
        ok = !quads.empty();
    }
    ~Scene() { std::filesystem::remove_all(dir); }

    void ThroughBlock() {
        display.BeginFrame(nullptr);
        RenderState rs;
        rs.display = &display;
        block->Draw(rs);
        display.EndFrame();
    }
    void ThroughDevice() {
        display.BeginFrame(nullptr);
        display.SetColor(255, 255, 255, 255);
        display.SetTransform(world);
        pf::RenderDevice& d = *display.GetDevice();
        d.SetTexture(0, static_cast<pf::NativeSurfaceDX*>(fonts[0]->GetFont()->GetSurface().get())->GetTexture());
        d.DrawPrimitiveUP(pf::PrimitiveKind::TriangleList, int(quads.size() / 3), quads.data());
        display.EndFrame();
    }
    int flip = 0;
    void AfterColourChange() {
        block->SetColor(++flip % 2 ? pf::Color(255, 250, 240) : pf::Color(255, 255, 255));
        ThroughBlock();
    }
    void AfterFontChange() {
        block->SetResFont(fonts[++flip % 2].get());
        ThroughBlock();
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

template <void (Scene::*Draw)()>
void BM_Text(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) {
        state.SkipWithError("no font");
        return;
    }
    for (auto _ : state) (s.*Draw)();
    state.counters["glyphs"] = double(s.quads.size() / 6);
}
BENCHMARK_TEMPLATE(BM_Text, &Scene::ThroughBlock)->Name("BM_TextBlockUnchanged")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Text, &Scene::AfterColourChange)->Name("BM_TextBlockColourChange")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Text, &Scene::AfterFontChange)->Name("BM_TextBlockFontChange")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Text, &Scene::ThroughDevice)->Name("BM_DeviceQuads")->Unit(benchmark::kMillisecond);

// The block's frames in turns with SDL2's software renderer and a memcpy of the frame.
bool InTurns(Scene& s) {
    benchkit::SdlPeer sdl(1024, 768);
    SDL_Texture* atlas = sdl.Texture(s.fonts[0]->GetFont()->GetSurface().get());
    if (!atlas) {
        std::fprintf(stderr, "SDL2's software renderer did not start: %s\n", SDL_GetError());
        return false;
    }
    std::vector<pf::DeviceVertex> screen = s.quads;
    for (pf::DeviceVertex& v : screen) {
        const pf::VectorT3 p = s.world.TransformVec3(pf::VectorT3(v.x, v.y, v.z));
        v.x = p.x;
        v.y = p.y;
    }
    sdl.SetTriangles(screen, false);
    const pf::SurfacePtr page = s.fonts[0]->GetFont()->GetSurface();
    sdl.SetCopies(screen, 6, page->GetWidth(), page->GetHeight());
    s.block->SetResFont(s.fonts[0].get());
    s.block->SetColor(pf::Color(255, 255, 255));
    s.ThroughBlock();
    const std::vector<uint32_t> ours = benchkit::BackBufferPicture(s.display, 1024, 768);
    benchkit::SdlPeer::Matches match;
    bool drawn = sdl.MatchBoth(atlas, ours, "the block", match);
    // SDL's triangles sample the glyph edges a little wider (their strokes come out about a
    // pixel bolder), so the shares drawn differ by up to a quarter; a skipped line would
    // cut far more.
    if (!match.triangles.Same(32.0, 0.25) || !match.copies.Same(4.0)) {
        std::fprintf(stderr, "SDL2's picture is not the block's: the comparison would be void\n");
        return false;
    }
    benchkit::FrameCopy copy(size_t(1024) * 768 * 4);
    benchkit::InTurns turns;
    constexpr int kFrames = 5, kRounds = 15;
    const int rebuilds = s.block->GetRebuildCount();
    const size_t unchanged = turns.Add("unchanged", kFrames, [&] { s.ThroughBlock(); });
    const size_t colour = turns.Add("after a colour change", kFrames, [&] { s.AfterColourChange(); });
    const size_t font = turns.Add("after a font change", kFrames, [&] { s.AfterFontChange(); });
    const size_t device = turns.Add("device alone", kFrames, [&] { s.ThroughDevice(); });
    const size_t peer = turns.Add("SDL2 copies", kFrames, [&] { drawn &= sdl.CopyFrame(atlas); });
    const size_t triangles = turns.Add("SDL2 triangles", kFrames, [&] { drawn &= sdl.Frame(atlas); });
    const size_t floor = turns.Add("memcpy", kFrames, copy);
    turns.Run(kRounds);
    s.block->SetResFont(s.fonts[0].get());
    s.ThroughBlock();
    if (!drawn || s.display.GetTriangleCount() != int(s.quads.size() / 3) ||
        s.block->GetRebuildCount() < rebuilds + 2 * kFrames * kRounds) {
        std::fprintf(stderr, "a frame was not drawn or the block did not rebuild: the comparison is void\n");
        return false;
    }
    std::printf("%d words, %zu glyphs, in turns (median of %d rounds of %d frames; peer: SDL2's software renderer "
                "drawing the same glyph quads as %zu SDL_RenderCopy rectangles, colour-modulated, and as %zu "
                "triangles with SDL_RenderGeometry): unchanged %.3f ms, device alone %.3f ms, after a colour change "
                "%.3f ms, after a font change %.3f ms\n",
                kWords, s.quads.size() / 6, kRounds, kFrames, sdl.Copies(), sdl.Triangles(), turns.Wall(unchanged) * 1e3,
                turns.Wall(device) * 1e3, turns.Wall(colour) * 1e3, turns.Wall(font) * 1e3);
    turns.PrintWallRatio(unchanged, device, "text block unchanged / device alone");
    turns.PrintWallRatio(colour, device, "after a colour change / device alone");
    turns.PrintWallRatio(font, device, "after a font change / device alone");
    turns.PrintWallRatio(unchanged, peer, "text block unchanged / SDL2 software renderer, RenderCopy");
    turns.PrintWallRatio(colour, peer, "after a colour change / SDL2 software renderer, RenderCopy");
    turns.PrintWallRatio(font, peer, "after a font change / SDL2 software renderer, RenderCopy");
    turns.PrintWallRatio(device, peer, "device alone / SDL2 software renderer, RenderCopy");
    turns.PrintWallRatio(unchanged, triangles, "text block unchanged / SDL2 software renderer, RenderGeometry");
    turns.PrintWallRatio(unchanged, floor, "text block unchanged / memcpy of the 1024x768 frame");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    benchkit::RunBenchmarks();
    Scene& s = TheScene();
    if (!s.ok) {
        std::printf("text block: no font, nothing compared\n");
        return 1;
    }
    const bool ok = InTurns(s);
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
