// Building a glyph cache for DejaVu Sans at size 24 (the 224 glyphs rendered at 4x into
// one coverage buffer, placed, and box-filtered to the page) against FreeType rendering the
// same glyphs at the same size into one buffer with nothing else, in rounds taken in turns;
// and measuring text.
#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "shell/BmFont.h"
#include "shell/FileSystem.h"
#include "shell/Font.h"
#include "shell/FontGlyphCache.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/GlyphRasterizer.h"

namespace {

constexpr const char* kFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kSize = 24;

// The engine's glyph cache built once; what went wrong, or empty.
const char* EngineGlyphCache() {
    pf::GlyphStyle style;
    style.cellHeight = 4 * kSize;
    auto glyphs = pf::OpenFreeTypeGlyphs(kFace, style);
    pf::Rect rects[pf::kFontGlyphCount];
    pf::MemorySurface page;
    if (!glyphs || !pf::RenderGlyphPage(*glyphs, 1, rects, page)) return "the glyph page was not made";
    // The work is checked: 'H' has coverage inside its rectangle.
    const pf::PixelView v = page.GetView();
    const pf::Rect& h = rects['H' - pf::kFontFirstChar];
    const uint32_t middle = reinterpret_cast<const uint32_t*>(v.data + (h.y + h.height / 2) * v.pitch)[h.x + 2];
    if ((middle >> 24) == 0) return "no ink where 'H' should be";
    benchmark::DoNotOptimize(page.GetView().data);
    return "";
}

// FreeType alone rendering the same glyphs into one buffer; what went wrong, or empty.
const char* FreeTypeGlyphs() {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0) return "FreeType cannot open the face";
    if (FT_New_Face(library, kFace, 0, &face) != 0) {
        FT_Done_FreeType(library);
        return "FreeType cannot open the face";
    }
    FT_Size_RequestRec request = {FT_SIZE_REQUEST_TYPE_CELL, 0, FT_Long(4 * kSize) * 64, 0, 0};
    FT_Request_Size(face, &request);
    const int side = pf::kGlyphRenderSide;
    uint8_t* buffer = static_cast<uint8_t*>(std::calloc(size_t(side) * side, 1));
    int x = 0, y = 0, inked = 0;
    for (int c = pf::kFontFirstChar; c < pf::kFontFirstChar + pf::kFontGlyphCount; ++c) {
        if (FT_Load_Char(face, FT_ULong(c), FT_LOAD_RENDER) != 0) continue;
        const FT_Bitmap& bm = face->glyph->bitmap;
        if (x + int(bm.width) > side) x = 0, y += 4 * kSize;
        for (unsigned r = 0; r < bm.rows && y + int(r) < side; ++r)
            std::memcpy(buffer + size_t(y + int(r)) * side + x, bm.buffer + ptrdiff_t(r) * bm.pitch, bm.width);
        x += int(face->glyph->advance.x >> 6);
        inked += int(bm.rows);
    }
    benchmark::DoNotOptimize(buffer);
    std::free(buffer);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return inked == 0 ? "nothing rendered" : "";
}

template <const char* (*Build)()>
void BM_GlyphCache(benchmark::State& state) {
    for (auto _ : state) {
        if (const char* failed = Build(); *failed) return state.SkipWithError(failed);
    }
}
BENCHMARK_TEMPLATE(BM_GlyphCache, EngineGlyphCache)->Name("BM_GlyphCache_Engine")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_GlyphCache, FreeTypeGlyphs)->Name("BM_GlyphCache_FreeType")->Unit(benchmark::kMillisecond)->UseRealTime();

void MeasureLoop(benchmark::State& state, const pf::Font& font) {
    std::wstring text;
    for (int i = 0; i < 1000; ++i) text += (i % 61 == 60) ? L'\n' : wchar_t(L' ' + (i * 7) % 95);
    pf::Point size;
    for (auto _ : state) {
        font.MeasureText(size, text, 1);
        benchmark::DoNotOptimize(size);
    }
    if (size.x <= 0) state.SkipWithError("nothing measured");
}

// Per 1,000 characters, from the glyph rectangles of a cache.
void BM_MeasureText_Font(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "ruv3-bench-fonts";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    pf::FileSystemWin32 fs;
    fs.SetResourcePath(pf::FromUtf8(dir.string()));
    fs.SetUserPath(pf::FromUtf8(dir.string()));
    pf::ImageLoaderDX loader;
    pf::FontBase desc;
    desc.id = L"bench";
    desc.size = kSize;
    desc.file = pf::FromUtf8(kFace);
    pf::Font font(desc);
    if (!font.RenderGlyphCache(fs, loader)) {
        state.SkipWithError("no glyph cache");
        return;
    }
    MeasureLoop(state, font);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_MeasureText_Font)->Unit(benchmark::kMicrosecond);

// Per 1,000 characters, from a bitmap font's character map.
void BM_MeasureText_BmFont(benchmark::State& state) {
    std::string bmf = "BMF\x03";
    auto put = [&bmf](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) bmf += char((v >> (8 * i)) & 0xFF);
    };
    put(1, 1), put(2, 4), put(uint16_t(-kSize), 2);
    put(2, 1), put(15, 4), bmf += std::string(15, '\0');
    put(3, 1), put(0, 4);
    put(4, 1), put(20 * pf::kFontGlyphCount, 4);
    for (int c = pf::kFontFirstChar; c < pf::kFontFirstChar + pf::kFontGlyphCount; ++c) {
        put(uint32_t(c), 4);
        for (int k = 0; k < 6; ++k) put(0, 2);
        put(uint32_t(8 + c % 7), 2);
        put(0, 2);
    }
    pf::BmFont font{pf::FontBase{}};
    std::string page;
    if (!font.Parse(reinterpret_cast<const uint8_t*>(bmf.data()), bmf.size(), L"bench", page)) {
        state.SkipWithError("the BMF description does not parse");
        return;
    }
    MeasureLoop(state, font);
}
BENCHMARK(BM_MeasureText_BmFont)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    pf::SetLogToStderr(false);
    benchkit::RunBenchmarks();

    // The two builds in rounds taken in turns.
    std::string failed;
    benchkit::InTurns turns;
    const size_t engine = turns.Add("glyph cache", 1, [&] { failed += EngineGlyphCache(); });
    const size_t freetype = turns.Add("FreeType alone", 1, [&] { failed += FreeTypeGlyphs(); });
    turns.Run(9);
    benchmark::Shutdown();
    if (!failed.empty()) {
        std::fprintf(stderr, "a glyph build failed: %s\n", failed.c_str());
        return 1;
    }
    std::printf("\n");
    turns.PrintWallRatio(engine, freetype, "glyph cache / FreeType alone", 1.5);
    return 0;
}
