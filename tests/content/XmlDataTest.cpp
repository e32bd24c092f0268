#include "ContentFixture.h"

using contenttest::ContentTest;

namespace {

std::unique_ptr<XmlData> Parsed(const std::string& text, const std::wstring& path = L"") {
    auto data = std::make_unique<XmlData>();
    EXPECT_TRUE(data->ParseNarrow(text, path)) << text;
    return data;
}

}  // namespace

TEST_F(ContentTest, XmlAttributeGetterTable) {
    manager->SetString(L"greeting", L"hello");
    auto x = Parsed(R"(<e s="text" empty="" hash="#greeting" nokey="#absent" n="42x" b="no" p="3,4" d="2.5" hd="#1.5"/>)");
    struct Case {
        const wchar_t* name;
        bool stringOk;
        std::wstring string;
    };
    const Case strings[] = {
        {L"s", true, L"text"}, {L"empty", false, L"def"}, {L"missing", false, L"def"},
        {L"hash", true, L"hello"}, {L"nokey", false, L"def"},
    };
    for (const Case& c : strings) {
        std::wstring out;
        EXPECT_EQ(x->GetString(c.name, out, L"def"), c.stringOk) << c.name;
        EXPECT_EQ(out, c.string) << c.name;
    }
    int n = 0;
    EXPECT_TRUE(x->GetInt(L"n", n, 7));
    EXPECT_EQ(n, 42);
    EXPECT_FALSE(x->GetInt(L"empty", n, 7));
    EXPECT_EQ(n, 7);
    bool b = true;
    EXPECT_TRUE(x->GetBool(L"b", b, true));
    EXPECT_FALSE(b);
    EXPECT_TRUE(x->GetBool(L"missing", b, true));  // missing keeps the default, still true
    EXPECT_TRUE(b);
    pf::Point p(9, 9);
    EXPECT_TRUE(x->GetPoint(L"p", p, p));
    EXPECT_EQ(p, pf::Point(3, 4));
    EXPECT_TRUE(x->GetPoint(L"missing", p, pf::Point(9, 9)));  // parsed from "", not the default
    EXPECT_EQ(p, pf::Point(0, 0));
    double d = 0;
    EXPECT_TRUE(x->GetDouble(L"d", d, 1.0));
    EXPECT_EQ(d, 2.5);
    EXPECT_FALSE(x->GetDouble(L"hd", d, 1.0));  // no string-table lookup for numbers
    EXPECT_EQ(d, 1.0);
    std::vector<std::wstring> names;
    EXPECT_TRUE(x->GetAttributeNames(names));
    ASSERT_EQ(names.size(), 9u);
    EXPECT_EQ(names.front(), L"s");
    EXPECT_EQ(x->GetTagName(), L"e");

    XmlData empty;
    std::wstring out;
    EXPECT_FALSE(empty.GetString(L"s", out, L"def"));
    EXPECT_FALSE(empty.SetString(L"s", L"v"));
    EXPECT_FALSE(empty.GetAttributeNames(names));
}

TEST_F(ContentTest, XmlPathsOnlyMatchElements) {
    auto x = Parsed("<r><a><b>12</b><empty/></a><!--b--><c>text<b>7</b></c></r>");
    int v = 0;
    EXPECT_TRUE(x->GetTextInt(L"a/b", v, 5));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(x->GetTextInt(L"a/empty", v, 5));
    EXPECT_EQ(v, 0);
    const std::wstring paths[] = {L"a/missing", L"a//b", L"/a/b", L"a/b/", L"b", std::wstring(L"a/b\0x", 5)};
    for (const std::wstring& path : paths) {
        EXPECT_FALSE(x->GetTextInt(path, v, 5)) << pf::ToString(path);
        EXPECT_EQ(v, 5);
        EXPECT_EQ(std::unique_ptr<XmlData>(x->GetElement(path)), nullptr);
    }
    std::wstring text;
    EXPECT_TRUE(x->GetTextString(L"c", text, L"def"));
    EXPECT_EQ(text, L"text");
    EXPECT_TRUE(x->GetTextString(L"c/b", text, L"def"));
    EXPECT_EQ(text, L"7");
}

TEST_F(ContentTest, XmlReparseReplacesTheDocument) {
    XmlData x;
    ASSERT_TRUE(x.ParseNarrow("<a first='1'><k/><k/></a>", L""));
    std::unique_ptr<XmlData> child(x.FirstChild(L""));
    ASSERT_TRUE(child);
    ASSERT_TRUE(x.ParseNarrow("<b/>", L""));
    EXPECT_EQ(x.GetTagName(), L"b");
    std::wstring out;
    EXPECT_FALSE(x.GetString(L"first", out, L""));
    EXPECT_EQ(x.NextChild(), nullptr);  // the cursor went with the old document
    EXPECT_EQ(x.ToXmlString(), L"<b />\n");
    // Unparsable text leaves nothing loaded.
    testkit::LogCapture log;
    EXPECT_FALSE(x.ParseNarrow("<b><c></b>", L""));
    EXPECT_FALSE(x.IsValid());
    EXPECT_FALSE(x.ParseNarrow("<b/>", L"nothing"));
    EXPECT_EQ(x.GetTagName(), L"b");
}

TEST_F(ContentTest, XmlChildrenAreIndependentCopies) {
    auto x = Parsed("<r><a v='1'/><!-- no --><b v='2'><deep/></b></r>");
    x->SetFileName(L"file.xml");
    EXPECT_EQ(x->NextChild(), nullptr);
    std::vector<std::wstring> tags;
    for (std::unique_ptr<XmlData> c(x->FirstChild(L"")); c; c.reset(x->NextChild())) {
        tags.push_back(c->GetTagName());
        EXPECT_EQ(c->GetFileName(), L"file.xml");
    }
    EXPECT_EQ(tags, (std::vector<std::wstring>{L"a", L"b"}));
    std::unique_ptr<XmlData> b(x->GetElement(L"b"));
    x.reset();
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->SetInt(L"v", 3));
    int v = 0;
    b->GetInt(L"v", v, 0);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(b->ToXmlString(), L"<b v=\"3\">\n\t<deep />\n</b>\n");
}

