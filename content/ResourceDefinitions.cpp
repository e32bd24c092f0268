// The resource definitions reader: string, image, sound, font and xmldata elements, and
// the colorTransform matrix text.
#include <sstream>

#include "content/ResAnim.h"
#include "content/ResFont.h"
#include "content/ResourceManager.h"
#include "content/XmlData.h"
#include "shell/foundation/TextHelpers.h"

namespace {

std::wstring Attribute(XmlData& e, const wchar_t* name, const wchar_t* def) {
    std::wstring value;
    e.GetString(name, value, def);
    return value;
}

}  // namespace

bool ResourceManager::ParseDefinitions(XmlData* root, std::vector<ResID*>* list) {
    if (!root) return true;
    std::unique_ptr<XmlData> e(root->FirstChild(std::wstring()));
    for (; e; e.reset(root->NextChild())) {
        const std::wstring tag = e->GetTagName();
        if (tag == L"string") {
            const std::wstring id = Attribute(*e, L"id", L""), value = Attribute(*e, L"value", L"");
            pf::MutexLock hold(mutex_);
            SetString(id, value);
            continue;
        }
        auto d = std::make_unique<ResID>();
        d->id = Attribute(*e, L"id", L"");
        d->path = Attribute(*e, L"file", L"");
        const std::wstring preload = Attribute(*e, L"preload", L"no");
        d->perm = Attribute(*e, L"perm", L"no");
        const std::wstring id = d->id;

        if (tag == L"image") {
            const std::wstring clone = Attribute(*e, L"clone", L"");
            if (!clone.empty()) {
                const std::wstring cloneId = CloneResource(clone, id);
                pf::MatrixT matrix;
                matrix.Identity();
                if (!cloneId.empty() && GetMatrixAttribute(e.get(), L"colorTransform", matrix, matrix)) {
                    if (ResAnim* anim = LoadAnim(cloneId)) anim->SetColorTransform(matrix);
                }
                continue;
            }
            d->type = L"IMAGE";
            d->params[kImageLoops] = Attribute(*e, L"loops", L"1");
            d->params[kImageCels] = Attribute(*e, L"cels", L"1");
            Attribute(*e, L"colorKey", L"no");
            d->params[kImageAlphaSrc] = Attribute(*e, L"alphaSrc", L"");
            d->params[kImagePreload] = preload;
            d->params[kImageFormat] = Attribute(*e, L"format", L"");
            d->params[kImageCrop] = Attribute(*e, L"crop", L"");
            ResID* added = AddDescriptor(std::move(d));
            if (list) list->push_back(added);
            if (pf::ToBool(preload)) LoadAnim(id);
        } else if (tag == L"sound") {
            d->type = L"SOUND";
            const std::wstring group = Attribute(*e, L"group", L"1"), memory = Attribute(*e, L"memory", L"no");
            d->params[0] = group;
            d->params[1] = preload;
            d->params[2] = memory;
            ResID* added = AddDescriptor(std::move(d));
            if (list) list->push_back(added);
            if (pf::ToBool(preload)) LoadSound(id, pf::ToInt(group), pf::ToBool(memory));
        } else if (tag == L"font") {
            d->type = L"FONT";
            d->params[0] = d->path;
            d->params[1] = Attribute(*e, L"size", L"no");
            d->params[2] = Attribute(*e, L"bold", L"no");
            d->params[3] = Attribute(*e, L"italic", L"no");
            d->params[4] = Attribute(*e, L"underline", L"no");
            d->params[5] = Attribute(*e, L"outline", L"0");
            ResID* added = AddDescriptor(std::move(d));
            if (list) list->push_back(added);
            if (pf::ToBool(preload)) GetFont(id);
        } else if (tag == L"xmldata") {
            GetXmlData(id);
        }
    }
    return true;
}

bool GetMatrixAttribute(XmlData* data, const std::wstring& name, pf::MatrixT& out, const pf::MatrixT& def) {
    out = def;
    std::wstring text;
    if (!data || !data->GetString(name, text, std::wstring())) return false;
    ReadMatrix(text, out);
    return true;
}

void ReadMatrix(const std::wstring& text, pf::MatrixT& matrix) {
    std::wistringstream in(text);
    std::wstring tokens[16];
    int nonEmpty = 0;
    for (auto& token : tokens) {
        in >> token;
        if (!token.empty()) ++nonEmpty;
    }
    if (tokens[0].empty()) return;
    if (nonEmpty > 1) {
        for (int i = 0; i < 16; ++i) matrix.m[i / 4][i % 4] = static_cast<float>(pf::ReadDouble(tokens[i].c_str()));
        return;
    }
    std::wstring joined = tokens[0];
    for (wchar_t& c : joined)
        if (c == L',' || c == L';' || c == L'\t') c = L' ';
    std::wistringstream numbers(joined);
    // Entries the text does not give are 0.
    for (int i = 0; i < 16; ++i) {
        double value = 0;
        if (!(numbers >> value)) value = 0;
        matrix.m[i / 4][i % 4] = static_cast<float>(value);
    }
}
