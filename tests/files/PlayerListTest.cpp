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
