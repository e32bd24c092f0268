// A text block of 2,000 words with colour markup in DejaVu Sans drawn through the display
// each frame: unchanged (its cached quads), after a colour change (quads rebuilt) and after
// a font change (lines broken again too), against the same glyph quads handed straight to
// the software device. Prints the frame times over the device's at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/common/BenchSupport.h"
#include "content/ResFont.h"
#include "content/widgets/Markup.h"
#include "content/widgets/TextBlock.h"
#include "shell/DisplayDX.h"
#include "shell/FileSystem.h"
#include "shell/Font.h"
#include "shell/ImageLoaderDX.h"
#include "shell/Log.h"
#include "shell/NativeSurfaceDX.h"
#include "shell/TextHelpers.h"

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

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Scene& s = TheScene();
    if (!s.ok) {
        std::printf("text block: no font, nothing compared\n");
        return 1;
    }
    // The block must draw what the device is given: same triangles, built once.
    s.block->SetResFont(s.fonts[0].get());
    s.block->SetColor(pf::Color(255, 255, 255));
    s.ThroughBlock();
    const int rebuilds = s.block->GetRebuildCount();
    const double unchanged = benchkit::BestOf(20, [&] { s.ThroughBlock(); });
    const int triangles = s.display.GetTriangleCount();
    const double device = benchkit::BestOf(20, [&] { s.ThroughDevice(); });
    const double colour = benchkit::BestOf(20, [&] { s.AfterColourChange(); });
    const double font = benchkit::BestOf(20, [&] { s.AfterFontChange(); });
    if (triangles != int(s.quads.size() / 3) || s.block->GetRebuildCount() < rebuilds + 40) {
        std::printf("text block: drew %d triangles (device %zu) - the comparison is void\n", triangles,
                    s.quads.size() / 3);
        return 1;
    }
    std::printf("%d words, %zu glyphs, best of 20: unchanged %.3f ms, device alone %.3f ms, ratio %.3f; "
                "after a colour change %.3f ms (ratio %.2f); after a font change %.3f ms (ratio %.2f)\n",
                kWords, s.quads.size() / 6, unchanged * 1e3, device * 1e3, unchanged / device, colour * 1e3,
                colour / device, font * 1e3, font / device);
    benchmark::Shutdown();
    return 0;
}
