// Shared set-up of the widget tests: a scene with a fresh root and a fake clock, a sound
// player whose shared sounds record the ids asked for, anims cut from images of
// distinct colours, and a scene drawn through the software device.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/SoundRequests.h"
#include "content/ResAnim.h"
#include "display/DisplayFixture.h"
#include "scene/SceneTestSupport.h"
#include "shell/Application.h"
#include "shell/pixels/MemorySurface.h"
#include "sound/SoundPlayer.h"

namespace widgettest {

// The colour of cel (column, row) of the test images: distinct, opaque.
inline uint32_t CelColour(int column, int row) {
    return 0xFF000000u | (uint32_t(40 + 60 * column) << 16) | (uint32_t(40 + 60 * row) << 8) | 0x20u;
}

// An image of columns x rows cels of w x h pixels, each of its CelColour.
inline void FillCels(pf::PixelView v, int columns, int rows, int w, int h) {
    for (int y = 0; y < rows * h; ++y)
        for (int x = 0; x < columns * w; ++x)
            reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] = CelColour(x / w, y / h);
}

// An anim in memory (no display): columns x rows cels of w x h.
inline my_intrusive_ptr<ResAnim> MemoryAnim(int columns, int rows, int w = 40, int h = 20) {
    my_intrusive_ptr<pf::MemorySurface> image(new pf::MemorySurface(columns * w, rows * h));
    FillCels(image->GetView(), columns, rows, w, h);
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    anim->SetSurface(nullptr, pf::SurfacePtr(image.get()), columns, rows);
    return anim;
}

// A scene test with the global sound player recording into `sounds`.
class WidgetTest : public scenetest::SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        sounds = std::make_unique<testkit::SoundRequests>();
        player.setSharedSoundResources(sounds.get());
        SoundPlayer::SetInstance(&player);
    }
    void TearDown() override {
        SoundPlayer::SetInstance(nullptr);
        SceneTest::TearDown();
    }
    // Records every posted event the root delivers as "type:click:data1".
    void WatchPostedEvents() {
        watcher = Make<scenetest::SpyHandler>(&journal, "root");
        watcher->onEvent = [this](pf::Event& e) {
            const int t = e.GetType();
            if (t == pf::EventType::ButtonClick || t == pf::EventType::ButtonDoubleClick ||
                t == pf::EventType::ButtonToggled)
                posted.push_back(std::to_string(t) + ":" + std::to_string(e.GetInt(pf::EventProperty::CLICK_ID)) +
                                 ":" + std::to_string(e.GetInt(pf::EventProperty::USER_DATA_1)));
            return false;
        };
        root->AddEventHandler(watcher.get());
    }

    SoundPlayer player{nullptr};
    std::unique_ptr<testkit::SoundRequests> sounds;
    my_intrusive_ptr<scenetest::SpyHandler> watcher;
    std::vector<std::string> posted;
};

// A display over the recording software device, installed as the application's display
// for the widgets that ask the application for it, with a root of the screen's size.
class WidgetDrawTest : public displaytest::DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        Start(800, 600);
        pf::ApplicationWin32& app = pf::Application2::GetInstance();
        oldDisplay_ = app.GetDisplay();
        oldDisplayDX_ = app.GetDisplayDX();
        app.SetDisplayObjects(display.get(), display.get());
        root = new RootItem;
        SetRootItem(root.get());
    }
    void TearDown() override {
        SetRootItem(nullptr);
        root.reset();
        pf::Application2::GetInstance().SetDisplayObjects(oldDisplay_, oldDisplayDX_);
        DisplayTest::TearDown();
    }
    // An anim over one texture: columns x rows cels of w x h, each of its CelColour.
    my_intrusive_ptr<ResAnim> TextureAnim(int columns, int rows, int w, int h) {
        pf::MemorySurface image(columns * w, rows * h);
        FillCels(image.GetView(), columns, rows, w, h);
        my_intrusive_ptr<ResAnim> anim(new ResAnim);
        anim->SetSurface(display.get(), display->CreateSurfaceFromImage(image.GetView()), columns, rows);
        return anim;
    }
    // One frame of the root on black.
    void DrawFrame() {
        Frame([&] {
            display->Clear(0, 0, 0, 255);
            root->Render(*display);
        });
    }
    uint32_t At(int x, int y) { return Target().Pixel(x, y); }

    my_intrusive_ptr<RootItem> root;

private:
    pf::Display* oldDisplay_ = nullptr;
    pf::DisplayDX* oldDisplayDX_ = nullptr;
};

}  // namespace widgettest
