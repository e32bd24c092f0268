// A font resource: a loaded bitmap font kept as the payload. The font loaders come with
// the fonts; until then Load reports that nothing could be loaded.
#pragma once

#include "content/ResID.h"

// What the font loaders are given.
struct FontDesc {
    std::wstring id;
    std::wstring name;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int size = 10;
    float outline = 0.0f;
};

class ResFont : public Res {
public:
    ResFont();
    ~ResFont() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::ResFont || typeId == TypeId::Base; }
    void LoadDeferred(pf::FileSystem*, pf::Display*, pf::ImageLoader*, SoundSystem*) override {}

    virtual bool LoadFromDescriptor(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display,
                                    const ResID* descriptor);
    bool Load(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display, const std::wstring& name, int size,
              bool bold, bool italic, bool underline, float outline);

    const std::wstring& GetFontName() const { return name_; }
    int GetSize() const { return size_; }

private:
    std::wstring name_;
    int size_ = 0;
};
