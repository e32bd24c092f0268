#include "content/ResourceManager.h"

#include <unordered_set>

#include "content/ResAnim.h"
#include "content/ResFont.h"
#include "content/XmlData.h"
#include "shell/Application.h"
#include "shell/Game.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

namespace {

ResourceManager* globalManager = nullptr;

// A descriptor made on the fly for a file: not permanent.
std::unique_ptr<ResID> FileDescriptor(const wchar_t* type, const std::wstring& id, const std::wstring& path) {
    auto d = std::make_unique<ResID>();
    d->type = type;
    d->id = id;
    d->path = path;
    d->perm = L"no";
    return d;
}
ResourceManager::SoundResourceFactory soundFactory = nullptr;

// The global manager as XmlData's source. It keeps the last manager set: a load that took
// the source just before the manager was cleared goes on with that manager, as a load that
// had asked for the manager itself would.
class ManagerDocuments : public XmlDocumentSource {
public:
    ResourceManager* manager = nullptr;

    XmlData* GetXmlData(const std::wstring& file) override { return manager->GetXmlData(file); }
    pf::FileSystem* GetFileSystem() override { return manager->GetFileSystem(); }
    std::wstring GetString(const std::wstring& key) override { return manager->GetString(key, std::wstring()); }
};

}  // namespace

ResourceManager* GetResourceManager() { return globalManager; }
void SetResourceManager(ResourceManager* manager) {
    static ManagerDocuments documents;
    globalManager = manager;
    if (manager) documents.manager = manager;
    SetXmlDocumentSource(manager ? &documents : nullptr);
}

void ResourceManager::SetSoundResourceFactory(SoundResourceFactory factory) { soundFactory = factory; }

ResourceManager::ResourceManager(pf::ImageLoader* loader, pf::Display* display, pf::FileSystem* fs)
    : Base(L"ResourceManager"), loader_(loader), display_(display), fs_(fs) {
    mutex_.Create();
    loaded_.reserve(100);
    descriptors_.reserve(100);
}

ResourceManager::~ResourceManager() {
    UnloadAll(true);
    {
        pf::MutexLock hold(mutex_);
        descriptors_.clear();
    }
    mutex_.Close();
    strings_.clear();
    if (globalManager == this) globalManager = nullptr;
}

// ---------------------------------------------------------------- lists

template <class T>
T* ResourceManager::FindLoaded(const std::wstring& id) {
    pf::MutexLock hold(mutex_);
    for (const auto& res : loaded_)
        if (auto* typed = dynamic_cast<T*>(res.get()); typed && res->GetId() == id) return typed;
    return nullptr;
}

Res* ResourceManager::FindResource(const std::wstring& id) { return FindLoaded<Res>(id); }

ResID* ResourceManager::FindDescriptor(const std::wstring& id, const wchar_t* type) {
    pf::MutexLock hold(mutex_);
    for (const auto& d : descriptors_)
        if (d->id == id && (!type || d->type == type)) return d.get();
    return nullptr;
}

bool ResourceManager::HasDescriptor(const std::wstring& id) { return FindDescriptor(id) != nullptr; }
bool ResourceManager::IsLoaded(const std::wstring& id) { return FindResource(id) != nullptr; }

int ResourceManager::GetLoadedCount() {
    pf::MutexLock hold(mutex_);
    return int(loaded_.size());
}

int ResourceManager::GetDescriptorCount() {
    pf::MutexLock hold(mutex_);
    return int(descriptors_.size());
}

ResID* ResourceManager::AddDescriptor(std::unique_ptr<ResID> descriptor) {
    if (descriptor->type == L"IMAGE") OnDescriptorAdded(descriptor.get());
    pf::MutexLock hold(mutex_);
    descriptors_.push_back(std::move(descriptor));
    return descriptors_.back().get();
}

void ResourceManager::AddLoaded(Res* res) {
    pf::MutexLock hold(mutex_);
    loaded_.emplace_back(res);
}

void ResourceManager::UnloadResource(Res* res) {
    if (!res) return;
    my_intrusive_ptr<Res> last;  // released after the lock
    pf::MutexLock hold(mutex_);
    for (auto it = loaded_.begin(); it != loaded_.end(); ++it) {
        if (it->get() == res) {
            last = std::move(*it);
            loaded_.erase(it);
            break;
        }
    }
}

void ResourceManager::RemoveDescriptor(ResID* descriptor) {
    pf::MutexLock hold(mutex_);
    for (auto it = descriptors_.begin(); it != descriptors_.end(); ++it) {
        if (it->get() == descriptor) {
            descriptors_.erase(it);
            return;
        }
    }
}

