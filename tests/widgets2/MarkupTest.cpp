// The markup tokenizer, the tag stripper and the layout of one marked-up line.
#include "widgets/Markup.h"
#include "shell/foundation/TextHelpers.h"
#include "widgets2/WidgetsFixture.h"

namespace {

using widgettest::FakeFont;
using widgettest::WordWidths;

std::string Kinds(const std::wstring& text, bool tagMode) {
    std::wstring copy = text;
    MarkupTokenizer t(copy, tagMode);
    std::string out;
    for (MarkupToken k = t.Next(); k.kind != MarkupEnd; k = t.Next())
        out += k.kind == MarkupText ? "T(" + pf::ToString(k.text) + ")" : std::to_string(int(k.kind));
    return out;
}

TEST(MarkupTokenizerTest, TokensInAndOutOfTagMode) {
    EXPECT_EQ(Kinds(L"ab{c=FF}x/y", false), "T(ab)3T(c=FF)4T(x/y)");
    EXPECT_EQ(Kinds(L"c=FF", true), "T(c)5T(FF)");
    EXPECT_EQ(Kinds(L"/click", true), "6T(click)");
    EXPECT_EQ(Kinds(L"}{", false), "43");
    EXPECT_EQ(Kinds(L"", false), "");
}

TEST(MarkupTest, StripMarkupTags) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"ab{c=FF0000FF}cd{/c}ef", L"abcdef"},
        {L"a}b", L"a}b"},             // a "}" before any "{" stays
        {L"x{", L"x{"},               // a "{" without a later "}" stays
        {L"{a}{b}", L""},
        {L"x{a{b}c}", L"xc}"},        // the first "}" after the first "{" ends the tag
        {L"}{n}{", L"}{"},
        {L"", L""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(StripMarkupTags(in), out) << pf::ToString(in);
}

TEST(MarkupTest, MeasureTextExtent) {
    FakeFont font(WordWidths());
    int w = -1, h = -1;
    EXPECT_FALSE(MeasureTextExtent(nullptr, 0, L"one", w, h));
    ASSERT_TRUE(MeasureTextExtent(&font, 0, L"", w, h));
    EXPECT_EQ(pf::Point(w, h), pf::Point(0, 0));
    ASSERT_TRUE(MeasureTextExtent(&font, 1, L"one", w, h));
    EXPECT_EQ(pf::Point(w, h), pf::Point(28, 16));
}

// Quads of one line: per glyph its left x and colour.
struct Laid {
    std::vector<float> x;
    std::vector<uint32_t> colour;
};

Laid Layout(const pf::Font& font, const std::wstring& line, int alpha = 255, int align = 1, int width = 0,
            int charIndex = 0) {
    std::vector<pf::DisplayVertex> quads;
    std::vector<pf::Color> colours{pf::Color(10, 20, 30, alpha)};
    RenderMarkupLine(&quads, nullptr, &font, align, width, pf::Point(100, 50), charIndex, 0, &colours, nullptr,
                     alpha, nullptr, nullptr, pf::Point(), line, 0);
    Laid out;
    EXPECT_EQ(quads.size() % 6, 0u);
    for (size_t i = 0; i < quads.size(); i += 6) {
        float left = quads[i].x;
        for (size_t j = i; j < i + 6; ++j) {
            left = std::min(left, quads[j].x);
            EXPECT_EQ(quads[j].color, quads[i].color);
        }
        out.x.push_back(left);
        out.colour.push_back(quads[i].color);
    }
    return out;
}

constexpr uint32_t kBase = 0xFF0A141E, kRed = 0xFFFF0000;

TEST(MarkupTest, ColourTags) {
    FakeFont font(WordWidths());
    struct Case {
        const wchar_t* line;
        int alpha;
        std::vector<uint32_t> colours;
    } cases[] = {
        {L"ab{c=FF0000FF}cd{/c}ef", 255, {kBase, kBase, kRed, kRed, kBase, kBase}},
        {L"ab{color=FF0000FF}cd{/color}ef", 255, {kBase, kBase, kRed, kRed, kBase, kBase}},
        {L"a{c=FF0000FF}b", 128, {0x800A141E, 0x80FF0000}},
        {L"{/c}x", 255, {kBase}},
        {L"{c=00FF00}x", 255, {0xFF00FF00}},     // a missing pair leaves 255
        {L"{c=FF0000FF}{c=00FF00FF}a{/c}b{/c}c", 255, {0xFF00FF00, kRed, kBase}},
        {L"{C=FF0000FF}a", 255, {kBase}},         // names are case-sensitive
        {L"a}b", 255, {kBase, kBase}},
        {L"{}x", 255, {}},                        // an empty tag swallows what follows
        {L"{", 255, {}},
        {L"}", 255, {}},
        {L"x{c=", 255, {kBase}},                  // unterminated: the line ends
        {L"{c=}x", 255, {0xFFFFFFFF}},
        {L"{/}x", 255, {kBase}},
        {L"{click=x}y", 255, {kBase}},
        {L"{unknown tag}z", 255, {kBase}},
    };
    for (const Case& c : cases) EXPECT_EQ(Layout(font, c.line, c.alpha).colour, c.colours) << pf::ToString(c.line);
}

