// Bitmap font descriptions: binary BMF files built field by field, and the XML form.
#include <gtest/gtest.h>

#include <algorithm>

#include "widgets/Markup.h"
#include "fonts/FontsFixture.h"
#include "shell/BmFont.h"
#include "shell/codecs/ImageCodec.h"

namespace {

using fonttest::BoxGlyphs;
using fonttest::Desc;
using fonttest::FontsTest;

struct BmfChar {
    uint32_t id;
    uint16_t x, y, width, height;
    int16_t xoffset, yoffset, xadvance;
};
struct BmfKerning {
    uint32_t first, second;
    int16_t amount;
};

// A BMF file: "BMF", version, then the info, common, pages, chars and kerning blocks.
struct Bmf {
    uint8_t version = 3;
    int16_t fontSize = -32;
    uint16_t lineHeight = 40, base = 32;
    std::vector<std::string> pages{"page.png"};
    std::vector<BmfChar> chars{{65, 1, 2, 20, 30, -1, 4, 22}, {86, 30, 2, 21, 30, 0, 4, 23}, {32, 0, 0, 0, 0, 0, 0, 9}};
    std::vector<BmfKerning> kernings{{65, 86, -2}};
    bool kerningBlock = true;

    static void Put(std::string& s, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
    }
    static void Block(std::string& s, int type, const std::string& content) {
        Put(s, uint32_t(type), 1);
        Put(s, uint32_t(content.size()), 4);
        s += content;
    }
    std::string Build() const {
        std::string s = "BMF";
        Put(s, version, 1);
        std::string info;
        Put(info, uint16_t(fontSize), 2);
        info += std::string(12, '\0') + "Face Name" + '\0';
        Block(s, 1, info);
        std::string common;
        for (uint16_t v : {lineHeight, base, uint16_t(256), uint16_t(256), uint16_t(pages.size())}) Put(common, v, 2);
        common += std::string(5, '\0');
        Block(s, 2, common);
        std::string names;
        for (const std::string& p : pages) names += p + '\0';
        Block(s, 3, names);
        std::string records;
        for (const BmfChar& c : chars) {
            Put(records, c.id, 4);
            for (uint16_t v : {c.x, c.y, c.width, c.height, uint16_t(c.xoffset), uint16_t(c.yoffset), uint16_t(c.xadvance)})
                Put(records, v, 2);
            Put(records, 0, 2);
        }
        Block(s, 4, records);
        if (kerningBlock) {
            std::string pairs;
            for (const BmfKerning& k : kernings) {
                Put(pairs, k.first, 4);
                Put(pairs, k.second, 4);
                Put(pairs, uint16_t(k.amount), 2);
            }
            Block(s, 5, pairs);
        }
        return s;
    }
};

class BmFontTest : public FontsTest {
protected:
    void SetUp() override {
        pf::MemorySurface page(64, 32);
        ASSERT_TRUE(pf::SavePng((res.Path() / "fonts").string() + "/page.png", page.GetView()) ||
                    (res.Write("fonts/.keep", ""), pf::SavePng(ResFile("fonts/page.png"), page.GetView())));
    }
    bool Parse(pf::BmFont& font, const std::string& bytes) {
        std::string first;
        return font.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), L"test", first);
    }
    std::unique_ptr<pf::BmFont> Load(const Bmf& bmf, const std::wstring& id = L"bm") {
        res.Write("fonts/" + pf::ToUtf8(id) + ".fnt", bmf.Build());
        auto font = std::make_unique<pf::BmFont>(Desc(id));
        font->Load(&loader, &fs, &display);
        return font;
    }
};

TEST_F(BmFontTest, ReadsTheBlocks) {
    auto font = Load(Bmf());
    ASSERT_TRUE(font->IsLoaded());
    ASSERT_TRUE(font->GetSurface());
    EXPECT_EQ(font->GetSurface()->GetWidth(), 64);
    EXPECT_EQ(font->GetSize(), 32);
    EXPECT_EQ(font->GetBase(), 8);
    const pf::CharDesc* a = font->GetCharDesc(L'A');
    ASSERT_TRUE(a);
    EXPECT_EQ(a->x, 1);
    EXPECT_EQ(a->width, 20);
    EXPECT_EQ(a->xoffset, -1);
    EXPECT_EQ(a->xadvance, 22);
    EXPECT_FALSE(font->GetCharDesc(L'B'));
    // The pair (A, V) with amount -2 is kept with V under A and moves V by the amount.
    const pf::CharDesc* v = font->GetCharDesc(L'V');
    ASSERT_TRUE(v);
    EXPECT_EQ(v->kerning.at(65), -2);
    EXPECT_EQ(v->KerningAfter(L'A'), -2);
    EXPECT_EQ(v->KerningAfter(L'V'), 0);
    EXPECT_TRUE(a->kerning.empty());
    // Characters not in the file add nothing, not even the spacing.
    pf::Point size;
    font->MeasureText(size, L"AxV\nA", 1);
    EXPECT_EQ(size, pf::Point(22 + 1 + 23 + 1, 64));
}

