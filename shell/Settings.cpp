#include "shell/Settings.h"

namespace pf {

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
    return DisplayMode{ToInt(options_.GetOption(kOptionAppWidth)), ToInt(options_.GetOption(kOptionAppHeight)),
                       ToBool(options_.GetOption(kOptionFullScreen)),
                       ToBool(options_.GetOption(kOptionWideScreenSupport))};
}

}  // namespace pf
