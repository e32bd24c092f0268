// Resource descriptors and the base of every loaded resource.
#pragma once

#include <mutex>
#include <string>

#include "content/ResourceServices.h"
#include "shell/foundation/Base.h"

class XmlData;

// The leading decimal integer of text: blanks skipped, an optional sign, digits up to the
// first other character; 0 when there is none. Saturates at the int range. Locale-free.
int WToI(const std::wstring& text);

// Parameter slots of an IMAGE descriptor.
enum ImageParam : int {
    kImageLoops = 0,
    kImageCels = 1,
    kImageAlphaSrc = 2,
    kImagePreload = 3,
    kImageSingleTexture = 4,
    kImageFormat = 5,
    kImageMemory = 6,
    kImagePos = 7,
    kImageCrop = 8,
};

// What describes one resource: all text, converted when the resource is loaded.
struct ResID {
    static constexpr int kParamCount = 12;
    std::wstring reserved;
    std::wstring type;  // "IMAGE", "SOUND", "FONT" or "XML"
    std::wstring id;
    std::wstring path;
    std::wstring perm;
    std::wstring params[kParamCount];
};

// A loaded resource: id, permanence and one owned payload (by subclass). Counted: whoever
// draws or plays a resource holds a reference, so it outlives its list or manager entry.
class Res : public Base {
public:
    Res();
    ~Res() override = default;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::Res || typeId == TypeId::Base; }

    // A copy: the id may be read from a loading worker while the main thread renames.
    virtual std::wstring GetId() const;
    virtual bool IsPermanent() const { return permanent_; }
    virtual void* GetData() const { return data_; }
    virtual void SetData(void* data) { data_ = data; }
    virtual void SetId(const std::wstring& id);
    virtual void SetPermanent(bool permanent) { permanent_ = permanent; }
    virtual bool Setup(const ResID&) { return true; }
    // Loads the resource's data on a loading-queue worker.
    virtual void LoadDeferred(pf::FileSystem* fs, pf::Display* display, pf::ImageLoader* loader) = 0;

private:
    mutable std::mutex idLock_;
    std::wstring id_;
    bool permanent_ = false;
    void* data_ = nullptr;
};

// A cached XML file: its payload is an XmlData it owns.
class ResXml : public Res {
public:
    ResXml() = default;
    ~ResXml() override;
    void LoadDeferred(pf::FileSystem*, pf::Display*, pf::ImageLoader*) override {}
    XmlData* GetXml() const { return static_cast<XmlData*>(GetData()); }
};