TEST_F(ContentTest, XmlFilesAreCachedOncePerSpec) {
    Write("f.xml", "<root><a><b x='1'/></a></root>");
    XmlData x;
    ASSERT_TRUE(x.Load(L"f.xml:a/b"));
    EXPECT_EQ(x.GetTagName(), L"b");
    EXPECT_EQ(manager->GetLoadedCount(), 1);  // the file, cached once
    // One entry per load source: the element's, and the file's it came from.
    XmlData* element = manager->GetXmlData(L"f.xml:a/b");
    ASSERT_TRUE(element);
    EXPECT_EQ(element->GetTagName(), L"b");
    XmlData* file = manager->GetXmlData(L"f.xml");
    ASSERT_TRUE(file);
    EXPECT_EQ(manager->GetXmlData(L"f.xml"), file);
    EXPECT_EQ(manager->GetXmlData(L"f.xml:a/b"), element);
    EXPECT_EQ(manager->GetLoadedCount(), 2);
    // A caller's copy never changes the cache.
    x.SetString(L"x", L"2");
    std::unique_ptr<XmlData> again(file->GetElement(L"a/b"));
    std::wstring value;
    again->GetString(L"x", value, L"");
    EXPECT_EQ(value, L"1");

    testkit::LogCapture log;
    XmlData missing;
    EXPECT_FALSE(missing.LoadFile(L"nope.xml", L""));
    EXPECT_TRUE(log.Contains("Xml file nope.xml not found"));
    EXPECT_FALSE(manager->HasDescriptor(L"nope.xml"));
    XmlData root;
    EXPECT_TRUE(root.Load(L"f.xml"));
    EXPECT_EQ(root.GetTagName(), L"root");

    // Bytes after a zero byte are not parsed.
    Write("z.xml", std::string("<z/>\0<broken", 12));
    EXPECT_TRUE(manager->GetXmlData(L"z.xml"));
}

TEST_F(ContentTest, XmlMutableDataBuildsAndWalks) {
    XmlMutableData m;
    m.AddChild(L"x");
    EXPECT_EQ(m.GetTagName(), L"x");
    EXPECT_TRUE(m.GoParent());
    EXPECT_EQ(m.GetTagName(), L"root");
    m.AddChild(L"y");
    m.SetString(L"k", L"v");
    m.RemoveAttribute(L"k");
    EXPECT_TRUE(m.GoParent());
    EXPECT_TRUE(m.GoFirstChild());
    EXPECT_TRUE(m.GoNextSibling());
    EXPECT_EQ(m.GetTagName(), L"y");
    EXPECT_FALSE(m.GoNextSibling());
    EXPECT_TRUE(m.RemoveCurrent());
    EXPECT_EQ(m.GetTagName(), L"root");
    EXPECT_EQ(m.ToXmlString(), L"<root>\n\t<x />\n</root>\n");
}

