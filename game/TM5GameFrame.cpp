// One frame of the game: the scene's cycle with the script hook and the deferred detaches,
// the sound service, drawing, and the events.
#include <boost/python.hpp>

#include <algorithm>
#include <cstdio>

#include "game/TM5Game.h"
#include "scene/ItemLeakDetector.h"
#include "scene/RootItem.h"
#include "script/ScriptError.h"
#include "shell/Application.h"
#include "shell/Display.h"
#include "shell/Event.h"
#include "shell/foundation/KeyTables.h"
#include "shell/foundation/Log.h"
#include "sound/SoundPlayer.h"
#include "sound/SoundSystemOAL.h"

namespace bp = boost::python;

void TM5Game::DeleteAfterCycle(Item* item) {
    if (!item) return;
    const bool listed = std::any_of(deleteAfterCycle_.begin(), deleteAfterCycle_.end(),
                                    [item](const my_intrusive_ptr<Item>& entry) { return entry.get() == item; });
    if (!listed) deleteAfterCycle_.emplace_back(item);
}

void TM5Game::DetachDeletedItems() {
    while (!deleteAfterCycle_.empty()) {
        // Taken off the list first: the removal may call out and queue more.
        my_intrusive_ptr<Item> item = std::move(deleteAfterCycle_.back());
        deleteAfterCycle_.pop_back();
        if (Item* parent = item->GetParent()) {
            my_intrusive_ptr<Item> holdParent = KeepAlive(parent);
            parent->RemoveItem(item.get());
        }
    }
}

void TM5Game::NoteMissingRoot() {
    if (missingRootLogged_) return;
    missingRootLogged_ = true;
    pf::DebugStream() << "TM5Game: no root item (the start-up script installed none): the scene is not run "
                         "or drawn; Close or Escape quits";
}

void TM5Game::Cycle() {
    // Held for the whole step: a script may install another root meanwhile.
    my_intrusive_ptr<RootItem> root = CurrentRootItem;
    try {
        if (root) {
            root->Cycle();
        } else {
            NoteMissingRoot();
        }
        host_.PostCycle();
        DetachDeletedItems();
    } catch (const bp::error_already_set&) {
        PrintScriptError();
    }

    SoundSystemOAL& sound = SoundSystemOAL::Global();
    sound.Update();
    char line[256];
    std::snprintf(line, sizeof line, "free channels: %d\n", sound.GetFreeChannelCount());
    app_->showDebugText(line);
    std::snprintf(line, sizeof line, "created items: %d\n", ItemLeakDetector::Count());
    app_->showDebugText(line);
    if (SoundPlayer* player = SoundPlayer::Instance()) player->update();
}

void TM5Game::Draw(pf::Display& display) {
    if (!display.BeginFrame(nullptr)) return;
    my_intrusive_ptr<RootItem> root = CurrentRootItem;
    if (root) {
        try {
            root->Render(display);
        } catch (const bp::error_already_set&) {
            PrintScriptError();
        }
    } else {
        // The frame stays as the display cleared it.
        NoteMissingRoot();
    }
    display.EndFrame();
}

void TM5Game::HandleEvent(pf::Event& event) {
    if (event.GetType() == pf::EventType::Active &&
        event.GetInt(pf::EventProperty::ACTIVE_STATE) == pf::ActiveState::InputFocus) {
        if (SoundPlayer* player = SoundPlayer::Instance()) {
            if (event.GetInt(pf::EventProperty::ACTIVE_GAIN) == 1) {
                player->resumeAll();
            } else if (event.GetInt(pf::EventProperty::ACTIVE_GAIN) == 0) {
                player->pauseAll();
            }
        }
    }
    my_intrusive_ptr<RootItem> root = CurrentRootItem;
    if (!root) {
        HandleEventWithoutRoot(event);
        return;
    }
    try {
        root->ProcessEvent(event);
    } catch (const bp::error_already_set&) {
        PrintScriptError();
    }
}

void TM5Game::HandleEventWithoutRoot(const pf::Event& event) {
    NoteMissingRoot();
    const bool escape = event.GetType() == pf::EventType::KeyDown &&
                        event.GetInt(pf::EventProperty::KEY_SYM) == pf::KeyType::Esc;
    if (event.GetType() == pf::EventType::Close || escape) {
        pf::DebugStream() << "TM5Game: " << (escape ? "Escape" : "Close") << " without a scene: quitting";
        app_->QuitAfterCycle();
    }
}
