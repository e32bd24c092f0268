// Text from a glyph cache drawn through the display on the software device: the lit
// pixels of a glyph land where FreeType's own outline box of it says.
#include <ft2build.h>
#include FT_FREETYPE_H

#include "display/DisplayFixture.h"
#include "fonts/FontsFixture.h"
#include "shell/BmFont.h"
#include "shell/codecs/ImageCodec.h"

namespace {

using displaytest::DisplayTest;
using displaytest::LitBox;

class FontDrawTest : public DisplayTest {
protected:
    testkit::TempDir res;
    pf::FileSystemWin32 fs;
    pf::ImageLoaderDX loader;
};

TEST_F(FontDrawTest, GlyphFromTheCacheLandsInFreeTypesBox) {
    Start();
    fs.SetResourcePath(pf::FromUtf8(res.Path().string()));
    fs.SetUserPath(pf::FromUtf8(res.Path().string()));
    pf::Font font(fonttest::Desc(L"Draw24", 24));
    ASSERT_TRUE(font.Load(&loader, &fs, display.get()));

    // FreeType's box of 'H' at the cache's 4x cell, in page pixels from the glyph's rectangle.
    FT_Library library;
    FT_Face face;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Face(library, fonttest::kDejaVuSans, 0, &face), 0);
    FT_Size_RequestRec request = {FT_SIZE_REQUEST_TYPE_CELL, 0, 96 * 64, 0, 0};
    ASSERT_EQ(FT_Request_Size(face, &request), 0);
    ASSERT_EQ(FT_Load_Char(face, 'H', FT_LOAD_RENDER), 0);
    const int ascent = int((face->size->metrics.ascender + 32) >> 6);
    const int inkLeft = face->glyph->bitmap_left, inkTop = ascent - face->glyph->bitmap_top;
    const int inkWidth = int(face->glyph->bitmap.width), inkRows = int(face->glyph->bitmap.rows);
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    const pf::Rect glyph = *font.GetGlyph(L'H');
    const pf::Point at(100, 80);
    Frame([&] {
        display->Clear(0, 0, 0, 255);
        display->SetBlendMode(pf::BlendMode::Alpha);
        display->SetColor(255, 255, 255, 255);
        const pf::Rect destination(at.x, at.y, glyph.width, glyph.height);
        font.GetSurface()->Draw(display.get(), &glyph, &destination);
    });
    const pf::Rect lit = LitBox(Target(), pf::Rect(at.x - 8, at.y - 8, glyph.width + 16, glyph.height + 16));
    ASSERT_FALSE(lit.IsEmpty());
    // Edges within a pixel of the 4x box divided down (coverage above half counts as lit).
    EXPECT_NEAR(lit.x, at.x + inkLeft / 4.0, 1.0);
    EXPECT_NEAR(lit.y, at.y + inkTop / 4.0, 1.0);
    EXPECT_NEAR(lit.x + lit.width, at.x + (inkLeft + inkWidth) / 4.0, 1.0);
    EXPECT_NEAR(lit.y + lit.height, at.y + (inkTop + inkRows) / 4.0, 1.0);
    // 'H' is two stems and a bar: the middle column at the top is dark.
    EXPECT_LT((Target().Pixel(lit.x + lit.width / 2, lit.y + 1) >> 8) & 0xFF, 64u);
}

TEST_F(FontDrawTest, BitmapFontPageDrawsItsCharacter) {
    Start();
    fs.SetResourcePath(pf::FromUtf8(res.Path().string()));
    fs.SetUserPath(pf::FromUtf8(res.Path().string()));
    // A page with one opaque 6 x 9 block at (10, 4), described as character 'X'.
    pf::MemorySurface page(32, 16);
    pf::PixelView v = page.GetView();
    for (int y = 4; y < 13; ++y)
        for (int x = 10; x < 16; ++x) reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] = 0xFFFFFFFFu;
    res.Write("fonts/page.png", "");
    ASSERT_TRUE(pf::SavePng(res.Path().string() + "/fonts/page.png", v));
    std::string bmf = "BMF\x03";
    auto put = [&bmf](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) bmf += char((value >> (8 * i)) & 0xFF);
    };
    put(1, 1), put(2, 4), put(uint16_t(-12), 2);                       // info: fontSize -12
    put(2, 1), put(15, 4), put(16, 2), put(12, 2), put(32, 2), put(16, 2), put(1, 2), bmf += std::string(5, '\0');  // common
    put(3, 1), put(9, 4), bmf += std::string("page.png", 8) + '\0';  // pages
    put(4, 1), put(20, 4), put('X', 4), put(10, 2), put(4, 2), put(6, 2), put(9, 2), put(1, 2), put(2, 2),
        put(8, 2), put(0, 2);
    res.Write("fonts/bm.fnt", bmf);
    pf::BmFont font(fonttest::Desc(L"bm"));
    ASSERT_TRUE(font.Load(&loader, &fs, display.get()));
    const pf::CharDesc* x = font.GetCharDesc(L'X');
    ASSERT_TRUE(x);
    const pf::Rect source(x->x, x->y, x->width, x->height);
    const pf::Rect destination(200 + x->xoffset, 100 + x->yoffset, x->width, x->height);
    Frame([&] {
        display->Clear(0, 0, 0, 255);
        display->SetBlendMode(pf::BlendMode::Alpha);
        display->SetColor(255, 255, 255, 255);
        font.GetSurface()->Draw(display.get(), &source, &destination);
    });
    EXPECT_EQ(LitBox(Target(), pf::Rect(180, 80, 60, 60)), pf::Rect(201, 102, 6, 9));
}

}  // namespace
