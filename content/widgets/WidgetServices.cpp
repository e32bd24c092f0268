#include "content/widgets/WidgetServices.h"

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
std::atomic<int> g_nameCounter{0};
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

std::wstring MakeUniqueWidgetName(const std::wstring& text) {
    return std::to_wstring(++g_nameCounter) + text;
}

// ---------------------------------------------------------------- WidgetAlphaFade

WidgetAlphaFade::WidgetAlphaFade(int dest) : dest_(dest) { SetName(L"Fader"); }

void WidgetAlphaFade::Start() {
    Modifier::Start();
    if (auto* actor = dynamic_cast<Actor*>(GetClient())) start_ = actor->GetAlpha();
}

void WidgetAlphaFade::Action(float /*value*/, float shifted) {
    auto* actor = dynamic_cast<Actor*>(GetClient());
    if (!actor) return;
    actor->SetAlpha(static_cast<int>((dest_ - start_) * shifted + start_));
}

// ---------------------------------------------------------------- WidgetFollowMouse

WidgetFollowMouse::WidgetFollowMouse(const pf::Rect& confines) : confines_(confines) {
    SetName(L"MoveWithCursor");
}

void WidgetFollowMouse::Cycle() {
    Item* client = GetClient();
    if (!client || !client->GetParent()) return;
    pf::Point p = ConvertPointBetweenSpaces(client, pf::GetMousePosition(), CoordRoot, CoordParent);
    // Both ends are inside the confines; an empty confine pins the client to its corner.
    p.x = std::max(confines_.x, std::min(p.x, confines_.x + confines_.width));
    p.y = std::max(confines_.y, std::min(p.y, confines_.y + confines_.height));
    client->SetPosition(p);
}
