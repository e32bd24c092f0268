// The player list and its file "players.xml", checked with xmllint.
#include "common/Oracle.h"
#include "FilesFixture.h"
#include "shell/PlayerList.h"
#include "shell/Random.h"

namespace filestest {
namespace {

using pf::PlayerList;

class PlayerListTest : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        RUV3_REQUIRE_PROGRAM("xmllint");
        list.SetFileSystem(&fs);
        list.SetFileName(L"players.xml");
        pf::SeedRand(7);
    }

    void ExpectWellFormed() {
        EXPECT_EQ(testkit::RunCommand("xmllint --noout " + Quote((User() / "players.xml").string())), 0)
            << testkit::ReadFile(User() / "players.xml");
    }

    PlayerList list;
};

// What xmllint reads as the text of an element of the saved file.
std::string XmllintText(const std::filesystem::path& file, const std::string& xpath) {
    testkit::TempDir out;
    const std::filesystem::path result = out.Path() / "text";
    EXPECT_EQ(testkit::RunCommand("xmllint --xpath " + Quote("string(" + xpath + ")") + " " + Quote(file.string()) +
                                  " > " + Quote(result.string())),
              0);
    std::string text = testkit::ReadFile(result);
    if (!text.empty() && text.back() == '\n') text.pop_back();  // xmllint ends its answer with one
    return text;
}

TEST_F(PlayerListTest, FileFormatIsExact) {
    list.AddPlayer(L"b");
    list.AddPlayer(L"a");
    list.FindPlayer(L"a")->uniqueId = 0x1f;
    list.FindPlayer(L"b")->uniqueId = -1;
    list.SetCurrentPlayer(L"b");
    list.SetIntProperty(L"b", L"level", 42);
    list.SetProperty(L"b", L"avatar", L"cat");
    list.SetProperty(L"b", L"blank", L"");
    ASSERT_TRUE(list.Save());
    EXPECT_EQ(testkit::ReadFile(User() / "players.xml"),
              "<root>\n"
              "\t<Player name=\"a\" uniqueID=\"1f\" />\n"
              "\t<Player name=\"b\" uniqueID=\"ffffffff\" current=\"1\">\n"
              "\t\t<avatar>cat</avatar>\n"
              "\t\t<blank />\n"
              "\t\t<level>42</level>\n"
              "\t</Player>\n"
              "</root>\n");
    ExpectWellFormed();
}

TEST_F(PlayerListTest, AwkwardNamesAndValuesSurviveARoundTrip) {
    const std::wstring names[] = {L"Say \"hi\" & 'bye'", L"<tag>", L"a&b;c", L"&#x41;", L"Zo\u00eb",
                                  L"\u0414\u0438\u043c\u0430"};
    for (const auto& name : names) {
        list.AddPlayer(name);
        list.SetProperty(name, L"motto", L"x < y && \"z\" > '&#x26;' " + name);
        list.SetProperty(name, L"\u00e9t\u00e9", L"summer");
    }
    list.SetCurrentPlayer(names[0]);
    ASSERT_TRUE(list.Save());
    ExpectWellFormed();

    PlayerList loaded(&fs);
    loaded.SetFileName(L"players.xml");
    ASSERT_TRUE(loaded.Load());
    ASSERT_EQ(loaded.GetNames().size(), std::size(names));
    for (const auto& name : names) {
        SCOPED_TRACE(pf::ToUtf8(name));
        EXPECT_TRUE(loaded.HasPlayer(name));
        EXPECT_EQ(loaded.GetProperty(name, L"motto"), L"x < y && \"z\" > '&#x26;' " + name);
        EXPECT_EQ(loaded.GetProperty(name, L"\u00e9t\u00e9"), L"summer");
        EXPECT_EQ(loaded.FindPlayer(name)->uniqueId, list.FindPlayer(name)->uniqueId);
    }
    EXPECT_EQ(loaded.GetCurrentPlayer(), names[0]);
    EXPECT_EQ(loaded.GetCurrentPlayerID(), list.GetCurrentPlayerID());
}

