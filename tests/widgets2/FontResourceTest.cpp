// Font resources from definition files, and text blocks drawing with them through the
// display on the software device: lit pixels land where the font page's ink says.
#include "content/ResourceManager.h"
#include "content/Resources.h"
#include "widgets/TextBlock.h"
#include "display/DisplayFixture.h"
#include "shell/BmFont.h"
#include "shell/FileSystem.h"
#include "shell/ImageLoaderDX.h"
#include "shell/pixels/PixelView.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/codecs/ImageCodec.h"

namespace {

using displaytest::LitBox;

constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The box of page pixels with alpha above half inside rect, in page coordinates.
pf::Rect InkBox(pf::Surface* page, const pf::Rect& rect) {
    int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
    pf::PixelView v = pf::LockView(page, &rect, true, false);
    if (!v.data) return pf::Rect();
    for (int y = rect.y; y < rect.y + rect.height; ++y)
        for (int x = rect.x; x < rect.x + rect.width; ++x)
            if (pf::ReadPixelColor(v.data + (y - rect.y) * v.pitch + (x - rect.x) * pf::BytesPerPixel(v.format),
                                   v.format).a > 128) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    page->Unlock();
    return right < 0 ? pf::Rect() : pf::Rect(left, top, right - left + 1, bottom - top + 1);
}

// A binary BMF description: one page (or none) and the character 'X', a 6 x 9 block at
// (10, 4) of the page drawn at offset (1, 2) with advance 8.
std::string BmfBytes(bool withPage) {
    std::string bmf = "BMF\x03";
    auto put = [&bmf](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) bmf += char((value >> (8 * i)) & 0xFF);
    };
    put(1, 1), put(2, 4), put(uint16_t(-12), 2);  // info: fontSize -12
    put(2, 1), put(15, 4), put(16, 2), put(12, 2), put(32, 2), put(16, 2), put(withPage ? 1 : 0, 2);
    bmf += std::string(5, '\0');  // common
    put(3, 1);  // pages: "page.png" or none
    if (withPage) {
        put(9, 4);
        bmf += std::string("page.png", 8) + '\0';
    } else {
        put(0, 4);
    }
    put(4, 1), put(20, 4), put('X', 4), put(10, 2), put(4, 2), put(6, 2), put(9, 2), put(1, 2), put(2, 2), put(8, 2),
        put(0, 2);
    return bmf;
}

class FontResourceTest : public displaytest::DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        Start();
        fs.SetResourcePath(pf::FromUtf8(res.Path().string()));
        fs.SetUserPath(pf::FromUtf8(res.Path().string()));
        manager = std::make_unique<ResourceManager>(&loader, display.get(), &fs);
        SetResourceManager(manager.get());
    }
    void TearDown() override {
        SetResourceManager(nullptr);
        manager.reset();
        DisplayTest::TearDown();
    }
    void Definitions(const std::string& fonts) {
        res.Write("defs.xml", "<defs>" + fonts + "</defs>");
        ASSERT_TRUE(manager->LoadResourceDefinitions(L"defs.xml"));
    }
    void WriteBmf(const std::string& id, bool withPage) {
        if (withPage) {
            pf::MemorySurface page(32, 16);
            pf::PixelView v = page.GetView();
            for (int y = 4; y < 13; ++y)
                for (int x = 10; x < 16; ++x) reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] = 0xFFFFFFFFu;
            res.Write("fonts/page.png", "");
            ASSERT_TRUE(pf::SavePng(res.Path().string() + "/fonts/page.png", v));
        }
        res.Write("fonts/" + id + ".fnt", BmfBytes(withPage));
    }
    // Draws a text block at `at` in one frame.
    void DrawText(TextBlock& text, pf::Point at) {
        text.SetPosition(at);
        Frame([&] {
            display->Clear(0, 0, 0, 255);
            RenderState rs;
            rs.display = display.get();
            text.Draw(rs);
        });
    }

    testkit::TempDir res;
    pf::FileSystemWin32 fs;
    pf::ImageLoaderDX loader;
    std::unique_ptr<ResourceManager> manager;
};

TEST_F(FontResourceTest, FontFileFromDefinitionsDrawsItsGlyphs) {
    Definitions(std::string("<font id='dv' file='") + kDejaVuSans + "' size='24'/><font id='small' file='" +
                kDejaVuSans + "'/>");
    ResFont* font = manager->GetFont(L"dv");
    ASSERT_TRUE(font);
    ASSERT_TRUE(font->GetFont());
    EXPECT_FALSE(dynamic_cast<pf::BmFont*>(font->GetFont()));
    EXPECT_EQ(font->GetSize(), 24);
    EXPECT_EQ(font->GetFont()->GetSize(), 24);
    EXPECT_EQ(manager->GetFont(L"dv"), font) << "loaded once";

    ResFont* small = manager->GetFont(L"small");  // size "no": 0, drawn at the default size
    ASSERT_TRUE(small && small->GetFont());
    EXPECT_EQ(small->GetSize(), 0);
    EXPECT_EQ(small->GetFont()->GetSize(), pf::kDefaultFontSize);

    my_intrusive_ptr<TextBlock> text(new TextBlock);
    text->SetSize(pf::Point(400, 100));
    text->SetProperty(L"font", L"dv");
    text->SetText(L"IH");
    DrawText(*text, pf::Point(100, 80));
    pf::Font& f = *font->GetFont();
    // 'H' is drawn after the advance of 'I' (the width of its cache rectangle).
    const pf::Rect i = *f.GetGlyph(L'I'), h = *f.GetGlyph(L'H');
    const pf::Rect ink = InkBox(f.GetSurface().get(), h);
    ASSERT_FALSE(ink.IsEmpty());
    const pf::Rect expected(100 + i.width + ink.x - h.x, 80 + ink.y - h.y, ink.width, ink.height);
    const pf::Rect lit = LitBox(Target(), pf::Rect(100 + i.width, 70, h.width + 4, h.height + 20));
    EXPECT_NEAR(lit.x, expected.x, 1);
    EXPECT_NEAR(lit.y, expected.y, 1);
    EXPECT_NEAR(lit.width, expected.width, 2);
    EXPECT_NEAR(lit.height, expected.height, 2);
}

