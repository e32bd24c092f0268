// The names read from TrueType "name" tables: real fonts against fontconfig's fc-query,
// and hand-made tables for the encodings and the malformed cases.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fonts/FontsFixture.h"

namespace {

using fonttest::FontsTest;

std::string Query(const std::string& file, const char* field) {
    std::string out;
    const std::string command = std::string("fc-query -f '%{") + field + "}' '" + file + "' 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

bool OneOf(const std::string& value, const std::string& commaList) {
    size_t start = 0;
    while (start <= commaList.size()) {
        size_t end = commaList.find(',', start);
        if (end == std::string::npos) end = commaList.size();
        if (commaList.compare(start, end - start, value) == 0) return true;
        start = end + 1;
    }
    return false;
}

TEST(FontNames, DejaVuFacesMatchFcQuery) {
    if (!testkit::HaveProgram("fc-query")) GTEST_SKIP() << "fc-query is not installed";
    const char* faces[] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSerif-Italic.ttf", "DejaVuSansMono.ttf",
                           "DejaVuSansCondensed-BoldOblique.ttf"};
    for (const char* face : faces) {
        const std::string path = std::string("/usr/share/fonts/truetype/dejavu/") + face;
        const std::string family = Query(path, "family"), full = Query(path, "fullname");
        ASSERT_FALSE(family.empty()) << face;
        pf::FontNames names;
        ASSERT_TRUE(pf::ReadTrueTypeNames(pf::FromUtf8(path), names)) << face;
        // fc-query lists every family and full name the file gives (the typographic family
        // first); the name table's own ID 1 and ID 4 strings are among them.
        EXPECT_TRUE(OneOf(pf::ToUtf8(names.family), family)) << face << ": " << family;
        EXPECT_TRUE(OneOf(pf::ToUtf8(names.fullName), full)) << face << ": " << full;
        EXPECT_NE(names.copyright.find(L"Copyright"), std::wstring::npos) << face;
    }
}

TEST_F(FontsTest, FontFileFoundIgnoringCaseAndByInstalledName) {
    res.Write("Fonts/Face.TTF", testkit::ReadFile(fonttest::kDejaVuSans));
    pf::FontNames names;
    EXPECT_TRUE(pf::ReadTrueTypeNames(pf::FromUtf8(ResFile("fonts/face.ttf")), names));
    EXPECT_EQ(names.family, L"DejaVu Sans");
    // A bare file name that is not in the working folder names an installed font.
    EXPECT_TRUE(pf::ReadTrueTypeNames(L"dejavusans-bold.TTF", names));
    EXPECT_EQ(names.fullName, L"DejaVu Sans Bold");
    EXPECT_FALSE(pf::ReadTrueTypeNames(L"no-such-face.ttf", names));
    EXPECT_FALSE(pf::ReadTrueTypeNames(pf::FromUtf8(ResFile("missing/face.ttf")), names));
}

// A font file of an offset table, a directory and a name table of the given records.
struct Record {
    uint16_t platform, id;
    std::string bytes;       // the string as stored
    int lengthDelta = 0;     // added to the stored length
};

void Put16(std::string& s, size_t at, unsigned v) {
    s[at] = char(v >> 8);
    s[at + 1] = char(v);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, v >> 16);
    Put16(s, at + 2, v & 0xFFFF);
}

std::string FontFile(const std::vector<Record>& records, uint16_t major = 1, uint16_t numTables = 2) {
    std::string f(12 + 32, '\0');
    Put16(f, 0, major);
    Put16(f, 4, numTables);
    std::memcpy(&f[12], "head", 4);
    std::memcpy(&f[28], "name", 4);
    Put32(f, 28 + 8, uint32_t(f.size()));
    std::string t(6 + 12 * records.size(), '\0');
    Put16(t, 2, unsigned(records.size()));
    Put16(t, 4, unsigned(t.size()));
    std::string strings;
    for (size_t i = 0; i < records.size(); ++i) {
        const size_t at = 6 + 12 * i;
        Put16(t, at, records[i].platform);
        Put16(t, at + 6, records[i].id);
        Put16(t, at + 8, unsigned(int(records[i].bytes.size()) + records[i].lengthDelta));
        Put16(t, at + 10, unsigned(strings.size()));
        strings += records[i].bytes;
    }
    return f + t + strings;
}

