#include "shell/OptionList.h"

#include "shell/ConfigSection.h"

namespace pf {

namespace {

const wchar_t* const kOptionKeys[kOptionCount] = {
    L"musicVolume",     L"soundsVolume",  L"voiceVolume",      L"musicMuted",       L"soundMuted",
    L"voiceMuted",      L"fullScreen",    L"highDetail",       L"scretchScreen",    L"profanityFilter",
    L"appHeight",       L"appWidth",      L"distributorName",  L"productName",      L"productShortName",
    L"productVersion",  L"wideScreenSupport", L"maxFPS",
};

}  // namespace

const wchar_t* OptionKeyName(int id) { return id >= 0 && id < kOptionCount ? kOptionKeys[id] : L""; }

OptionList::OptionList(FileSystem* fs) : fs_(fs) {}

OptionList::~OptionList() = default;

std::wstring OptionList::GetPath() const { return path_; }

void OptionList::SetPath(const std::wstring& path) { path_ = path; }

bool OptionList::load() {
    if (path_.empty() || !fs_) return false;
    section_.reset(new ConfigSection(*fs_, path_));
    return section_->Load(L"main") && section_->CountValues() > 0;
}

bool OptionList::save() { return section_ && section_->Save(); }

std::wstring OptionList::GetValue(const std::wstring& key) const {
    return section_ ? section_->GetString(key, L"") : std::wstring();
}

std::wstring OptionList::GetOption(int id) const { return GetValue(OptionKeyName(id)); }

void OptionList::SetValue(const std::wstring& key, const std::wstring& value) {
    if (section_) section_->SetString(key, value);
}

void OptionList::SetOption(int id, const std::wstring& value) { SetValue(OptionKeyName(id), value); }

bool OptionList::HasValue(const std::wstring& key) const { return section_ && section_->HasKey(key); }

}  // namespace pf
