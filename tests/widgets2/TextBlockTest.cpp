// Wrapping, line layout, cached quads and click regions of the text widget.
#include "widgets/TextBlock.h"
#include "widgets/TextWrap.h"
#include "scene/SceneTestSupport.h"
#include "shell/foundation/TextHelpers.h"
#include "widgets2/WidgetsFixture.h"

namespace {

using widgettest::FakeFont;
using widgettest::MakeResFont;
using widgettest::WordWidths;
using Lines = std::vector<std::wstring>;

TEST(WrapTextTest, Cases) {
    FakeFont font(WordWidths());
    struct Case {
        const wchar_t* text;
        int width;
        Lines lines;
    } cases[] = {
        // "one" and "two" 25, " " 5: the space after "two" reaches exactly 60 and breaks.
        {L"one two three", 60, {L"one two", L"three"}},
        {L"one two three", 61, {L"one two", L"three"}},  // the broken line is trimmed
        {L"a onetwothreeone b", 60, {L"a", L"onetwothreeone", L"b"}},  // an over-wide word alone
        {L"one  two", 200, {L"one  two"}},
        {L"one\n\n\ntwo", 200, {L"one", L" ", L" ", L"two"}},
        {L"one \ntwo", 200, {L"one", L" \ntwo"}},  // a run not starting with a newline stays
        {L"   one two   ", 200, {L"one two"}},                         // outer delimiters dropped
        {L"one - two", 30, {L"one", L"-", L"two"}},
        {L"one two -", 56, {L"one two", L"-"}},
        {L"onetwo -", 10, {L"onetwo"}},                                // a lone "-" at a break goes
        {L"{c=FF0000FF}one{/c} two", 58, {L"{c=FF0000FF}one{/c} two"}},  // tags measure nothing
        {L"one two three", 0, {L"one", L"two", L"three"}},
        {L"one two three", -50, {L"one", L"two", L"three"}},
        {L"", 100, {}},
    };
    for (const Case& c : cases) {
        Lines lines;
        WrapText(c.text, lines, c.width, 0, font, L" \n");
        EXPECT_EQ(lines, c.lines) << pf::ToString(c.text) << " in " << c.width;
    }
}

class TextBlockTest : public widgettest::SceneTest {
protected:
    my_intrusive_ptr<TextBlock> Block(int width, const std::wstring& text, pf::Font* font = nullptr) {
        my_intrusive_ptr<TextBlock> t(new TextBlock);
        t->SetSize(pf::Point(width, 100));
        t->SetResFont(MakeResFont(font ? font : new FakeFont(WordWidths())).get());
        t->SetText(text);
        return t;
    }
};

TEST_F(TextBlockTest, BreakLinesExpandsLineBreakTags) {
    const std::pair<const wchar_t*, Lines> cases[] = {
        {L"a{n}{n}b", {L"a", L" ", L"b"}},
        {L"a{n}b", {L"a", L"b"}},
        {L"a b ", {L"a b"}},
        {L"{n}", {}},
    };
    for (const auto& [text, lines] : cases) EXPECT_EQ(Block(200, text)->GetLines(), lines) << pf::ToString(text);
}

TEST_F(TextBlockTest, LinesBreakOnlyWhenTextOrFontIsSet) {
    auto t = Block(60, L"one two three");
    EXPECT_EQ(t->GetLineCount(), 2);
    t->SetSpacing(10);
    t->SetWidth(500);
    EXPECT_EQ(t->GetLineCount(), 2);
    t->SetText(t->GetText());
    EXPECT_EQ(t->GetLines(), Lines{L"one two three"});
    t->SetResFont(nullptr);
    EXPECT_EQ(t->GetLineCount(), 0);
    EXPECT_EQ(t->calcTextSize(), pf::Point(0, 0));
    EXPECT_EQ(t->GetLineSkip(), 0);
    EXPECT_EQ(t->GetBase(), 0);
    int id = 0;
    EXPECT_FALSE(t->HitTestClick(id, pf::Point(1, 1)));
}

TEST_F(TextBlockTest, SizesAndVerticalAlignment) {
    auto t = Block(60, L"one two three");
    EXPECT_EQ(t->calcTextSize(), pf::Point(55, 32));
    t->SetPosition(pf::Point(7, 9));
    EXPECT_EQ(t->GetTextRect(), pf::Rect(7, 9, 55, 32));
    t->FitHeightToText();
    EXPECT_EQ(t->GetHeight(), 32);
    t->SetText(L"a{n}b{n}c");
    t->SetLineSkip(20);
    const std::tuple<int, int, int> cases[] = {{1, 100, 0}, {2, 100, 20}, {2, 40, -10}, {3, 100, 40}, {9, 100, 0}};
    for (const auto& [valign, height, y] : cases) {
        t->SetVAlign(valign);
        t->SetHeight(height);
        EXPECT_EQ(t->GetVAlignOffset(), y) << valign << " " << height;
    }
}

TEST_F(TextBlockTest, PropertiesAndDump) {
    auto t = Block(200, L"");
    const std::pair<const wchar_t*, const wchar_t*> taken[] = {
        {L"align", L"3"}, {L"valign", L"2x"}, {L"clickStateColor2", L"FF"}, {L"clickID", L"9"},
        {L"lineSkip", L"22"}, {L"shadowColor", L"1"}, {L"spacing", L"4"}, {L"outlinecolor", L"FF000080"},
        {L"delimiters", L" ,"}, {L"text", L"hello there, friend of mine"}};
    for (const auto& [key, value] : taken) EXPECT_TRUE(t->SetProperty(key, value)) << pf::ToString(key);
    EXPECT_EQ(t->GetAlign(), 3);
    EXPECT_EQ(t->GetVAlign(), 2);
    EXPECT_EQ(t->GetClickID(), -1);
    EXPECT_EQ(t->GetLineSkip(), 22);
    EXPECT_EQ(t->GetSpacing(), 4);
    EXPECT_EQ(t->GetOutlineColor(), pf::Color(255, 0, 0, 128));
    EXPECT_FALSE(t->SetProperty(L"noSuchKey", L"1"));
    EXPECT_NE(t->Dump(false, false).find(L"\n [TextBlock] text 'hello there, fri...'"), std::wstring::npos);
    EXPECT_TRUE(t->IsKindOf(45) && t->IsKindOf(12) && t->IsKindOf(1) && t->IsKindOf(0));
}

TEST_F(TextBlockTest, QuadsAreRebuiltOnlyAfterAChange) {
    auto t = Block(200, L"ab {c=FF0000FF}cd");
    scenetest::RecordingDisplay display;
    RenderState rs;
    rs.display = &display;
    t->Draw(rs);
    t->Draw(rs);
    EXPECT_EQ(t->GetRebuildCount(), 1);
    const std::function<void()> changes[] = {
        [&] { t->SetText(L"other"); },      [&] { t->SetSpacing(2); },
        [&] { t->SetAlign(2); },            [&] { t->SetLineIndent(3); },
        [&] { t->SetLineSkip(30); },        [&] { t->SetVAlign(3); },
        [&] { t->SetBase(4); },             [&] { t->SetOutlineColor(pf::Color(1, 1, 1)); },
        [&] { t->setShadow(1, 1, pf::Color(0, 0, 0, 255)); },
        [&] { t->SetAlpha(100); },          [&] { t->SetColor(pf::Color(9, 9, 9)); },
        [&] { rs.alpha = 77; },             // a fade of the parent
        [&] { t->SetResFont(t->GetResFont()); },
    };
    int expected = 1;
    for (const auto& change : changes) {
        change();
        t->Draw(rs);
        t->Draw(rs);
        EXPECT_EQ(t->GetRebuildCount(), ++expected);
    }
    t->SetDelimiters(L",");  // does not change the look until the text is set again
    t->Draw(rs);
    EXPECT_EQ(t->GetRebuildCount(), expected);
}

TEST_F(TextBlockTest, FontIsHeldWhileShown) {
    auto t = Block(200, L"ab");
    {
        my_intrusive_ptr<ResFont> font = MakeResFont(new FakeFont(WordWidths()), L"held");
        t->SetResFont(font.get());
    }  // the owner lets its resource go
    ASSERT_TRUE(t->GetResFont());
    EXPECT_EQ(t->GetFont(), L"held");
    scenetest::RecordingDisplay display;
    RenderState rs;
    rs.display = &display;
    t->Draw(rs);
    EXPECT_EQ(t->GetRebuildCount(), 1);
    EXPECT_EQ(t->GetLineCount(), 1);
}

TEST_F(TextBlockTest, ResourceWithoutPayloadIsNoFont) {
    my_intrusive_ptr<ResFont> empty(new ResFont);
    auto t = Block(200, L"ab");
    t->SetResFont(empty.get());
    EXPECT_EQ(t->GetLineCount(), 0);
    scenetest::RecordingDisplay display;
    RenderState rs;
    rs.display = &display;
    t->Draw(rs);
    EXPECT_EQ(t->GetRebuildCount(), 0);
}

TEST_F(TextBlockTest, ClickRegionsPostButtonClickThroughTheRoot) {
    auto t = Block(40, L"{click=3}aa{/click} {click=4}bb{n}cc{/click}");
    root->AddItem(t.get());
    t->SetPosition(pf::Point(100, 100));
    ASSERT_EQ(t->GetLines(), (Lines{L"{click=3}aa{/click}", L"{click=4}bb", L"cc{/click}"}));
    int id = -1;
    ASSERT_TRUE(t->HitTestClick(id, pf::Point(5, 20)));  // the region goes on to the next line
    EXPECT_EQ(id, 4);
    ASSERT_TRUE(t->HitTestClick(id, pf::Point(5, 36)));
    EXPECT_EQ(id, 4);

    struct Case {
        pf::Point press, release;
        std::vector<std::string> posted;
    } cases[] = {
        {{105, 105}, {115, 105}, {"24:3"}},
        {{105, 105}, {105, 121}, {}},          // pressed on 3, released on 4
        {{105, 121}, {105, 137}, {"24:4"}},    // one region across two lines
        {{135, 105}, {135, 105}, {}},          // beside the glyphs
        {{500, 500}, {105, 105}, {}},
    };
    for (const Case& c : cases) {
        pf::Event down = Mouse(pf::EventType::MouseButtonDown, c.press.x, c.press.y);
        root->ProcessEvent(down);
        pf::Event up = Mouse(pf::EventType::MouseButtonUp, c.release.x, c.release.y);
        root->ProcessEvent(up);
        EXPECT_EQ(Deliver(), c.posted) << c.press.x << "," << c.press.y;
    }
}

}  // namespace