std::string Utf16(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += char(c >> 8);
        out += char(c & 0xFF);
    }
    return out;
}

bool Parse(const std::string& file, pf::FontNames& names) {
    return pf::ParseTrueTypeNames(reinterpret_cast<const uint8_t*>(file.data()), file.size(), names);
}

TEST(FontNames, HandMadeTables) {
    struct Case {
        const char* what;
        std::string file;
        bool found;
        std::wstring family, full;
    };
    const std::string longName(1500, 'x');
    const Case cases[] = {
        {"8-bit strings", FontFile({{1, 1, "Alpha"}, {1, 4, "Alpha Bold"}}), true, L"Alpha", L"Alpha Bold"},
        {"UTF-16BE strings", FontFile({{3, 1, Utf16(L"Beta \u00e9\u4e2d")}, {3, 4, Utf16(L"Beta Full")}}), true,
         L"Beta \u00e9\u4e2d", L"Beta Full"},
        {"a surrogate pair", FontFile({{3, 1, std::string("\0A\xD8\x3D\xDE\x00", 6)}}), true, L"A\U0001F600",
         L"A\U0001F600"},
        {"a first byte not 0 reads as 8-bit", FontFile({{3, 1, Utf16(L"\u4e2d")}}), true, L"N-", L"N-"},
        {"no full name takes the family", FontFile({{1, 1, "Gamma"}}), true, L"Gamma", L"Gamma"},
        {"the first non-empty string counts", FontFile({{1, 1, ""}, {1, 1, "First"}, {1, 1, "Second"}}), true,
         L"First", L"First"},
        {"no family", FontFile({{1, 4, "Only Full"}}), false, L"", L"Only Full"},
        {"version 2.0 is not read", FontFile({{1, 1, "Delta"}}, 2), false, L"", L""},
        {"a length past the end of the file", FontFile({{1, 1, "Eps"}, {1, 4, "Full", 400}}), true, L"Eps", L"Eps"},
        {"an overlong string is cut", FontFile({{1, 1, longName}}), true, std::wstring(1000, L'x'),
         std::wstring(1000, L'x')},
        {"numTables 1 hides the name table", FontFile({{1, 1, "Zeta"}}, 1, 1), false, L"", L""},
        {"numTables beyond the file", FontFile({{1, 1, "Eta"}}, 1, 60000), true, L"Eta", L"Eta"},
    };
    for (const Case& c : cases) {
        pf::FontNames names;
        EXPECT_EQ(Parse(c.file, names), c.found) << c.what;
        EXPECT_EQ(names.family, c.family) << c.what;
        EXPECT_EQ(names.fullName, c.full) << c.what;
    }
}

TEST(FontNames, TruncatedFilesAreRefusedSafely) {
    const std::string file = FontFile({{1, 1, "Alpha"}, {3, 4, Utf16(L"Alpha Full")}});
    for (size_t n = 0; n < file.size(); ++n) {
        pf::FontNames names;
        Parse(file.substr(0, n), names);  // no read beyond n bytes (the sanitizers watch)
    }
    // A name table offset beyond the file.
    std::string bad = file;
    Put32(bad, 28 + 8, 0xFFFFFFF0u);
    pf::FontNames names;
    EXPECT_FALSE(Parse(bad, names));
    // No name table and a directory claiming more tables than the file holds.
    std::string unnamed = FontFile({{1, 1, "Alpha"}}, 1, 60000);
    std::memcpy(&unnamed[28], "nama", 4);
    EXPECT_FALSE(Parse(unnamed, names));
}

}  // namespace