// Blanks at either end, runs of blanks, tabs, line breaks and byte-order marks were
// condensed or dropped by the parser on the way back.
TEST_F(PlayerListTest, EveryStorableValueReadsBackEqual) {
    const std::wstring values[] = {L" lead",        L"trail ",       L"two  spaces", L"line\nbreak", L"\r\n",
                                   L"\t",           L" ",            L"   \n\t ",    L"\uFEFFbom",    L"mid\uFEFFdle",
                                   L"a & b < c ]]>", L"&#x41; &amp;", L"\u00A0nbsp", L"x",           L" ]]> "};
    const std::wstring names[] = {L" spaced  name ", L"\uFEFFmarked", L"tab\tname"};
    for (const auto& name : names) {
        ASSERT_NE(list.AddPlayer(name), 0);
        for (size_t i = 0; i < std::size(values); ++i) list.SetProperty(name, L"v" + std::to_wstring(i), values[i]);
    }
    list.SetCurrentPlayer(names[1]);
    ASSERT_TRUE(list.Save());
    ExpectWellFormed();
    // Another XML reader sees the same values (CR aside, which XML turns into LF in CDATA).
    EXPECT_EQ(XmllintText(User() / "players.xml", "/root/Player[1]/v2"), "two  spaces");
    EXPECT_EQ(XmllintText(User() / "players.xml", "/root/Player[1]/v0"), " lead");
    EXPECT_EQ(XmllintText(User() / "players.xml", "/root/Player[1]/v7"), "   \n\t ");

    PlayerList loaded(&fs);
    loaded.SetFileName(L"players.xml");
    ASSERT_TRUE(loaded.Load());
    for (const auto& name : names) {
        ASSERT_TRUE(loaded.HasPlayer(name)) << pf::ToUtf8(name);
        for (size_t i = 0; i < std::size(values); ++i)
            EXPECT_EQ(loaded.GetProperty(name, L"v" + std::to_wstring(i)), values[i]) << i;
    }
    EXPECT_EQ(loaded.GetCurrentPlayer(), names[1]);
    // Saved again, the file is the same.
    const std::string first = testkit::ReadFile(User() / "players.xml");
    ASSERT_TRUE(loaded.Save());
    EXPECT_EQ(testkit::ReadFile(User() / "players.xml"), first);
}

// Saved, these made the file unreadable (a key starting with U+FEFF: every player was
// lost) or a file XML tools refuse (control characters, U+FFFE, U+FFFF).
TEST_F(PlayerListTest, WhatAFileCannotHoldIsRefused) {
    list.AddPlayer(L"p");
    testkit::LogCapture log;
    list.SetProperty(L"p", L"\uFEFFkey", L"v");
    EXPECT_EQ(list.GetProperty(L"p", L"\uFEFFkey"), L"");
    const std::wstring bad[] = {L"a\x01", L"\x1F", L"\x0B", L"x\uFFFE", L"\uFFFF", std::wstring(1, 0xD800),
                                std::wstring(1, 0x110000)};
    for (const auto& text : bad) {
        list.SetProperty(L"p", L"k", text);
        EXPECT_EQ(list.GetProperty(L"p", L"k"), L"");
        EXPECT_EQ(list.AddPlayer(text), 0);
        EXPECT_FALSE(list.HasPlayer(text));
    }
    EXPECT_EQ(log.Lines().size(), 1 + 2 * std::size(bad));
    list.SetProperty(L"p", L"mid\uFEFF", L"kept");  // only a leading mark is dropped by the parser
    // Set behind the setters' back: left out of the file, which stays well-formed.
    list.FindPlayer(L"p")->properties[L"raw"] = L"a\x01" L"b\uFFFF" L"c";
    ASSERT_TRUE(list.Save());
    ExpectWellFormed();
    PlayerList loaded(&fs);
    loaded.SetFileName(L"players.xml");
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.GetProperty(L"p", L"mid\uFEFF"), L"kept");
    EXPECT_EQ(loaded.GetProperty(L"p", L"raw"), L"abc");
}

