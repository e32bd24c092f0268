#include "sound/SoundPlayer.h"

#include <algorithm>
#include <cstdint>

#include "content/Resources.h"
#include "shell/Clock.h"

namespace {

SoundPlayer* g_player = nullptr;

// A hold that never frees what nothing counted yet (an instance on the stack or just made).
my_intrusive_ptr<SoundInstance> Hold(SoundInstance* instance) {
    return instance && instance->GetRefCount() > 0 ? my_intrusive_ptr<SoundInstance>(instance)
                                                   : my_intrusive_ptr<SoundInstance>();
}

}  // namespace

// ---- SoundInstance --------------------------------------------------------------------

SoundInstance::~SoundInstance() {
    // Never listed while it has a channel, but an instance freed by its last holder while
    // a channel still names it must not be called back.
    if (channel_) {
        Channel* channel = channel_;
        channel_ = nullptr;
        channel->GetParams().callback = nullptr;
        channel->Stop();
    }
}

int SoundInstance::getLength() { return length_; }

void SoundInstance::stop() {
    if (!channel_) return;
    // The channel's done callback unlists this instance, which may free it: clear the
    // field first and hold the instance for the call.
    my_intrusive_ptr<SoundInstance> hold = Hold(this);
    Channel* channel = channel_;
    channel_ = nullptr;
    channel->Stop();
}

void SoundInstance::fadeOut(int ms) {
    state_ = FadingOut;
    fadeOutMs_ = ms;
    // Only a playing instance has a player that is sure to be alive (a player stops its
    // instances when it goes); the fade of one that is not playing has nothing to fade.
    if (channel_ && player_) fadeOutStart_ = player_->GetTime() - startTime_;
}

void SoundInstance::setVolume(float volume) {
    volume_ = volume;
    if (channel_) channel_->SetVolume(volume);
}

bool SoundInstance::Update() {
    if (!channel_ || !player_) return false;
    const int t = player_->GetTime() - startTime_;
    switch (state_) {
        case FadingIn: {
            float f = fadeInMs_ > 0 ? static_cast<float>(t - fadeInStart_) / static_cast<float>(fadeInMs_) : 1.0f;
            if (f >= 1.0f) {
                state_ = Playing;
                f = 1.0f;
            }
            channel_->SetVolume(volume_ * std::max(f, 0.0f));
            return false;
        }
        case FadingOut: {
            // A fade of no length ends at once rather than dividing by zero.
            if (fadeOutMs_ <= 0) return true;
            // A fade longer than the sound starts before it: the difference needs more than an int.
            const float f = static_cast<float>(static_cast<std::int64_t>(t) - fadeOutStart_) /
                            static_cast<float>(fadeOutMs_);
            if (f > 1.0f) return true;
            channel_->SetVolume((1.0f - std::max(f, 0.0f)) * volume_);
            return false;
        }
        default:
            if (!params_.loop && t >= fadeOutStart_ && getLength() != fadeOutStart_) state_ = FadingOut;
            return false;
    }
}

// ---- SoundPlayer ----------------------------------------------------------------------

SoundPlayer::SoundPlayer(SoundSystem* soundSystem) : soundSystem_(soundSystem) {
    time_ = pf::NowMs();
    lastUpdate_ = time_;
}

SoundPlayer::~SoundPlayer() {
    stopAll();
    if (g_player == this) g_player = nullptr;
}

SoundPlayer* SoundPlayer::Instance() { return g_player; }
void SoundPlayer::SetInstance(SoundPlayer* player) { g_player = player; }

