#include "shell/Settings.h"

#include <climits>

namespace pf {

namespace {

// A saved window side. One outside int, which read as int would wrap to a size that looks
// usable (4294967936 to 640), reads as the nearest int, which no display can use.
int SavedSide(const std::wstring& text) {
    const double value = ToDouble(text);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return ToInt(text);
}

}  // namespace

Settings::Settings(FileSystem* fs) : players_(fs), options_(fs) {}

void Settings::SetFileSystem(FileSystem* fs) {
    players_.SetFileSystem(fs);
    options_.SetFileSystem(fs);
}

void Settings::Load() {
    players_.SetFileName(L"players.xml");
    options_.SetPath(L"options.cfg");
    const bool loaded = options_.load();
    static const struct {
        int id;
        const wchar_t* value;
    } kDefaults[] = {
        {kOptionMusicVolume, L"64"}, {kOptionVoiceVolume, L"64"},    {kOptionSoundsVolume, L"64"},
        {kOptionFullScreen, L"true"}, {kOptionHighDetail, L"true"},  {kOptionAppHeight, L"600"},
        {kOptionAppWidth, L"800"},    {kOptionWideScreenSupport, L"true"}, {kOptionScretchScreen, L"true"},
    };
    for (const auto& d : kDefaults) {
        if (!loaded || !options_.HasValue(OptionKeyName(d.id))) options_.SetOption(d.id, d.value);
    }
}

Settings::DisplayMode Settings::GetDisplayMode() const {
    return DisplayMode{SavedSide(options_.GetOption(kOptionAppWidth)), SavedSide(options_.GetOption(kOptionAppHeight)),
                       ToBool(options_.GetOption(kOptionFullScreen)),
                       ToBool(options_.GetOption(kOptionWideScreenSupport))};
}

}  // namespace pf
