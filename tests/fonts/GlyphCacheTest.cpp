// The glyph page layout with made-up metrics, the cache files, and fonts rendered from
// DejaVu through FreeType.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <thread>

#include "fonts/FontsFixture.h"
#include "shell/FontGlyphCache.h"
#include "shell/ImageLoaderGDI.h"
#include "shell/ShelfPacker.h"

namespace {

using fonttest::BoxGlyphs;
using fonttest::Desc;
using fonttest::FontsTest;

struct Page {
    std::vector<uint8_t> coverage = std::vector<uint8_t>(size_t(pf::kGlyphRenderSide) * pf::kGlyphRenderSide);
    pf::CoverageView view{coverage.data(), pf::kGlyphRenderSide, pf::kGlyphRenderSide, pf::kGlyphRenderSide};
    pf::Rect rects[pf::kFontGlyphCount];
    int height4x = 0;
};

TEST(GlyphLayout, PlacesRowsAndWraps) {
    // 36 + 8 x 3 + 4 = 64 per glyph: 64 glyphs a row, four rows of 40 + 28 = 68.
    BoxGlyphs glyphs(36, 40);
    Page page;
    ASSERT_TRUE(pf::DrawGlyphPage(glyphs, 3, page.view, page.rects, page.height4x));
    EXPECT_EQ(page.rects[0], pf::Rect(3, 3, 10, 10));
    EXPECT_EQ(page.rects[1], pf::Rect(19, 3, 10, 10));
    EXPECT_EQ(page.rects[63], pf::Rect(63 * 16 + 3, 3, 10, 10));
    EXPECT_EQ(page.rects[64], pf::Rect(3, 17 + 3, 10, 10));
    EXPECT_EQ(page.rects[223], pf::Rect(31 * 16 + 3, 51 + 3, 10, 10));
    EXPECT_EQ(glyphs.drawn[1], pf::Point(64 + 12, 12));
    EXPECT_EQ(glyphs.drawn[64], pf::Point(12, 68 + 12));
    // The last row's glyphs reach 4x row 204 + 12 + 40: a 256-row page would cut them.
    EXPECT_EQ(page.height4x, 512);
    for (const pf::Rect& r : page.rects) EXPECT_LE(r.y + r.height, page.height4x / 4 - 1);
}

TEST(GlyphLayout, PageHeightThresholds) {
    struct Case {
        int cx, cy, margin, height4x;
    };
    const Case cases[] = {
        {60, 20, 1, 256},    // 56 a row, 4 rows of 32: the last at 96 needs 124
        {16, 16, 1, 256},    // 128 a row: two rows
        {120, 40, 1, 512},   // 31 a row, 8 rows of 52: the last at 364 needs 412
        {200, 40, 1, 1024},  // 19 a row, 12 rows of 52: the last at 572 needs 620
        {500, 60, 1, 2048},  // 8 a row, 28 rows of 72: the last at 1944 needs 2012
        {500, 100, 1, 4096}, // 28 rows of 112: the last at 3024 needs 3132
    };
    for (const Case& c : cases) {
        BoxGlyphs glyphs(c.cx, c.cy);
        Page page;
        ASSERT_TRUE(pf::DrawGlyphPage(glyphs, c.margin, page.view, page.rects, page.height4x)) << c.cx;
        EXPECT_EQ(page.height4x, c.height4x) << c.cx << "x" << c.cy;
        for (const pf::Rect& r : page.rects) EXPECT_LE(r.y + r.height, page.height4x / 4 - 1) << c.cx;
    }
    // Glyphs that cannot fit are refused.
    BoxGlyphs huge(600, 400);
    Page page;
    EXPECT_FALSE(pf::DrawGlyphPage(huge, 1, page.view, page.rects, page.height4x));
}

TEST(GlyphLayout, ShelvesWrapBelowTheirTallestAndAlign) {
    struct Step {
        int width, height;
        pf::Point at;
    };
    struct Case {
        const char* name;
        int strip, border, gap, align;
        std::vector<Step> steps;
        int height;
    };
    const Case cases[] = {
        // The overlay's atlas: a pixel from the edges and between glyphs; the third starts
        // a shelf below the taller of the first two.
        {"bordered", 24, 1, 1, 1, {{10, 5, {1, 1}}, {10, 8, {12, 1}}, {5, 3, {1, 10}}}, 14},
        // The glyph page at 4x: whole page pixels, a page pixel apart.
        {"aligned", 64, 0, 4, 4, {{10, 9, {0, 0}}, {10, 9, {12, 0}}, {30, 13, {24, 0}}, {3, 5, {0, 16}}}, 25},
        // Too wide for any shelf: it stays on the empty one, and the next goes below it.
        {"too wide", 16, 1, 1, 1, {{15, 2, {1, 1}}, {3, 2, {1, 4}}, {0, 0, {5, 4}}}, 7},
    };
    for (const Case& c : cases) {
        pf::ShelfPacker shelves(c.strip, c.border, c.gap, c.align);
        for (const Step& s : c.steps) EXPECT_EQ(shelves.Place(s.width, s.height), s.at) << c.name << " " << s.width;
        EXPECT_EQ(shelves.Height(), c.height) << c.name;
    }
    pf::ShelfPacker shelves(16, 1, 1);
    EXPECT_TRUE(shelves.Fits(14));
    EXPECT_FALSE(shelves.Fits(15));
}

TEST(GlyphLayout, RowsOfUnevenCellsDoNotOverlap) {
    // Every third character is twice as tall: a row ends below its tallest cell.
    class Uneven : public pf::GlyphSource {
    public:
        void Extent(wchar_t ch, int& cx, int& cy) override { cx = 100, cy = ch % 3 ? 40 : 80; }
        void Draw(wchar_t, int, int, pf::CoverageView&) override {}
    } glyphs;
    Page page;
    ASSERT_TRUE(pf::DrawGlyphPage(glyphs, 1, page.view, page.rects, page.height4x));
    for (int i = 0; i < pf::kFontGlyphCount; ++i)
        for (int j = i + 1; j < pf::kFontGlyphCount; ++j) {
            const pf::Rect& a = page.rects[i];
            const pf::Rect& b = page.rects[j];
            const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
                               b.y + b.height <= a.y;
            ASSERT_TRUE(apart) << i << " and " << j;
        }
}

// A glyph as wide as the page (a hostile or broken font) either has no page or a cell that
// lies inside it: its rectangle never reaches past the page's last column.
TEST(GlyphLayout, PageWideGlyphsStayInsideThePage) {
    for (const int margin : {0, 1, 3})
        for (const int width : {pf::kGlyphRenderSide, pf::kGlyphRenderSide - 1, pf::kGlyphRenderSide - 8}) {
            BoxGlyphs glyphs(width, 4);
            Page page;
            if (!pf::DrawGlyphPage(glyphs, margin, page.view, page.rects, page.height4x)) continue;
            for (const pf::Rect& r : page.rects) {
                EXPECT_GE(r.x, 0) << margin << " " << width;
                EXPECT_LE(r.x + r.width, pf::kGlyphPageWidth) << margin << " " << width;
                EXPECT_LE(r.y + r.height, page.height4x / 4) << margin << " " << width;
            }
        }
}

TEST(GlyphLayout, BoxFilterAveragesBlocksAndKeepsTheLastRowAndColumnEmpty) {
    Page page;
    page.coverage.assign(page.coverage.size(), 0);
    auto at = [&](int x, int y) -> uint8_t& { return page.coverage[size_t(y) * pf::kGlyphRenderSide + x]; };
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) at(4 + i, j) = 255;  // block (1, 0): full
    at(8, 0) = 16;                                       // block (2, 0): 16 / 16 = 1
    at(12, 0) = 15;                                      // block (3, 0): 15 / 16 = 0
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) at(4092 + i, j) = at(i, 252 + j) = 255;  // last column, last row
    pf::MemorySurface out;
    out.Init(pf::kGlyphPageWidth, 64, 4, pf::PixelFormat::A8R8G8B8);
    pf::PixelView v = out.GetView();
    pf::BoxFilterGlyphPage(page.view, 256, v);
    auto pixel = [&](int x, int y) { return reinterpret_cast<const uint32_t*>(v.data + y * v.pitch)[x]; };
    EXPECT_EQ(pixel(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(2, 0), 0x01FFFFFFu);
    EXPECT_EQ(pixel(3, 0), 0x00FFFFFFu);
    EXPECT_EQ(pixel(1023, 0), 0u);
    EXPECT_EQ(pixel(0, 63), 0u);
}

