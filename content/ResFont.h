// A font resource: a loaded font kept as the payload (owned): a binary bitmap font
// "fonts/<id>.fnt" when there is one, else the glyph cache of the named font file.
#pragma once

#include "content/ResID.h"
#include "shell/Font.h"

// What the font loaders are given: the shell's description of a font, whose file is the
// font name the resource gives.
struct FontDesc : pf::FontBase {};

// The shell's description of the font.
pf::FontBase ToFontBase(const FontDesc& desc);

class ResFont : public Res {
public:
    ResFont();
    ~ResFont() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::ResFont || typeId == TypeId::Base; }
    void LoadDeferred(pf::FileSystem*, pf::Display*, pf::ImageLoader*) override {}

    virtual bool LoadFromDescriptor(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display,
                                    const ResID* descriptor);
    bool Load(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display, const std::wstring& name, int size,
              bool bold, bool italic, bool underline, float outline);

    // The payload; null when nothing loaded.
    pf::Font* GetFont() const { return static_cast<pf::Font*>(GetData()); }
    const std::wstring& GetFontName() const { return name_; }
    int GetSize() const { return size_; }

private:
    std::wstring name_;
    int size_ = 0;
};
