// Script errors on the engine side: printing the pending one to the log, and the quit
// request a script's SystemExit becomes.
#pragma once

// Prints the pending script error with its traceback through sys.stderr (the log) and
// clears it. A SystemExit is not printed: it asks the game to quit after this cycle
// (the interpreter's own handling would end the process on the spot).
void PrintScriptError();

using ScriptQuitHandler = void (*)(int exitCode);
// Who hears a script's SystemExit (the game installs its QuitAfterCycle); null: logged only.
void SetScriptQuitHandler(ScriptQuitHandler handler);
