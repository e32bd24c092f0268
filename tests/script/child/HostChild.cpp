// A whole script-host life in its own process (the interpreter starts once per process):
// start, run the start-up module, three frames that each make an item, finalise, and
// only then let go of the engine objects that still hold script objects.
// Usage: script_host_child <resource folder> <log file> [archive password]
#include <filesystem>
#include <string>

#include "scene/Item.h"
#include "scene/ItemLeakDetector.h"
#include "script/PythonHost.h"
#include "script/ScriptError.h"
#include "script/ScriptPeer.h"
#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/LogFile.h"
#include "shell/foundation/TextHelpers.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    pf::OpenLog(pf::FromUtf8(argv[2]));
    pf::FileSystemWin32 fs;
    fs.SetResourcePath(pf::FromUtf8(std::string(argv[1]) + "/"));
    const std::filesystem::path archive = std::filesystem::path(argv[1]) / "data.zip";
    if (argc > 3 && std::filesystem::exists(archive) && !fs.OpenArchive(pf::FromUtf8(archive.string()), argv[3])) {
        return 3;
    }
    ItemLeakDetector::Initialize();
    SetScriptQuitHandler(+[](int code) { pf::DebugStream() << "child: quit requested " << code; });
    // Engine objects that outlive the interpreter: an item (with whatever children the
    // scripts gave it) and a callback bound to a script function.
    my_intrusive_ptr<Item> keeper(new Item());
    keeper->SetName(L"keeper");
    Callback callback;
    {
        PythonHost host;
        host.Init(&fs);
        host.RunStartupScript();
        if (host.StartupModuleMissing()) pf::LogWrite(L"child: no start-up module\n");
        callback = MakeScriptCallback(boost::python::eval("lambda: None", host.globals()));
        for (int frame = 0; frame < 3; ++frame) {
            host.PostCycle();
            my_intrusive_ptr<Item> item(new Item());
        }
        host.Finalize();
    }
    keeper = nullptr;
    callback = Callback();
    pf::LogWrite(L"child: finished\n");
    pf::CloseLog();
    return 0;
}
