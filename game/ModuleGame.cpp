#include "game/ModuleGame.h"

#include <boost/python.hpp>

#include "content/ResAnim.h"
#include "widgets/UrlButton.h"
#include "game/BoardSpacesActor.h"
#include "game/DesktopFiles.h"
#include "game/FogTurbulenceActor.h"
#include "game/GameCurves.h"
#include "game/GameModifiers.h"
#include "game/ImageEffects.h"
#include "game/ParticleMgr.h"
#include "game/SecretEntranceActor.h"
#include "game/TM5Game.h"
#include "scene/Item.h"
#include "scene/PathModifier.h"
#include "script/PythonHost.h"
#include "script/ScriptPeer.h"
#include "script/bindings/Bindings.h"
#include "script/bindings/SceneThread.h"
#include "shell/Application.h"
#include "shell/foundation/Log.h"

namespace bp = boost::python;

// The module's initialisation (BOOST_PYTHON_MODULE below), run by the first script import
// of `game`.
extern "C" PyObject* PyInit_game();

namespace {

// The running game, which scripts reach but never make.
void RegisterApp() {
    bp::class_<TM5Game, boost::noncopyable>("app", bp::no_init)
        .def("instance", &TM5Game::Instance, bp::return_value_policy<bp::reference_existing_object>())
        .staticmethod("instance")
        .def("DeleteAfterCycle", ruv3module::OnSceneThread("TM5Game.DeleteAfterCycle", &TM5Game::DeleteAfterCycle))
        .def("IsDebug", +[](const TM5Game&) { return false; });
}

pf::Display* AppDisplay() { return pf::Application2::GetInstance().GetDisplay(); }

template <class T, class Base>
using GameClass = bp::class_<T, classWrap<T>, bp::bases<Base>, boost::noncopyable>;

// Any iterable of items (the engine's Items, a script list); anything else in it raises
// the script's type error before the effect changes.
void InitQuiverFromScript(PirnelsQuiverEffect& q, float amplitude, const bp::object& items, const pf::Point& centre) {
    Item::ItemList list;
    bp::object it = bp::object(bp::handle<>(PyObject_GetIter(items.ptr())));
    while (PyObject* next = PyIter_Next(it.ptr())) {
        bp::object element{bp::handle<>(next)};
        bp::extract<Item*> item(element);
        if (!item.check()) ruv3module::RaiseScriptError(PyExc_TypeError, "PirnelsQuiverEffect.Init: the list holds a non-item");
        if (Item* p = item()) list.emplace_back(p);
    }
    if (PyErr_Occurred()) bp::throw_error_already_set();
    q.Init(amplitude, list, centre);
}

void RegisterBoardSpaces() {
    GameClass<BoardSpacesActor, Actor>("BoardSpacesActor", bp::init<>())
        .def("SetBackAnim", &BoardSpacesActor::SetBackAnim)
        .def("SetPlatesAnim", &BoardSpacesActor::SetPlatesAnim)
        .def("SetSpaceOpacity", &BoardSpacesActor::SetSpaceOpacity)
        .def("SetCel", static_cast<void (BoardSpacesActor::*)(unsigned, unsigned, uint8_t)>(&BoardSpacesActor::SetCel))
        .def("SetPlate", &BoardSpacesActor::SetPlate);
}

void RegisterSecretEntrance() {
    GameClass<SecretEntranceActor, Actor>("SecretEntranceActor", bp::init<>())
        .def("Init", +[](SecretEntranceActor& a, ResAnim* image, unsigned rows, unsigned columns) {
            a.Init(AppDisplay(), image, rows, columns);
        })
        .def("SetCellStatus", &SecretEntranceActor::SetCellStatus)
        .def("SetShift", &SecretEntranceActor::SetShift)
        .def("Cut", &SecretEntranceActor::Cut);
}

// The game's modifiers, curves and actors; scripts construct and subclass them, and they
// live as long as their script objects.
void RegisterGameClasses() {
    GameClass<FallModifier, Modifier>("FallModifier", bp::init<>())
        .def("Init", &FallModifier::Init)
        .def("GetFallSpeed", &FallModifier::GetFallSpeed);
    GameClass<PirnelsQuiverEffect, Modifier>("PirnelsQuiverEffect", bp::init<>()).def("Init", &InitQuiverFromScript);
    GameClass<BoardQuiverEffect, Modifier>("BoardQuiverEffect", bp::init<>()).def("Init", &BoardQuiverEffect::Init);
    GameClass<FallTimeShift, TimeShift>("FallTimeShift", bp::init<>());
    RegisterBoardSpaces();
    RegisterSecretEntrance();
    GameClass<SpaceShimmerModifier, Modifier>("SpaceShimmerModifier", bp::init<>())
        .def("Init", &SpaceShimmerModifier::Init);
    GameClass<FogTurbulenceActor, Actor>("FogTurbulenceActor", bp::init<>())
        .def("Init", &FogTurbulenceActor::Init)
        .def("AddCel", &FogTurbulenceActor::AddCel);
    GameClass<TimeShiftStartSlow, TimeShift>("TimeShiftStartSlow", bp::init<>());
    GameClass<TimeShiftEndSlow, TimeShift>("TimeShiftEndSlow", bp::init<>());
    GameClass<ParticleMgr, Actor>("ParticleActor", bp::init<>())
        .def("init", &ParticleMgr::init)
        .staticmethod("init")
        .def("clear", ruv3module::OnSceneThread("ParticleActor.clear", &ParticleMgr::clear))
        .def("addParticles", ruv3module::OnSceneThread("ParticleActor.addParticles", &ParticleMgr::addParticles))
        .def("removeParticles", ruv3module::OnSceneThread("ParticleActor.removeParticles", &ParticleMgr::removeParticles));
    GameClass<PathModifier, Modifier>("PathModifier", bp::init<>()).def("Init", &PathModifier::Init);
    GameClass<ColorModifier, Modifier>("ColorModifier", bp::init<>()).def(bp::init<pf::Color>());
    GameClass<BrightnessModifier, Modifier>("BrightnessModifier", bp::init<>()).def(bp::init<pf::Color>());
}

// The actor shows the anim's whole surface rather than its first cel. Without an actor or
// an anim nothing changes.
void SetMainSurface(Actor* actor, ResAnim* anim) {
    if (!actor || !anim) {
        pf::DebugStream() << L"SetMainSurface: " << (actor ? L"no anim" : L"no actor") << L" given; nothing changed";
        return;
    }
    actor->SetResAnimRef(anim);
    actor->SetSurface(anim->GetSurface().get());
}

// A tuple of exactly nine numbers is the matrix; any other length means sepia. An item
// that is not a number raises the conversion's script error.
void CreateSepiaFromScript(Actor* actor, int downscale, const bp::tuple& matrix) {
    float m[9];
    const bool given = bp::len(matrix) == 9;
    if (given)
        for (int i = 0; i < 9; ++i) m[i] = bp::extract<float>(matrix[i]);
    game::CreateSepia(AppDisplay(), actor, downscale, given ? m : nullptr);
}

// The vendor's link buttons under the parent, the host link first; a button whose section
// is missing is let go rather than added.
void AddVendorDistributor(Item* parent) {
    if (!parent) {
        pf::DebugStream() << L"AddVendorDistributor: no parent given; no links added";
        return;
    }
    for (bool (UrlButton::*load)() : {&UrlButton::LoadHostLink, &UrlButton::LoadDistLink}) {
        my_intrusive_ptr<UrlButton> button(new UrlButton());
        if (((*button).*load)()) parent->AddItem(button.get());
    }
}

void RegisterFunctions() {
    // Scripts report data faults they found; the game keeps no record of them.
    bp::def("LogDataError", +[](const std::wstring&) {});
    bp::def("createOuterGlow", +[](Actor* actor, int glowRadius, int blurRadius, const pf::Color& colour, int downscale) {
        game::CreateOuterGlow(AppDisplay(), actor, glowRadius, blurRadius, colour, downscale);
    });
    bp::def("createSepia", &CreateSepiaFromScript);
    bp::def("createBlur", +[](Actor* actor, int radius, int downscale) {
        game::CreateBlur(AppDisplay(), actor, radius, downscale);
    });
    bp::def("desaturate", +[](Actor* actor) { game::Desaturate(AppDisplay(), actor); });
    bp::def("SetMainSurface", &SetMainSurface);
    bp::def("AddVendorDistributor", &AddVendorDistributor);
    bp::def("setDesktopWallpaper", +[](const std::wstring& path) {
        pf::FileSystem* fs = pf::Application2::GetInstance().GetFileSystem();
        return fs && game::SetDesktopWallpaper(*fs, path);
    });
    // The third argument is accepted for the scripts' sake and not used.
    bp::def("startExecutableFile", +[](const std::wstring& path, const std::wstring& folder, bool) {
        pf::FileSystem* fs = pf::Application2::GetInstance().GetFileSystem();
        return fs && game::StartExecutableFile(*fs, path, folder);
    });
}

}  // namespace

namespace game {

bool AddGameModule() { return PythonHost::AddBuiltinModule("game", &PyInit_game); }

}  // namespace game

BOOST_PYTHON_MODULE(game) {
    RegisterApp();
    RegisterGameClasses();
    RegisterFunctions();
}
