#include "sound/ResSoundNew.h"

#include "content/Resources.h"
#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "sound/SoundPlayer.h"

ResSoundNew::~ResSoundNew() = default;

bool ResSoundNew::Init(pf::FileSystem* fileSystem, SoundSystem* soundSystem, const std::wstring& path, int) {
    fileSystem_ = fileSystem;
    soundSystem_ = soundSystem;
    path_ = path;
    return true;
}

Sound* ResSoundNew::GetSound() {
    if (sound_) return sound_.get();
    if (!soundSystem_ || !fileSystem_ || undecodable_) return nullptr;
    pf::FileBuffer buffer;
    if (!fileSystem_->ReadResourceFile(buffer, path_)) return nullptr;
    const size_t length = pf::ContentSize(buffer);
    if (length >= 1 && length <= 0x7fffffff) {
        sound_.reset(soundSystem_->CreateSound(buffer.data(), static_cast<int>(length)));
        // A file that is there but does not decode stays so: reading and decoding it on
        // every play would cost a file read each time (and the decoder leaks on some
        // damaged files).
        if (!sound_ && soundSystem_->isAvailable()) {
            undecodable_ = true;
            pf::DebugStream() << L"Sound '" << GetId() << L"': cannot decode " << path_;
        }
    }
    return sound_.get();
}

void ResSoundNew::InstallResourceListMaker() {
    Resources::SetSoundMaker([](const std::wstring& id, pf::FileSystem* fs, const std::wstring& path) -> Res* {
        SoundPlayer* player = SoundPlayer::Instance();
        if (!player) return nullptr;
        auto* sound = new ResSoundNew();
        sound->SetId(id);
        sound->Init(fs, player->getSoundSystem(), path);
        return sound;
    });
}
