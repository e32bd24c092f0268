// The engine's XML entry point on arbitrary text, in each encoding, with the player list
// loading through it. Whatever the entry point lets through must be within its bounds;
// where the parser reads a document whole, the bounds scan must have seen exactly its
// depth and attribute counts (so it neither lets a deeper document through nor refuses
// one within bounds).
#include <tinyxml.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/support/MemoryFiles.h"
#include "shell/foundation/Log.h"
#include "shell/PlayerList.h"
#include "shell/XmlParse.h"

namespace {

// The deepest element nesting and the most attributes on one element of a parsed tree.
std::pair<int, int> Measure(const TiXmlNode* top) {
    int depth = 0, attributes = 0;
    std::vector<std::pair<const TiXmlNode*, int>> pending{{top, 0}};
    while (!pending.empty()) {
        auto [node, level] = pending.back();
        pending.pop_back();
        if (const TiXmlElement* element = node->ToElement()) {
            ++level;
            depth = level > depth ? level : depth;
            int count = 0;
            for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) ++count;
            attributes = count > attributes ? count : attributes;
        }
        for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling())
            pending.push_back({child, level});
    }
    return {depth, attributes};
}

void Check(const std::string& text, pf::XmlEncoding encoding) {
    TiXmlDocument doc;
    const bool parsed = pf::ParseXml(doc, text, L"fuzz", encoding);
    if (parsed) {
        auto [depth, attributes] = Measure(&doc);
        if (depth > pf::kXmlMaxDepth || attributes > pf::kXmlMaxAttributesPerElement) __builtin_trap();
    }
    if (encoding == pf::XmlEncoding::kUnknown) return;
    int seenDepth = 0, seenAttributes = 0;
    const bool within = pf::XmlWithinBounds(text.data(), text.size(), encoding, &seenDepth, &seenAttributes);
    // Small inputs cannot nest deep enough to hurt the parser: read them unguarded and
    // compare with what the scan saw.
    if (text.size() > 4096) return;
    std::string copy = text.substr(0, text.find('\0'));
    copy.append(8, '\0');
    TiXmlDocument raw;
    raw.Parse(copy.c_str(), nullptr, static_cast<TiXmlEncoding>(encoding));
    if (raw.Error()) return;
    auto [depth, attributes] = Measure(&raw);
    const bool rawWithin = depth <= pf::kXmlMaxDepth && attributes <= pf::kXmlMaxAttributesPerElement;
    if (within != rawWithin || parsed != rawWithin) __builtin_trap();
    if (within && (depth != seenDepth || attributes != seenAttributes)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pf::SetLogToStderr(false);
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (pf::XmlEncoding encoding : {pf::XmlEncoding::kUnknown, pf::XmlEncoding::kUtf8, pf::XmlEncoding::kLegacy})
        Check(text, encoding);

    fuzzkit::MemoryFileSystem fs;
    fs.files[L"players.xml"] = text;
    pf::PlayerList list(&fs);
    list.SetFileName(L"players.xml");
    list.Load();
    return 0;
}
