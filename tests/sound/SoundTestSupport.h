// Shared set-up of the sound tests: OpenAL Soft kept away from the machine's config
// files, a loopback device the tests render from, and Ogg files made by sox.
#pragma once

#include <gtest/gtest.h>

#include <AL/alext.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "sound/OpenAL.h"
#include "sound/SoundSystemOAL.h"

namespace soundtest {

constexpr int kMixRate = 44100;

// Opens the sound system on a stereo float loopback device at kMixRate.
class LoopbackSound : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { system.Close(); }

    // Renders frames of stereo float output; answers the interleaved samples.
    std::vector<float> Render(int frames);
    // Renders in steps of `step` frames, servicing the system after each, for `frames`.
    std::vector<float> RenderServiced(int frames, int step);
    // An Ogg file made by sox: `synth` arguments after the length (e.g. "sine 440").
    std::string MakeOgg(double seconds, int rate, int channels, const std::string& synth = "sine 440");
    Sound* Create(const std::string& bytes) { return system.CreateSound(bytes.data(), static_cast<int>(bytes.size())); }

    SoundSystemOAL system;
    testkit::TempDir dir;
    LPALCRENDERSAMPLESSOFT render = nullptr;
    int made = 0;
};

double Rms(const std::vector<float>& samples, size_t from = 0, size_t to = std::string::npos);

}  // namespace soundtest
