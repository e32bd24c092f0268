// Process entry: seeds the random generator with the time, creates the game, runs it on
// the one application object and returns 0 whatever Run answered.
#include <ctime>
#include <string>

#include "shell/Application.h"
#include "shell/Game.h"
#include "shell/Log.h"
#include "shell/Random.h"
#include "shell/platform/MessageBox.h"
#include "shell/platform/SdlMessageBox.h"

// The game's factory. Referenced weakly until the game class is part of the build.
pf::Game* CreateGame() __attribute__((weak));

int main(int argc, char** argv) {
    pf::SeedRand(static_cast<uint32_t>(std::time(nullptr)));
    static pf::SdlMessageBox messageBox;
    pf::SetMessageBoxService(&messageBox);

    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    pf::Game* game = CreateGame ? CreateGame() : nullptr;
    if (!game) {
        pf::DebugStream() << "Tessmar Nightwake: no game in this build";
        return 0;
    }
    pf::Application2::GetInstance().Run(game, commandLine.c_str());
    pf::SetMessageBoxService(nullptr);
    return 0;
}
