// The sound resource of resource lists and scripts: a file path that becomes a Sound the
// first time it is played, on the main thread.
#pragma once

#include <memory>
#include <string>

#include "sound/ResSound.h"

namespace pf {
class FileSystem;
}

class ResSoundNew : public ResSound {
public:
    ResSoundNew() = default;
    // Stops what still plays the sound, then frees it.
    ~ResSoundNew() override;

    // Stores the three; the fourth argument is not used. Always true.
    bool Init(pf::FileSystem* fileSystem, SoundSystem* soundSystem, const std::wstring& path, int unused = 0);
    // A missing or empty file is tried again on the next call; one that does not decode
    // is logged once and not read again.
    Sound* GetSound() override;
    // The sound is made on first use on the main thread: nothing to do on a worker.
    void LoadDeferred(pf::FileSystem*, pf::Display*, pf::ImageLoader*) override {}

    const std::wstring& GetPath() const { return path_; }

    // Resource lists make their sound entries as ResSoundNew over the global sound
    // player's sound system (none while there is no player: such entries are skipped).
    static void InstallResourceListMaker();

private:
    SoundSystem* soundSystem_ = nullptr;
    pf::FileSystem* fileSystem_ = nullptr;
    std::wstring path_;
    std::unique_ptr<Sound> sound_;
    bool undecodable_ = false;  // the file was read and could not be decoded: not tried again
};
