// The abstract sound resource: a resource that becomes a playable sound on first use.
#pragma once

#include <string>

#include "scene/RefCounter.h"
#include "sound/SoundSystem.h"

class ResSound : public RefCounter {
public:
    virtual const std::wstring& GetId() const = 0;
    // The sound, made on first use; null when it cannot be made (tried again next time).
    virtual Sound* GetSound() = 0;
};
