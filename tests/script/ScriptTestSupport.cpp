#include "ScriptTestSupport.h"

#include <boost/python.hpp>

#include <fstream>

#include "scene/ItemLeakDetector.h"
#include "shell/foundation/Log.h"
#include "shell/LogFile.h"
#include "shell/foundation/TextHelpers.h"

namespace scripttest {

std::string CompileModule(const std::string& source, const std::string& name) {
    std::string bytes = testkit::CompilePython(source, name);
    EXPECT_FALSE(bytes.empty()) << "python3.11 could not compile " << name;
    return bytes;
}

namespace {
size_t g_logRead = 0;
}

HostWorld& World() {
    static HostWorld* world = [] {
        auto* w = new HostWorld();
        std::filesystem::create_directories(w->dir.Path() / "res" / "pyc");
        w->fs.SetResourcePath(pf::FromUtf8((w->dir.Path() / "res").string() + "/"));
        w->logPath = w->dir.Path() / "log.txt";
        pf::OpenLog(pf::FromUtf8(w->logPath.string()));
        ItemLeakDetector::Initialize();
        w->host.Init(&w->fs);
        return w;
    }();
    return *world;
}

std::string TakeLog() {
    const std::string all = testkit::ReadFile(World().logPath);
    const std::string fresh = all.substr(std::min(g_logRead, all.size()));
    g_logRead = all.size();
    return fresh;
}

}  // namespace scripttest
