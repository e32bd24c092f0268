#include "content/Resources.h"

#include <tinyxml.h>

#include "content/ResAnim.h"
#include "content/ResFont.h"
#include "content/ThreadResourcesQueue.h"
#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/XmlParse.h"

namespace {

Resources::SoundMaker& Maker() {
    static Resources::SoundMaker maker;
    return maker;
}

std::wstring AttributeText(const TiXmlElement* e, const char* name, bool& present) {
    const char* value = e->Attribute(name);
    present = value != nullptr;
    return value ? pf::ToWString(value) : std::wstring();
}

std::wstring AttributeText(const TiXmlElement* e, const char* name) {
    bool present = false;
    return AttributeText(e, name, present);
}

// An attribute read as a count: a missing or "0" value is missing.
int PositiveAttribute(const TiXmlElement* e, const char* name, int def) {
    bool present = false;
    const std::wstring text = AttributeText(e, name, present);
    if (!present) return def;
    const int value = WToI(text);
    return value > 0 ? value : def;
}

}  // namespace

void Resources::SetSoundMaker(SoundMaker maker) { Maker() = std::move(maker); }

Resources::Resources() : Resources(ResourceServices::FromApplication()) {}
Resources::Resources(const ResourceServices& services) : services_(services) {}
Resources::~Resources() = default;

ResAnim* Resources::getAnim(const std::wstring& id) {
    const auto it = anims_.find(id);
    return it == anims_.end() ? nullptr : it->second.get();
}

ResFont* Resources::getFont(const std::wstring& id) {
    const auto it = fonts_.find(id);
    return it == fonts_.end() ? nullptr : it->second.get();
}

Res* Resources::getSound(const std::wstring& id) {
    const auto it = sounds_.find(id);
    return it == sounds_.end() ? nullptr : it->second.get();
}

ResAnim* Resources::getAnimByIndex(unsigned index) {
    return index < animList_.size() ? animList_[index].get() : nullptr;
}

int Resources::GetCount() { return int(animList_.size()); }

const std::wstring& Resources::getXmlFilePath() { return path_; }

my_intrusive_ptr<ResAnim> Resources::CreateAnimFromFile(const std::wstring& id, const std::wstring& path,
                                                        const std::wstring& alphaSrc, bool deferred, int width,
                                                        int height) {
    ResID d;
    d.id = id;
    d.path = path;
    d.params[kImageAlphaSrc] = alphaSrc;
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    anim->Init(services_.loader, services_.fs, services_.display, &d, deferred, width, height);
    anim->SetId(id);
    anim->SetName(id);
    return anim;
}

bool Resources::load(const std::wstring& path, ThreadResourcesQueue* queue) {
    path_ = path;
    pf::FileBuffer buffer;
    if (!services_.fs || !services_.fs->ReadResourceFile(buffer, path)) {
        pf::DebugStream() << L"Resources: can't read '" << path << L"'";
        return false;
    }
    TiXmlDocument doc;
    if (!pf::ParseXml(doc, reinterpret_cast<const char*>(buffer.data()), pf::ContentSize(buffer), path)) return false;
    const TiXmlElement* list = nullptr;
    for (const TiXmlNode* node = doc.FirstChild(); node; node = node->NextSibling()) {
        if (node->ToElement() && node->ValueStr() == "resources") {
            list = node->ToElement();
            break;
        }
    }
    if (!list) {
        pf::DebugStream() << L"Resources: '" << path << L"' has no 'resources' element";
        return false;
    }
    animList_.reserve(10);
    std::wstring folder;
    for (const TiXmlElement* e = list->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string& tag = e->ValueStr();
        if (tag == "image" || tag == "atlas") {
            const std::wstring id = AttributeText(e, "id");
            bool hasFile = false, hasAlpha = false, hasPos = false;
            const std::wstring file = AttributeText(e, "file", hasFile);
            const std::wstring alpha = AttributeText(e, "alpha", hasAlpha);
            const std::wstring pos = AttributeText(e, "pos", hasPos);
            const pf::Rect rect = pf::ToRect(AttributeText(e, "rect"));
            const int cels = PositiveAttribute(e, "cels", 1), loops = PositiveAttribute(e, "loops", 1);
            const int celWidth = PositiveAttribute(e, "cel_width", 0);
            const int celHeight = PositiveAttribute(e, "cel_height", 0);
            const bool sized = rect.width > 0 && rect.height > 0 && rect.width <= kMaxDeclaredSide &&
                               rect.height <= kMaxDeclaredSide;
            if (rect.width > kMaxDeclaredSide || rect.height > kMaxDeclaredSide)
                pf::DebugStream() << L"Resources: image '" << id << L"' declares a size of " << rect.width << L"x"
                                  << rect.height << L"; it loads at once";
            const bool deferred = queue && sized;
            my_intrusive_ptr<ResAnim> anim =
                CreateAnimFromFile(id, hasFile ? folder + L"/" + file : std::wstring(),
                                   hasAlpha ? folder + L"/" + alpha : std::wstring(), deferred, rect.width, rect.height);
            if (hasPos) anim->SetPos(pf::ToPoint(pos));
            const int width = anim->GetWidth(), height = anim->GetHeight();
            int columns = cels, rows = loops;
            if (celWidth > 0) {
                columns = width / celWidth;
                rows = height / (celHeight > 0 ? celHeight : std::max(1, height));
            } else if (celHeight > 0) {
                columns = 1;
                rows = height / celHeight;
            }
            anim->createCels(columns, rows);
            if (deferred) queue->addResource(anim.get());
            anims_[id] = anim;
            animList_.push_back(anim);
        } else if (tag == "set") {
            folder = AttributeText(e, "path");
        } else if (tag == "font") {
            bool hasId = false;
            const std::wstring id = AttributeText(e, "id", hasId);
            if (!hasId) continue;
            my_intrusive_ptr<ResFont> font(new ResFont);
            font->SetId(id);
            font->Load(services_.loader, services_.fs, services_.display, id, 0, false, false, false, 0.0f);
            fonts_[id] = font;
        } else if (tag == "sound") {
            bool hasFile = false;
            const std::wstring file = AttributeText(e, "file", hasFile);
            const std::wstring id = AttributeText(e, "id");
            if (!Maker()) continue;
            my_intrusive_ptr<Res> sound(Maker()(id, services_.fs, hasFile ? folder + L"/" + file : std::wstring()));
            if (sound) {
                sound->SetId(id);
                sounds_[id] = sound;
            }
        }
    }
    return true;
}
