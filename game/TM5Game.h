// The game: brings every engine service up in a fixed order, shows the loading screen
// while the start-up script runs, then hands each frame's events, update and drawing to
// the scene's root item, which the scripts install.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "game/ArchivePassword.h"
#include "shell/foundation/RefCounter.h"
#include "script/PythonHost.h"
#include "shell/Game.h"
#include "shell/Mutex.h"
#include "shell/Settings.h"

class Item;
class ResourceManager;
class Resources;
class RootItem;
class SoundPlayer;

namespace pf {
class FileSystem;
}

class TM5Game : public pf::Game {
public:
    static constexpr const char* kInstanceName = "Tessmar5";
    static constexpr const wchar_t* kProductFolder = L"Tessmar5";
    static constexpr const wchar_t* kDefaultVendor = L"Tarn";
    static constexpr const wchar_t* kArchiveName = L"data.zip";
    static constexpr const char* kArchivePassword = TM5_ARCHIVE_PASSWORD;
    static constexpr const wchar_t* kTitle = L"Tessmar Nightwake";
    static constexpr const wchar_t* kLoadingScreen = L"configs/loading.xml";
    static constexpr int kLoadingFps = 24;

    // The services Init brings up beyond the application's own. The defaults are the
    // real ones; tests put recorders in their place.
    struct EngineHooks {
        std::function<void()> installCrashFilter;
        // Adds the module `game` to the interpreter's built-in table; false: refused.
        std::function<bool()> addGameModule;
        // Starts the interpreter (PythonHost::Init).
        std::function<void(pf::FileSystem*)> startScripts;
        // Opens the sound system; false leaves sound off.
        std::function<bool()> openSound;
    };

    TM5Game();
    explicit TM5Game(EngineHooks hooks);
    ~TM5Game() override;
    TM5Game(const TM5Game&) = delete;
    TM5Game& operator=(const TM5Game&) = delete;

    pf::Settings* GetSettings() override { return &settings_; }
    void Cycle() override;
    void Init(pf::Application2& app) override;
    void Draw(pf::Display& display) override;
    void HandleEvent(pf::Event& event) override;
    void Shutdown() override;
    void Release() override;
    void Start() override;
    void OnWindowMessage(pf::NativeWindow*, unsigned, uintptr_t, intptr_t) override {}

    // The running game: the game of the application that initialised one; null before.
    static TM5Game* Instance();

    // Detaches the item from its parent after the current cycle; a second request for the
    // same item in one cycle does nothing.
    void DeleteAfterCycle(Item* item);
    size_t GetDeleteAfterCycleCount() const { return deleteAfterCycle_.size(); }

    PythonHost& GetScriptHost() { return host_; }
    // The loading screen's root: only while Start runs.
    RootItem* GetLoadingRoot() const { return loadingRoot_.get(); }
    bool HasLoadingScreen() const { return loadingRoot_ || loadingResources_; }

private:
    // Start's last step: one loading frame, the start-up script, the loading screen torn
    // down under the loading lock, the frame cap lifted.
    void loadingThread();
    // Empties the delete-after-cycle list from its end.
    void DetachDeletedItems();
    // Called when a frame finds no root item: logs once.
    void NoteMissingRoot();
    // Quits on Close or Escape while no scene answers them.
    void HandleEventWithoutRoot(const pf::Event& event);
    // Stops every sound and drops what the sound player holds from the scripts.
    void SilenceSounds();

    pf::Settings settings_;
    PythonHost host_;
    std::vector<my_intrusive_ptr<Item>> deleteAfterCycle_;
    pf::Mutex loadingLock_;
    my_intrusive_ptr<RootItem> loadingRoot_;
    std::unique_ptr<Resources> loadingResources_;

    EngineHooks hooks_;
    pf::Application2* app_ = nullptr;
    my_intrusive_ptr<ResourceManager> resourceManager_;
    std::unique_ptr<SoundPlayer> soundPlayer_;
    bool missingRootLogged_ = false;
    bool shutDown_ = false;
};

// Allocates the game (the process entry hands it to the application).
pf::Game* CreateGame();
