#include "content/XmlData.h"

#include <cstdlib>
#include <sstream>

#include <tinyxml.h>

#include "content/ResID.h"
#include "shell/FileSystem.h"
#include "shell/Application.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/XmlParse.h"

namespace {
std::string Narrow(const std::wstring& text) { return pf::ToString(text); }

// Prints as TiXmlPrinter does, but a declaration's values escaped as attribute values are:
// the parser takes a value holding a double quote or a bare '&', and the stock printer
// would write it back raw inside double quotes, as text that no longer parses.
class QuotingPrinter : public TiXmlPrinter {
public:
    using TiXmlPrinter::Visit;
    bool Visit(const TiXmlDeclaration& declaration) override {
        auto quoted = [](const char* value) {
            std::string out;
            TiXmlBase::EncodeString(value, &out);
            return out;
        };
        const TiXmlDeclaration safe(quoted(declaration.Version()), quoted(declaration.Encoding()),
                                    quoted(declaration.Standalone()));
        return TiXmlPrinter::Visit(safe);
    }
};
}  // namespace
using pf::ToWString;

namespace {

// Set while the resource manager loads a file into its cache, so that load reads the
// file itself instead of asking the cache again. Per thread: a worker never sees the main
// thread's load in progress.
thread_local bool xmlCacheGuard = false;

// The resource manager's documents while it is the global manager (SetResourceManager).
XmlDocumentSource* documentSource = nullptr;

class CacheGuard {
public:
    CacheGuard() { xmlCacheGuard = true; }
    ~CacheGuard() { xmlCacheGuard = false; }
    CacheGuard(const CacheGuard&) = delete;
    CacheGuard& operator=(const CacheGuard&) = delete;
};

}  // namespace

struct XmlData::Tree {
    TiXmlElement* CurrentElement() const { return current ? current->ToElement() : nullptr; }
    bool IsMiss(const TiXmlNode* node) const { return node == nullptr || node == &notFound; }
    // The node at path below the current element; the not-found node (a comment) on a miss.
    TiXmlNode* Find(const XmlData& data, const std::wstring& path);
    // Takes a deep copy of node as the owned current element (an earlier copy is freed).
    void AdoptCopy(const TiXmlNode* node);
    // A new object holding a deep copy of node, read as data reads its document.
    static XmlData* MakeCopy(const XmlData& data, const TiXmlNode* node, const wchar_t* baseName);

    TiXmlDocument document;
    TiXmlNode* current = nullptr;  // not owned (inside document or ownedCopy)
    const TiXmlElement* childCursor = nullptr;
    std::unique_ptr<TiXmlNode> ownedCopy;
    TiXmlComment notFound;
};

XmlData::XmlData() : Base(L"XmlData"), tree_(std::make_unique<Tree>()) {}

XmlData::~XmlData() = default;

void XmlData::Tree::AdoptCopy(const TiXmlNode* node) {
    childCursor = nullptr;
    std::unique_ptr<TiXmlNode> copy(node ? node->Clone() : nullptr);
    current = copy.get();
    ownedCopy = std::move(copy);
}

XmlData* XmlData::Tree::MakeCopy(const XmlData& data, const TiXmlNode* node, const wchar_t* baseName) {
    auto* copy = new XmlData();
    copy->SetName(baseName ? baseName : L"XmlData - clone");
    copy->tree_->AdoptCopy(node);
    copy->SetFileName(data.fileName_);
    copy->utf8_ = data.utf8_;
    return copy;
}

// ---------------------------------------------------------------- text

std::wstring XmlData::Widen(const std::string& text) const {
    if (!utf8_) return ToWString(text);
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const size_t n = pf::Utf8Sequence(text.data() + i, text.size() - i, &c);
        // A byte that starts no sequence reads as the one character it is in a legacy document.
        out += n ? static_cast<wchar_t>(c) : static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
        i += n ? n : 1;
    }
    return out;
}

std::string XmlData::Narrowed(const std::wstring& text) const { return utf8_ ? pf::ToUtf8(text) : Narrow(text); }

// ---------------------------------------------------------------- lookups

