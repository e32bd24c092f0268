// The game's construction, its start-up sequence and its release.
#include <boost/python.hpp>

#include <stdexcept>
#include <thread>

#include "content/ResourceManager.h"
#include "content/Resources.h"
#include "machines/StateMachineXml.h"
#include "game/CrashFilter.h"
#include "game/ModuleGame.h"
#include "game/TM5Game.h"
#include "scene/ItemLeakDetector.h"
#include "scene/ModifierFactory.h"
#include "scene/RootItem.h"
#include "script/ScriptError.h"
#include "shell/Application.h"
#include "shell/ConfigSection.h"
#include "shell/Display.h"
#include "shell/EventSystem.h"
#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/LogFile.h"
#include "sound/ResSoundNew.h"
#include "sound/SoundPlayer.h"
#include "sound/SoundSystemOAL.h"

namespace {

// The application of the running game, for the hooks that take no context.
pf::Application2* g_app = nullptr;

void QuitOnScriptExit(int) {
    if (g_app) g_app->QuitAfterCycle();
}

// A button release is followed by a motion at its point, so the scene sees the pointer
// where the button went up. Only the main thread posts into the application's queue.
void PostMotionAfterButtonUp(pf::EventSystem* source, const pf::Event& release) {
    if (!g_app || !source || std::this_thread::get_id() != g_app->GetMainThreadId()) return;
    source->PostMotionAfterButtonUp(release);
}

// The user folder, however long: the file system answers "" when the buffer is too small.
std::wstring UserFolder(pf::FileSystem& fs) {
    for (int size = 260; size <= (1 << 20); size *= 4) {
        std::vector<wchar_t> buffer(static_cast<size_t>(size), L'\0');
        fs.GetUserPath(buffer.data(), size);
        if (buffer[0] != L'\0') return buffer.data();
    }
    return std::wstring();
}

// The vendor the user folder is named after: "cfg/vendor.cfg", section "vendor", key
// "name"; the default when it is missing or empty.
std::wstring VendorName(pf::FileSystem& fs) {
    pf::ConfigSection vendor(fs, L"cfg/vendor.cfg");
    vendor.Load(L"vendor");
    const std::wstring name = vendor.GetString(L"name", L"");
    return name.empty() ? TM5Game::kDefaultVendor : name;
}

// The archive's own complaint came before the log was opened; without this line the log
// would show only the loading screen and the start-up script missing, not why.
void NoteMissingArchive(pf::FileSystem* fs) {
    const auto* files = dynamic_cast<pf::FileSystemWin32*>(fs);
    if (files && !files->HasArchive()) {
        pf::DebugStream() << L"TM5Game: the data archive '" << TM5Game::kArchiveName
                          << L"' is missing or unreadable; only the working folder's files are read";
    }
}

}  // namespace

TM5Game::TM5Game() : TM5Game(EngineHooks{}) {}

TM5Game::TM5Game(EngineHooks hooks) : hooks_(std::move(hooks)) {
    if (!hooks_.installCrashFilter) hooks_.installCrashFilter = &game::InstallCrashFilter;
    if (!hooks_.addGameModule) hooks_.addGameModule = &game::AddGameModule;
    if (!hooks_.startScripts) hooks_.startScripts = [this](pf::FileSystem* fs) { host_.Init(fs); };
    if (!hooks_.openSound) hooks_.openSound = [] { return SoundSystemOAL::Global().Open(); };
}

TM5Game::~TM5Game() {
    loadingLock_.Close();
    // The list is empty after a shutdown; without one the interpreter still runs and the
    // items may be script objects.
    deleteAfterCycle_.clear();
    if (soundPlayer_) {
        if (SoundPlayer::Instance() == soundPlayer_.get()) SoundPlayer::SetInstance(nullptr);
        soundPlayer_.reset();
    }
    if (g_app == app_) {
        g_app = nullptr;
        SetScriptQuitHandler(nullptr);
        SetButtonUpMotionPoster(nullptr);
    }
}

void TM5Game::Release() { delete this; }

TM5Game* TM5Game::Instance() { return g_app ? dynamic_cast<TM5Game*>(g_app->GetGame()) : nullptr; }

void TM5Game::Init(pf::Application2& app) {
    app_ = &app;
    app.CheckSingleInstance(kInstanceName);
    hooks_.installCrashFilter();
    ItemLeakDetector::Initialize();
    app.SetDataSource(nullptr, kArchiveName, kArchivePassword);

    pf::FileSystem* fs = app.GetFileSystem();
    const std::wstring vendor = fs ? VendorName(*fs) : std::wstring(kDefaultVendor);
    app.SetUserDataPath(vendor.c_str(), kProductFolder);
    if (fs) pf::OpenLog(UserFolder(*fs) + L"log.txt");
    NoteMissingArchive(fs);

    settings_.SetFileSystem(fs);
    settings_.Load();
    const pf::Settings::DisplayMode mode = settings_.GetDisplayMode();
    app.InitDisplay(mode.width, mode.height, mode.fullScreen, mode.wideScreen);
    if (pf::Display* display = app.GetDisplay()) display->SetTextureFilter(pf::TextureFilter::Linear);
    app.SetTitle(kTitle);
    app.SetDebugText(false);

    resourceManager_ = new ResourceManager(app.GetImageLoader(), app.GetDisplay(), fs);
    SetResourceManager(resourceManager_.get());
    InstallStateMachineStarter();
    SetModifierFactory(new ModifierFactory());

    if (!hooks_.addGameModule()) {
        throw std::runtime_error("Failed to add module to the interpreter's builtin modules");
    }
    hooks_.startScripts(fs);

    const bool soundOn = hooks_.openSound();
    soundPlayer_ = std::make_unique<SoundPlayer>(soundOn ? &SoundSystemOAL::Global() : nullptr);
    SoundPlayer::SetInstance(soundPlayer_.get());
    // Resource lists make their sounds over this player's sound system.
    ResSoundNew::InstallResourceListMaker();

    g_app = &app;
    SetScriptQuitHandler(&QuitOnScriptExit);
    SetButtonUpMotionPoster(&PostMotionAfterButtonUp);
}

pf::Game* CreateGame() { return new TM5Game(); }