void ResourceManager::UnloadAll(bool all) {
    std::vector<my_intrusive_ptr<Res>> dropped;
    {
        pf::MutexLock hold(mutex_);
        std::vector<my_intrusive_ptr<Res>> kept;
        for (auto& res : loaded_) (all || !res->IsPermanent() ? dropped : kept).push_back(std::move(res));
        loaded_ = std::move(kept);
    }
    // Each resource dies here unless an actor, text or list still holds it.
}

bool ResourceManager::ReleaseResource(Res* res) {
    if (!res) return false;
    if (res->IsPermanent()) return true;
    UnloadResource(res);
    return true;
}

bool ResourceManager::RemoveResource(Res* res) {
    if (!res) return false;
    if (res->IsPermanent()) return true;
    my_intrusive_ptr<Res> hold(res);
    // The descriptor it was loaded from: an image, font, XML or sound of the same id
    // keeps its own.
    const wchar_t* type = dynamic_cast<ResAnim*>(res)  ? L"IMAGE"
                          : dynamic_cast<ResFont*>(res) ? L"FONT"
                          : dynamic_cast<ResXml*>(res)  ? L"XML"
                                                        : L"SOUND";
    RemoveDescriptor(FindDescriptor(res->GetId(), type));
    UnloadResource(res);
    return true;
}

// ---------------------------------------------------------------- strings

std::wstring ResourceManager::ResolveString(const std::wstring& text) {
    if (!text.empty() && text[0] == L'#') return GetString(text.substr(1), std::wstring());
    return text;
}

std::wstring ResourceManager::GetString(const std::wstring& key, const std::wstring& def) {
    const auto it = strings_.find(key);
    if (it != strings_.end()) return it->second;
    std::wstring text = pf::GameText(key);
    return text.empty() ? def : text;
}

void ResourceManager::SetString(const std::wstring& key, const std::wstring& value) { strings_[key] = value; }

// ---------------------------------------------------------------- images

ResAnim* ResourceManager::LoadAnim(const std::wstring& id) {
    if (ResAnim* anim = FindLoaded<ResAnim>(id)) return anim;
    ResID* descriptor = FindDescriptor(id, L"IMAGE");
    if (!descriptor) return nullptr;
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    if (!anim->Init(loader_, fs_, display_, descriptor, false, 0, 0)) {
        pf::DebugStream() << L"LoadAnim(" << id << L") could not create resource.\n";
        return nullptr;
    }
    AddLoaded(anim.get());
    return anim.get();
}

ResAnim* ResourceManager::LoadAnimFromFile(const std::wstring& path, const std::wstring& alphaSrc, int cels, int loops,
                                           const std::wstring& id, const std::wstring& format,
                                           const std::wstring& memory) {
    if (ResAnim* anim = LoadAnim(id)) return anim;
    auto d = FileDescriptor(L"IMAGE", id, path);
    d->params[kImageLoops] = std::to_wstring(loops);
    d->params[kImageCels] = std::to_wstring(cels);
    d->params[kImageAlphaSrc] = alphaSrc;
    d->params[kImageSingleTexture] = L"0";
    d->params[kImageFormat] = format;
    d->params[kImageMemory] = memory;
    AddDescriptor(std::move(d));
    return LoadAnim(id);
}

ResAnim* ResourceManager::LoadTextureFile(const std::wstring& path, const std::wstring& id) {
    if (ResAnim* anim = LoadAnim(id)) return anim;
    auto d = FileDescriptor(L"IMAGE", id, path);
    d->params[kImageSingleTexture] = L"1";
    AddDescriptor(std::move(d));
    return LoadAnim(id);
}

void ResourceManager::ReloadChangedAnims() {
    pf::MutexLock hold(mutex_);
    for (const auto& res : loaded_)
        if (auto* anim = dynamic_cast<ResAnim*>(res.get())) anim->ReloadIfChanged(loader_, fs_, display_);
}

std::wstring ResourceManager::CloneResource(const std::wstring& sourceId, const std::wstring& newId) {
    const ResID* source = FindDescriptor(sourceId);
    if (!source) return std::wstring();
    auto copy = std::make_unique<ResID>(*source);
    copy->reserved.clear();
    copy->params[10].clear();
    copy->params[11].clear();
    if (!newId.empty()) {
        copy->id = newId;
    } else {
        // The ids taken, gathered once: a file cloning one image thousands of times must
        // not scan every descriptor for every candidate name.
        std::unordered_set<std::wstring> taken;
        {
            pf::MutexLock hold(mutex_);
            for (const auto& d : descriptors_) taken.insert(d->id);
        }
        for (int n = 1;; ++n) {
            std::wstring candidate = sourceId + L"-" + std::to_wstring(n);
            if (!taken.count(candidate)) {
                copy->id = std::move(candidate);
                break;
            }
        }
    }
    std::wstring id = copy->id;
    pf::MutexLock hold(mutex_);
    descriptors_.push_back(std::move(copy));
    return id;
}

