// The FreeType face holder the glyph rasteriser, the overlay and the missing-image text
// share: files that are no font, and what a real face answers.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "common/Oracle.h"
#include "common/TestSupport.h"
#include "fonts/FontsFixture.h"
#include "shell/platform/FreeTypeFace.h"

namespace {

constexpr const char* kDejaVuSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

int MaxCoverage(const pf::FaceGlyph& g) {
    int most = 0;
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x) most = std::max(most, int(g.buffer[y * g.pitch + x]));
    return most;
}

TEST(FreeTypeFace, FilesThatAreNoFontLeaveItClosedAndAnsweringNothing) {
    testkit::TempDir dir;
    // A pipe under the name: FreeType would wait on it for a writer that never comes.
    const std::string pipe = (dir.Path() / "pipe.ttf").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string files[] = {"",
                                 "/nonexistent/font.ttf",
                                 dir.Write("bad.ttf", "not a font").string(),
                                 dir.Write("empty.ttf", "").string(),
                                 dir.Path().string(),
                                 pipe};
    for (const std::string& file : files) {
        pf::FreeTypeFace face;
        EXPECT_FALSE(face.Open(file)) << file;
        EXPECT_FALSE(face.IsOpen()) << file;
        EXPECT_FALSE(face.SetCellHeight(16)) << file;
        EXPECT_FALSE(face.SetPixelHeight(16)) << file;
        EXPECT_EQ(face.Ascender26_6(), 0) << file;
        EXPECT_FALSE(face.IsBold() || face.IsItalic()) << file;
        long position = 0, thickness = 0;
        EXPECT_FALSE(face.ScaledUnderline(position, thickness)) << file;
        EXPECT_FALSE(face.RenderChar('A')) << file;
        EXPECT_FALSE(face.RenderOutline('A', true, true)) << file;
        EXPECT_EQ(face.Glyph().buffer, nullptr) << file;
    }
}

TEST(FreeTypeFace, RendersSizedGlyphsOfARealFace) {
    RUV3_REQUIRE_ORACLE(!pf::FindFontFile(pf::FromUtf8(fonttest::kDejaVuSans)).empty(), "the DejaVu Sans font");
    pf::FreeTypeFace face;
    ASSERT_TRUE(face.Open(fonttest::kDejaVuSans));
    EXPECT_FALSE(face.IsBold() || face.IsItalic());
    ASSERT_TRUE(face.SetCellHeight(64));
    // Ascent + descent is the cell: the ascent alone is most of it.
    EXPECT_GT(face.Ascender26_6(), 40 * 64);
    EXPECT_LT(face.Ascender26_6(), 64 * 64);
    long position = 0, thickness = 0;
    ASSERT_TRUE(face.ScaledUnderline(position, thickness));
    EXPECT_LT(position, 0);  // below the baseline
    EXPECT_GT(thickness, 0);

    ASSERT_TRUE(face.RenderChar('H'));
    const pf::FaceGlyph plain = face.Glyph();
    EXPECT_TRUE(plain.gray);
    EXPECT_GT(plain.width, 20);
    EXPECT_GT(plain.top, 30);  // an upper-case letter stands on the baseline
    EXPECT_EQ(MaxCoverage(plain), 255);
    EXPECT_GT(plain.advance26_6, plain.width * 64);

    // Slanted and emboldened from the outline: wider ink, the same character.
    ASSERT_TRUE(face.RenderOutline('H', true, true));
    EXPECT_GT(face.Glyph().width, plain.width);
    EXPECT_GE(face.Glyph().rows, plain.rows);
    EXPECT_TRUE(face.RenderOutline('H', false, false));
    EXPECT_EQ(face.Glyph().width, plain.width);

    // An em of 64 pixels is more than a cell of 64 (which holds the descent too).
    const long cellAscender = face.Ascender26_6();
    ASSERT_TRUE(face.SetPixelHeight(64));
    EXPECT_GT(face.Ascender26_6(), cellAscender);
    ASSERT_TRUE(face.RenderChar('H'));
    EXPECT_GT(face.Glyph().rows, plain.rows);

    // A second file replaces the first.
    ASSERT_TRUE(face.Open(kDejaVuSansBold));
    EXPECT_TRUE(face.IsBold());
    EXPECT_FALSE(face.Open("/nonexistent/font.ttf"));
    EXPECT_FALSE(face.IsOpen());
}

// A font file cut short keeps its header and table directory, but the tables they point at
// end early: either it is refused or every glyph asked of it comes back whole or not at all.
TEST(FreeTypeFace, TruncatedFontFilesAreRefusedOrRenderSafely) {
    RUV3_REQUIRE_ORACLE(!pf::FindFontFile(pf::FromUtf8(fonttest::kDejaVuSans)).empty(), "the DejaVu Sans font");
    std::ifstream in(fonttest::kDejaVuSans, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(whole.size(), 4096u);
    testkit::TempDir dir;
    for (const size_t size : {size_t(12), size_t(200), size_t(4096), whole.size() / 2, whole.size() - 1}) {
        const std::string file = dir.Write("cut.ttf", whole.substr(0, size)).string();
        pf::FreeTypeFace face;
        if (!face.Open(file)) continue;
        face.SetCellHeight(32);
        // Every coverage byte of a rendered glyph is read (the sanitizer build checks the
        // reads), and the glyph stays within a few cells.
        const auto sane = [](const pf::FaceGlyph& g) {
            return g.width >= 0 && g.rows >= 0 && g.width < 4 * 32 && g.rows < 4 * 32 && MaxCoverage(g) <= 255;
        };
        for (const uint32_t ch : {uint32_t('H'), uint32_t('g'), uint32_t(0x416), uint32_t(0xFFFD)}) {
            if (face.RenderChar(ch)) {
                EXPECT_TRUE(sane(face.Glyph())) << size << " " << ch;
            }
            if (face.RenderOutline(ch, true, true)) {
                EXPECT_TRUE(sane(face.Glyph())) << size << " " << ch;
            }
        }
    }
}

}  // namespace