TiXmlNode* XmlData::Tree::Find(const XmlData& data, const std::wstring& path) {
    if (path.empty()) return current;
    TiXmlNode* node = current;
    if (!node) return &notFound;
    const std::string narrow = data.Narrowed(path);
    size_t start = 0;
    while (true) {
        const size_t slash = narrow.find('/', start);
        const std::string name = narrow.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        TiXmlNode* next = nullptr;
        for (TiXmlElement* child = node->FirstChildElement(); child; child = child->NextSiblingElement()) {
            if (child->ValueStr() == name) {
                next = child;
                break;
            }
        }
        if (!next) return &notFound;
        node = next;
        if (slash == std::string::npos) return node;
        start = slash + 1;
    }
}

namespace {

// The attribute's text, a leading "#" resolved through the string table.
std::wstring AttributeText(const XmlData& data, const TiXmlElement* element, const std::wstring& name) {
    if (!element) return std::wstring();
    const char* value = element->Attribute(data.Narrowed(name).c_str());
    if (!value) return std::wstring();
    if (value[0] == '#') return LookupStringKey(data.Widen(value + 1));
    return data.Widen(value);
}

std::wstring NodeText(const XmlData& data, const TiXmlNode* node) {
    if (!node) return std::wstring();
    const TiXmlNode* first = node->FirstChild();
    if (first && first->ToText()) return data.Widen(first->ValueStr());
    return std::wstring();
}

}  // namespace

bool XmlData::ElementText(const std::wstring& path, std::wstring& text) {
    TiXmlNode* node = tree_->Find(*this, path);
    if (tree_->IsMiss(node) || !node->ToElement()) return false;
    text = NodeText(*this, node);
    return true;
}

// ---------------------------------------------------------------- attribute getters

bool XmlData::GetString(const std::wstring& name, std::wstring& out, const std::wstring& def) {
    out = def;
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    std::wstring text = AttributeText(*this, e, name);
    if (text.empty()) return false;
    out = std::move(text);
    return true;
}

bool XmlData::GetRect(const std::wstring& name, pf::Rect& out, const pf::Rect& def) {
    out = def;
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    out = pf::ToRect(AttributeText(*this, e, name));
    return true;
}

bool XmlData::GetPoint(const std::wstring& name, pf::Point& out, const pf::Point& def) {
    out = def;
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    out = pf::ToPoint(AttributeText(*this, e, name));
    return true;
}

bool XmlData::GetInt(const std::wstring& name, int& out, int def) {
    out = def;
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    const std::wstring text = AttributeText(*this, e, name);
    if (text.empty()) return false;
    out = WToI(text);
    return true;
}

bool XmlData::GetDouble(const std::wstring& name, double& out, double def) {
    out = def;
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    double value = 0;
    if (e->QueryDoubleAttribute(Narrowed(name).c_str(), &value) != TIXML_SUCCESS) return false;
    out = value;
    return true;
}

bool XmlData::GetFloat(const std::wstring& name, float& out, float def) {
    double value = 0;
    const bool ok = GetDouble(name, value, def);
    out = static_cast<float>(value);
    return ok;
}

bool XmlData::GetColor(const std::wstring& name, pf::Color& out, const pf::Color& def) {
    out = def;
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    out = pf::ToColor(AttributeText(*this, e, name));
    return true;
}

bool XmlData::GetBool(const std::wstring& name, bool& out, bool def) {
    out = def;
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    const std::wstring text = AttributeText(*this, e, name);
    if (!text.empty()) out = pf::ToBool(text);
    return true;
}

bool XmlData::GetAttributeNames(std::vector<std::wstring>& out) {
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) out.push_back(Widen(a->NameTStr()));
    return true;
}

std::wstring XmlData::GetTagName() {
    TiXmlElement* e = tree_->CurrentElement();
    return e ? Widen(e->ValueStr()) : std::wstring();
}

// ---------------------------------------------------------------- text getters

bool XmlData::GetTextString(const std::wstring& path, std::wstring& out, const std::wstring& def) {
    out = def;
    return ElementText(path, out);
}

bool XmlData::GetTextRect(const std::wstring& path, pf::Rect& out, const pf::Rect& def) {
    out = def;
    std::wstring text;
    if (!ElementText(path, text)) return false;
    out = pf::ToRect(text);
    return true;
}

bool XmlData::GetTextPoint(const std::wstring& path, pf::Point& out, const pf::Point& def) {
    out = def;
    std::wstring text;
    if (!ElementText(path, text)) return false;
    out = pf::ToPoint(text);
    return true;
}

bool XmlData::GetTextInt(const std::wstring& path, int& out, int def) {
    out = def;
    std::wstring text;
    if (!ElementText(path, text)) return false;
    out = WToI(text);
    return true;
}