// Where each glyph of a line lands, left to right.
std::vector<float> GlyphLefts(const pf::Font& font, const std::wstring& line, int align, int width, int spacing) {
    std::vector<pf::DisplayVertex> quads;
    std::vector<pf::Color> colours{pf::Color(255, 255, 255)};
    RenderMarkupLine(&quads, nullptr, &font, align, width, pf::Point(0, 0), 0, spacing, &colours, nullptr, 255,
                     nullptr, nullptr, pf::Point(), line, 0);
    std::vector<float> lefts;
    for (size_t i = 0; i < quads.size(); i += 6) {
        float left = quads[i].x;
        for (size_t j = i; j < i + 6; ++j) left = std::min(left, quads[j].x);
        lefts.push_back(left);
    }
    return lefts;
}

TEST_F(BmFontTest, KernedTextMeasuresAsItIsDrawn) {
    // The drawn width is where the pen stops after the last glyph; right-aligned or centred
    // in a box, the line must land that far from the box's right edge or its middle.
    auto font = Load(Bmf());
    ASSERT_TRUE(font->IsLoaded());
    struct Case {
        const wchar_t* line;
        int spacing;
        int width;  // A 22, V 23, V after A two less
    } cases[] = {
        {L"AV", 0, 43},
        {L"VA", 0, 45},
        {L"AVAV", 3, 22 + 21 + 22 + 21 + 4 * 3},
        {L"A V", 0, 54},  // only a neighbour pairs
    };
    const int box = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(pf::ToUtf8(c.line));
        const std::vector<float> left = GlyphLefts(*font, c.line, AlignLeft, 0, c.spacing);
        ASSERT_FALSE(left.empty());
        const pf::CharDesc* last = font->GetCharDesc(std::wstring(c.line).back());
        const int drawn = int(left.back()) - last->xoffset + last->xadvance + c.spacing;
        EXPECT_EQ(drawn, c.width);
        pf::Point size;
        font->MeasureText(size, c.line, c.spacing);
        EXPECT_EQ(size.x, drawn);
        std::vector<float> right = left, centred = left;
        for (float& x : right) x += float(box - drawn);
        for (float& x : centred) x += float((box - drawn) / 2);
        EXPECT_EQ(GlyphLefts(*font, c.line, AlignRight, box, c.spacing), right);
        EXPECT_EQ(GlyphLefts(*font, c.line, AlignCenter, box, c.spacing), centred);
    }
    pf::Point size;
    font->MeasureText(size, L"A\nVA\nAV", 0);
    EXPECT_EQ(size, pf::Point(45, 96)) << "a pair never reaches across a line break";
}

