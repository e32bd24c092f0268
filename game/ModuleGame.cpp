#include "game/ModuleGame.h"

#include <boost/python.hpp>

#include "game/BoardSpacesActor.h"
#include "game/FogTurbulenceActor.h"
#include "game/ImageEffects.h"
#include "game/SecretEntranceActor.h"
#include "game/TM5Game.h"
#include "scene/Item.h"
#include "script/PythonHost.h"
#include "script/ScriptPeer.h"
#include "shell/Application.h"

namespace bp = boost::python;

namespace {

// The game's own classes join the module as they are built, after `app`.
void RegisterApp() {
    bp::class_<TM5Game, boost::noncopyable>("app", bp::no_init)
        .def("instance", &TM5Game::Instance, bp::return_value_policy<bp::reference_existing_object>())
        .staticmethod("instance")
        .def("DeleteAfterCycle", &TM5Game::DeleteAfterCycle)
        .def("IsDebug", +[](const TM5Game&) { return false; });
}

pf::Display* AppDisplay() { return pf::Application2::GetInstance().GetDisplay(); }

// The game's actors; scripts construct and subclass them, and they live as long as their
// script objects.
void RegisterGameActors() {
    bp::class_<BoardSpacesActor, classWrap<BoardSpacesActor>, bp::bases<Actor>, boost::noncopyable>(
        "BoardSpacesActor", bp::init<>())
        .def("SetBackAnim", &BoardSpacesActor::SetBackAnim)
        .def("SetPlatesAnim", &BoardSpacesActor::SetPlatesAnim)
        .def("SetSpaceOpacity", &BoardSpacesActor::SetSpaceOpacity)
        .def("SetCel", static_cast<void (BoardSpacesActor::*)(unsigned, unsigned, uint8_t)>(&BoardSpacesActor::SetCel))
        .def("SetPlate", &BoardSpacesActor::SetPlate);
    bp::class_<SecretEntranceActor, classWrap<SecretEntranceActor>, bp::bases<Actor>, boost::noncopyable>(
        "SecretEntranceActor", bp::init<>())
        .def("Init", +[](SecretEntranceActor& a, ResAnim* image, unsigned rows, unsigned columns) {
            a.Init(AppDisplay(), image, rows, columns);
        })
        .def("SetCellStatus", &SecretEntranceActor::SetCellStatus)
        .def("SetShift", &SecretEntranceActor::SetShift)
        .def("Cut", &SecretEntranceActor::Cut);
    bp::class_<FogTurbulenceActor, classWrap<FogTurbulenceActor>, bp::bases<Actor>, boost::noncopyable>(
        "FogTurbulenceActor", bp::init<>())
        .def("Init", &FogTurbulenceActor::Init)
        .def("AddCel", &FogTurbulenceActor::AddCel);
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

void RegisterImageEffects() {
    bp::def("createOuterGlow", +[](Actor* actor, int glowRadius, int blurRadius, const pf::Color& colour, int downscale) {
        game::CreateOuterGlow(AppDisplay(), actor, glowRadius, blurRadius, colour, downscale);
    });
    bp::def("createSepia", &CreateSepiaFromScript);
    bp::def("createBlur", +[](Actor* actor, int radius, int downscale) {
        game::CreateBlur(AppDisplay(), actor, radius, downscale);
    });
    bp::def("desaturate", +[](Actor* actor) { game::Desaturate(AppDisplay(), actor); });
}

}  // namespace

namespace game {

bool AddGameModule() { return PythonHost::AddBuiltinModule("game", &PyInit_game); }

}  // namespace game

BOOST_PYTHON_MODULE(game) {
    RegisterApp();
    RegisterGameActors();
    RegisterImageEffects();
}
