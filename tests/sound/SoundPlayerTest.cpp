// The sound player over the loopback device with a fake clock: fades, the instance list,
// stops by id, shared sounds, and instances and players freed at awkward moments.
#include <memory>

#include "shell/Clock.h"
#include "content/Resources.h"
#include "shell/FileSystem.h"
#include "shell/foundation/TextHelpers.h"
#include "sound/ResSoundNew.h"
#include "sound/SoundPlayer.h"
#include "sound/SoundTestSupport.h"

namespace {

using soundtest::kMixRate;
using soundtest::LoopbackSound;

int g_now = 0;
int FakeNow() { return g_now; }

class FakeSoundRes : public ResSound {
public:
    FakeSoundRes(const std::wstring& id, Sound* sound) : sound_(sound) { SetId(id); }
    Sound* GetSound() override { return sound_; }
    void LoadDeferred(pf::FileSystem*, pf::Display*, pf::ImageLoader*) override {}

private:
    Sound* sound_;
};

class SoundPlayerTest : public LoopbackSound {
protected:
    void SetUp() override {
        LoopbackSound::SetUp();
        g_now = 1000;
        pf::SetNowMsSource(&FakeNow);
        player = std::make_unique<SoundPlayer>(&system);
    }
    void TearDown() override {
        player.reset();
        sounds.clear();
        pf::SetNowMsSource(nullptr);
        LoopbackSound::TearDown();
    }
    // A resource over a sound made by sox (kept for the test's life).
    my_intrusive_ptr<ResSound> Res(const std::wstring& id, double seconds) {
        sounds.emplace_back(Create(MakeOgg(seconds, 8000, 1)));
        return my_intrusive_ptr<ResSound>(new FakeSoundRes(id, sounds.back().get()));
    }
    // Advances the fake clock to t ms after the first play and services the player.
    int At(int t) {
        g_now = 1000 + t;
        return player->update();
    }