// Sizes, spacing and line skips read from XML at the int limits lay the text out without
// any arithmetic leaving int range (the sanitizers stop the test otherwise).
TEST_F(TextBlockTest, ExtremeLayoutValuesFromXmlStayInRange) {
    const std::pair<const wchar_t*, const wchar_t*> settings[] = {
        {L"lineSkip", L"2147483647"}, {L"lineSkip", L"-2147483648"}, {L"spacing", L"-2147483648"},
        {L"spacing", L"2147483647"},  {L"width", L"-2147483648"},    {L"width", L"2147483647"},
        {L"height", L"-2147483648"},  {L"height", L"2147483647"},
    };
    for (const auto& [key, value] : settings) {
        for (int align = 1; align <= 4; ++align) {
            for (int valign = 1; valign <= 3; ++valign) {
                auto t = Block(200, L"");
                ASSERT_TRUE(t->SetProperty(key, value));
                t->SetAlign(align);
                t->SetVAlign(valign);
                t->SetText(L"{click=1}ab{n}cd{n}ef{/click}");
                t->GetVAlignOffset();
                t->calcTextSize();
                scenetest::RecordingDisplay display;
                RenderState rs;
                rs.display = &display;
                t->Draw(rs);
                int id = -1;
                t->HitTestClick(id, pf::Point(5, 5));
            }
        }
    }
}