bool XmlData::GetTextDouble(const std::wstring& path, double& out, double def) {
    out = def;
    std::wstring text;
    if (!ElementText(path, text)) return false;
    out = pf::ReadDouble(text.c_str());
    return true;
}

bool XmlData::GetTextFloat(const std::wstring& path, float& out, float def) {
    double value = def;
    const bool ok = GetTextDouble(path, value, def);
    out = static_cast<float>(value);
    return ok;
}

bool XmlData::GetTextColor(const std::wstring& path, pf::Color& out, const pf::Color& def) {
    out = def;
    std::wstring text;
    if (!ElementText(path, text)) return false;
    out = pf::ToColor(text);
    return true;
}

bool XmlData::GetTextBool(const std::wstring& path, bool& out, bool def) {
    out = def;
    std::wstring text;
    if (!ElementText(path, text)) return false;
    out = pf::ToBool(text);
    return true;
}

// ---------------------------------------------------------------- setters

bool XmlData::SetBool(const std::wstring& name, bool value) {
    return SetString(name, value ? L"true" : L"false");
}

bool XmlData::SetInt(const std::wstring& name, int value) {
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    e->SetAttribute(Narrowed(name).c_str(), value);
    return true;
}

bool XmlData::SetString(const std::wstring& name, const std::wstring& value) {
    TiXmlElement* e = tree_->CurrentElement();
    if (!e) return false;
    e->SetAttribute(Narrowed(name), Narrowed(value));
    return true;
}

// ---------------------------------------------------------------- loading

bool XmlData::Load(const std::wstring& spec) {
    const size_t colon = spec.find(L':');
    if (colon == std::wstring::npos) return LoadFile(spec, std::wstring());
    std::wstring path = spec.substr(colon + 1);
    const size_t lineEnd = path.find_first_of(L"\r\n");
    if (lineEnd != std::wstring::npos) path.erase(lineEnd);
    return LoadFile(spec.substr(0, colon), path);
}

void SetXmlDocumentSource(XmlDocumentSource* source) { documentSource = source; }

std::wstring LookupStringKey(const std::wstring& key) {
    return documentSource ? documentSource->GetString(key) : pf::GameText(key);
}

bool XmlData::LoadFile(const std::wstring& file, const std::wstring& path) {
    fileName_ = file;
    XmlDocumentSource* source = documentSource;
    if (!xmlCacheGuard && source) {
        XmlData* cached = nullptr;
        {
            CacheGuard guard;
            cached = source->GetXmlData(file);
        }
        if (!cached) return false;
        TiXmlNode* node = cached->tree_->Find(*cached, path);
        if (cached->tree_->IsMiss(node)) return false;
        tree_->AdoptCopy(node);
        utf8_ = cached->utf8_;
        return true;
    }
    return LoadFileDirect(file, path);
}

bool XmlData::LoadFileDirect(const std::wstring& file, const std::wstring& path, pf::FileSystem* fs) {
    fileName_ = file;
    if (!fs) {
        XmlDocumentSource* source = documentSource;
        fs = source ? source->GetFileSystem() : pf::Application2::GetInstance().GetFileSystem();
    }
    pf::FileBuffer buffer;
    if (!fs || (!fs->ReadResourceFile(buffer, file) && !fs->ReadUserFile(buffer, file, true))) return false;
    if (buffer.size() <= 1) return false;
    const char* text = reinterpret_cast<const char*>(buffer.data());
    return ParseNarrow(std::string(text), path);  // up to the first zero byte
}

bool XmlData::IsValid() { return tree_->current != nullptr; }

bool XmlData::Parse(const std::wstring& text, const std::wstring& path) {
    // Wide text is handed on as UTF-8 unless it declares another encoding.
    const std::string utf8 = pf::ToUtf8(text);
    if (pf::DocumentEncoding(utf8.data(), utf8.size()) == pf::XmlEncoding::kUtf8) return ParseNarrow(utf8, path);
    return ParseNarrow(Narrow(text), path);
}

