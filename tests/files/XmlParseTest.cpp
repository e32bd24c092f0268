// The engine's XML entry point: documents nested too deep or with too many attributes on
// one element are refused before the parser sees them; markup that hides a '<' from the
// parser hides it from the bounds scan too, so valid documents are never refused.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>

#include "common/TestSupport.h"
#include "shell/XmlParse.h"

namespace filestest {
namespace {

std::string Nested(int depth, const std::string& inner = "") {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    text += inner;
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
}

std::string Attributes(int count) {
    std::string text = "<r";
    for (int i = 0; i < count; ++i) text += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
    return text + "/>";
}

// The deepest element nesting the parser built.
int TreeDepth(const TiXmlNode* node) {
    int deepest = 0;
    for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling()) {
        const int depth = TreeDepth(child);
        deepest = depth > deepest ? depth : deepest;
    }
    return deepest + (node->ToElement() ? 1 : 0);
}

TEST(XmlParseTest, BoundsAreExactAndRefusalsLogOneLine) {
    const int max = pf::kXmlMaxDepth, maxAttributes = pf::kXmlMaxAttributesPerElement;
    const struct {
        std::string text;
        bool accepted;
        int depth;
    } cases[] = {
        {Nested(max), true, max},
        {Nested(max + 1), false, max + 1},
        {Nested(max - 1, "<b/>"), true, max},
        {Nested(max, "<b/>"), false, max + 1},
        {Nested(50000), false, max + 1},  // overflowed the parser's stack
        {Attributes(maxAttributes), true, 1},
        {Attributes(maxAttributes + 1), false, 1},
        {std::string(100000, ' ') + "<r/>", true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        testkit::LogCapture log;
        TiXmlDocument doc;
        int depth = 0;
        EXPECT_EQ(pf::XmlWithinBounds(c.text.data(), c.text.size(), &depth), c.accepted);
        EXPECT_EQ(depth, c.depth);
        EXPECT_EQ(pf::ParseXml(doc, c.text, L"case.xml"), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(TreeDepth(&doc), c.depth);
            EXPECT_TRUE(log.Lines().empty());
        } else {
            EXPECT_EQ(doc.FirstChild(), nullptr);
            ASSERT_EQ(log.Lines().size(), 1u);
            EXPECT_NE(log.Lines()[0].find("case.xml"), std::string::npos);
        }
    }
}

// Each document holds `<a>` hundreds of times where the parser reads no element (or, in
// the later rows, where it does although a plain reading would not see one); the scan
// must count what the parser builds.
TEST(XmlParseTest, ScanCountsTheElementsTheParserBuilds) {
    const std::string many = Nested(400);
    const std::string deepTail = Nested(400) + "</r>";
    const struct {
        const char* name;
        std::string text;
        pf::XmlEncoding encoding;
        bool accepted;
    } cases[] = {
        {"comment", "<r><!-- " + many + " --></r>", pf::XmlEncoding::kUnknown, true},
        {"CDATA", "<r><![CDATA[" + many + "]]></r>", pf::XmlEncoding::kUnknown, true},
        {"quoted attributes", "<r a=\"" + many + "\" b='" + many + "'/>", pf::XmlEncoding::kUnknown, true},
        {"declaration", "<?xml version='1.0' encoding=\"" + many + "\"?><r/>", pf::XmlEncoding::kLegacy, true},
        {"DOCTYPE", "<!DOCTYPE r SYSTEM 'r.dtd'><r/><!-- " + many + " -->", pf::XmlEncoding::kUnknown, true},
        {"character reference", "<r>&#x" + many + "x41;</r>", pf::XmlEncoding::kUnknown, true},
        {"text after a 0 byte", "<r/>" + std::string(1, '\0') + many, pf::XmlEncoding::kUnknown, true},
        // The parser ends "<?...>" and "<!...>" at the first '>'.
        {"instruction with '>'", "<r><?pi a > ?>" + deepTail, pf::XmlEncoding::kUnknown, false},
        {"comment end inside a DOCTYPE", "<r><!X <!-- > -->" + deepTail, pf::XmlEncoding::kUnknown, false},
        // In UTF-8 a lead byte takes the closing quote with it.
        {"lead byte before a quote", "\xEF\xBB\xBF<r a=\"\xC3\" b=\">" + deepTail, pf::XmlEncoding::kUnknown, false},
        {"lead byte under a UTF-8 declaration",
         "<?xml version='1.0' encoding='UTF-8'?><r a=\"\xC3\" b=\">" + deepTail, pf::XmlEncoding::kUnknown, false},
        {"lead byte before a '<'", "<r>\xE0<!-->" + deepTail, pf::XmlEncoding::kUtf8, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testkit::LogCapture log;
        TiXmlDocument doc;
        EXPECT_EQ(pf::ParseXml(doc, c.text, L"case.xml", c.encoding), c.accepted) << log.Lines().size();
        if (!c.accepted) {
            int depth = 0;
            pf::XmlWithinBounds(c.text.data(), c.text.size(), c.encoding, &depth);
            EXPECT_GT(depth, pf::kXmlMaxDepth);
        }
    }
}

TEST(XmlParseTest, ParseErrorsLogOneLineAndLeaveTheDocumentEmpty) {
    for (const std::string& text : {std::string("<r><a></r>"), std::string(""), std::string("<r a='1' a='2'/>"),
                                    std::string("<r>\xF0"), std::string("<r/><!-- open")}) {
        testkit::LogCapture log;
        TiXmlDocument doc;
        const bool parsed = pf::ParseXml(doc, text, L"bad.xml", pf::XmlEncoding::kUtf8);
        if (!parsed) {
            EXPECT_EQ(doc.FirstChild(), nullptr);
            EXPECT_EQ(log.Lines().size(), 1u);
        }
        EXPECT_EQ(parsed, text == "<r/><!-- open") << text;  // an open comment ends the text quietly
    }
}

}  // namespace
}  // namespace filestest