TEST_F(FontsTest, CacheFilesAndTheirChecks) {
    pf::Font font(Desc(L"Box", 10, 1.5f));
    BoxGlyphs glyphs(36, 40);
    EXPECT_FALSE(font.CacheExists(&fs));
    ASSERT_TRUE(font.RenderGlyphCache(fs, loader, glyphs));
    EXPECT_EQ(SizeOf(ResFile("fonts/Box.map")), 3584);
    EXPECT_GT(SizeOf(ResFile("fonts/Box.png")), 0);
    EXPECT_TRUE(font.CacheExists(&fs));
    // The map holds the rectangles little-endian: the first is (x 3, y 3, 10, 10) for
    // a margin of outline 2 + 1.
    const std::string map = testkit::ReadFile(ResFile("fonts/Box.map"));
    EXPECT_EQ(map.substr(0, 16), std::string("\x03\0\0\0\x03\0\0\0\x0a\0\0\0\x0a\0\0\0", 16));

    // A map of 3583 bytes, or a map beside an empty page, is no cache.
    res.Write("fonts/Box.map", map.substr(0, 3583));
    EXPECT_FALSE(font.CacheExists(&fs));
    res.Write("fonts/Box.map", map);
    const std::string png = testkit::ReadFile(ResFile("fonts/Box.png"));
    res.Write("fonts/Box.png", "");
    EXPECT_FALSE(font.CacheExists(&fs));
    res.Write("fonts/Box.png", png);

    // Loading reads the page and makes the outline page from it, saved for next time.
    ASSERT_TRUE(font.Load(&loader, &fs, &display));
    ASSERT_TRUE(font.GetSurface());
    EXPECT_EQ(font.GetSurface()->GetWidth(), 1024);
    ASSERT_TRUE(font.GetOutlineSurface());
    EXPECT_TRUE(Exists(ResFile("fonts/Box_outline_150.png")));
    EXPECT_EQ(*font.GetGlyph(L'!'), pf::Rect(19, 3, 10, 10));
    pf::Rect outlined;
    font.GetGlyphOutlineRect(outlined, L'!');
    EXPECT_EQ(outlined, pf::Rect(17, 1, 14, 14));
}

