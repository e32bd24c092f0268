// The game's settings: the player list and the option list.
#pragma once

#include "shell/OptionList.h"
#include "shell/PlayerList.h"
#include "shell/foundation/TextHelpers.h"

namespace pf {

class FileSystem;

class Settings {
public:
    explicit Settings(FileSystem* fs = nullptr);
    void SetFileSystem(FileSystem* fs);

    PlayerList& GetPlayers() { return players_; }
    OptionList& GetOptions() { return options_; }

    // Names the player file "players.xml" (without reading it) and loads "options.cfg";
    // the defaults fill in every default key the file does not set (all of them when it
    // does not load). They stay in memory until the options are saved.
    void Load();

    // The display the options ask for.
    struct DisplayMode {
        int width;
        int height;
        bool fullScreen;
        bool wideScreen;
    };
    DisplayMode GetDisplayMode() const;
    // Calls the application's InitDisplay(width, height, fullScreen, wideScreen).
    template <class App>
    bool CreateDisplay(App& app) const {
        DisplayMode mode = GetDisplayMode();
        return app.InitDisplay(mode.width, mode.height, mode.fullScreen, mode.wideScreen);
    }

private:
    PlayerList players_;
    OptionList options_;
};

}  // namespace pf
