// Process entry: fixes the locale, seeds the random generator with the time, creates the
// game, runs it on the one application object and returns 0 whatever Run answered.
#include <clocale>
#include <ctime>
#include <string>

#include "game/TM5Game.h"
#include "shell/Application.h"
#include "shell/Game.h"
#include "shell/foundation/Log.h"
#include "shell/Random.h"
#include "shell/platform/CrashSignals.h"
#include "shell/platform/MessageBox.h"
#include "shell/platform/SdlMessageBox.h"
#include "sound/SoundSystemOAL.h"

int main(int argc, char** argv) {
    // The C locale, for the whole run: the window system's keyboard state is built for the
    // locale it starts in and a switch under it corrupts that state, so nothing switches it
    // later (the interpreter is started so that it keeps it). Text that leaves the process
    // is UTF-8 by the engine's own conversions and the interpreter's UTF-8 mode, whatever
    // the player's locale.
    std::setlocale(LC_ALL, "C");
    // Changes the environment, which is safe only while this is the only thread.
    SoundSystemOAL::QuietLibrariesUnlessAsked();
    pf::IgnoreFileSizeSignal();
    pf::SeedRand(static_cast<uint32_t>(std::time(nullptr)));
    static pf::SdlMessageBox messageBox;
    pf::SetMessageBoxService(&messageBox);

    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    pf::Game* game = CreateGame();
    pf::Application2::GetInstance().Run(game, commandLine.c_str());
    pf::SetMessageBoxService(nullptr);
    return 0;
}
