// What the interface widgets ask of the rest of the engine: sounds by id, the hover
// refresh after a look change, the file system configuration is read from, and the
// stand-in modifiers for fades and the software cursor.
#pragma once

#include <string>

#include "scene/Modifier.h"
#include "shell/foundation/ValueTypes.h"

namespace pf {
class Display;
class FileSystem;
}  // namespace pf

// Plays a shared sound by id on the global sound player; an empty id, or no player,
// plays nothing.
void PlayWidgetSound(const std::wstring& id);

// On the application's main thread: queues a mouse motion at the current mouse position,
// so what lies under the mouse is looked at again on the next event pass. Elsewhere
// (a loading thread building widgets) nothing is queued.
void RefreshHoverAtMouse();

// The file system widgets read configuration through: the resource manager's, else the
// application's. Tests may install their own (null restores the default).
pf::FileSystem* GetWidgetFileSystem();
void SetWidgetFileSystem(pf::FileSystem* fs);

// The application's display (the one the frame is drawn on).
pf::Display* GetWidgetDisplay();
