// The sound system on OpenAL Soft's loopback device: what is decoded whole and what
// streams, volumes measured in the rendered output, channels, pause, the done callback,
// underruns, and sound off without a device.
#include <algorithm>
#include <cmath>
#include <memory>

#include "sound/SoundTestSupport.h"

namespace {

using soundtest::kMixRate;
using soundtest::LoopbackSound;
using soundtest::Rms;

struct DoneLog {
    int calls = 0;
    Channel* channel = nullptr;
    static void Record(void* userData, Channel* channel, const PlayParams*) {
        auto* log = static_cast<DoneLog*>(userData);
        ++log->calls;
        log->channel = channel;
    }
};

PlayParams Params(Sound* sound, DoneLog* done = nullptr, bool loop = false) {
    PlayParams params;
    params.sound = sound;
    params.loop = loop;
    if (done) {
        params.callback = &DoneLog::Record;
        params.userData = done;
    }
    return params;
}

using SoundSystemTest = LoopbackSound;

TEST_F(SoundSystemTest, ShorterThanSixteenSecondsIsDecodedWholeLongerStreams) {
    std::unique_ptr<Sound> under(Create(MakeOgg(15.9, 8000, 1)));
    std::unique_ptr<Sound> at(Create(MakeOgg(16.0, 8000, 1)));
    ASSERT_TRUE(under && at);
    EXPECT_NE(static_cast<SoundOAL*>(under.get())->Buffer(), 0u);
    EXPECT_EQ(static_cast<SoundOAL*>(at.get())->Buffer(), 0u);
    EXPECT_EQ(under->GetLength(), 15900);
    EXPECT_EQ(at->GetLength(), 16000);
    EXPECT_EQ(static_cast<SoundOAL*>(at.get())->Format(), AL_FORMAT_MONO16);
}

TEST_F(SoundSystemTest, RefusesWhatItCannotPlay) {
    const std::string good = MakeOgg(0.5, 22050, 2);
    ASSERT_FALSE(good.empty());
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"junk", std::string(5000, '\x5a')},
        {"header only", good.substr(0, 60)},
        {"six channels", MakeOgg(0.2, 8000, 6)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Create(c.bytes), nullptr) << c.name;
    }
    std::unique_ptr<Sound> stereo(Create(good));
    ASSERT_NE(stereo, nullptr);
    EXPECT_EQ(static_cast<SoundOAL*>(stereo.get())->Format(), AL_FORMAT_STEREO16);
}

TEST_F(SoundSystemTest, VolumeAndMasterVolumeScaleTheOutput) {
    std::unique_ptr<Sound> sound(Create(MakeOgg(1.0, kMixRate, 2)));
    ASSERT_TRUE(sound);
    auto measure = [&](float volume, float master) {
        system.SetVolume(master);
        Channel* channel = system.GetFreeChannel();
        PlayParams params = Params(sound.get());
        params.volume = volume;
        channel->Play(params);
        const double rms = Rms(Render(kMixRate / 2), kMixRate / 5);
        channel->Stop();
        return rms;
    };
    const double full = measure(1.0f, 1.0f);
    ASSERT_GT(full, 0.1);
    EXPECT_NEAR(measure(0.5f, 1.0f) / full, 0.5, 0.01);
    EXPECT_NEAR(measure(1.0f, 0.25f) / full, 0.25, 0.01);
    EXPECT_NEAR(measure(0.5f, 0.5f) / full, 0.25, 0.01);
}

TEST_F(SoundSystemTest, SeventeenthPlayFindsNoFreeChannel) {
    std::unique_ptr<Sound> sound(Create(MakeOgg(1.0, 22050, 1)));
    ASSERT_TRUE(sound);
    for (int i = 0; i < SoundSystemOAL::kChannelCount; ++i) {
        Channel* channel = system.GetFreeChannel();
        ASSERT_NE(channel, nullptr) << i;
        channel->Play(Params(sound.get()));
    }
    EXPECT_EQ(system.GetFreeChannel(), nullptr);
    EXPECT_EQ(system.GetFreeChannelCount(), 0);
    system.Channels()[3]->Stop();
    EXPECT_EQ(system.GetFreeChannel(), system.Channels()[3].get());
}

TEST_F(SoundSystemTest, StartedPausedBeginsOnTheFirstResume) {
    std::unique_ptr<Sound> sound(Create(MakeOgg(1.0, kMixRate, 1)));
    ASSERT_TRUE(sound);
    Channel* channel = system.GetFreeChannel();
    PlayParams params = Params(sound.get());
    params.paused = true;
    channel->Play(params);
    EXPECT_EQ(channel->GetState(), 2);
    EXPECT_EQ(Rms(Render(4410)), 0.0);
    system.ResumeAll();
    EXPECT_EQ(channel->GetState(), 0);
    EXPECT_GT(Rms(Render(4410)), 0.1);
    system.PauseAll();
    EXPECT_EQ(channel->GetState(), 1);
    channel->Stop();
    channel->Pause(false);  // a free channel ignores it
    EXPECT_EQ(channel->GetState(), 2);
}