TEST_F(FontsTest, OutlineNamesAndWidths) {
    struct Case {
        float outline;
        const wchar_t* name;
        int width;
    };
    const Case cases[] = {{1.5f, L"fonts/f_outline_150.png", 2},
                          {1.15f, L"fonts/f_outline_114.png", 2},
                          {0.5f, L"fonts/f_outline_50.png", 1},
                          {0.0f, L"fonts/f_outline_0.png", 0},
                          {0.0001f, L"fonts/f_outline_0.png", 0},
                          {-3.0f, L"fonts/f_outline_0.png", 0}};
    for (const Case& c : cases) {
        pf::Font font(Desc(L"f", 10, c.outline));
        EXPECT_EQ(font.OutlineFileName(), c.name) << c.outline;
        EXPECT_EQ(font.GetOutlineWidth(), c.width) << c.outline;
    }
}

TEST_F(FontsTest, NoOutlinePageBelowOnePixel) {
    pf::Font font(Desc(L"Half", 10, 0.5f));
    BoxGlyphs glyphs(20, 40);
    ASSERT_TRUE(font.RenderGlyphCache(fs, loader, glyphs));
    ASSERT_TRUE(font.Load(&loader, &fs, &display));
    EXPECT_FALSE(font.GetOutlineSurface());
    EXPECT_EQ(font.GetOutlineWidth(), 1);
}

TEST_F(FontsTest, GlyphLookupAndMeasuring) {
    pf::Font font(Desc(L"Fives", 12));
    BoxGlyphs glyphs(16, 48);  // width 16 / 4 + 1 = 5
    ASSERT_TRUE(font.RenderGlyphCache(fs, loader, glyphs));
    EXPECT_EQ(font.GetGlyph(31), font.GetGlyph(L' '));
    EXPECT_EQ(font.GetGlyph(300), font.GetGlyph(L' '));
    EXPECT_EQ(font.GetGlyph(255), &font.GetGlyphs()[223]);
    pf::Point size;
    font.MeasureText(size, L"ab\ncde", 1);
    EXPECT_EQ(size, pf::Point(18, 24));
    font.MeasureText(size, L"", 1);
    EXPECT_EQ(size, pf::Point(0, 12));
    font.MeasureText(size, L"ab\n", 0);
    EXPECT_EQ(size, pf::Point(10, 24));
}

