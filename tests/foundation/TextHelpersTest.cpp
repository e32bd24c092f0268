#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "shell/foundation/TextHelpers.h"

using namespace pf;

TEST(TextHelpers, ToBool) {
    struct Case { const wchar_t* text; bool expected; };
    const Case cases[] = {
        {L"1", true}, {L"12", true}, {L"Yes", true}, {L"TRUE", true}, {L"true", true},
        {L"0", false}, {L"", false}, {L"no", false}, {L"0yes", false}, {L" true", false},
        {L"false", false}, {L"yes ", false}, {L"-1", false}, {L"007", true},
    };
    for (const auto& c : cases) EXPECT_EQ(ToBool(c.text), c.expected) << "text: '" << ToUtf8(c.text) << "'";
}

TEST(TextHelpers, ToColor) {
    struct Case { const wchar_t* text; Color expected; };
    const Case cases[] = {
        {L"255,0,0", Color(255, 0, 0, 255)},      // missing alpha stays 255
        {L"1 2 3 4", Color(1, 2, 3, 4)},
        {L"10, 20 ,30,40", Color(10, 20, 30, 40)},
        {L"abc", Color(0, 0, 0, 255)},
        {L"", Color(0, 0, 0, 255)},
        {L"7,x,9", Color(7, 0, 0, 255)},          // reading stops at the first failure
        {L"256,257,-1,300", Color(0, 1, 255, 44)}, // each value truncated to a byte
    };
    for (const auto& c : cases) EXPECT_EQ(ToColor(c.text), c.expected) << ToUtf8(c.text);
}

TEST(TextHelpers, HexColors) {
    EXPECT_EQ(HexToColor(L"ff0000"), Color(255, 0, 0, 255));
    EXPECT_EQ(HexToColor(L"7"), Color(255, 255, 255, 255));
    EXPECT_EQ(HexToColor(L"0a0b0c0d"), Color(10, 11, 12, 13));
    EXPECT_EQ(HexToColor(L"ABC"), Color(0xAB, 255, 255, 255));
    EXPECT_EQ(HexToColor(L""), Color(255, 255, 255, 255));
    EXPECT_EQ(HexDigitValue(L'0'), 0);
    EXPECT_EQ(HexDigitValue(L'g'), 0);
    EXPECT_EQ(HexDigitValue(L'F'), 15);
    EXPECT_EQ(ColorToHex(Color(1, 0xab, 255, 0)), L"01abff00");
}

TEST(TextHelpers, Numbers) {
    EXPECT_EQ(ToPoint(L"3,4"), Point(3, 4));
    EXPECT_EQ(ToPoint(L"7"), Point(7, 0));
    EXPECT_EQ(ToPoint(L"x"), Point(0, 0));
    EXPECT_EQ(ToRect(L"1,2,3,4"), Rect(1, 2, 3, 4));
    EXPECT_EQ(ToRect(L"1 2"), Rect(1, 2, 0, 0));
    EXPECT_EQ(ToInt(L" 42abc"), 42);
    EXPECT_EQ(ToInt(L"3.9"), 3);
    EXPECT_EQ(ToInt(L"none"), 0);
    EXPECT_DOUBLE_EQ(ToDouble(L"2.5,7"), 2.5);
    EXPECT_DOUBLE_EQ(ToDouble(L"x"), 0.0);
    EXPECT_DOUBLE_EQ(ReadDouble(L"1,5"), 1.0);  // commas are not replaced here
    EXPECT_DOUBLE_EQ(ReadDouble(nullptr), 0.0);
    EXPECT_EQ(IntToWString(-17), L"-17");
}

TEST(TextHelpers, Trim) {
    EXPECT_EQ(Trim(L" \t\nword \n\t"), L"word");
    EXPECT_EQ(Trim(L"\r"), L"\r");
    EXPECT_EQ(Trim(L" a\r "), L"a\r");
    EXPECT_EQ(Trim(L"  \t "), L"");
    EXPECT_EQ(Trim(L""), L"");
    EXPECT_EQ(Trim(L"a b"), L"a b");
}

