// Script sound on OpenAL Soft's loopback device: random player sequences, busy channels,
// a script player dropped while it plays, and the shared resource list's lifetime.
#include <boost/python.hpp>

#include <gtest/gtest.h>

#include "PyRunner.h"
#include "ScriptTestSupport.h"
#include "shell/Application.h"
#include "sound/SoundPlayer.h"
#include "sound/SoundTestSupport.h"

namespace {

namespace bp = boost::python;

class SoundBindings : public soundtest::LoopbackSound {
protected:
    void SetUp() override {
        scripttest::World();
        LoopbackSound::SetUp();
        player = std::make_unique<SoundPlayer>(&system);
        SoundPlayer::SetInstance(player.get());
        const std::string ogg = MakeOgg(0.2, 22050, 1);
        dir.Write("beep.ogg", ogg);
        pf::Application2::GetInstance().SetDataSource(dir.Path().wstring().c_str(), nullptr, nullptr);
    }
    void TearDown() override {
        bp::import("gc").attr("collect")();
        SoundPlayer::SetInstance(nullptr);
        player.reset();
        LoopbackSound::TearDown();
    }
public:
    int FreeChannels() const { return system.GetFreeChannelCount(); }
    void RenderAndService(int frames) {
        Render(frames);
        system.Update();
        player->update();
    }
    std::unique_ptr<SoundPlayer> player;
};

// The fixture's services as script functions.
SoundBindings* current = nullptr;

TEST_F(SoundBindings, ScriptSequencesOnTheLoopbackDevice) {
    current = this;
    bp::dict with;
    try {
        bp::object ruv3 = bp::import("ruv3");
        with["player"] = ruv3.attr("SoundPlayer").attr("Instance")();
        with["beep"] = ruv3.attr("createResSound")(std::wstring(L"beep"), std::wstring(L"beep.ogg"));
        with["render"] = bp::make_function(+[](int frames) { current->RenderAndService(frames); });
        with["free_channels"] = bp::make_function(+[] { return current->FreeChannels(); });
    } catch (const bp::error_already_set&) {
        PyErr_Print();
        FAIL();
    }
    EXPECT_EQ(bindingstest::RunPythonTests("sound.py", with), "");
}

}  // namespace