TEST_F(FontsTest, SizeZeroRendersAtTheDefaultSize) {
    pf::Font zero(Desc(L"Zero", 0)), ten(Desc(L"Ten", 10)), negative(Desc(L"Neg", -4));
    EXPECT_EQ(zero.GetSize(), pf::kDefaultFontSize);
    EXPECT_EQ(negative.GetSize(), pf::kDefaultFontSize);
    ASSERT_TRUE(zero.Load(&loader, &fs, &display));
    ASSERT_TRUE(ten.Load(&loader, &fs, &display));
    for (int i = 0; i < pf::kFontGlyphCount; ++i) EXPECT_EQ(zero.GetGlyphs()[i], ten.GetGlyphs()[i]) << i;
}

TEST_F(FontsTest, SizesBeyondThePageAreRefusedBeforeRendering) {
    // A 4x cell taller than the render buffer cannot be placed; the largest ints must not
    // overflow on the way.
    testkit::LogCapture log;
    for (int size : {1025, 5000, INT_MAX / 2, INT_MAX}) {
        const std::wstring id = L"Huge" + std::to_wstring(size);
        pf::Font font(Desc(id, size));
        EXPECT_FALSE(font.Load(&loader, &fs, &display)) << size;
        EXPECT_EQ(font.GetSize(), size);
        EXPECT_FALSE(Exists(ResFile("fonts/" + pf::ToUtf8(id) + ".map"))) << size;
    }
    EXPECT_TRUE(log.Contains("too large for a glyph page"));
}

TEST_F(FontsTest, ReadOnlyResourceFolderPutsTheCacheInTheUserFolder) {
    // A file where the "fonts" folder should be: nothing can be written there (a
    // read-only folder does the same, except for root, who writes anyway).
    res.Write("fonts", "not a folder");
    pf::Font font(Desc(L"Ro", 10, 1.0f));
    testkit::LogCapture log;
    ASSERT_TRUE(font.Load(&loader, &fs, &display));
    EXPECT_TRUE(log.Contains("user folder"));
    EXPECT_EQ(SizeOf(UserFile("fonts/Ro.map")), 3584);
    EXPECT_TRUE(Exists(UserFile("fonts/Ro_outline_100.png")));
    // The next start finds it there and renders nothing.
    pf::Font again(Desc(L"Ro", 10, 1.0f, L"/nonexistent.ttf"));
    EXPECT_TRUE(again.CacheExists(&fs));
    ASSERT_TRUE(again.Load(&loader, &fs, &display));
    EXPECT_EQ(again.GetGlyphs()[33], font.GetGlyphs()[33]);
}

TEST_F(FontsTest, NoWritableFolderMakesNoCacheAndNoFont) {
    res.Write("fonts", "not a folder");
    fs.SetUserPath(pf::FromUtf8(ResFile("fonts/user")));  // below a file: cannot be made
    pf::Font font(Desc(L"Nowhere"));
    testkit::LogCapture log;
    EXPECT_FALSE(font.Load(&loader, &fs, &display));
    EXPECT_TRUE(log.Contains("neither the resource folder nor the user folder"));
}

TEST_F(FontsTest, BrokenCachesAndFontFiles) {
    testkit::LogCapture log;
    // No such font file, and a file that is no font: nothing made, not loaded.
    pf::Font missing(Desc(L"Missing", 10, 0, L"nothing-here.ttf"));
    EXPECT_FALSE(missing.Load(&loader, &fs, &display));
    res.Write("bogus.ttf", std::string(4000, 'z'));
    pf::Font bogus(Desc(L"Bogus", 10, 0, pf::FromUtf8(ResFile("bogus.ttf"))));
    EXPECT_FALSE(bogus.Load(&loader, &fs, &display));
    EXPECT_FALSE(Exists(ResFile("fonts/Bogus.map")));

    // A page that does not decode leaves the font unusable.
    pf::Font font(Desc(L"Bad"));
    BoxGlyphs glyphs(20, 40);
    ASSERT_TRUE(font.RenderGlyphCache(fs, loader, glyphs));
    const std::string png = testkit::ReadFile(ResFile("fonts/Bad.png"));
    res.Write("fonts/Bad.png", png.substr(0, png.size() / 2));
    pf::Font reload(Desc(L"Bad", 10, 0, L"/nonexistent.ttf"));
    EXPECT_FALSE(reload.Load(&loader, &fs, &display));
    EXPECT_FALSE(reload.IsLoaded());

    // An outline page of another size than the page is made again from the page.
    pf::Font outlined(Desc(L"Outlined", 10, 1.0f));
    ASSERT_TRUE(outlined.RenderGlyphCache(fs, loader, glyphs));
    pf::MemorySurface small(16, 16);
    ASSERT_TRUE(loader.Save(pf::FromUtf8(ResFile("fonts/Outlined_outline_100.png")).c_str(), 2, small.GetView()));
    pf::Font reOutlined(Desc(L"Outlined", 10, 1.0f, L"/nonexistent.ttf"));
    ASSERT_TRUE(reOutlined.Load(&loader, &fs, &display));
    ASSERT_TRUE(reOutlined.GetOutlineSurface());
    EXPECT_EQ(reOutlined.GetOutlineSurface()->GetWidth(), reOutlined.GetSurface()->GetWidth());
    EXPECT_EQ(reOutlined.GetOutlineSurface()->GetHeight(), reOutlined.GetSurface()->GetHeight());
    EXPECT_TRUE(log.Contains("not the size of its page"));

    // A map whose rectangles leave the page.
    res.Write("fonts/Bad.png", png);
    std::string map = testkit::ReadFile(ResFile("fonts/Bad.map"));
    map[16 * 5] = char(0xF0), map[16 * 5 + 1] = char(0x7F);
    res.Write("fonts/Bad.map", map);
    pf::Font spoiled(Desc(L"Bad", 10, 0, L"/nonexistent.ttf"));
    EXPECT_FALSE(spoiled.Load(&loader, &fs, &display));
    EXPECT_TRUE(log.Contains("outside the page"));
}