TEST_F(SoundSystemTest, StartedPausedOnAVoiceThatPlayedBeforeBeginsFromItsStartOnTheResume) {
    // A sweep: every stretch of it differs, so output from anywhere but the start shows.
    struct Case {
        const char* name;
        double seconds;
        int rate;
    } cases[] = {{"whole", 1.0, kMixRate}, {"streamed", 16.5, 8000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Sound> sound(Create(MakeOgg(c.seconds, c.rate, 1, "sine 200-3000")));
        ASSERT_TRUE(sound);
        auto* channel = static_cast<ChannelOAL*>(system.GetFreeChannel());
        ASSERT_EQ(channel->Index(), 0);
        channel->Play(Params(sound.get()));
        const std::vector<float> reference = RenderServiced(kMixRate, kMixRate / 10);
        channel->Stop();

        DoneLog done;
        PlayParams params = Params(sound.get(), &done);
        params.paused = true;
        ASSERT_EQ(system.GetFreeChannel(), channel);
        channel->Play(params);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Rms(Render(kMixRate / 10)), 0.0) << "sounding while paused, service " << i;
            system.Update();
        }
        EXPECT_FALSE(channel->IsFree());
        EXPECT_EQ(done.calls, 0);
        channel->Pause(false);
        EXPECT_EQ(channel->GetState(), 0);
        const std::vector<float> out = RenderServiced(kMixRate, kMixRate / 10);
        ASSERT_GT(Rms(reference), 0.1);
        double worst = 0;
        for (size_t i = 0; i < out.size(); ++i) worst = std::max(worst, double(std::fabs(out[i] - reference[i])));
        EXPECT_LT(worst, 1e-3) << "the resumed play differs from a play started at once";
        channel->Stop();
        EXPECT_EQ(done.calls, 1);
    }
}

TEST_F(SoundSystemTest, AWholeSoundFreesItsChannelWithinOneServiceAfterPlayingOut) {
    std::unique_ptr<Sound> sound(Create(MakeOgg(0.1, kMixRate, 1)));
    ASSERT_TRUE(sound);
    DoneLog done;
    Channel* channel = system.GetFreeChannel();
    channel->Play(Params(sound.get(), &done));
    system.Update();
    EXPECT_EQ(done.calls, 0);
    Render(kMixRate / 5);
    system.Update();
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(done.channel, channel);
    EXPECT_EQ(system.GetFreeChannelCount(), SoundSystemOAL::kChannelCount);
    system.Update();
    channel->Stop();
    EXPECT_EQ(done.calls, 1) << "the callback fires once per play";
}

TEST_F(SoundSystemTest, AStreamPlaysWithoutGapsAndFreesItsChannelAtTheEnd) {
    std::unique_ptr<Sound> sound(Create(MakeOgg(16.5, 8000, 2, "sine 500")));
    ASSERT_TRUE(sound);
    ASSERT_EQ(static_cast<SoundOAL*>(sound.get())->Buffer(), 0u);
    DoneLog done;
    system.GetFreeChannel()->Play(Params(sound.get(), &done));
    const int step = kMixRate / 10;
    const std::vector<float> out = RenderServiced(kMixRate * 16, step);
    for (size_t block = 0; block + 1 < out.size() / (2 * step); ++block) {
        ASSERT_GT(Rms(out, block * 2 * step, (block + 1) * 2 * step), 0.1) << "silence in block " << block;
    }
    EXPECT_EQ(done.calls, 0);
    RenderServiced(kMixRate, step);
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(system.GetFreeChannelCount(), SoundSystemOAL::kChannelCount);
}

TEST_F(SoundSystemTest, AStreamThatRanDryIsRestartedByTheService) {
    std::unique_ptr<Sound> sound(Create(MakeOgg(17.0, 8000, 1)));
    ASSERT_TRUE(sound);
    Channel* channel = system.GetFreeChannel();
    channel->Play(Params(sound.get()));
    Render(kMixRate);  // a second with no service: the three quarter-second buffers run out
    EXPECT_EQ(channel->GetState(), 2);
    system.Update();
    EXPECT_EQ(channel->GetState(), 0);
    EXPECT_GT(Rms(Render(kMixRate / 10)), 0.1);
    EXPECT_FALSE(static_cast<ChannelOAL*>(channel)->IsFree());
}

