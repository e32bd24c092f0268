// A button that opens a URL instead of posting events; it can set itself up (image, URL,
// position, priority) from the vendor configuration.
#pragma once

#include "widgets/Button.h"

namespace pf {
class ConfigSection;
}

class UrlButton : public Button {
public:
    UrlButton() = default;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::UrlButton || Button::IsKindOf(typeId); }

    virtual std::wstring GetImage() const { return image_; }
    virtual std::wstring GetUrl() const { return url_; }
    virtual void SetUrl(const std::wstring& url) { url_ = url; }
    // The "distlink" section of the vendor configuration: shown, never clickable.
    virtual bool LoadDistLink();
    // The "hostlink" section of the vendor configuration.
    virtual bool LoadHostLink();
    // Image ("img", required), "url", "pos", "pri" from the section; "relpos" names the
    // position in the menu layout's section of the same name, which wins over "pos".
    // False, with nothing changed, without an image.
    virtual bool LoadFromConfig(pf::ConfigSection& section);

    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void Click(int whichButton) override;
    void DoubleClick(int whichButton) override { Click(whichButton); }

private:
    std::wstring image_;
    std::wstring url_;
};
