// The loading screen's actors and their modifiers.
#include "game/LoadingScreen.h"

#include "content/Resources.h"
#include "game/TM5Game.h"
#include "scene/Actor.h"
#include "scene/Cyclers.h"
#include "scene/RootItem.h"
#include "scene/TimeController.h"
#include "scene/Tweens.h"
#include "shell/foundation/Log.h"

namespace {

// The actor shows the list's animation, its origin at its centre. An animation missing
// from a list that loaded is logged (a list that did not load was); the screen is drawn
// without it.
void ShowLoadingImage(Actor& actor, Resources& resources, const wchar_t* id) {
    ResAnim* anim = resources.getAnim(id);
    if (!anim && resources.GetCount() > 0)
        pf::DebugStream() << "loading screen: no image '" << id << "' in " << TM5Game::kLoadingScreen;
    actor.SetResAnim(anim);
    actor.setOriginToCenter();
}

// An endless forward controller of the given period, no time curve.
my_intrusive_ptr<TimeController> Endless(int periodMs) {
    my_intrusive_ptr<TimeController> controller(new TimeController());
    controller->Init(periodMs, TimeController::Forward, -1, nullptr);
    return controller;
}

// The horses turn once around every four seconds; the "loading" text cycles from cel 10
// to the animation's last once a second.
void AddLoadingModifiers(Actor& horses, Actor& loadingText) {
    my_intrusive_ptr<Rotator2> turn(new Rotator2());
    horses.AddModifier(turn->Init(6.283f), Endless(4000).get());
    my_intrusive_ptr<Cycler2> cycle(new Cycler2());
    cycle->SetSrc(10);
    loadingText.AddModifier(cycle.get(), Endless(1000).get());
}

}  // namespace

namespace game {

void BuildLoadingScreen(RootItem& root, Resources& resources) {
    const pf::Point centre(root.GetWidth() / 2, root.GetHeight() / 2);

    my_intrusive_ptr<Actor> background(new Actor());
    ShowLoadingImage(*background, resources, L"bg");
    background->SetPosition(centre);
    root.AddItem(background.get());

    my_intrusive_ptr<Actor> frame(new Actor());
    ShowLoadingImage(*frame, resources, L"pell_crop");
    frame->SetPosition(centre + pf::Point(2, 8));
    root.AddItem(frame.get());

    // These two join the screen first and are then dressed and placed.
    my_intrusive_ptr<Actor> horses(new Actor());
    root.AddItem(horses.get());
    my_intrusive_ptr<Actor> loadingText(new Actor());
    root.AddItem(loadingText.get());
    ShowLoadingImage(*horses, resources, L"horses");
    ShowLoadingImage(*loadingText, resources, L"txt_loading");
    AddLoadingModifiers(*horses, *loadingText);
    horses->SetPosition(centre + pf::Point(0, 8));
    loadingText->SetPosition(centre + pf::Point(0, 150));
}

}  // namespace game
