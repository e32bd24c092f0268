#include "widgets/WidgetServices.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "content/ResourceManager.h"
#include "scene/Actor.h"
#include "scene/RootItem.h"
#include "shell/Application.h"
#include "shell/EventSystem.h"
#include "sound/SoundPlayer.h"

namespace {
pf::FileSystem* g_widgetFileSystem = nullptr;
}  // namespace

void PlayWidgetSound(const std::wstring& id) {
    if (id.empty()) return;
    if (SoundPlayer* player = SoundPlayer::Instance()) player->playSharedSound(id);
}

void RefreshHoverAtMouse() {
    pf::ApplicationWin32& app = pf::Application2::GetInstance();
    if (std::this_thread::get_id() != app.GetMainThreadId()) return;
    if (pf::EventSystem* events = app.GetEventSystem()) events->PostMotionAtMouse();
}

pf::FileSystem* GetWidgetFileSystem() {
    if (g_widgetFileSystem) return g_widgetFileSystem;
    if (ResourceManager* manager = GetResourceManager())
        if (manager->GetFileSystem()) return manager->GetFileSystem();
    return pf::Application2::GetInstance().GetFileSystem();
}

void SetWidgetFileSystem(pf::FileSystem* fs) { g_widgetFileSystem = fs; }

pf::Display* GetWidgetDisplay() { return pf::Application2::GetInstance().GetDisplay(); }
