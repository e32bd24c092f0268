// The start-up sequence through fakes: the order of its steps, the vendor and the log.
#include <gtest/gtest.h>

#include <stdexcept>

#include "GameFakes.h"
#include "common/Oracle.h"
#include "content/ResourceManager.h"
#include "shell/pixels/Surface.h"
#include "game/TM5Game.h"
#include "scene/Actor.h"
#include "scene/Cyclers.h"
#include "scene/ItemLeakDetector.h"
#include "scene/ModifierFactory.h"
#include "scene/RootItem.h"
#include "scene/TimeController.h"
#include "scene/Tweens.h"
#include "sound/SoundPlayer.h"

namespace {

// A game whose engine services only record that they were brought up.
TM5Game* RecordingGame(std::vector<std::string>& calls, bool moduleAdded = true) {
    TM5Game::EngineHooks hooks;
    hooks.installCrashFilter = [&calls] { calls.push_back("InstallCrashFilter"); };
    hooks.addGameModule = [&calls, moduleAdded] {
        calls.push_back(std::string("AddGameModule") + (ItemLeakDetector::IsEnabled() ? " after the registry" : "") +
                        (GetResourceManager() && GetModifierFactory() ? " and the factories" : ""));
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
        "SetDataSource data.zip password 'Qw7Lp2Xr9Tn4Vb6Mz1Kd'",  // the archive's fixed password
        "SetUserDataPath Tarn/Tessmar5",
        "InitDisplay 800x600 full",
        "SetTextureFilter 2",
        "SetTitle Tessmar Nightwake",
        "SetDebugText off",
        "AddGameModule after the registry and the factories",
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
    EXPECT_EQ(GetModifierFactory(), nullptr);
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

// The archive's own complaint comes before the log is open: the game names it again there.
TEST(GameStartup, AnArchiveThatDoesNotOpenIsNamedInTheLog) {
    RUV3_REQUIRE_PROGRAM("zip");
    const std::string named = "TM5Game: the data archive 'data.zip' is missing or unreadable";
    const struct {
        const char* label;
        int keep;  // bytes of the real archive kept; -1: all, -2: no file
    } cases[] = {{"missing", -2}, {"empty", 0}, {"cut short", 100}, {"whole", -1}};
    for (const auto& c : cases) {
        gametest::FakeApp app;
        if (c.keep != -2) {
            app.dir.Write("pack/cfg/vendor.cfg", "[vendor]\nname=Moss\n");
            // Packed with the archive's fixed password as written, not with the build's macro.
            ASSERT_EQ(testkit::RunCommand("cd '" + app.dir.Path().string() +
                                          "/pack' && zip -q -r -P 'Qw7Lp2Xr9Tn4Vb6Mz1Kd' ../data.zip cfg"),
                      0);
            if (c.keep >= 0) std::filesystem::resize_file(app.dir.Path() / "data.zip", static_cast<uintmax_t>(c.keep));
        }
        TM5Game* game = RecordingGame(app.calls);
        game->Init(app);
        // The vendor named inside the archive shows that the whole one opened.
        const std::string vendor = c.keep == -1 ? "Moss" : "Tarn";
        ASSERT_TRUE(std::filesystem::exists(app.UserFolder(vendor) / "log.txt")) << c.label;
        const std::string log = testkit::ReadFile(app.UserFolder(vendor) / "log.txt");
        EXPECT_EQ(log.find(named) == std::string::npos, c.keep == -1) << c.label << "\n" << log;
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
    EXPECT_EQ(app.calls.back(), "AddGameModule after the registry and the factories");
    game->Shutdown();
    game->Release();
}

// The loading screen as its one frame draws it: four actors placed around the screen's
// centre, the horses turning and the "loading" text cycling, each under an endless forward
// controller without a curve.
TEST(GameStartup, LoadingScreenAnimatesTheHorsesAndTheText) {
    gametest::FakeApp app;
    TM5Game* game = RecordingGame(app.calls);
    app.game = game;
    game->Init(app);
    my_intrusive_ptr<RootItem> shown;
    app.display.onBeginFrame = [&] { shown = game->GetLoadingRoot(); };
    game->Start();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(game->HasLoadingScreen());

    const pf::Point centre(shown->GetWidth() / 2, shown->GetHeight() / 2);
    const pf::Point places[] = {centre, centre + pf::Point(2, 8), centre + pf::Point(0, 8), centre + pf::Point(0, 150)};
    const Item::ItemList& actors = shown->GetChildren();
    ASSERT_EQ(actors.size(), 4u);
    for (size_t i = 0; i < actors.size(); ++i) {
        ASSERT_TRUE(actors[i]->IsKindOf(TypeId::Actor)) << i;
        EXPECT_EQ(actors[i]->GetPosition(), places[i]) << i;
        EXPECT_EQ(actors[i]->GetModifiers().size(), i < 2 ? 0u : 1u) << i;
    }
    for (size_t i : {2u, 3u}) {
        const TimeController* controller = actors[i]->GetModifiers()[0].controller.get();
        ASSERT_TRUE(controller) << i;
        EXPECT_EQ(controller->GetPeriod(), i == 2 ? 4000 : 1000) << i;
        EXPECT_EQ(controller->GetType(), TimeController::Forward) << i;
        EXPECT_EQ(controller->GetLoops(), -1) << i;
        EXPECT_EQ(controller->GetTimeShift(), nullptr) << i;
    }

    auto* horses = static_cast<Actor*>(actors[2].get());
    auto* turn = dynamic_cast<Rotator2*>(horses->GetModifiers()[0].modifier.get());
    ASSERT_TRUE(turn);
    turn->Action(0.5f, 0.5f);
    EXPECT_NEAR(horses->GetRotation(), 6.283f / 2, 1e-4f);  // half way round
    const auto* cycle = dynamic_cast<const Cycler2*>(actors[3]->GetModifiers()[0].modifier.get());
    ASSERT_TRUE(cycle);
    EXPECT_EQ(cycle->GetSrc(), 10);
    EXPECT_EQ(cycle->GetDest(), -1);  // no animation behind the fakes: the last cel is unset
    EXPECT_TRUE(cycle->GetFrames().empty());

    shown.reset();
    game->Shutdown();
    game->Release();
}
