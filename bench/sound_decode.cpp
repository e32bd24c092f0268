// Ogg Vorbis decode throughput through the streaming decoder, side by side with oggdec
// decoding the same 60 s stereo file to /dev/null, and the per-frame service cost with
// all 16 channels streaming on OpenAL Soft's loopback device. Prints the decode ratio from
// rounds taken in turns, and the service's share of a frame.
#include <benchmark/benchmark.h>

#include <AL/alext.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/InTurns.h"
#include "sound/OggStream.h"
#include "sound/OpenAL.h"
#include "sound/SoundSystemOAL.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Decodes the whole file chunk by chunk, as a streaming channel does; answers the bytes.
std::vector<char> DecodeStreamed(const std::string& file) {
    OggStream stream;
    std::vector<char> out;
    if (!stream.Open(file.data(), file.size())) return out;
    while (stream.ReadChunk(false) > 0) out.insert(out.end(), stream.Pcm().begin(), stream.Pcm().end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "ruv3_bench_sound";
    std::filesystem::create_directories(dir);
    const std::string ogg = (dir / "long.ogg").string();
    const std::string raw = (dir / "long.raw").string();
    if (std::system(("sox -n -r 44100 -c 2 '" + ogg + "' synth 60 sine 220 sine 330 2>/dev/null").c_str()) != 0 ||
        std::system(("oggdec -Q -R -o '" + raw + "' '" + ogg + "'").c_str()) != 0) {
        std::fprintf(stderr, "could not make the file (are sox and oggdec installed?)\n");
        return 1;
    }
    const std::string file = ReadAll(ogg);
    const std::string expected = ReadAll(raw);
    const std::vector<char> decoded = DecodeStreamed(file);
    if (decoded.size() != expected.size() || !std::equal(decoded.begin(), decoded.end(), expected.begin())) {
        std::fprintf(stderr, "the decoder's output differs from oggdec's (%zu vs %zu bytes)\n", decoded.size(),
                     expected.size());
        return 1;
    }

    // The decoder and oggdec in rounds taken in turns; every decode gives the whole stream.
    constexpr int kRounds = 5;
    bool whole = true;
    const std::string peerCommand = "oggdec -Q -R -o /dev/null '" + ogg + "'";
    benchkit::InTurns turns;
    const size_t ours = turns.Add("engine", 1, [&] { whole &= DecodeStreamed(file).size() == expected.size(); });
    const size_t peer = turns.Add("oggdec", 1, [&] { whole &= std::system(peerCommand.c_str()) == 0; });
    turns.Run(kRounds);
    if (!whole) {
        std::fprintf(stderr, "a decode in the rounds fell short or oggdec failed\n");
        return 1;
    }
    std::printf("60 s stereo decode, medians of %d rounds in turns: engine %.1f ms, oggdec %.1f ms (%zu bytes checked)\n",
                kRounds, turns.Wall(ours) * 1000, turns.Wall(peer) * 1000, expected.size());
    turns.PrintWallRatio(ours, peer, "60 s stereo decode, engine / oggdec");

    // The per-frame service with 16 streams, one 16 ms frame of audio rendered each time.
    setenv("ALSOFT_CONF", "/dev/null", 1);
    auto openLoopback =
        reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY, 44100, 0};
    SoundSystemOAL system;
    if (!openLoopback || !system.Open([&] { return AsSoundDevice(openLoopback(nullptr)); }, attributes)) {
        std::fprintf(stderr, "no loopback device\n");
        return 1;
    }
    auto render =
        reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(AlDevice(system.Device()), "alcRenderSamplesSOFT"));
    std::unique_ptr<Sound> sound(system.CreateSound(file.data(), static_cast<int>(file.size())));
    for (int i = 0; i < SoundSystemOAL::kChannelCount; ++i) {
        PlayParams params;
        params.sound = sound.get();
        params.loop = true;
        system.GetFreeChannel()->Play(params);
    }
    std::vector<float> frame(735 * 2);
    double serviceSeconds = 0;
    const int frames = 60 * 30;  // 30 s of play
    for (int i = 0; i < frames; ++i) {
        render(AlDevice(system.Device()), frame.data(), 735);
        const auto t0 = std::chrono::steady_clock::now();
        system.Update();
        serviceSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const int busy = SoundSystemOAL::kChannelCount - system.GetFreeChannelCount();
    const double perFrame = serviceSeconds / frames;
    std::printf("Update with %d streaming channels: %.3f ms per frame, %.2f%% of a 16 ms frame\n", busy,
                perFrame * 1000, perFrame / 0.016 * 100);
    sound.reset();
    system.Close();
    std::filesystem::remove_all(dir);
    benchmark::Shutdown();
    return busy == SoundSystemOAL::kChannelCount ? 0 : 1;
}