TEST_F(FontsTest, RenderingAgainReplacesTheOldMapAndOutline) {
    pf::Font font(Desc(L"Again", 10, 1.0f));
    BoxGlyphs narrow(20, 40), wide(40, 40);
    ASSERT_TRUE(font.RenderGlyphCache(fs, loader, narrow));
    ASSERT_TRUE(font.Load(&loader, &fs, &display));
    ASSERT_TRUE(Exists(ResFile("fonts/Again_outline_100.png")));
    ASSERT_TRUE(font.RenderGlyphCache(fs, loader, wide));
    // The outline of the old page is gone; the map is the new one.
    EXPECT_FALSE(Exists(ResFile("fonts/Again_outline_100.png")));
    EXPECT_EQ(font.GetGlyphs()[0].width, 11);
}

TEST_F(FontsTest, DejaVuRendersThroughFreeType) {
    pf::FontBase desc = Desc(L"DejaVu24", 24);
    pf::Font font(desc);
    ASSERT_TRUE(font.Load(&loader, &fs, &display));
    // Cell height 4 x 24 = 96 at 4x: 24 rows in the page. Advances rounded, a bit wider for 'W'.
    EXPECT_EQ(font.GetGlyph(L'A')->height, 24);
    EXPECT_GT(font.GetGlyph(L'W')->width, font.GetGlyph(L'i')->width);
    pf::Point size;
    font.MeasureText(size, L"Hello", 0);
    EXPECT_GT(size.x, 40);
    EXPECT_LT(size.x, 80);

    // Bold (synthetic when asked of the regular face) and underline change the page.
    desc.id = L"DejaVu24b";
    desc.bold = true;
    desc.underline = true;
    pf::Font bold(desc);
    ASSERT_TRUE(bold.Load(&loader, &fs, &display));
    EXPECT_GE(bold.GetGlyph(L'W')->width, font.GetGlyph(L'W')->width);
    EXPECT_NE(testkit::ReadFile(ResFile("fonts/DejaVu24.png")), testkit::ReadFile(ResFile("fonts/DejaVu24b.png")));
}

}  // namespace

namespace {

// Fonts load on the loading workers: two caches rendered and loaded at once, each with a
// display of its own (the test display records without a lock).
TEST_F(FontsTest, SeveralThreadsRenderTheirOwnCaches) {
    const char* faces[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                           "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"};
    testimages::FakeDisplay displays[2] = {testimages::FakeDisplay(4096), testimages::FakeDisplay(4096)};
    bool loaded[2] = {false, false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i)
        threads.emplace_back([&, i] {
            pf::Font font(Desc(L"T" + std::to_wstring(i), 16, 1.0f, pf::FromUtf8(faces[i])));
            loaded[i] = font.Load(&loader, &fs, &displays[i]) && font.GetOutlineSurface();
        });
    for (std::thread& t : threads) t.join();
    EXPECT_TRUE(loaded[0]);
    EXPECT_TRUE(loaded[1]);
    EXPECT_EQ(SizeOf(ResFile("fonts/T0.map")), 3584);
    EXPECT_EQ(SizeOf(ResFile("fonts/T1.map")), 3584);
}

}  // namespace