TEST_F(SoundSystemTest, AStreamThatRanDryAndWasThenPausedWaitsForTheResume) {
    std::unique_ptr<Sound> sound(Create(MakeOgg(17.0, 8000, 1)));
    ASSERT_TRUE(sound);
    DoneLog done;
    Channel* channel = system.GetFreeChannel();
    channel->Play(Params(sound.get(), &done));
    Render(kMixRate);  // no service for a second: it runs dry
    system.PauseAll();
    for (int i = 0; i < 4; ++i) {
        system.Update();
        EXPECT_NE(channel->GetState(), 0) << "playing while paused, service " << i;
        EXPECT_EQ(Rms(Render(kMixRate / 10)), 0.0);
    }
    EXPECT_EQ(done.calls, 0);
    system.ResumeAll();
    system.Update();
    EXPECT_EQ(channel->GetState(), 0);
    EXPECT_GT(Rms(Render(kMixRate / 10)), 0.1);
}

TEST_F(SoundSystemTest, AChannelMovesFromALoopingWholeSoundToAStream) {
    std::unique_ptr<Sound> loop(Create(MakeOgg(0.2, 8000, 1)));
    std::unique_ptr<Sound> stream(Create(MakeOgg(16.5, 8000, 1)));
    ASSERT_TRUE(loop && stream);
    Channel* channel = system.GetFreeChannel();
    channel->Play(Params(loop.get(), nullptr, true));
    RenderServiced(kMixRate, kMixRate / 10);
    EXPECT_EQ(channel->GetState(), 0) << "a looping whole sound never stops by itself";
    channel->Stop();
    channel->Play(Params(stream.get()));
    const std::vector<float> out = RenderServiced(kMixRate * 2, kMixRate / 10);
    EXPECT_GT(Rms(out, out.size() - kMixRate / 5), 0.1);
    EXPECT_EQ(channel->GetState(), 0);
}

TEST_F(SoundSystemTest, PlayingOnABusyChannelEndsTheFirstPlay) {
    std::unique_ptr<Sound> a(Create(MakeOgg(16.5, 8000, 1)));
    std::unique_ptr<Sound> b(Create(MakeOgg(1.0, 8000, 1)));
    ASSERT_TRUE(a && b);
    DoneLog first, second;
    Channel* channel = system.GetFreeChannel();
    channel->Play(Params(a.get(), &first));
    channel->Play(Params(b.get(), &second));
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 0);
    EXPECT_EQ(channel->GetSound(), b.get());
}

TEST_F(SoundSystemTest, DeletingASoundStopsTheChannelsPlayingIt) {
    Sound* whole = Create(MakeOgg(1.0, 8000, 1));
    Sound* stream = Create(MakeOgg(16.5, 8000, 1));
    ASSERT_TRUE(whole && stream);
    DoneLog done;
    system.GetFreeChannel()->Play(Params(whole, &done));
    system.GetFreeChannel()->Play(Params(stream, &done));
    delete whole;
    delete stream;
    EXPECT_EQ(done.calls, 2);
    EXPECT_EQ(system.GetFreeChannelCount(), SoundSystemOAL::kChannelCount);
    RenderServiced(kMixRate / 2, kMixRate / 10);
}

TEST(SoundOff, WithoutADeviceOrContextEverythingIsQuiet) {
    SoundSystemOAL off;
    EXPECT_FALSE(off.Open([] { return static_cast<SoundDevice*>(nullptr); }));
    EXPECT_FALSE(off.isAvailable());
    const char bytes[] = "OggS";
    EXPECT_EQ(off.CreateSound(bytes, 4), nullptr);
    EXPECT_EQ(off.GetFreeChannel(), nullptr);
    EXPECT_EQ(off.GetFreeChannelCount(), 0);
    off.Update();
    off.PauseAll();
    off.ResumeAll();
    off.SetVolume(0.5f);
    EXPECT_EQ(off.GetVolume(), 0.5f);

    // A device whose context cannot be made: still off, and the device is closed later.
    auto openLoopback =
        reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    ASSERT_NE(openLoopback, nullptr);
    const ALCint unsupported[] = {ALC_FORMAT_CHANNELS_SOFT, 0x7fff, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                                  ALC_FREQUENCY, 44100, 0};
    SoundSystemOAL noContext;
    EXPECT_FALSE(noContext.Open([&] { return AsSoundDevice(openLoopback(nullptr)); }, unsupported));
    EXPECT_FALSE(noContext.isAvailable());
    EXPECT_EQ(noContext.GetFreeChannel(), nullptr);
    noContext.Close();
}

}  // namespace
