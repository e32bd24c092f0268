#include "game/ModuleGame.h"

#include <boost/python.hpp>

#include "game/TM5Game.h"
#include "scene/Item.h"
#include "script/PythonHost.h"

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

}  // namespace

namespace game {

bool AddGameModule() { return PythonHost::AddBuiltinModule("game", &PyInit_game); }

}  // namespace game

BOOST_PYTHON_MODULE(game) { RegisterApp(); }
