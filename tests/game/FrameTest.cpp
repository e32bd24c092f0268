// The game's frame without scripts: deferred detaches, the focus and the sounds, and a
// frame with no scene.
#include <gtest/gtest.h>

#include "GameFakes.h"
#include "game/TM5Game.h"
#include "scene/RootItem.h"
#include "shell/Event.h"
#include "shell/foundation/KeyTables.h"
#include "sound/SoundPlayer.h"

namespace {

class FakeSound : public Sound {
public:
    int GetLength() override { return 1000; }
};

class FakeChannel : public Channel {
public:
    PlayParams params;
    int state = 2;
    void Play(const PlayParams& p) override {
        params = p;
        state = p.paused ? 1 : 0;
    }
    void Pause(bool pause) override { state = pause ? 1 : 0; }
    void Stop() override {
        state = 2;
        if (params.callback) params.callback(params.userData, this, &params);
        params = PlayParams();
    }
    int GetState() override { return state; }
    Sound* GetSound() override { return params.sound; }
    float GetVolume() override { return params.volume; }
    PlayParams& GetParams() override { return params; }
    void SetVolume(float volume) override { params.volume = volume; }
};

class FakeSoundSystem : public SoundSystem {
public:
    FakeChannel channel;
    void PauseAll() override {}
    void ResumeAll() override {}
    bool isAvailable() override { return true; }
    Sound* CreateSound(const void*, int) override { return nullptr; }
    float GetVolume() override { return 1.0f; }
    void SetVolume(float) override {}
    void Update() override {}
    Channel* GetFreeChannel() override { return channel.state == 2 ? &channel : nullptr; }
};

class FakeResSound : public ResSound {
public:
    FakeSound sound;
    FakeResSound() { SetId(L"tune"); }
    Sound* GetSound() override { return &sound; }
    void LoadDeferred(pf::FileSystem*, pf::Display*, pf::ImageLoader*) override {}
};

// A root that notes the sound channel's state when each event reaches it.
class WatchingRoot : public RootItem {
public:
    FakeChannel* channel = nullptr;
    std::vector<int> statesSeen;
    bool ProcessEvent(pf::Event& e) override {
        if (channel) statesSeen.push_back(channel->GetState());
        return RootItem::ProcessEvent(e);
    }
};

// A root that hands the scene to another root in the middle of its own step.
class SwitchingRoot : public RootItem {
public:
    my_intrusive_ptr<RootItem> next;
    int steps = 0;
    void Cycle() override {
        SetRootItem(next.get());
        RootItem::Cycle();  // still running on this root
        ++steps;
    }
    bool ProcessEvent(pf::Event& e) override {
        SetRootItem(next.get());
        ++steps;
        return RootItem::ProcessEvent(e);
    }
    void Render(pf::Display& display) override {
        SetRootItem(next.get());
        RootItem::Render(display);
        ++steps;
    }
};

// An item that counts the children taken from it.
class CountingParent : public Item {
public:
    int removals = 0;
    void RemoveItem(Item* child) override {
        ++removals;
        Item::RemoveItem(child);
    }
};

class GameFrame : public ::testing::Test {
protected:
    void SetUp() override {
        TM5Game::EngineHooks hooks;
        hooks.installCrashFilter = [] {};
        hooks.addGameModule = [] { return true; };
        hooks.startScripts = [](pf::FileSystem*) {};
        hooks.openSound = [] { return false; };
        game = new TM5Game(hooks);
        app.game = game;
        game->Init(app);
    }
    void TearDown() override {
        game->Shutdown();
        game->Release();
    }
    gametest::FakeApp app;
    TM5Game* game = nullptr;
};

}  // namespace