// Files written before stored control characters as references; they load with those
// characters dropped (one log line) and save well-formed.
TEST_F(PlayerListTest, OldFilesWithControlCharactersLoadAndSaveCleanly) {
    dir.Write("user/players.xml",
              "<root>\n\t<Player name=\"a&#x01;b\" uniqueID=\"1\" current=\"1\">\n"
              "\t\t<k>x&#x02;y</k>\n\t\t<t>one&#x0A;two</t>\n\t</Player>\n</root>\n");
    testkit::LogCapture log;
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(list.GetNames(), (std::vector<std::wstring>{L"ab"}));
    EXPECT_EQ(list.GetProperty(L"ab", L"k"), L"xy");
    EXPECT_EQ(list.GetProperty(L"ab", L"t"), L"one\ntwo");
    ASSERT_TRUE(list.Save());
    ExpectWellFormed();
}

TEST_F(PlayerListTest, DeeplyNestedFileIsRefusedWithOneLogLine) {
    std::string deep = "<root><Player name=\"x\">";
    for (int i = 0; i < 50000; ++i) deep += "<a>";
    dir.Write("user/players.xml", deep);
    list.AddPlayer(L"keep");
    testkit::LogCapture log;
    EXPECT_FALSE(list.Load());
    EXPECT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(list.GetNames(), (std::vector<std::wstring>{L"keep"}));
}

TEST_F(PlayerListTest, PropertyKeysThatAreNoXmlNamesAreRefused) {
    list.AddPlayer(L"p");
    testkit::LogCapture log;
    for (const wchar_t* key : {L"2fast", L"has space", L"a<b", L"", L"x:y", L"-dash"}) {
        list.SetProperty(L"p", key, L"v");
        EXPECT_EQ(list.GetProperty(L"p", key), L"");
    }
    EXPECT_EQ(log.Lines().size(), 6u);
    list.SetProperty(L"p", L"ok_key-1.x", L"v");
    list.FindPlayer(L"p")->properties[L"bad key"] = L"set behind its back";  // skipped on save
    ASSERT_TRUE(list.Save());
    ExpectWellFormed();
    PlayerList loaded(&fs);
    loaded.SetFileName(L"players.xml");
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.GetProperty(L"p", L"ok_key-1.x"), L"v");
    EXPECT_EQ(loaded.FindPlayer(L"p")->properties.size(), 1u);
}

// A player file past the bound (a real sparse file of 64 GB) is not read: one log line,
// no players, and a save leaves the file as it is.
TEST_F(PlayerListTest, AFilePastTheSizeBoundIsRefusedAndLeftInPlace) {
    ASSERT_EQ(testkit::RunCommand("truncate -s 64G " + Quote((User() / "players.xml").string())), 0);
    testkit::LogCapture log;
    EXPECT_FALSE(list.Load());
    EXPECT_TRUE(list.GetNames().empty());
    ASSERT_EQ(log.Lines().size(), 1u) << log.Text();
    EXPECT_TRUE(log.Contains("players: 'players.xml' is larger than 4 MB: it is not read")) << log.Text();
    list.AddPlayer(L"Ann");
    EXPECT_FALSE(list.Save());
    EXPECT_EQ(std::filesystem::file_size(User() / "players.xml"), uint64_t(64) << 30);
}

TEST_F(PlayerListTest, AddingTwiceAndRemoving) {
    int first = list.AddPlayer(L"p");
    list.SetProperty(L"p", L"score", L"5");
    int second = list.AddPlayer(L"p");
    EXPECT_NE(first, second);
    EXPECT_EQ(list.GetNames(), (std::vector<std::wstring>{L"p", L"p"}));
    EXPECT_EQ(list.GetProperty(L"p", L"score"), L"5");
    EXPECT_EQ(list.FindPlayer(L"p")->uniqueId, second);
    list.RemovePlayer(L"p");
    EXPECT_EQ(list.GetNames(), (std::vector<std::wstring>{L"p"}));
    EXPECT_EQ(list.FindPlayer(L"p"), nullptr);
    list.RemovePlayer(L"nobody");
    // No profile: setters ignore, getters answer "" and 0.
    list.SetProperty(L"p", L"score", L"1");
    EXPECT_EQ(list.GetProperty(L"p", L"score"), L"");
    EXPECT_EQ(list.GetIntProperty(L"p", L"score"), 0);
    list.SetCurrentPlayer(L"ghost");
    EXPECT_EQ(list.GetCurrentPlayerID(), 0);
}