TEST_F(ContentTest, XmlTextDecodesAsItsDocumentIsEncoded) {
    const std::string utf8Cafe = "caf\xC3\xA9", utf8Naive = "na\xC3\xAFve";
    const struct {
        const char* label;
        std::string text;
        std::wstring attribute, text2;
        bool complains;  // one log line for bytes that are not the declared UTF-8
    } cases[] = {
        {"declared UTF-8", "<?xml version='1.0' encoding='UTF-8'?><e s='" + utf8Cafe + "'>" + utf8Naive + "</e>",
         L"caf\u00E9", L"na\u00EFve", false},
        {"declaration without encoding", "<?xml version='1.0'?><e s='" + utf8Cafe + "'>x</e>", L"caf\u00E9", L"x",
         false},
        {"byte-order mark", "\xEF\xBB\xBF<e s='" + utf8Cafe + "'>x</e>", L"caf\u00E9", L"x", false},
        {"no declaration", "<e s='" + utf8Cafe + "'>" + utf8Naive + "</e>", L"caf\u00E9", L"na\u00EFve", false},
        {"character references", "<e s='&#233;&#x65E5;'>x</e>", L"\u00E9\u65E5", L"x", false},
        {"declared Latin-1", "<?xml version='1.0' encoding='ISO-8859-1'?><e s='caf\xE9'>" + utf8Cafe + "</e>",
         L"caf\u00E9", L"caf\u00C3\u00A9", false},
        {"single bytes, no declaration", "<e s='caf\xE9'>x</e>", L"caf\u00E9", L"x", false},
        {"stray byte in UTF-8", "<?xml version='1.0' encoding='UTF-8'?><e s='a\x80" "b " + utf8Cafe + "'>x</e>",
         L"a\u0080b caf\u00E9", L"x", true},
    };
    for (const auto& c : cases) {
        testkit::LogCapture log;
        auto x = Parsed(c.text);
        std::wstring s, t;
        EXPECT_TRUE(x->GetString(L"s", s, L""));
        EXPECT_EQ(s, c.attribute) << c.label;
        EXPECT_TRUE(x->GetTextString(L"", t, L""));
        EXPECT_EQ(t, c.text2) << c.label;
        EXPECT_EQ(log.Contains("is not valid UTF-8"), c.complains) << c.label << "\n" << log.Text();
        // Written and printed text comes back as it went in.
        EXPECT_TRUE(x->SetString(L"w", L"\u00E9t\u00E9"));
        EXPECT_TRUE(x->GetString(L"w", s, L""));
        EXPECT_EQ(s, L"\u00E9t\u00E9") << c.label;
        XmlData again;
        ASSERT_TRUE(again.Parse(x->ToXmlString(), L"")) << c.label;
        EXPECT_TRUE(again.GetString(L"s", s, L""));
        EXPECT_EQ(s, c.attribute) << c.label;
        std::unique_ptr<XmlData> copy(x->GetElement(L""));
        ASSERT_TRUE(copy);
        EXPECT_TRUE(copy->GetString(L"s", s, L""));
        EXPECT_EQ(s, c.attribute) << c.label;
    }
}

TEST_F(ContentTest, XmlFromTheCacheKeepsItsEncoding) {
    Write("u.xml", "<?xml version='1.0' encoding='UTF-8'?><root><a s='caf\xC3\xA9'/></root>");
    Write("l.xml", "<?xml version='1.0' encoding='ISO-8859-1'?><root><a s='caf\xE9'/></root>");
    for (const wchar_t* source : {L"u.xml:a", L"l.xml:a"}) {
        XmlData x;
        ASSERT_TRUE(x.Load(source));
        std::wstring s;
        EXPECT_TRUE(x.GetString(L"s", s, L""));
        EXPECT_EQ(s, L"caf\u00E9") << source;
    }
    XmlData wide;
    ASSERT_TRUE(wide.Parse(L"<e s='\u65E5\u672C'/>", L""));
    std::wstring s;
    EXPECT_TRUE(wide.GetString(L"s", s, L""));
    EXPECT_EQ(s, L"\u65E5\u672C");
}