TEST(TextHelpers, Tokenize) {
    struct Case {
        const wchar_t* text;
        const wchar_t* delimiters;
        bool keep;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {L"a,,b", L",", true, {L"a", L",,", L"b"}},
        {L"a,,b", L",", false, {L"a", L"b"}},
        {L",,a, b,,", L", ", true, {L"a", L", ", L"b"}},
        {L"", L",", true, {}},
        {L",,,", L",", true, {}},
        {L"single", L",", false, {L"single"}},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> out;
        Tokenize(c.text, out, c.delimiters, c.keep);
        EXPECT_EQ(out, c.expected) << ToUtf8(c.text);
    }
    std::vector<std::wstring> appended{L"kept"};
    Tokenize(L"x y", appended, L" ", false);
    EXPECT_EQ(appended, (std::vector<std::wstring>{L"kept", L"x", L"y"}));
}

TEST(TextHelpers, Latin1RoundTrip) {
    std::string bytes;
    for (int i = 1; i < 256; ++i) bytes += static_cast<char>(i);
    std::wstring wide = ToWString(bytes);
    ASSERT_EQ(wide.size(), 255u);
    for (int i = 1; i < 256; ++i) EXPECT_EQ(static_cast<int>(wide[i - 1]), i);
    EXPECT_EQ(ToString(wide), bytes);

    wchar_t* w = NewWideString(bytes.c_str());
    char* n = NewNarrowString(w);
    EXPECT_EQ(std::string(n), bytes);
    delete[] w;
    delete[] n;

    // Long texts take the same path as short ones.
    std::string longText(1000, '\xE9');
    EXPECT_EQ(ToString(ToWString(longText)), longText);
}

TEST(TextHelpers, NarrowingOutOfRangeGivesQuestionMark) {
    EXPECT_EQ(ToString(L"a\u20ACb"), "a?b");
    char* n = NewNarrowString(L"\u4E2D");
    EXPECT_STREQ(n, "?");
    delete[] n;
}

TEST(TextHelpers, Utf8) {
    const std::wstring text = L"caf\u00E9 \u20AC \U0001F600";
    EXPECT_EQ(ToUtf8(text), "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    // Malformed: a lone continuation byte, a truncated sequence, an overlong form.
    EXPECT_EQ(FromUtf8("a\x80z"), L"a\uFFFDz");
    EXPECT_EQ(FromUtf8("a\xE2\x82"), L"a\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");
}

TEST(TextHelpers, FormattersTruncate) {
    wchar_t wbuf[kFormatBufferSize + 8];
    std::wmemset(wbuf, L'#', kFormatBufferSize + 8);
    EXPECT_EQ(FormatWide(wbuf, L"%ls=%d", L"key", 5), 5);
    EXPECT_STREQ(wbuf, L"key=5");

    std::wstring longArg(600, L'x');
    std::wmemset(wbuf, L'#', kFormatBufferSize + 8);
    EXPECT_EQ(FormatWide(wbuf, L"%ls", longArg.c_str()), kFormatBufferSize - 1);
    EXPECT_EQ(std::wcslen(wbuf), size_t(kFormatBufferSize - 1));
    EXPECT_EQ(wbuf[kFormatBufferSize], L'#');  // nothing written past the buffer

    char nbuf[kFormatBufferSize + 8];
    std::memset(nbuf, '#', sizeof nbuf);
    std::string longNarrow(600, 'y');
    EXPECT_EQ(FormatNarrow(nbuf, "%s", longNarrow.c_str()), kFormatBufferSize - 1);
    EXPECT_EQ(std::strlen(nbuf), size_t(kFormatBufferSize - 1));
    EXPECT_EQ(nbuf[kFormatBufferSize], '#');
    EXPECT_EQ(FormatNarrow(nbuf, "%d,%d", 3, 4), 3);
    EXPECT_STREQ(nbuf, "3,4");
}