TEST_F(BmFontTest, VersionsSizesAndOptionalBlocks) {
    struct Case {
        const char* what;
        Bmf bmf;
        bool loaded;
        int size;
    };
    auto with = [](auto change) {
        Bmf b;
        change(b);
        return b;
    };
    const Case cases[] = {
        {"version 2 is refused", with([](Bmf& b) { b.version = 2; }), false, 0},
        {"version 4 is read", with([](Bmf& b) { b.version = 4; }), true, 32},
        {"a positive fontSize is the size", with([](Bmf& b) { b.fontSize = 20; }), true, 20},
        {"fontSize 0 measures by the line height", with([](Bmf& b) { b.fontSize = 0; }), true, 40},
        {"no kerning block", with([](Bmf& b) { b.kerningBlock = false; }), true, 32},
        {"no page", with([](Bmf& b) { b.pages.clear(); }), true, 32},
        {"a page that does not exist", with([](Bmf& b) { b.pages = {"missing.png"}; }), false, 0},
        {"an empty page name", with([](Bmf& b) { b.pages = {""}; }), false, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        auto font = Load(c.bmf, L"case" + std::to_wstring(n++));
        EXPECT_EQ(font->IsLoaded(), c.loaded) << c.what;
        if (c.loaded) {
            EXPECT_EQ(font->GetSize(), c.size) << c.what;
        }
    }
    auto bare = Load(with([](Bmf& b) { b.kerningBlock = false; }), L"bare");
    ASSERT_TRUE(bare->GetCharDesc(L'V'));
    EXPECT_TRUE(bare->GetCharDesc(L'V')->kerning.empty());
    auto pageless = Load(with([](Bmf& b) { b.pages.clear(); }), L"pageless");
    EXPECT_FALSE(pageless->GetSurface());
}

TEST_F(BmFontTest, TruncatedAndOversizedBlocksAreRefused) {
    const std::string good = Bmf().Build();
    testkit::LogCapture log;
    const size_t endOfChars = good.size() - (5 + 10);  // one kerning pair follows the chars
    for (size_t n = 0; n < good.size(); ++n) {
        pf::BmFont font(Desc(L"cut"));
        // Only the file that ends right after the chars block is whole.
        EXPECT_EQ(Parse(font, good.substr(0, n)), n == endOfChars) << n;
    }
    // A chars block claiming more than the file holds.
    std::string big = good;
    const size_t chars = good.find(std::string("A\0\0\0", 4)) - 5;
    big[chars + 4] = char(0x7F);
    pf::BmFont font(Desc(L"big"));
    EXPECT_FALSE(Parse(font, big));
    EXPECT_TRUE(log.Contains("cut short"));
    // The XML form is not a BMF file, and no error.
    pf::BmFont xml(Desc(L"xml"));
    EXPECT_FALSE(Parse(xml, "<font/>"));
}

TEST_F(BmFontTest, XmlDescription) {
    res.Write("fonts/x.fnt",
              "<font><info face='x'/><common lineHeight='20'/>"
              "<chars><char id='65' x='1' y='2' width='3' height='4' xoffset='0' yoffset='0' xadvance='7'/>"
              "<char id='86' x='5' y='2' width='3' height='4' xoffset='0' yoffset='0' xadvance='8'/>"
              "<char id='66' x='5' y='2' width='3' height='4' xoffset='0' yoffset='0'/></chars>"
              "<kernings><kerning first='65' second='86' amount='-2'/><kerning first='99' second='86' amount='1'/>"
              "</kernings><pages><page id='0' file='page.png'/></pages></font>");
    pf::Font font(Desc(L"x"));
    BoxGlyphs glyphs(20, 40);
    ASSERT_TRUE(font.RenderGlyphCache(fs, loader, glyphs));
    ASSERT_TRUE(font.Load(&loader, &fs, &display));
    EXPECT_TRUE(font.HasCharMap());
    EXPECT_EQ(font.GetCharMap().size(), 2u);  // 'B' lacks its advance
    EXPECT_EQ(font.GetCharMap().at(65).kerning.at(86), -2);
    EXPECT_EQ(font.GetCharDesc(L'A'), nullptr);
    pf::Point size;
    font.MeasureText(size, L"AVz", 1);
    EXPECT_EQ(size, pf::Point(17, 10));

    // A malformed pages element: false, and the characters read before it stay.
    res.Write("fonts/y.fnt",
              "<font><chars><char id='65' x='1' y='2' width='3' height='4' xoffset='0' yoffset='0' xadvance='7'/>"
              "</chars><pages><pag file='page.png'/></pages></font>");
    pf::Font bad(Desc(L"y"));
    EXPECT_FALSE(bad.LoadXml(&loader, &fs, &display));
    EXPECT_EQ(bad.GetCharMap().size(), 1u);
    ASSERT_TRUE(bad.RenderGlyphCache(fs, loader, glyphs));
    ASSERT_TRUE(bad.Load(&loader, &fs, &display));
    EXPECT_FALSE(bad.HasCharMap());

    // A description with its own page but no glyph cache (no font file to render one
    // from) has no glyph rectangles to draw with: not loaded.
    res.Write("fonts/alone.fnt",
              "<font><pages><page id='0' file='page.png'/></pages><chars><char id='65' x='1' y='2' width='3' "
              "height='4' xoffset='0' yoffset='0' xadvance='7'/></chars></font>");
    pf::Font alone(Desc(L"alone", 10, 0, L"no-such-face.ttf"));
    EXPECT_FALSE(alone.Load(&loader, &fs, &display));
    EXPECT_TRUE(alone.HasCharMap());

    // A document that does not parse, and one with no children.
    res.Write("fonts/z.fnt", "<font><chars>");
    pf::Font broken(Desc(L"z"));
    EXPECT_FALSE(broken.LoadXml(&loader, &fs, &display));
    res.Write("fonts/w.fnt", "<font/>");
    pf::Font empty(Desc(L"w"));
    EXPECT_TRUE(empty.LoadXml(&loader, &fs, &display));
}

}  // namespace
