// The XML font description "fonts/<id>.fnt": page, characters and kerning pairs.
#include <tinyxml.h>

#include "shell/Font.h"
#include "shell/FontCacheFiles.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/XmlParse.h"

namespace pf {

namespace {

// Reads the named integer attributes; false when one is missing or empty.
template <size_t N>
bool ReadIntAttributes(const TiXmlElement& element, const char* const (&names)[N], int32_t (&values)[N]) {
    for (size_t i = 0; i < N; ++i) {
        const char* text = element.Attribute(names[i]);
        if (!text || !*text) return false;
        values[i] = ToInt(ToWString(text));
    }
    return true;
}

}  // namespace

bool Font::LoadXml(ImageLoader* loader, FileSystem* fs, Display* display) {
    if (!loader || !fs || !display) return false;
    const std::wstring path = DescriptionFileName();
    int fileSize = 0;
    if (!fs->GetResourceFileSize(path, fileSize) || fileSize == 0) return false;
    FileBuffer bytes;
    TiXmlDocument doc;
    if (!fs->ReadResourceFile(bytes, path) ||
        !ParseXml(doc, reinterpret_cast<const char*>(bytes.data()), ContentSize(bytes), path))
        return false;
    const TiXmlElement* root = doc.RootElement();
    if (!root) return false;

    for (const TiXmlElement* child = root->FirstChildElement(); child; child = child->NextSiblingElement()) {
        const std::string name = child->ValueStr();
        if (name == "pages") {
            const TiXmlElement* page = child->FirstChildElement();
            const char* file = page ? page->Attribute("file") : nullptr;
            if (!page || page->ValueStr() != "page" || !file || !*file) {
                DebugStream() << "Font - '" << path << "' has a malformed pages element";
                return false;
            }
            const std::wstring pagePath = L"fonts/" + ToWString(file);
            MemorySurface image;
            if (ReadCacheImage(*fs, *loader, pagePath, false, image))
                page_ = MakeFontPageSurface(*display, image.GetView(), pagePath);
        } else if (name == "chars") {
            static const char* const kNames[] = {"id", "x", "y", "width", "height", "xoffset", "yoffset", "xadvance"};
            for (const TiXmlElement* e = child->FirstChildElement(); e; e = e->NextSiblingElement()) {
                int32_t v[8];
                if (!ReadIntAttributes(*e, kNames, v)) continue;
                CharDesc& desc = charMap_[static_cast<uint32_t>(v[0])];
                desc = CharDesc();
                desc.x = v[1], desc.y = v[2], desc.width = v[3], desc.height = v[4];
                desc.xoffset = v[5], desc.yoffset = v[6], desc.xadvance = v[7];
            }
        } else if (name == "kernings") {
            static const char* const kNames[] = {"first", "second", "amount"};
            for (const TiXmlElement* e = child->FirstChildElement(); e; e = e->NextSiblingElement()) {
                int32_t v[3];
                if (!ReadIntAttributes(*e, kNames, v)) continue;
                auto it = charMap_.find(static_cast<uint32_t>(v[0]));
                if (it != charMap_.end()) it->second.kerning[static_cast<uint32_t>(v[1])] = v[2];
            }
        }
    }
    return true;
}

}  // namespace pf