TEST_F(PlayerListTest, PropertiesAndSorting) {
    list.AddPlayer(L"c");
    list.AddPlayer(L"a");
    list.AddPlayer(L"b");
    list.SetIntProperty(L"a", L"n", 42);
    EXPECT_EQ(list.GetProperty(L"a", L"n"), L"42");
    EXPECT_EQ(list.GetIntProperty(L"a", L"n"), 42);
    list.SetProperty(L"a", L"t", L"abc");
    EXPECT_EQ(list.GetIntProperty(L"a", L"t"), 0);
    EXPECT_EQ(list.GetNames(), (std::vector<std::wstring>{L"c", L"a", L"b"}));
    EXPECT_EQ(list.GetSortedNames(), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(list.GetNames(), (std::vector<std::wstring>{L"a", L"b", L"c"}));
}

TEST_F(PlayerListTest, LoadReadsWhatOtherWritersProduce) {
    dir.Write("user/players.xml",
              "<?xml version=\"1.0\"?>\n<root>\n"
              "<Player uniqueID=\"5\"><x>lost</x></Player>\n"  // no name: skipped
              "<Player name=\"\" />\n"
              "<Player name=\"kim\" uniqueID=\"zz\" current=\"0\"><a>1</a><empty/><b>two</b></Player>\n"
              "<Player name=\"lee\" uniqueID=\"ABC\"/>\n"
              "<Player name=\"max\" uniqueID=\"123456789abcdef0123\"/>\n"  // too long: all bits set
              "<Other name=\"not a player\"/>\n</root>\n");
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.GetNames(), (std::vector<std::wstring>{L"kim", L"lee", L"max"}));
    EXPECT_EQ(list.FindPlayer(L"max")->uniqueId, -1);
    EXPECT_EQ(list.GetCurrentPlayer(), L"kim");  // any "current" attribute counts
    EXPECT_EQ(list.FindPlayer(L"kim")->uniqueId, 0);
    EXPECT_EQ(list.FindPlayer(L"lee")->uniqueId, 0xabc);
    EXPECT_EQ(list.FindPlayer(L"kim")->properties.size(), 2u);
    EXPECT_EQ(list.GetProperty(L"kim", L"b"), L"two");
}

TEST_F(PlayerListTest, Latin1FileIsReadAsLatin1) {
    dir.Write("user/players.xml", "<root><Player name=\"Zo\xeb\" uniqueID=\"1\"/></root>");
    ASSERT_TRUE(list.Load());
    EXPECT_TRUE(list.HasPlayer(L"Zo\u00eb"));
}

TEST_F(PlayerListTest, BadFilesFailCleanly) {
    list.AddPlayer(L"keep");
    EXPECT_FALSE(list.Load());  // missing: nothing changes, nothing logged
    testkit::LogCapture log;
    const std::string bad[] = {"<root><Player name=\"x\"></root>", "", "just text", "<root",
                               std::string("<a>\0</a>", 8)};
    for (const std::string& text : bad) {
        dir.Write("user/players.xml", text);
        EXPECT_FALSE(list.Load()) << text;
        EXPECT_EQ(list.GetNames(), (std::vector<std::wstring>{L"keep"}));
    }
    EXPECT_EQ(log.Lines().size(), 5u);

    std::filesystem::remove(User() / "players.xml");
    std::filesystem::create_directories(User() / "players.xml");  // cannot be replaced
    EXPECT_FALSE(list.Save());
    PlayerList noFs;
    EXPECT_FALSE(noFs.Save());
    EXPECT_FALSE(noFs.Load());
}

}  // namespace
}  // namespace filestest
