// The game's shutdown: nothing that belongs to the scripts may outlive the interpreter.
#include "content/ResourceManager.h"
#include "game/TM5Game.h"
#include "scene/ItemLeakDetector.h"
#include "scene/ModifierFactory.h"
#include "scene/RootItem.h"
#include "sound/SoundPlayer.h"
#include "sound/SoundSystemOAL.h"

void TM5Game::SilenceSounds() {
    SoundPlayer* player = SoundPlayer::Instance();
    if (!player) return;
    // Played instances may be script objects, and the shared list is one: no channel may
    // call back into them once the interpreter is gone.
    player->stopAll();
    player->setSharedSoundResources(nullptr);
}

void TM5Game::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    ItemLeakDetector::ReportLeaks();
    SilenceSounds();
    deleteAfterCycle_.clear();
    {
        // Taken out of the global first, so nothing finds a root that is going.
        my_intrusive_ptr<RootItem> root = std::move(CurrentRootItem);
    }
    host_.Finalize();
    SetResourceManager(nullptr);
    resourceManager_.reset();
    SetModifierFactory(nullptr);
    // The sounds are gone with the scripts and the resources: the device closes (left
    // open, the sound library complains at exit).
    SoundSystemOAL::Global().Close();
}