// Cut-short, overlong and surrogate sequences in a document declared UTF-8 read as single
// characters with one log line; the document around them is kept whole. Characters past
// U+FFFF read as one character and survive a save.
TEST_F(ContentTest, BrokenUtf8SequencesKeepTheDocument) {
    const std::string decl = "<?xml version='1.0' encoding='UTF-8'?>";
    const struct {
        std::string text;
        std::wstring s, body;
        bool complains;
    } cases[] = {
        {decl + "<e s='a\xE2\x82' t='b'>x</e>", L"a\u00E2\u0082", L"x", true},
        {decl + "<e s='a\xF0' t='b'>x</e>", L"a\u00F0", L"x", true},
        {decl + "<e s='ok' t='b'>a\xE2\x82</e>", L"ok", L"a\u00E2\u0082", true},
        {decl + "<e s='a\xC0\xAF' t='b'>x\xF0</e>", L"a\u00C0\u00AF", L"x\u00F0", true},
        {decl + "<e s='a\xED\xA0\x80' t='b'>x</e>", L"a\u00ED\u00A0\u0080", L"x", true},
        {decl + "<e s='\xF0\x9F\x98\x80' t='b'>\xF0\x9F\x98\x80</e>", L"\U0001F600", L"\U0001F600", false},
        // A byte-order mark settles the encoding whatever the declaration names.
        {"\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?><e s='caf\xC3\xA9' t='b'>x</e>", L"caf\u00E9", L"x",
         false},
    };
    for (const auto& c : cases) {
        testkit::LogCapture log;
        XmlData x;
        ASSERT_TRUE(x.ParseNarrow(c.text, L"")) << c.text;
        std::wstring s, t, body;
        EXPECT_TRUE(x.GetString(L"s", s, L""));
        EXPECT_EQ(s, c.s) << c.text;
        EXPECT_TRUE(x.GetString(L"t", t, L""));
        EXPECT_EQ(t, L"b") << c.text;
        EXPECT_TRUE(x.GetTextString(L"", body, L""));
        EXPECT_EQ(body, c.body) << c.text;
        EXPECT_EQ(log.Contains("is not valid UTF-8"), c.complains) << c.text << "\n" << log.Text();
        EXPECT_FALSE(log.Contains("can't read")) << c.text << "\n" << log.Text();
        EXPECT_TRUE(x.SetString(L"w", L"\U0001F600"));
        XmlData again;
        ASSERT_TRUE(again.Parse(x.ToXmlString(), L"")) << c.text;
        EXPECT_TRUE(again.GetString(L"s", s, L""));
        EXPECT_EQ(s, c.s) << c.text;
        EXPECT_TRUE(again.GetString(L"w", s, L""));
        EXPECT_EQ(s, L"\U0001F600") << c.text;
    }
}

// Printed text parses again, a declaration inside an element included, whatever quotes
// its values hold.
TEST_F(ContentTest, PrintedXmlParsesAgain) {
    const char* docs[] = {
        "<r><?xml version='\"><r'?></r>",
        "<r a='x\"y'><?xml version='1.0' encoding='\"' standalone='\"\"'?><c/></r>",
        "<t><?xmlversion=&#></t>",
        "<t><?xml version='a&amp;b&lt;' encoding=\"'\"?></t>",
    };
    for (const char* doc : docs) {
        auto x = Parsed(doc);
        XmlData again;
        ASSERT_TRUE(again.Parse(x->ToXmlString(), L"")) << doc << "\n" << pf::ToUtf8(x->ToXmlString());
        EXPECT_EQ(again.GetTagName(), x->GetTagName()) << doc;
        EXPECT_EQ(again.ToXmlString(), x->ToXmlString()) << doc;
    }
}

// Hostile documents from files, read directly with and without the resource manager set,
// and through its cache: nesting past the bound is refused with a line naming the file, a
// large but flat file loads whole, and a refused file leaves nothing in the cache.
TEST_F(ContentTest, XmlDeepAndHugeFilesWithAndWithoutTheManager) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<d>";
    Write("deep.xml", deep);
    std::string huge = "<root>";
    for (int i = 0; i < 100000; ++i) huge += "<e n='" + std::to_string(i) + "'>some text</e>";
    Write("huge.xml", huge + "</root>");
    const auto countChildren = [](XmlData& data) {
        int count = 0;
        for (std::unique_ptr<XmlData> child(data.FirstChild(L"")); child; child.reset(data.NextChild())) ++count;
        return count;
    };

    for (const bool withManager : {true, false}) {
        SetResourceManager(withManager ? manager.get() : nullptr);
        testkit::LogCapture log;
        XmlData refused;
        EXPECT_FALSE(refused.LoadFileDirect(L"deep.xml", L"", &fs)) << withManager;
        EXPECT_FALSE(refused.IsValid()) << withManager;
        EXPECT_TRUE(log.Contains("xml: 'deep.xml' nests elements deeper than")) << withManager;
        XmlData big;
        ASSERT_TRUE(big.LoadFileDirect(L"huge.xml", L"", &fs)) << withManager;
        EXPECT_EQ(countChildren(big), 100000) << withManager;
    }
    SetResourceManager(manager.get());
    XmlData viaCache;
    EXPECT_FALSE(viaCache.LoadFile(L"deep.xml", L""));
    EXPECT_EQ(manager->GetXmlData(L"deep.xml"), nullptr);
    XmlData cached;
    ASSERT_TRUE(cached.LoadFile(L"huge.xml", L""));
    EXPECT_EQ(countChildren(cached), 100000);
}
