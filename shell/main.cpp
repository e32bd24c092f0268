// Process entry. Until the game class exists it only opens the log and exits.
#include <ctime>

#include "shell/Log.h"
#include "shell/Random.h"

int main(int argc, char** argv) {
    pf::SeedRand(static_cast<uint32_t>(std::time(nullptr)));
    pf::OpenLog(L"log.txt");
    pf::DebugStream() << "Tessmar Nightwake: engine foundation up; the game is not built yet";
    pf::CloseLog();
    return 0;
}
