// The script module `game`: the game's own classes and services beside the engine module.
#pragma once

#include <Python.h>

namespace game {

// Adds `game` to the interpreter's built-in modules; only before the interpreter starts.
bool AddGameModule();

}  // namespace game

// The module's initialisation, run by the first script import of `game`.
extern "C" PyObject* PyInit_game();
