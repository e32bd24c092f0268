// A second start of the game, run as its own process by the single-instance tests:
//   app_second_instance <log file> <instance name>
// Its game checks for another instance during Init and quits in Start; the log records the
// exception line, the game's calls and the message boxes shown.
#include <string>

#include "AppFakes.h"
#include "shell/Application.h"
#include "shell/foundation/Log.h"
#include "shell/LogFile.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/MessageQueue.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    apptest::RecordingBox box;
    pf::OpenLog(pf::FromUtf8(argv[1]));
    pf::MessageQueue queue;
    pf::ApplicationWin32 app(queue);
    apptest::FakeGame game;
    const std::string name = argv[2];
    game.onInit = [&] { app.CheckSingleInstance(name.c_str()); };
    game.onStart = [&] { app.Quit(); };
    app.Run(&game, nullptr);
    std::string calls;
    for (const std::string& c : game.calls) calls += c + " ";
    pf::DebugStream() << "calls: " << calls << "boxes: " << static_cast<int>(box.shown.size());
    pf::CloseLog();
    return 0;
}
