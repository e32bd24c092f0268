#include "content/ResFont.h"

#include <memory>

#include "shell/BmFont.h"
#include "shell/foundation/TextHelpers.h"

ResFont::ResFont() { SetName(L"ResFont"); }

ResFont::~ResFont() { delete GetFont(); }

pf::FontBase ToFontBase(const FontDesc& desc) { return desc; }

bool ResFont::LoadFromDescriptor(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display,
                                 const ResID* d) {
    if (!d) return false;
    SetId(d->id);
    SetPermanent(pf::ToBool(d->perm));
    return Load(loader, fs, display, d->params[0], WToI(d->params[1]), pf::ToBool(d->params[2]),
                pf::ToBool(d->params[3]), pf::ToBool(d->params[4]),
                static_cast<float>(pf::ReadDouble(d->params[5].c_str())));
}

bool ResFont::Load(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display, const std::wstring& name,
                   int size, bool bold, bool italic, bool underline, float outline) {
    name_ = name;
    size_ = size;
    FontDesc desc;
    desc.id = GetId();
    desc.file = name;
    desc.bold = bold;
    desc.italic = italic;
    desc.underline = underline;
    desc.size = size;
    desc.outline = outline;
    const pf::FontBase base = ToFontBase(desc);

    // A binary bitmap font under the id first, else the glyph cache of a font file.
    std::unique_ptr<pf::Font> font(new pf::BmFont(base));
    if (!font->Load(loader, fs, display)) {
        font.reset(new pf::Font(base));
        if (!font->Load(loader, fs, display)) return false;
    }
    // A second load replaces the earlier font.
    delete GetFont();
    SetData(font.release());
    return true;
}
