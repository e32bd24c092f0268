// The loading screen and the start-up script.
#include "content/ResourceServices.h"
#include "content/Resources.h"
#include "game/LoadingScreen.h"
#include "game/TM5Game.h"
#include "scene/RootItem.h"
#include "shell/Application.h"
#include "shell/Display.h"
#include "shell/Exception.h"
#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

namespace {

// The folder the game reads its data from (beside the archive), however long.
std::wstring ResourceFolder(pf::FileSystem* fs) {
    for (int size = 512; fs && size <= (1 << 20); size *= 2) {
        std::wstring buffer(static_cast<size_t>(size), L'\0');
        fs->GetResourcePath(&buffer[0], size);
        const size_t length = buffer.find(L'\0');
        if (length != 0 && length != std::wstring::npos) return buffer.substr(0, length);
    }
    return L"(unknown)";
}

}  // namespace

void TM5Game::Start() {
    app_->SetMaxFPS(kLoadingFps);
    loadingRoot_ = new RootItem();
    loadingResources_ = std::make_unique<Resources>(
        ResourceServices{app_->GetImageLoader(), app_->GetFileSystem(), app_->GetDisplay()});
    if (!loadingResources_->load(kLoadingScreen, nullptr)) {
        pf::DebugStream() << "loading screen: cannot load " << kLoadingScreen;
    }
    loadingLock_.Create();
    game::BuildLoadingScreen(*loadingRoot_, *loadingResources_);
    loadingThread();
}

void TM5Game::loadingThread() {
    pf::DebugStream() << "started TM5Game::loadingThread";
    if (pf::Display* display = app_->GetDisplay()) {
        if (display->BeginFrame(nullptr)) loadingRoot_->Render(*display);
        display->EndFrame();
    }
    host_.RunStartupScript();
    {
        pf::MutexLock lock(loadingLock_);
        loadingRoot_.reset();
        loadingResources_.reset();
    }
    app_->SetMaxFPS(-1);
    pf::DebugStream() << "completed TM5Game::loadingThread";
    // Without its start-up script the game has nothing to show: say where it looked and
    // end, rather than leave a black window open.
    if (host_.StartupModuleMissing()) {
        const std::string text = "no start-up script: ruv3_init is neither in " + pf::ToUtf8(kArchiveName) +
                                 " nor in the folder " + pf::ToUtf8(ResourceFolder(app_->GetFileSystem())) +
                                 "; start the game in the folder that holds its data";
        throw pf::Exception(text.c_str(), pf::ExceptionType::Error);
    }
}
