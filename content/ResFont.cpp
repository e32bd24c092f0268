#include "content/ResFont.h"

#include "shell/TextHelpers.h"

ResFont::ResFont() { SetName(L"ResFont"); }

ResFont::~ResFont() = default;

bool ResFont::LoadFromDescriptor(pf::ImageLoader* loader, pf::FileSystem* fs, pf::Display* display,
                                 const ResID* d) {
    if (!d) return false;
    SetId(d->id);
    SetPermanent(pf::ToBool(d->perm));
    return Load(loader, fs, display, d->params[0], WToI(d->params[1]), pf::ToBool(d->params[2]),
                pf::ToBool(d->params[3]), pf::ToBool(d->params[4]),
                static_cast<float>(pf::ReadDouble(d->params[5].c_str())));
}

bool ResFont::Load(pf::ImageLoader*, pf::FileSystem*, pf::Display*, const std::wstring& name, int size, bool, bool,
                   bool, float) {
    name_ = name;
    size_ = size;
    // The bitmap-font and glyph-cache loaders are not part of the engine yet.
    return false;
}
