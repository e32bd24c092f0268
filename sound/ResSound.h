// The abstract sound resource: a resource that becomes a playable sound on first use.
#pragma once

#include "content/ResID.h"
#include "sound/SoundSystem.h"

class ResSound : public Res {
public:
    // The sound, made on first use; null when it cannot be made (tried again next time).
    virtual Sound* GetSound() = 0;
};
