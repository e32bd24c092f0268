#include "script/bindings/SceneThread.h"

#include <boost/python.hpp>

#include <atomic>
#include <string>
#include <thread>

#include "script/bindings/Bindings.h"

namespace ruv3module {

namespace {
std::atomic<std::thread::id> g_sceneThread{};
}  // namespace

void RecordSceneThread() { g_sceneThread.store(std::this_thread::get_id()); }

void RequireSceneThread(const char* what) {
    const std::thread::id scene = g_sceneThread.load();
    if (scene == std::thread::id() || scene == std::this_thread::get_id()) return;
    const std::string message = std::string(what) +
                                ": the scene is changed and walked on the main thread only; "
                                "this call came from another thread";
    RaiseScriptError(PyExc_RuntimeError, message.c_str());
}

}  // namespace ruv3module