SoundInstance* SoundPlayer::play(SoundInstance* instance, ResSound* res, bool loop, unsigned fadeInMs,
                                 unsigned fadeOutMs, float volume, bool paused) {
    if (!instance) return nullptr;
    my_intrusive_ptr<SoundInstance> hold = Hold(instance);
    // An instance that is still playing ends that play first: one instance, one channel.
    instance->stop();
    instance->player_ = this;
    Sound* sound = soundSystem_ && res ? res->GetSound() : nullptr;
    Channel* channel = sound ? soundSystem_->GetFreeChannel() : nullptr;
    if (!channel) return instance;

    PlayParams params;
    params.sound = sound;
    params.loop = loop;
    params.volume = volume;
    params.paused = paused;
    params.name = res->GetId();
    params.callback = &SoundPlayer::ChannelDone;
    params.userData = instance;

    instance->params_ = params;
    instance->length_ = sound->GetLength();
    instance->channel_ = channel;
    instance->startTime_ = time_;
    instance->fadeInStart_ = 0;
    instance->fadeInMs_ = static_cast<int>(std::min<unsigned>(fadeInMs, 0x7fffffff));
    instance->fadeOutMs_ = static_cast<int>(std::min<unsigned>(fadeOutMs, 0x7fffffff));
    instance->fadeOutStart_ = loop ? 0 : sound->GetLength() - instance->fadeOutMs_;
    instance->volume_ = volume;
    instance->state_ = SoundInstance::Playing;
    if (fadeInMs != 0) {
        instance->state_ = SoundInstance::FadingIn;
        params.volume = 0.0f;  // the channel starts silent; the instance keeps the full volume
    }
    instances_.push_back(instance);
    channel->Play(params);
    return instance;
}

void SoundPlayer::playSharedSound(const std::wstring& id) {
    if (!sharedResources_) return;
    auto* res = dynamic_cast<ResSound*>(sharedResources_->getSound(id));
    if (!res) return;
    // Held here until play lists it; an instance that did not play is freed on return.
    my_intrusive_ptr<SoundInstance> instance(new SoundInstance());
    play(instance.get(), res, false, 0, 0, sharedVolume_, false);
}

void SoundPlayer::ChannelDone(void* userData, Channel*, const PlayParams*) {
    auto* instance = static_cast<SoundInstance*>(userData);
    if (!instance || !instance->player_) return;
    instance->channel_ = nullptr;
    // The sound belongs to its resource, which may go while a script keeps the instance.
    instance->params_.sound = nullptr;
    instance->player_->Remove(instance);  // may free the instance
}

void SoundPlayer::Remove(SoundInstance* instance) {
    auto it = std::find_if(instances_.begin(), instances_.end(),
                           [instance](const my_intrusive_ptr<SoundInstance>& p) { return p.get() == instance; });
    if (it == instances_.end()) return;
    my_intrusive_ptr<SoundInstance> last = std::move(*it);
    instances_.erase(it);
}

int SoundPlayer::update() {
    const int now = pf::NowMs();
    time_ += now - lastUpdate_;
    for (size_t i = 0; i < instances_.size();) {
        my_intrusive_ptr<SoundInstance> instance = instances_[i];
        if (instance->channel_ && instance->Update()) {
            instance->stop();  // unlisted by the done callback: look at index i again
        } else {
            ++i;
        }
    }
    lastUpdate_ = now;
    return static_cast<int>(instances_.size());
}

void SoundPlayer::stopAll() {
    while (!instances_.empty()) {
        my_intrusive_ptr<SoundInstance> instance = instances_.back();
        if (instance->channel_) {
            instance->stop();
        }
        // Whatever the callback did, this instance leaves the list.
        Remove(instance.get());
    }
}

void SoundPlayer::stopAllByID(const std::wstring& id) {
    for (;;) {
        auto it = std::find_if(instances_.begin(), instances_.end(), [&id](const my_intrusive_ptr<SoundInstance>& p) {
            return p->channel_ && p->params_.name == id;
        });
        if (it == instances_.end()) return;
        my_intrusive_ptr<SoundInstance> instance = *it;
        instance->stop();
        Remove(instance.get());
    }
}

void SoundPlayer::pauseAll() {
    for (auto& instance : instances_) {
        if (instance->channel_) instance->channel_->Pause(true);
    }
}

void SoundPlayer::resumeAll() {
    for (auto& instance : instances_) {
        if (instance->channel_) instance->channel_->Pause(false);
    }
}

void SoundPlayer::setVolume(float volume) {
    const std::vector<my_intrusive_ptr<SoundInstance>> all = instances_;
    for (auto& instance : all) instance->setVolume(volume);
}

SoundInstance* SoundPlayer::getSoundInstanceByIndex(int index) {
    if (index < 0 || index >= static_cast<int>(instances_.size())) return nullptr;
    return instances_[static_cast<size_t>(index)].get();
}