TEST(MarkupTest, AlignmentMeasuresTheStrippedLine) {
    FakeFont font(WordWidths());  // "a}b" measures 30 with the "}"
    EXPECT_EQ(Layout(font, L"a}b", 255, 1, 100).x, (std::vector<float>{100, 110}));
    EXPECT_EQ(Layout(font, L"a}b", 255, 2, 100).x, (std::vector<float>{135, 145}));
    EXPECT_EQ(Layout(font, L"a}b", 255, 2, 31).x, (std::vector<float>{100, 110}));  // (31 - 30) / 2 = 0
    EXPECT_EQ(Layout(font, L"a}b", 255, 3, 100).x, (std::vector<float>{170, 180}));
    EXPECT_EQ(Layout(font, L"a}b", 255, 3, 10).x, (std::vector<float>{80, 90}));    // wider than the box
    EXPECT_EQ(Layout(font, L"ab{c=FF0000FF}cd", 255, 4, 0, 2).x, (std::vector<float>{80, 90, 100, 110}));
    EXPECT_EQ(Layout(font, L"ab", 255, 4, 0, 99).x, (std::vector<float>{80, 90}));  // index past the end
    EXPECT_EQ(Layout(font, L"ab", 255, 7, 500).x, (std::vector<float>{100, 110}));  // unknown: left
}

TEST(MarkupTest, KerningWithinOneTextRunOnly) {
    FakeFont font(WordWidths());
    font.Kern(L'A', L'V', -3);
    EXPECT_EQ(Layout(font, L"AV").x, (std::vector<float>{100, 107}));
    EXPECT_EQ(Layout(font, L"A{c=FFFFFFFF}V").x, (std::vector<float>{100, 110}));
    EXPECT_EQ(Layout(font, L"VA").x, (std::vector<float>{100, 110}));  // the pair is ordered
}

TEST(MarkupTest, LinesLaidOutIntoOneListGrowItGeometrically) {
    // A block lays out every line into the same lists: each line must not reallocate (and
    // copy) all the lines before it, or a long text takes quadratic time to build.
    FakeFont font(WordWidths(), 16, true, true);
    std::vector<pf::DisplayVertex> glyphs, outline;
    std::vector<pf::Color> colours{pf::Color(255, 255, 255)};
    const pf::Color outlineColour(0, 0, 0);
    int glyphGrowths = 0, outlineGrowths = 0;
    size_t characters = 0;
    for (int i = 0; i < 1000; ++i) {
        const size_t glyphCapacity = glyphs.capacity(), outlineCapacity = outline.capacity();
        const std::wstring line = L"line " + std::to_wstring(i);
        characters += line.size();
        RenderMarkupLine(&glyphs, &outline, &font, 1, 500, pf::Point(0, 16 * i), 0, 0, &colours, &outlineColour, 255,
                         nullptr, nullptr, pf::Point(), line, 0);
        glyphGrowths += glyphs.capacity() != glyphCapacity;
        outlineGrowths += outline.capacity() != outlineCapacity;
    }
    EXPECT_EQ(glyphs.size(), 6 * characters);
    EXPECT_EQ(outline.size(), 6 * characters);
    EXPECT_LE(glyphGrowths, 20);
    EXPECT_LE(outlineGrowths, 20);
}

TEST(MarkupTest, GlyphQuadsTakeThePageCellAndBaseOffset) {
    FakeFont font(WordWidths());
    std::vector<pf::DisplayVertex> quads;
    std::vector<pf::Color> colours{pf::Color(255, 255, 255)};
    RenderMarkupLine(&quads, nullptr, &font, 1, 0, pf::Point(0, 0), 0, 0, &colours, nullptr, 255, nullptr, nullptr,
                     pf::Point(), L"b", 5);
    ASSERT_EQ(quads.size(), 6u);
    const pf::CharDesc* b = font.GetCharDesc(L'b');
    float minY = 1e9f, maxY = -1e9f, minU = 1e9f, minV = 1e9f;
    for (const auto& v : quads) {
        minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
        minU = std::min(minU, v.u), minV = std::min(minV, v.v);
    }
    EXPECT_FLOAT_EQ(minY, float(b->yoffset - 5));
    EXPECT_FLOAT_EQ(maxY, float(b->yoffset - 5 + b->height));
    EXPECT_FLOAT_EQ(minU, b->x / 256.0f);
    EXPECT_FLOAT_EQ(minV, b->y / 256.0f);
}

