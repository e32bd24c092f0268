// The script module `game`: the game's own classes and services beside the engine module.
#pragma once

namespace game {

// Adds `game` to the interpreter's built-in modules; only before the interpreter starts.
bool AddGameModule();

}  // namespace game