TEST_F(FontResourceTest, BitmapFontFromDefinitionsDrawsItsGlyphs) {
    WriteBmf("bm", true);
    Definitions("<font id='bm' file='not a font file'/>");
    ResFont* font = manager->GetFont(L"bm");
    ASSERT_TRUE(font);
    ASSERT_TRUE(dynamic_cast<pf::BmFont*>(font->GetFont()));
    my_intrusive_ptr<TextBlock> text(new TextBlock);
    text->SetSize(pf::Point(400, 100));
    text->SetResFont(font);
    text->SetText(L"XX");
    DrawText(*text, pf::Point(200, 100));
    // Each 6 x 9 block at pen + (1, 2); the second pen 8 further.
    EXPECT_EQ(LitBox(Target(), pf::Rect(180, 80, 60, 60)), pf::Rect(201, 102, 14, 9));
    EXPECT_EQ(LitBox(Target(), pf::Rect(207, 80, 10, 60)), pf::Rect(209, 102, 6, 9));
}

TEST_F(FontResourceTest, BitmapFontWithoutPageDrawsNothing) {
    WriteBmf("bare", false);
    Definitions("<font id='bare' file='x'/>");
    ResFont* font = manager->GetFont(L"bare");
    ASSERT_TRUE(font && font->GetFont());
    EXPECT_FALSE(font->GetFont()->GetSurface());
    my_intrusive_ptr<TextBlock> text(new TextBlock);
    text->SetSize(pf::Point(400, 100));
    text->SetResFont(font);
    text->SetText(L"XX {c=FF0000FF}X");
    text->setShadow(2, 2, pf::Color(0, 0, 0, 255));
    DrawText(*text, pf::Point(200, 100));
    EXPECT_TRUE(LitBox(Target(), pf::Rect(0, 0, 800, 600)).IsEmpty());
    EXPECT_EQ(text->GetLineCount(), 1);
}

TEST_F(FontResourceTest, FontsThatDoNotLoadAndFontsByName) {
    Definitions("<font id='none' file='no such font at all'/>");
    EXPECT_FALSE(manager->GetFont(L"none"));
    EXPECT_FALSE(manager->GetFont(L"not described"));
    EXPECT_FALSE(manager->CreateFontByName(L"no such font at all", 12, false, false, false));

    ResFont* byName = manager->CreateFontByName(pf::FromUtf8(kDejaVuSans), 12, false, false, false);
    ASSERT_TRUE(byName && byName->GetFont());
    EXPECT_EQ(byName->GetId(), pf::FromUtf8(kDejaVuSans) + L"_12_00");

    ResFont direct;  // loads under its own id; a second load replaces the first font
    direct.SetId(L"direct");
    ASSERT_TRUE(direct.Load(&loader, &fs, display.get(), pf::FromUtf8(kDejaVuSans), 14, false, false, false, 0));
    ASSERT_TRUE(direct.Load(&loader, &fs, display.get(), pf::FromUtf8(kDejaVuSans), 16, true, false, false, 0));
    EXPECT_EQ(direct.GetFont()->GetSize(), 16);
    ResFont other;
    other.SetId(L"other");
    EXPECT_FALSE(other.Load(&loader, &fs, display.get(), L"no such font", 16, false, false, false, 0));
    EXPECT_FALSE(other.GetFont());
}

TEST_F(FontResourceTest, ResourceListFontsLoadByIdAtSizeZero) {
    WriteBmf("listed", true);
    res.Write("list.xml", "<resources><font id='listed'/><font id='absent'/></resources>");
    Resources list(ResourceServices{&loader, &fs, display.get()});
    ASSERT_TRUE(list.load(L"list.xml", nullptr));
    ResFont* listed = list.getFont(L"listed");
    ASSERT_TRUE(listed);
    EXPECT_TRUE(dynamic_cast<pf::BmFont*>(listed->GetFont()));
    EXPECT_EQ(listed->GetSize(), 0);
    ResFont* absent = list.getFont(L"absent");
    ASSERT_TRUE(absent) << "listed though it did not load";
    EXPECT_FALSE(absent->GetFont());
}

}  // namespace
