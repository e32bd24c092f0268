#include "shell/XmlParse.h"

#include "shell/Log.h"

namespace pf {

bool XmlWithinBounds(const char* text, std::size_t size, int* depthSeen, int* attributesSeen) {
    // First version: no scan yet.
    if (depthSeen) *depthSeen = 0;
    if (attributesSeen) *attributesSeen = 0;
    return true;
}

bool ParseXml(TiXmlDocument& doc, const char* text, std::size_t size, const std::wstring& what,
              TiXmlEncoding encoding) {
    doc.Clear();
    doc.ClearError();
    if (!XmlWithinBounds(text, size)) {
        DebugStream() << "xml: '" << what << "' nests too deep or has too many attributes";
        return false;
    }
    std::string copy(text, size);
    doc.Parse(copy.c_str(), nullptr, encoding);
    if (doc.Error()) {
        DebugStream() << "xml: can't read '" << what << "': " << doc.ErrorDesc() << " (line " << doc.ErrorRow()
                      << ")";
        doc.Clear();
        return false;
    }
    return true;
}

}  // namespace pf
