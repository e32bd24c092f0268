#include "sound/SoundTestSupport.h"

#include <cstdlib>
#include <filesystem>

namespace soundtest {
namespace {

// OpenAL Soft reads config files from the system and the user's folders: point every
// place it looks at an empty folder, once, before its first call.
class QuietConfig : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string path = dir_.Path().string();
        setenv("HOME", path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", path.c_str(), 1);
        setenv("XDG_CONFIG_DIRS", path.c_str(), 1);
        setenv("ALSOFT_CONF", (path + "/none.conf").c_str(), 1);
        setenv("ALSOFT_LOGLEVEL", "0", 1);
    }

private:
    testkit::TempDir dir_;
};

[[maybe_unused]] ::testing::Environment* const quietConfig = ::testing::AddGlobalTestEnvironment(new QuietConfig);

}  // namespace

void LoopbackSound::SetUp() {
    ASSERT_TRUE(alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback"));
    auto openLoopback =
        reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    ASSERT_NE(openLoopback, nullptr);
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY, kMixRate, 0};
    ASSERT_TRUE(system.Open([&] { return AsSoundDevice(openLoopback(nullptr)); }, attributes));
    render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(AlDevice(system.Device()), "alcRenderSamplesSOFT"));
    ASSERT_NE(render, nullptr);
}

std::vector<float> LoopbackSound::Render(int frames) {
    std::vector<float> out(static_cast<size_t>(frames) * 2);
    render(AlDevice(system.Device()), out.data(), frames);
    return out;
}

std::vector<float> LoopbackSound::RenderServiced(int frames, int step) {
    std::vector<float> all;
    for (int done = 0; done < frames; done += step) {
        std::vector<float> part = Render(std::min(step, frames - done));
        all.insert(all.end(), part.begin(), part.end());
        system.Update();
    }
    return all;
}

std::string LoopbackSound::MakeOgg(double seconds, int rate, int channels, const std::string& synth) {
    if (!testkit::HaveProgram("sox")) {
        ADD_FAILURE() << "sox is missing: run ./deps.sh";
        return {};
    }
    const std::string path = (dir.Path() / ("s" + std::to_string(made++) + ".ogg")).string();
    const std::string command = "sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " '" +
                                path + "' synth " + std::to_string(seconds) + " " + synth + " 2>/dev/null";
    EXPECT_EQ(testkit::RunCommand(command), 0) << command;
    return testkit::ReadFile(path);
}

double Rms(const std::vector<float>& samples, size_t from, size_t to) {
    to = std::min(to, samples.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

}  // namespace soundtest
