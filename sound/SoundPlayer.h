// The layer scripts and widgets play sounds through: instances with their own volume and
// fades on the sound system's free channels, and the widgets' shared sounds by id.
#pragma once

#include <string>
#include <vector>

#include "shell/foundation/RefCounter.h"
#include "sound/ResSound.h"
#include "sound/SoundSystem.h"

class Resources;
class SoundPlayer;

// One played sound. Listed by its player while its channel runs; counted, so a script
// may keep it after it ends.
class SoundInstance : public RefCounter {
public:
    enum State { FadingIn = 0, FadingOut = 1, Playing = 2 };

    SoundInstance() = default;
    ~SoundInstance() override;

    // The length of the sound last played (kept: the sound may go before the instance).
    int getLength();
    void stop();
    bool isPlaying() const { return channel_ != nullptr; }
    void fadeOut(int ms);
    float getVolume() const { return volume_; }
    void setVolume(float volume);

    int GetState() const { return state_; }
    Channel* GetChannel() const { return channel_; }
    const PlayParams& GetParams() const { return params_; }

private:
    friend class SoundPlayer;
    // The fade service; answers true when a fade-out has ended.
    bool Update();

    SoundPlayer* player_ = nullptr;
    Channel* channel_ = nullptr;
    PlayParams params_;
    float volume_ = 1.0f;
    int length_ = 0;
    int startTime_ = 0;
    int fadeInStart_ = 0;
    int fadeOutStart_ = 0;
    int fadeInMs_ = 0;
    int fadeOutMs_ = 0;
    int state_ = Playing;
};

class SoundPlayer {
public:
    explicit SoundPlayer(SoundSystem* soundSystem);
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;
    // Stops every instance still playing: their channels must not call back into a
    // player that is gone.
    ~SoundPlayer();

    // The global player: set by the game at start-up (null before).
    static SoundPlayer* Instance();
    static void SetInstance(SoundPlayer* player);

    SoundInstance* play(SoundInstance* instance, ResSound* res, bool loop, unsigned fadeInMs, unsigned fadeOutMs,
                        float volume, bool paused);
    void playSharedSound(const std::wstring& id);
    int update();
    void stopAll();
    void stopAllByID(const std::wstring& id);
    void pauseAll();
    void resumeAll();
    void setVolume(float volume);
    SoundInstance* getSoundInstanceByIndex(int index);
    int getSoundInstancesCount() const { return static_cast<int>(instances_.size()); }
    // The list the widgets' sounds are played from; not owned (its owner keeps it alive
    // while it is set, and clears it before the list goes).
    void setSharedSoundResources(Resources* resources) { sharedResources_ = resources; }
    Resources* getSharedSoundResources() const { return sharedResources_; }
    void setSharedResourcesVolume(float volume) { sharedVolume_ = volume; }
    SoundSystem* getSoundSystem() const { return soundSystem_; }

    int GetTime() const { return time_; }

private:
    static void ChannelDone(void* userData, Channel* channel, const PlayParams* params);
    void Remove(SoundInstance* instance);

    Resources* sharedResources_ = nullptr;
    float sharedVolume_ = 1.0f;
    std::vector<my_intrusive_ptr<SoundInstance>> instances_;
    int time_ = 0;
    int lastUpdate_ = 0;
    SoundSystem* soundSystem_ = nullptr;
};
