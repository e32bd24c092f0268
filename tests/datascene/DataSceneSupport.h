// Fixtures of the data-driven scene tests: an anim of plain cels, an actor that records
// the cels it is shown, XML parsed from text, and a resource manager over a temporary
// resource folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "content/ResAnim.h"
#include "content/ResourceManager.h"
#include "content/XmlData.h"
#include "scene/Actor.h"
#include "scene/ModifierFactory.h"
#include "scene/SceneTestSupport.h"
#include "shell/FileSystem.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/foundation/TextHelpers.h"

namespace datascene {

// One loop of `cels` 4 x 4 memory surfaces.
class StripAnim : public ResAnim {
public:
    explicit StripAnim(int cels) : cels_(cels) {
        for (int c = 0; c < cels; ++c) surfaces_.emplace_back(new pf::MemorySurface(4, 4));
    }
    int GetNumCels() const override { return cels_; }
    int GetNumLoops() const override { return 1; }
    pf::Surface* getCel(int, int cel) override { return surfaces_[static_cast<size_t>(cel)].get(); }
    std::wstring GetId() const override { return L"strip"; }

private:
    int cels_;
    std::vector<my_intrusive_ptr<pf::Surface>> surfaces_;
};

// Records every cel it is asked to show (before clamping).
class CelActor : public Actor {
public:
    std::vector<int> shown;
    void SetCel(int c) override {
        shown.push_back(c);
        Actor::SetCel(c);
    }
};

inline std::unique_ptr<XmlData> Xml(const std::string& text) {
    auto x = std::make_unique<XmlData>();
    EXPECT_TRUE(x->ParseNarrow(text, L"")) << text;
    return x;
}

// A current root, a clock the test moves, the modifier factory and a resource manager
// over a temporary folder (files written with Write).
class DataSceneTest : public scenetest::SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        const std::wstring res = pf::FromUtf8(dir.Path().string());
        fs.SetResourcePath(res);
        fs.SetUserPath(res);
        manager.reset(new ResourceManager(nullptr, nullptr, &fs));
        SetResourceManager(manager.get());
        SetModifierFactory(new ModifierFactory);
    }
    void TearDown() override {
        SetModifierFactory(nullptr);
        SetResourceManager(nullptr);
        manager.reset();
        SceneTest::TearDown();
    }
    void Write(const std::string& name, const std::string& text) { dir.Write(name, text); }

    testkit::TempDir dir;
    pf::FileSystemWin32 fs;
    std::unique_ptr<ResourceManager> manager;
};

}  // namespace datascene