bool XmlData::ParseNarrow(const std::string& text, const std::wstring& path) {
    // A new document replaces whatever this object held before.
    Tree& tree = *tree_;
    tree.childCursor = nullptr;
    tree.current = nullptr;
    tree.ownedCopy.reset();
    const std::wstring what = fileName_.empty() ? std::wstring(L"xml text") : fileName_;
    const size_t size = std::char_traits<char>::length(text.c_str());
    const pf::XmlEncoding encoding = pf::DocumentEncoding(text.c_str(), size);
    utf8_ = encoding == pf::XmlEncoding::kUtf8;
    // Stray bytes are written out as the characters they read as before parsing: the parser
    // takes a lead byte's length on trust, and a cut-short sequence before a quote or a '<'
    // would swallow it and lose the whole document.
    std::string mended;
    if (utf8_ && !pf::IsValidUtf8(text.c_str(), size)) {
        pf::DebugStream() << L"xml: '" << what << L"' is not valid UTF-8: its stray bytes read as single characters";
        mended.reserve(size + size / 4);
        for (size_t i = 0; i < size;) {
            char32_t c = 0;
            const size_t n = pf::Utf8Sequence(text.data() + i, size - i, &c);
            if (n) {
                mended.append(text, i, n);
                i += n;
            } else {
                mended += pf::ToUtf8(std::wstring(1, static_cast<wchar_t>(static_cast<unsigned char>(text[i]))));
                ++i;
            }
        }
    }
    const std::string& parsed = mended.empty() ? text : mended;
    if (!pf::ParseXml(tree.document, parsed.c_str(), parsed.size(), what, encoding)) return false;
    tree.current = tree.document.FirstChildElement();
    if (!tree.current) return false;
    if (path.empty()) return true;
    TiXmlNode* node = tree.Find(*this, path);
    if (tree.IsMiss(node)) return false;
    tree.current = node;
    return true;
}

// ---------------------------------------------------------------- children

XmlData* XmlData::FirstChild(const std::wstring& path) {
    Tree& tree = *tree_;
    TiXmlNode* node = tree.Find(*this, path);
    if (tree.IsMiss(node)) return nullptr;
    tree.childCursor = node->FirstChildElement();
    if (!tree.childCursor) return nullptr;
    return Tree::MakeCopy(*this, tree.childCursor, nullptr);
}

XmlData* XmlData::NextChild() {
    Tree& tree = *tree_;
    if (!tree.childCursor) return nullptr;
    tree.childCursor = tree.childCursor->NextSiblingElement();
    if (!tree.childCursor) return nullptr;
    return Tree::MakeCopy(*this, tree.childCursor, L"XmlData-CreateFromNextChild");
}

XmlData* XmlData::GetElement(const std::wstring& path) {
    TiXmlNode* node = tree_->Find(*this, path);
    if (tree_->IsMiss(node)) return nullptr;
    return Tree::MakeCopy(*this, node, nullptr);
}

std::wstring XmlData::ToXmlString() {
    if (!tree_->current) return std::wstring();
    QuotingPrinter printer;
    printer.SetIndent("\t");
    tree_->current->Accept(&printer);
    return Widen(printer.Str());
}

// ---------------------------------------------------------------- XmlMutableData

bool XmlMutableData::RemoveCurrent() {
    if (!tree_->current || !tree_->current->Parent()) return false;
    TiXmlNode* parent = tree_->current->Parent();
    if (!parent->RemoveChild(tree_->current)) return false;
    // The removed element is gone: its parent becomes current, unless that is the document.
    tree_->current = parent->ToDocument() ? nullptr : parent;
    return true;
}

bool XmlMutableData::GoFirstChild() {
    if (!tree_->current) return false;
    TiXmlElement* child = tree_->current->FirstChildElement();
    if (!child) return false;
    tree_->current = child;
    return true;
}

bool XmlMutableData::GoNextSibling() {
    if (!tree_->current) return false;
    TiXmlElement* next = tree_->current->NextSiblingElement();
    if (!next) return false;
    tree_->current = next;
    return true;
}

bool XmlMutableData::GoParent() {
    if (!tree_->current || !tree_->current->Parent()) return false;
    tree_->current = tree_->current->Parent();
    return true;
}

void XmlMutableData::AddChild(const std::wstring& name) {
    if (!tree_->current) ParseNarrow("<root></root>", std::wstring());
    if (!tree_->current) return;
    TiXmlElement element(Narrowed(name));
    TiXmlNode* added = tree_->current->InsertEndChild(element);
    if (added) tree_->current = added;
}

void XmlMutableData::RemoveAttribute(const std::wstring& name) {
    if (TiXmlElement* e = tree_->CurrentElement()) e->RemoveAttribute(Narrowed(name).c_str());
}
