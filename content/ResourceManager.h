// The one registry of resources: descriptors, loaded resources, the string table and the
// cache of XML files. Lookups answer only resources of the type asked for.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "content/ResID.h"
#include "shell/Mutex.h"
#include "shell/foundation/VectorMath.h"

class ResAnim;
class ResFont;

class ResourceManager : public Base {
public:
    // Makes a new sound resource (its Setup then loads it from a descriptor).
    using SoundResourceFactory = Res* (*)();

    ResourceManager(pf::ImageLoader* loader, pf::Display* display, pf::FileSystem* fs);
    ~ResourceManager() override;
    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::ResourceManager || typeId == TypeId::Base;
    }

    // A copy of the descriptor sourceId under newId (or sourceId-1, -2, ... when empty);
    // "" when sourceId has no descriptor.
    virtual std::wstring CloneResource(const std::wstring& sourceId, const std::wstring& newId);
    // Drops the manager's reference when res is listed; the resource lives on while
    // others hold it.
    virtual void UnloadResource(Res* res);
    virtual void RemoveDescriptor(ResID* descriptor);
    // The first loaded resource of any type with this id.
    virtual Res* FindResource(const std::wstring& id);
    virtual std::wstring ResolveString(const std::wstring& text);
    // The string-table value; a missing key asks the game, then answers def.
    virtual std::wstring GetString(const std::wstring& key, const std::wstring& def);
    virtual bool HasDescriptor(const std::wstring& id);
    virtual bool IsLoaded(const std::wstring& id);
    // The image resource id, loaded from its IMAGE descriptor on first use; null when
    // there is none or it cannot be made.
    virtual ResAnim* LoadAnim(const std::wstring& id);
    virtual ResAnim* LoadAnimFromFile(const std::wstring& path, const std::wstring& alphaSrc, int cels, int loops,
                                      const std::wstring& id, const std::wstring& format, const std::wstring& memory);
    virtual ResAnim* LoadTextureFile(const std::wstring& path, const std::wstring& id);
    virtual ResFont* CreateFontByName(const std::wstring& name, int size, bool bold, bool italic, bool underline);
    virtual ResFont* GetFont(const std::wstring& id);
    virtual bool LoadResourceDefinitions(const std::wstring& source);
    // Reads a resource definitions element (see ResourceDefinitions.cpp); always true.
    virtual bool ParseDefinitions(XmlData* root, std::vector<ResID*>* list);
    virtual Res* LoadSound(const std::wstring& id, int group, bool memory);
    virtual Res* LoadSoundFile(const std::wstring& path, const std::wstring& id);
    // The cached element named by "file" or "file:path"; the manager keeps it.
    virtual XmlData* GetXmlData(const std::wstring& source);
    virtual void ReloadChangedAnims();
    virtual void SetString(const std::wstring& key, const std::wstring& value);
    virtual bool LoadDefines(const std::wstring& source);
    virtual void Define(XmlData* element);
    // Drops every loaded resource (all) or every one that is not permanent.
    virtual void UnloadAll(bool all);
    virtual bool ReleaseResource(Res* res);
    virtual bool RemoveResource(Res* res);
    virtual void OnDescriptorAdded(ResID*) {}

    // The first descriptor with this id (and, when type is given, this type).
    ResID* FindDescriptor(const std::wstring& id, const wchar_t* type = nullptr);
    ResFont* FindFont(const std::wstring&, int, bool, bool, bool) { return nullptr; }

    pf::ImageLoader* GetImageLoader() const { return loader_; }
    pf::Display* GetDisplay() const { return display_; }
    pf::FileSystem* GetFileSystem() const { return fs_; }
    int GetLoadedCount();
    int GetDescriptorCount();

    // The process-wide sound-resource factory; none is installed by default.
    static void SetSoundResourceFactory(SoundResourceFactory factory);

private:
    // The first loaded resource with this id that is a T.
    template <class T>
    T* FindLoaded(const std::wstring& id);
    // Appends a descriptor under the lock (after the hook for images).
    ResID* AddDescriptor(std::unique_ptr<ResID> descriptor);
    void AddLoaded(Res* res);

    std::vector<my_intrusive_ptr<Res>> loaded_;
    std::vector<std::unique_ptr<ResID>> descriptors_;
    std::map<std::wstring, std::wstring> strings_;
    pf::ImageLoader* loader_;
    pf::Display* display_;
    pf::FileSystem* fs_;
    pf::Mutex mutex_;
};

// The one resource manager (null until the game makes it); setting it makes it XmlData's
// source of documents and string keys.
ResourceManager* GetResourceManager();
void SetResourceManager(ResourceManager* manager);

// The colorTransform matrix text: 16 numbers by blanks, or one token split at " ,;\t".
// An empty or missing attribute keeps def and answers false.
bool GetMatrixAttribute(XmlData* data, const std::wstring& name, pf::MatrixT& out, const pf::MatrixT& def);
void ReadMatrix(const std::wstring& text, pf::MatrixT& matrix);