TEST(MarkupTest, OutlineQuadsOnlyWithAnOutlinePage) {
    FakeFont plain(WordWidths()), outlined(WordWidths(), 16, true, true);
    const pf::Color outlineColour(1, 2, 3, 200);
    for (auto* font : {&plain, &outlined}) {
        std::vector<pf::DisplayVertex> glyphs, outline;
        std::vector<pf::Color> colours{pf::Color(255, 255, 255, 128)};
        RenderMarkupLine(&glyphs, &outline, font, 1, 0, pf::Point(), 0, 0, &colours, &outlineColour, 128, nullptr,
                         nullptr, pf::Point(), L"ab", 0);
        EXPECT_EQ(glyphs.size(), 12u);
        if (font == &plain) {
            EXPECT_TRUE(outline.empty());
        } else {
            ASSERT_EQ(outline.size(), 12u);
            EXPECT_EQ(outline[0].color, pf::Color(1, 2, 3, 200 * 128 / 255).GetARGB());
        }
    }
}

TEST(MarkupTest, FontWithoutPageLaysOutButDrawsNothing) {
    FakeFont font(WordWidths(), 16, false);
    std::vector<pf::DisplayVertex> quads, outline;
    std::vector<pf::Color> colours{pf::Color()};
    std::vector<int> clicks;
    int hit = -1;
    RenderMarkupLine(&quads, &outline, &font, 1, 0, pf::Point(), 0, 0, &colours, nullptr, 255, &clicks, &hit,
                     pf::Point(15, 5), L"{click=4}ab", 0);
    EXPECT_TRUE(quads.empty());
    EXPECT_TRUE(outline.empty());
    EXPECT_EQ(hit, 4);
    RenderMarkupLine(&quads, nullptr, nullptr, 1, 0, pf::Point(), 0, 0, &colours, nullptr, 255, nullptr, nullptr,
                     pf::Point(), L"ab", 0);
    EXPECT_TRUE(quads.empty());
}

TEST(MarkupTest, HugeSpacingKeepsThePenInRange) {
    FakeFont font(WordWidths());
    std::vector<pf::DisplayVertex> quads;
    std::vector<pf::Color> colours{pf::Color()};
    RenderMarkupLine(&quads, nullptr, &font, 1, 0, pf::Point(), 0, INT32_MAX, &colours, nullptr, 255, nullptr,
                     nullptr, pf::Point(), L"abcd", 0);
    ASSERT_EQ(quads.size(), 24u);
    EXPECT_LE(quads[18].x, float(INT32_MAX));
}

int HitAt(const pf::Font& font, const std::wstring& line, pf::Point p, std::vector<int>& clicks) {
    int hit = -1;
    RenderMarkupLine(nullptr, nullptr, &font, 1, 0, pf::Point(0, 0), 0, 0, nullptr, nullptr, 255, &clicks, &hit, p,
                     line, 0);
    return hit;
}

TEST(MarkupTest, ClickRegions) {
    FakeFont font(WordWidths());  // glyphs 12 tall from y = 2
    std::vector<int> clicks;
    EXPECT_EQ(HitAt(font, L"{click=7}Play{/click}", pf::Point(0, 2), clicks), 7);
    EXPECT_EQ(HitAt(font, L"{click=7}Play{/click}", pf::Point(39, 13), clicks), 7);
    EXPECT_EQ(HitAt(font, L"{click=7}Play{/click}", pf::Point(40, 5), clicks), -1);  // past the last glyph
    EXPECT_EQ(HitAt(font, L"{click=7}Play{/click}", pf::Point(5, 14), clicks), -1);  // below the glyphs
    clicks.clear();  // a hit leaves its region open on the caller's stack
    EXPECT_EQ(HitAt(font, L"ab{click=2}cd{/click}", pf::Point(5, 5), clicks), -1);   // before the region
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(HitAt(font, L"ab{click=2}cd{/click}", pf::Point(25, 5), clicks), 2);
    clicks.clear();
    EXPECT_EQ(HitAt(font, L"{click=x}a", pf::Point(5, 5), clicks), 0);  // malformed number: 0
    clicks.clear();
    EXPECT_EQ(HitAt(font, L"{/click}{/click}a", pf::Point(5, 5), clicks), -1);  // extra closes pop nothing
    // A region opened on one line stays open on the next (the caller keeps the stack).
    clicks.clear();
    EXPECT_EQ(HitAt(font, L"x{click=5}y", pf::Point(100, 5), clicks), -1);
    EXPECT_EQ(clicks, std::vector<int>{5});
    EXPECT_EQ(HitAt(font, L"zz", pf::Point(15, 5), clicks), 5);
}

}  // namespace