// ---------------------------------------------------------------- fonts

ResFont* ResourceManager::GetFont(const std::wstring& id) {
    if (ResFont* font = FindLoaded<ResFont>(id)) return font;
    ResID* descriptor = FindDescriptor(id, L"FONT");
    if (!descriptor) return nullptr;
    my_intrusive_ptr<ResFont> font(new ResFont);
    if (!font->LoadFromDescriptor(loader_, fs_, display_, descriptor)) return nullptr;
    AddLoaded(font.get());
    return font.get();
}

ResFont* ResourceManager::CreateFontByName(const std::wstring& name, int size, bool bold, bool italic,
                                           bool underline) {
    if (ResFont* found = FindFont(name, size, bold, italic, underline)) return found;
    // The id names the font's cache files: it is set before the load, so that each face
    // and size gets a cache of its own.
    wchar_t id[512];
    pf::FormatWide(id, L"%ls_%d_%02d", name.substr(0, 400).c_str(), size, 0);
    my_intrusive_ptr<ResFont> font(new ResFont);
    font->SetId(id);
    if (!font->Load(loader_, fs_, display_, name, size, bold, italic, underline, 0.0f)) return nullptr;
    AddLoaded(font.get());
    return font.get();
}

// ---------------------------------------------------------------- sounds

Res* ResourceManager::LoadSound(const std::wstring& id, int, bool) {
    if (!soundFactory) return nullptr;
    // A sound is any loaded resource that is neither an image, a font nor cached XML.
    {
        pf::MutexLock hold(mutex_);
        for (const auto& res : loaded_) {
            Res* r = res.get();
            if (r->GetId() == id && !dynamic_cast<ResAnim*>(r) && !dynamic_cast<ResFont*>(r) && !dynamic_cast<ResXml*>(r))
                return r;
        }
    }
    ResID* descriptor = FindDescriptor(id, L"SOUND");
    if (!descriptor) {
        pf::DebugStream() << L"ResourceManager::LoadSound(" << id << L") did not find id.\n";
        return nullptr;
    }
    my_intrusive_ptr<Res> sound(soundFactory());
    if (!sound || !sound->Setup(*descriptor)) {
        pf::DebugStream() << L"ResourceManager::LoadSound(" << id << L") could not create resource.\n";
        return nullptr;
    }
    AddLoaded(sound.get());
    return sound.get();
}

Res* ResourceManager::LoadSoundFile(const std::wstring& path, const std::wstring& id) {
    if (Res* sound = LoadSound(id, 1, false)) return sound;
    auto d = FileDescriptor(L"SOUND", id, path);
    d->params[0] = L"1";
    d->params[1] = L"no";
    d->params[2] = L"no";
    AddDescriptor(std::move(d));
    return LoadSound(id, 1, false);
}

// ---------------------------------------------------------------- XML cache

XmlData* ResourceManager::GetXmlData(const std::wstring& source) {
    if (ResXml* cached = FindLoaded<ResXml>(source)) return cached->GetXml();
    if (!FindDescriptor(source, L"XML")) {
        auto d = std::make_unique<ResID>();
        d->type = L"XML";
        d->id = source;
        d->path = source;
        AddDescriptor(std::move(d));
    }
    auto data = std::make_unique<XmlData>();
    // A whole file is read here; an element of a file is copied from the file's own
    // cache entry, so each file is read once and each source has one entry.
    const bool ok = source.find(L':') == std::wstring::npos ? data->LoadFileDirect(source, std::wstring(), fs_) : data->Load(source);
    if (!ok) {
        pf::DebugStream() << L"Xml file " << source << L" not found";
        RemoveDescriptor(FindDescriptor(source, L"XML"));
        return nullptr;
    }
    my_intrusive_ptr<ResXml> res(new ResXml);
    res->SetId(source);
    XmlData* payload = data.release();
    res->SetData(payload);
    AddLoaded(res.get());
    return payload;
}

bool ResourceManager::LoadResourceDefinitions(const std::wstring& source) {
    XmlData* root = GetXmlData(source);
    if (!root) return false;
    return ParseDefinitions(root, nullptr);
}

bool ResourceManager::LoadDefines(const std::wstring& source) {
    XmlData* root = GetXmlData(source);
    if (!root) return false;
    Define(root);
    return true;
}

void ResourceManager::Define(XmlData* element) {
    if (!element) return;
    std::vector<std::wstring> names;
    element->GetAttributeNames(names);
    for (const std::wstring& name : names) {
        std::wstring value;
        if (element->GetString(name, value, std::wstring())) SetString(name, value);
    }
}