TEST_F(GameFrame, DeleteAfterCycleDetachesEachItemOnce) {
    my_intrusive_ptr<RootItem> root(new RootItem());
    SetRootItem(root.get());
    my_intrusive_ptr<CountingParent> parent(new CountingParent());
    root->AddItem(parent.get());
    my_intrusive_ptr<Item> child(new Item());
    parent->AddItem(child.get());
    my_intrusive_ptr<Item> orphan(new Item());

    game->DeleteAfterCycle(child.get());
    game->DeleteAfterCycle(child.get());
    game->DeleteAfterCycle(orphan.get());
    game->DeleteAfterCycle(nullptr);
    EXPECT_EQ(game->GetDeleteAfterCycleCount(), 2u);
    EXPECT_EQ(orphan->GetRefCount(), 2);

    game->Cycle();
    EXPECT_EQ(parent->removals, 1);
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_EQ(child->GetRefCount(), 1);  // only the test holds it now
    EXPECT_EQ(orphan->GetRefCount(), 1);
    EXPECT_EQ(game->GetDeleteAfterCycleCount(), 0u);
    // The sound service and the overlay lines ran too.
    ASSERT_EQ(app.debugText.size(), 2u);
    EXPECT_EQ(app.debugText[0], "free channels: 0\n");
    EXPECT_EQ(app.debugText[1].rfind("created items: ", 0), 0u);
    SetRootItem(nullptr);
}

TEST_F(GameFrame, LosingTheFocusPausesSoundsBeforeTheSceneSeesIt) {
    FakeSoundSystem system;
    SoundPlayer player(&system);
    SoundPlayer::SetInstance(&player);
    FakeResSound tune;
    my_intrusive_ptr<SoundInstance> playing(new SoundInstance());
    player.play(playing.get(), &tune, true, 0, 0, 1.0f, false);
    ASSERT_EQ(system.channel.GetState(), 0);

    my_intrusive_ptr<WatchingRoot> root(new WatchingRoot());
    root->channel = &system.channel;
    SetRootItem(root.get());
    pf::Event lost = pf::Event(pf::EventType::Active, 0, pf::ActiveState::InputFocus);
    game->HandleEvent(lost);
    EXPECT_EQ(system.channel.GetState(), 1);
    pf::Event mouseOnly = pf::Event(pf::EventType::Active, 1, pf::ActiveState::MouseFocus);
    game->HandleEvent(mouseOnly);
    EXPECT_EQ(system.channel.GetState(), 1);  // the pointer's coming back is not the focus
    pf::Event gained = pf::Event(pf::EventType::Active, 1, pf::ActiveState::InputFocus);
    game->HandleEvent(gained);
    EXPECT_EQ(system.channel.GetState(), 0);
    EXPECT_EQ(root->statesSeen, (std::vector<int>{1, 1, 0}));

    SetRootItem(nullptr);
    player.stopAll();
    SoundPlayer::SetInstance(nullptr);
}

TEST_F(GameFrame, WithoutASceneFramesAreClearedAndCloseOrEscapeQuits) {
    SetRootItem(nullptr);
    for (int i = 0; i < 3; ++i) {
        game->Cycle();
        game->Draw(app.display);
    }
    EXPECT_EQ(app.display.frames, 3);
    pf::Event key = pf::Event(pf::EventType::KeyDown, 0, 1, 30, 'a');
    game->HandleEvent(key);
    EXPECT_EQ(app.quitRequests, 0);
    pf::Event escape = pf::Event(pf::EventType::KeyDown, 0, 1, 1, pf::KeyType::Esc);
    game->HandleEvent(escape);
    EXPECT_EQ(app.quitRequests, 1);
    pf::Event close = pf::Event(pf::EventType::Close);
    game->HandleEvent(close);
    EXPECT_EQ(app.quitRequests, 2);
}

TEST_F(GameFrame, ASceneSwitchInsideAStepKeepsTheOldRootUntilTheStepEnds) {
    for (int step = 0; step < 3; ++step) {
        my_intrusive_ptr<RootItem> next(new RootItem());
        {
            my_intrusive_ptr<SwitchingRoot> first(new SwitchingRoot());
            first->next = next;
            SetRootItem(first.get());
        }  // only the global holds it now
        pf::Event motion(pf::EventType::MouseMotion, 0, 0, 5, 5);
        if (step == 0) game->Cycle();
        if (step == 1) game->HandleEvent(motion);
        if (step == 2) game->Draw(app.display);
        EXPECT_EQ(GetRootItem(), next.get());
        SetRootItem(nullptr);
    }
}
