// The loading screen and the start-up script.
#include "content/ResourceServices.h"
#include "content/Resources.h"
#include "game/LoadingScreen.h"
#include "game/TM5Game.h"
#include "scene/RootItem.h"
#include "shell/Application.h"
#include "shell/Display.h"
#include "shell/foundation/Log.h"

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
}
