#include "widgets/UrlButton.h"

#include "content/ResAnim.h"
#include "content/ResourceManager.h"
#include "widgets/WidgetServices.h"
#include "shell/Application.h"
#include "shell/ConfigSection.h"
#include "shell/foundation/Log.h"

namespace {
const wchar_t kVendorConfig[] = L"CFG/vendor.cfg";
const wchar_t kMenuConfig[] = L"CFG/menu.cfg";
}  // namespace

bool UrlButton::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (Button::SetProperty(key, value)) return true;
    if (key == L"url") {
        SetUrl(value);
        return true;
    }
    return false;
}

void UrlButton::Click(int /*whichButton*/) {
    if (!url_.empty()) PlayWidgetSound(GetClickSound());
    pf::Application2::GetInstance().OpenURL(url_);
}

bool UrlButton::LoadFromConfig(pf::ConfigSection& section) {
    pf::FileSystem* fs = GetWidgetFileSystem();
    const std::wstring image = section.GetString(L"img", L"");
    if (image.empty()) return false;
    image_ = image;
    SetUrl(section.GetString(L"url", L""));
    SetPosition(section.GetPoint(L"pos", pf::Point(0, 0)));
    SetPriority(section.GetInt(L"pri", 0));
    ResourceManager* manager = GetResourceManager();
    ResAnim* anim = manager ? manager->LoadAnimFromFile(image, L"", 4, 1, image, L"", L"default") : nullptr;
    if (!anim) pf::DebugStream() << L"UrlButton: no image '" << image << L"' for [" << section.GetName() << L"]";
    SetResAnim(anim);
    SetEnabled(!url_.empty());
    const std::wstring key = section.GetString(L"relpos", L"");
    if (fs) {
        pf::ConfigSection menu(*fs, kMenuConfig);
        if (menu.Load(section.GetName())) SetPosition(menu.GetPoint(key, pf::Point(-1, -1)));
    }
    return true;
}

bool UrlButton::LoadHostLink() {
    pf::FileSystem* fs = GetWidgetFileSystem();
    if (!fs) return false;
    pf::ConfigSection vendor(*fs, kVendorConfig);
    return vendor.Load(L"hostlink") && LoadFromConfig(vendor);
}

bool UrlButton::LoadDistLink() {
    pf::FileSystem* fs = GetWidgetFileSystem();
    if (!fs) return false;
    pf::ConfigSection vendor(*fs, kVendorConfig);
    if (!vendor.Load(L"distlink")) return false;
    const bool loaded = LoadFromConfig(vendor);
    SetUrl(L"");
    SetEnabled(false);
    return loaded;
}
