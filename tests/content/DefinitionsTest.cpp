#include "ContentFixture.h"
#include "content/ResFont.h"

using contenttest::ContentTest;

TEST_F(ContentTest, DefinitionsReadEveryElement) {
    Write("defs.xml", R"(<defs>
        <string id="name" value="Anna"/>
        <string id="name" value="Bea"/>
        <string id="ref" value="#name"/>
        <image id="one" file="a.png"/>
        <image id="grid" file="g.png" loops="2" cels="3" alphaSrc="m.png" format="565" crop="1,2,3,4" perm="yes"/>
        <image id="grid" file="second.png"/>
        <image id="copy" clone="grid" loops="9"/>
        <image id="nothing" clone="unknown"/>
        <font id="f" file="Sans"/>
        <sound id="s" file="s.ogg" group="3"/>
        <xmldata id="other.xml"/>
        <unknown id="u"/>
        <!-- comment -->
    </defs>)");
    Write("other.xml", "<o/>");
    std::vector<ResID*> list;
    XmlData* root = manager->GetXmlData(L"defs.xml");
    ASSERT_TRUE(root);
    EXPECT_TRUE(manager->ParseDefinitions(root, &list));
    EXPECT_EQ(list.size(), 5u);  // one, grid, grid, f, s

    EXPECT_EQ(manager->GetString(L"name", L""), L"Bea");
    EXPECT_EQ(manager->GetString(L"ref", L""), L"Bea");
    ResID* one = manager->FindDescriptor(L"one");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->params[kImageLoops], L"1");
    EXPECT_EQ(one->params[kImageCels], L"1");
    EXPECT_EQ(one->perm, L"no");
    ResID* grid = manager->FindDescriptor(L"grid");
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->path, L"g.png");  // duplicates are appended: the first is found
    EXPECT_EQ(grid->params[kImageFormat], L"565");
    EXPECT_EQ(grid->params[kImageCrop], L"1,2,3,4");
    ResID* copy = manager->FindDescriptor(L"copy");
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->params[kImageLoops], L"2");  // the clone copies the source
    EXPECT_EQ(copy->path, L"g.png");
    EXPECT_FALSE(manager->HasDescriptor(L"nothing"));
    ResID* font = manager->FindDescriptor(L"f", L"FONT");
    ASSERT_TRUE(font);
    EXPECT_EQ(font->params[0], L"Sans");
    EXPECT_EQ(font->params[1], L"no");
    EXPECT_EQ(WToI(font->params[1]), 0);
    ResID* sound = manager->FindDescriptor(L"s", L"SOUND");
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->params[0], L"3");
    EXPECT_TRUE(manager->IsLoaded(L"other.xml"));
    EXPECT_FALSE(manager->HasDescriptor(L"u"));
}

TEST_F(ContentTest, ManyUnnamedClonesTakeTheNextFreeNumbers) {
    // Each unnamed clone is named after the first free number; a file of thousands of
    // them once took minutes, every candidate scanning every descriptor.
    std::string body = "<d><image id='x' file='x.png'/><image id='x-2' file='y.png'/>";
    for (int i = 0; i < 1500; ++i) body += "<image clone='x'/>";
    Write("clones.xml", body + "</d>");
    const int before = manager->GetDescriptorCount();
    EXPECT_TRUE(manager->LoadResourceDefinitions(L"clones.xml"));
    EXPECT_EQ(manager->GetDescriptorCount(), before + 1503);  // with the file's own XML entry
    EXPECT_EQ(manager->FindDescriptor(L"x-2")->path, L"y.png");
    EXPECT_EQ(manager->FindDescriptor(L"x-3")->path, L"x.png");
    EXPECT_TRUE(manager->HasDescriptor(L"x-1501"));
    EXPECT_FALSE(manager->HasDescriptor(L"x-1502"));
}

TEST_F(ContentTest, DefinesSkipEmptyValuesAndMalformedFilesLoadNothing) {
    Write("defines.xml", R"(<d a="1" b="" c="#a"/>)");
    EXPECT_TRUE(manager->LoadDefines(L"defines.xml"));
    EXPECT_EQ(manager->GetString(L"a", L"x"), L"1");
    EXPECT_EQ(manager->GetString(L"b", L"x"), L"x");
    EXPECT_EQ(manager->GetString(L"c", L"x"), L"1");
    EXPECT_FALSE(manager->LoadDefines(L"missing.xml"));

    testkit::LogCapture log;
    Write("bad.xml", "<defs><image id='a' file='a.png'/><image id='b'");
    EXPECT_FALSE(manager->LoadResourceDefinitions(L"bad.xml"));
    EXPECT_FALSE(manager->HasDescriptor(L"a"));
    EXPECT_TRUE(log.Contains("bad.xml"));
}

TEST_F(ContentTest, ColorTransformMatrixText) {
    const std::wstring numbers[] = {
        L"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16",
        L"1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16",
        L"1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16",
    };
    for (const std::wstring& text : numbers) {
        XmlData x;
        ASSERT_TRUE(x.ParseNarrow("<i m='" + pf::ToString(text) + "'/>", L""));
        pf::MatrixT def, m;
        def.Identity();
        EXPECT_TRUE(GetMatrixAttribute(&x, L"m", m, def));
        for (int i = 0; i < 16; ++i) EXPECT_EQ(m.m[i / 4][i % 4], float(i + 1)) << pf::ToString(text);
        EXPECT_FALSE(GetMatrixAttribute(&x, L"none", m, def));
        EXPECT_EQ(m.m[0][1], 0.0f);
    }
    pf::MatrixT m;
    m.Identity();
    ReadMatrix(L"2,3", m);  // entries the text does not give are 0
    EXPECT_EQ(m.m[0][0], 2.0f);
    EXPECT_EQ(m.m[0][1], 3.0f);
    EXPECT_EQ(m.m[3][3], 0.0f);
}

TEST(WToITest, LeadingIntegerSaturates) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"12", 12}, {L"  -7x", -7}, {L"+3", 3}, {L"", 0}, {L"abc", 0}, {L"no", 0},
        {L"99999999999", 2147483647}, {L"-99999999999", -2147483647 - 1}, {L"1.9", 1},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(WToI(text), value) << pf::ToString(text);
}
