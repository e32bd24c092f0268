// The start-up sequence through fakes: the order of its steps, the vendor and the log.
#include <gtest/gtest.h>

#include <stdexcept>

#include "GameFakes.h"
#include "content/ResourceManager.h"
#include "shell/Surface.h"
#include "game/TM5Game.h"
#include "scene/ItemLeakDetector.h"
#include "sound/SoundPlayer.h"

namespace {

// A game whose engine services only record that they were brought up.
TM5Game* RecordingGame(std::vector<std::string>& calls, bool moduleAdded = true) {
    TM5Game::EngineHooks hooks;
    hooks.installCrashFilter = [&calls] { calls.push_back("InstallCrashFilter"); };
    hooks.addGameModule = [&calls, moduleAdded] {
        calls.push_back(std::string("AddGameModule") + (ItemLeakDetector::IsEnabled() ? " after the registry" : ""));
        return moduleAdded;
    };
    hooks.startScripts = [&calls](pf::FileSystem* fs) {
        calls.push_back(std::string("StartScripts") + (GetResourceManager() && fs ? " with resources" : ""));
    };
    hooks.openSound = [&calls] {
        calls.push_back("OpenSound");
        return false;
    };
    return new TM5Game(hooks);
}

}  // namespace

TEST(GameStartup, InitBringsTheServicesUpInOrder) {
    gametest::FakeApp app;
    TM5Game* game = RecordingGame(app.calls);
    app.game = game;
    game->Init(app);
    const std::vector<std::string> expected = {
        "CheckSingleInstance Tessmar5",
        "InstallCrashFilter",
        "SetDataSource data.zip with password",
        "SetUserDataPath Tarn/Tessmar5",
        "InitDisplay 800x600 full",
        "SetTextureFilter 2",
        "SetTitle Tessmar Nightwake",
        "SetDebugText off",
        "AddGameModule after the registry",
        "StartScripts with resources",
        "OpenSound",
    };
    EXPECT_EQ(app.calls, expected);
    EXPECT_TRUE(std::filesystem::exists(app.UserFolder("Tarn") / "log.txt"));
    ASSERT_TRUE(SoundPlayer::Instance());
    EXPECT_EQ(SoundPlayer::Instance()->getSoundSystem(), nullptr);  // no device: sound off
    EXPECT_EQ(TM5Game::Instance(), game);

    game->Shutdown();
    EXPECT_EQ(GetResourceManager(), nullptr);
    game->Release();
    EXPECT_EQ(SoundPlayer::Instance(), nullptr);
}

TEST(GameStartup, VendorNamesTheUserFolder) {
    const struct {
        const char* config;  // null: no file
        const char* vendor;
    } cases[] = {
        {nullptr, "Tarn"},
        {"[vendor]\nname=\n", "Tarn"},
        {"[other]\nname=Moss\n", "Tarn"},
        {"\xEF\xBB\xBF[vendor]\nname=Moss Works\n", "Moss Works"},
    };
    for (const auto& c : cases) {
        gametest::FakeApp app;
        if (c.config) app.dir.Write("cfg/vendor.cfg", c.config);
        TM5Game* game = RecordingGame(app.calls);
        game->Init(app);
        EXPECT_NE(std::find(app.calls.begin(), app.calls.end(), std::string("SetUserDataPath ") + c.vendor + "/Tessmar5"),
                  app.calls.end())
            << (c.config ? c.config : "no file");
        EXPECT_TRUE(std::filesystem::exists(app.UserFolder(c.vendor) / "log.txt")) << c.vendor;
        game->Shutdown();
        game->Release();
    }
}

TEST(GameStartup, OptionsChooseTheWindow) {
    gametest::FakeApp app;
    app.SetUserDataPath(L"Tarn", L"Tessmar5");
    app.dir.Write("user/Tarn/Tessmar5/options.cfg", "[main]\nfullScreen=false\nappWidth=1024\nappHeight=768\n");
    app.calls.clear();
    TM5Game* game = RecordingGame(app.calls);
    game->Init(app);
    EXPECT_NE(std::find(app.calls.begin(), app.calls.end(), "InitDisplay 1024x768 window"), app.calls.end());
    game->Shutdown();
    game->Release();
}

TEST(GameStartup, RefusedGameModuleStopsTheStart) {
    gametest::FakeApp app;
    TM5Game* game = RecordingGame(app.calls, false);
    try {
        game->Init(app);
        ADD_FAILURE() << "Init went on without the module";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Failed to add module to the interpreter's builtin modules");
    }
    EXPECT_EQ(app.calls.back(), "AddGameModule after the registry");
    game->Shutdown();
    game->Release();
}