    std::vector<std::unique_ptr<Sound>> sounds;
    std::unique_ptr<SoundPlayer> player;
};

TEST_F(SoundPlayerTest, FadeOutAtTheEndOfANonLoopingSound) {
    auto res = Res(L"ten", 10.0);
    my_intrusive_ptr<SoundInstance> instance(new SoundInstance());
    player->play(instance.get(), res.get(), false, 0, 2000, 1.0f, false);
    ASSERT_TRUE(instance->isPlaying());
    Channel* channel = instance->GetChannel();
    At(7999);
    EXPECT_EQ(instance->GetState(), SoundInstance::Playing);
    At(8000);
    EXPECT_EQ(instance->GetState(), SoundInstance::FadingOut);
    At(9000);
    EXPECT_FLOAT_EQ(channel->GetVolume(), 0.5f);
    EXPECT_EQ(At(10000), 1) << "f = 1 is not yet past the end";
    EXPECT_EQ(At(10001), 0);
    EXPECT_FALSE(instance->isPlaying());
    EXPECT_EQ(system.GetFreeChannelCount(), SoundSystemOAL::kChannelCount);
}

TEST_F(SoundPlayerTest, WithoutAFadeTheSoundPlaysToItsEnd) {
    auto res = Res(L"short", 0.3);
    my_intrusive_ptr<SoundInstance> instance(new SoundInstance());
    player->play(instance.get(), res.get(), false, 0, 0, 1.0f, false);
    At(5000);
    EXPECT_EQ(instance->GetState(), SoundInstance::Playing);
    EXPECT_TRUE(instance->isPlaying());
    Render(kMixRate / 2);
    system.Update();
    EXPECT_FALSE(instance->isPlaying());
    EXPECT_EQ(player->getSoundInstancesCount(), 0);
}

TEST_F(SoundPlayerTest, FadeInRisesToTheInstanceVolume) {
    auto res = Res(L"in", 2.0);
    my_intrusive_ptr<SoundInstance> instance(new SoundInstance());
    player->play(instance.get(), res.get(), true, 500, 0, 0.8f, false);
    EXPECT_FLOAT_EQ(instance->GetChannel()->GetVolume(), 0.0f);
    EXPECT_EQ(instance->GetState(), SoundInstance::FadingIn);
    At(250);
    EXPECT_FLOAT_EQ(instance->GetChannel()->GetVolume(), 0.4f);
    At(600);
    EXPECT_FLOAT_EQ(instance->GetChannel()->GetVolume(), 0.8f);
    EXPECT_EQ(instance->GetState(), SoundInstance::Playing);
    EXPECT_FLOAT_EQ(instance->getVolume(), 0.8f);
}

TEST_F(SoundPlayerTest, FadeOutOfALoopAndOfNoLength) {
    auto res = Res(L"loop", 1.0);
    my_intrusive_ptr<SoundInstance> a(new SoundInstance()), b(new SoundInstance());
    player->play(a.get(), res.get(), true, 0, 0, 1.0f, false);
    player->play(b.get(), res.get(), true, 0, 0, 1.0f, false);
    At(3000);
    a->fadeOut(1000);
    b->fadeOut(0);
    EXPECT_EQ(At(3000), 1) << "a fade of no length ends at the next update";
    EXPECT_FALSE(b->isPlaying());
    At(3500);
    EXPECT_FLOAT_EQ(a->GetChannel()->GetVolume(), 0.5f);
    At(4000);
    EXPECT_TRUE(a->isPlaying());
    EXPECT_EQ(At(4001), 0);
}

TEST_F(SoundPlayerTest, StopAllByIdStopsEveryInstanceOfThatIdOnly) {
    auto click = Res(L"click", 1.0), hum = Res(L"hum", 1.0);
    std::vector<my_intrusive_ptr<SoundInstance>> all;
    for (ResSound* res : {click.get(), hum.get(), click.get()}) {
        all.emplace_back(new SoundInstance());
        player->play(all.back().get(), res, true, 0, 0, 1.0f, false);
    }
    player->stopAllByID(L"click");
    EXPECT_FALSE(all[0]->isPlaying());
    EXPECT_TRUE(all[1]->isPlaying());
    EXPECT_FALSE(all[2]->isPlaying());
    ASSERT_EQ(player->getSoundInstancesCount(), 1);
    EXPECT_EQ(player->getSoundInstanceByIndex(0), all[1].get());
    EXPECT_EQ(player->getSoundInstanceByIndex(1), nullptr);
    EXPECT_EQ(player->getSoundInstanceByIndex(-1), nullptr);
    player->stopAll();
    EXPECT_EQ(player->getSoundInstancesCount(), 0);
}

TEST_F(SoundPlayerTest, NoFreeChannelNoResourceNoSoundLeaveTheInstanceUnplayed) {
    auto res = Res(L"r", 1.0);
    std::vector<my_intrusive_ptr<SoundInstance>> all;
    for (int i = 0; i < SoundSystemOAL::kChannelCount; ++i) {
        all.emplace_back(new SoundInstance());
        player->play(all.back().get(), res.get(), true, 0, 0, 1.0f, false);
    }
    my_intrusive_ptr<SoundInstance> extra(new SoundInstance());
    EXPECT_EQ(player->play(extra.get(), res.get(), false, 0, 0, 1.0f, false), extra.get());
    EXPECT_FALSE(extra->isPlaying());
    player->stopAll();
    my_intrusive_ptr<ResSound> silent(new FakeSoundRes(L"none", nullptr));
    player->play(extra.get(), silent.get(), false, 0, 0, 1.0f, false);
    player->play(extra.get(), nullptr, false, 0, 0, 1.0f, false);
    EXPECT_FALSE(extra->isPlaying());
    SoundPlayer off(nullptr);
    off.play(extra.get(), res.get(), false, 0, 0, 1.0f, false);
    EXPECT_FALSE(extra->isPlaying());
}

TEST_F(SoundPlayerTest, InstancesAndPlayersFreedAtAwkwardMoments) {
    auto res = Res(L"r", 1.0);
    // An instance only the player holds, stopped through its own stop().
    SoundInstance* unheld = new SoundInstance();
    player->play(unheld, res.get(), true, 0, 0, 1.0f, false);
    EXPECT_EQ(player->getSoundInstancesCount(), 1);
    unheld->stop();  // unlisting frees it; stop must not touch it afterwards (ASan)
    EXPECT_EQ(player->getSoundInstancesCount(), 0);

    // Playing an instance that already plays ends its first play.
    my_intrusive_ptr<SoundInstance> twice(new SoundInstance());
    player->play(twice.get(), res.get(), true, 0, 0, 1.0f, false);
    Channel* first = twice->GetChannel();
    player->play(twice.get(), res.get(), true, 0, 0, 1.0f, false);
    EXPECT_EQ(player->getSoundInstancesCount(), 1);
    EXPECT_EQ(system.GetFreeChannelCount(), SoundSystemOAL::kChannelCount - 1);
    EXPECT_TRUE(first == twice->GetChannel() || static_cast<ChannelOAL*>(first)->IsFree());

    // A player made and dropped while its instances play stops them.
    {
        SoundPlayer scripted(&system);
        my_intrusive_ptr<SoundInstance> kept(new SoundInstance());
        scripted.play(kept.get(), res.get(), true, 0, 0, 1.0f, false);
        scripted.play(new SoundInstance(), res.get(), true, 0, 0, 1.0f, false);
        EXPECT_EQ(system.GetFreeChannelCount(), SoundSystemOAL::kChannelCount - 3);
    }
    EXPECT_EQ(system.GetFreeChannelCount(), SoundSystemOAL::kChannelCount - 1);
    system.Update();
}

TEST_F(SoundPlayerTest, AnInstanceKeptAfterItsPlayerAndItsSoundAreGone) {
    auto res = Res(L"r", 1.0);
    my_intrusive_ptr<SoundInstance> kept(new SoundInstance());
    player->play(kept.get(), res.get(), true, 0, 0, 1.0f, false);
    EXPECT_EQ(kept->getLength(), 1000);
    player.reset();
    EXPECT_FALSE(kept->isPlaying());
    res.reset();
    sounds.clear();
    // A script may still ask: the length it played, and nothing else happens (ASan).
    EXPECT_EQ(kept->getLength(), 1000);
    kept->fadeOut(100);
    kept->setVolume(0.5f);
    kept->stop();
    EXPECT_FALSE(kept->isPlaying());
}

TEST_F(SoundPlayerTest, AFadeOutLongerThanAnyClockEndsWithTheSound) {
    auto res = Res(L"r", 1.0);
    my_intrusive_ptr<SoundInstance> instance(new SoundInstance());
    player->play(instance.get(), res.get(), false, 0, 0xffffffffu, 1.0f, false);
    player->pauseAll();  // the player's clock runs on past the paused sound's end
    At(500);
    EXPECT_EQ(instance->GetState(), SoundInstance::FadingOut);
    EXPECT_TRUE(instance->isPlaying());
    EXPECT_EQ(At(2000), 0);  // no overflow (UBSan): the fade ended with the sound
    EXPECT_FALSE(instance->isPlaying());
}

TEST_F(SoundPlayerTest, TheSoundSystemClosedWhileInstancesPlay) {
    auto whole = Res(L"whole", 1.0), streamed = Res(L"streamed", 16.5);
    my_intrusive_ptr<SoundInstance> a(new SoundInstance()), b(new SoundInstance());
    player->play(a.get(), whole.get(), true, 0, 0, 1.0f, false);
    player->play(b.get(), streamed.get(), false, 500, 0, 1.0f, false);
    system.Close();
    EXPECT_FALSE(a->isPlaying());
    EXPECT_FALSE(b->isPlaying());
    EXPECT_EQ(At(1000), 0);
    player->play(a.get(), whole.get(), false, 0, 0, 1.0f, false);
    EXPECT_FALSE(a->isPlaying());
    player->pauseAll();
    player->stopAll();
    sounds.clear();  // sounds outliving the system's context
}

TEST_F(SoundPlayerTest, SharedSoundsPlayFromAResourceListByIdAtTheSharedVolume) {
    // A resource list file with two sound entries, one of them missing on disk.
    dir.Write("res/sounds/click.ogg", MakeOgg(0.2, 8000, 1));
    dir.Write("res/ui.xml",
              "<resources><set path=\"sounds\"/><sound id=\"click\" file=\"click.ogg\"/>"
              "<sound id=\"gone\" file=\"gone.ogg\"/></resources>");
    pf::FileSystemWin32 fs;
    fs.SetResourcePath(pf::FromUtf8((dir.Path() / "res").string() + "/"));
    SoundPlayer::SetInstance(player.get());
    ResSoundNew::InstallResourceListMaker();
    ResourceServices services;
    services.fs = &fs;
    auto list = std::make_unique<Resources>(services);
    ASSERT_TRUE(list->load(L"ui.xml", nullptr));
    auto* click = dynamic_cast<ResSoundNew*>(list->getSound(L"click"));
    ASSERT_NE(click, nullptr);
    EXPECT_EQ(click->GetId(), L"click");
    EXPECT_EQ(click->GetPath(), L"sounds/click.ogg");

    player->playSharedSound(L"click");  // no shared list yet: nothing
    EXPECT_EQ(player->getSoundInstancesCount(), 0);
    player->setSharedSoundResources(list.get());
    player->setSharedResourcesVolume(0.3f);
    player->playSharedSound(L"missing");
    player->playSharedSound(L"gone");  // a file that is not there: silently nothing
    EXPECT_EQ(player->getSoundInstancesCount(), 0);
    player->playSharedSound(L"click");
    ASSERT_EQ(player->getSoundInstancesCount(), 1);
    EXPECT_FLOAT_EQ(player->getSoundInstanceByIndex(0)->GetChannel()->GetVolume(), 0.3f);
    EXPECT_EQ(player->getSoundInstanceByIndex(0)->GetParams().name, L"click");
    Render(kMixRate / 2);
    system.Update();
    EXPECT_EQ(player->getSoundInstancesCount(), 0) << "a played-out shared sound is unlisted and freed";

    // A list dropped while its sound plays stops that sound first.
    player->playSharedSound(L"click");
    ASSERT_EQ(player->getSoundInstancesCount(), 1);
    player->setSharedSoundResources(nullptr);
    list.reset();
    EXPECT_EQ(player->getSoundInstancesCount(), 0);
    EXPECT_EQ(system.GetFreeChannelCount(), SoundSystemOAL::kChannelCount);
    Resources::SetSoundMaker(nullptr);
    SoundPlayer::SetInstance(nullptr);
}

TEST_F(SoundPlayerTest, ASoundResourceMakesItsSoundOnceAndRetriesAFailure) {
    pf::FileSystemWin32 fs;
    fs.SetResourcePath(pf::FromUtf8(dir.Path().string() + "/"));
    my_intrusive_ptr<ResSoundNew> res(new ResSoundNew());
    EXPECT_TRUE(res->Init(&fs, &system, L"later.ogg"));
    EXPECT_EQ(res->GetSound(), nullptr);  // missing: tried again next time
    dir.Write("empty.ogg", "");
    my_intrusive_ptr<ResSoundNew> empty(new ResSoundNew());
    empty->Init(&fs, &system, L"empty.ogg");
    EXPECT_EQ(empty->GetSound(), nullptr);
    dir.Write("later.ogg", MakeOgg(0.2, 8000, 1));
    Sound* sound = res->GetSound();
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(res->GetSound(), sound);
    my_intrusive_ptr<ResSoundNew> silent(new ResSoundNew());
    silent->Init(&fs, nullptr, L"later.ogg");
    EXPECT_EQ(silent->GetSound(), nullptr) << "no sound system: no sound";
}

TEST_F(SoundPlayerTest, AnUndecodableSoundFileIsReadOnceNotOnEveryPlay) {
    struct CountingFileSystem : pf::FileSystemWin32 {
        int reads = 0;
        bool ReadResourceFile(pf::FileBuffer& buffer, const std::wstring& path) override {
            ++reads;
            return pf::FileSystemWin32::ReadResourceFile(buffer, path);
        }
    } fs;
    fs.SetResourcePath(pf::FromUtf8(dir.Path().string() + "/"));
    dir.Write("broken.ogg", std::string(3000, '\x33'));
    my_intrusive_ptr<ResSoundNew> res(new ResSoundNew());
    res->Init(&fs, &system, L"broken.ogg");
    my_intrusive_ptr<SoundInstance> instance(new SoundInstance());
    for (int i = 0; i < 5; ++i) player->play(instance.get(), res.get(), false, 0, 0, 1.0f, false);
    EXPECT_FALSE(instance->isPlaying());
    EXPECT_EQ(fs.reads, 1);
}

}  // namespace
