// Reading encrypted archives through the file system, side by side with
// `unzip -P <pw> -p archive > /dev/null` on the same archive, in two shapes:
//   - large: 48 entries of 1 MB (game-like content, some tens of MB packed);
//   - small: 10,000 entries of 40-1500 bytes (scripts, XML, small sprites), opened and
//     read whole each iteration, and opened alone.
// Every read is compared with the bytes that went into the archive, so no work can be
// skipped. Prints the ratios of the two run in rounds taken in turns, the median of the
// rounds' own ratios (below 1: faster than unzip).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <utility>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/common/BenchSupport.h"
#include "bench/common/InTurns.h"
#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

namespace {

const char kPassword[] = "Qw7Lp2Xr9Tn4Vb6Mz1Kd";

struct Archive {
    std::filesystem::path zip;
    std::vector<std::wstring> names;  // in the order they are read: shuffled
    std::vector<std::string> contents;
    size_t totalBytes = 0;
};

std::filesystem::path g_folder;
Archive g_large;
Archive g_small;

// Game-like content: text runs (compressible) alternating with noise (image-like data).
std::string Content(size_t size, uint32_t seed, size_t run) {
    std::string s(size, '\0');
    uint32_t x = 2463534242u + seed;
    for (size_t i = 0; i < s.size(); ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        const bool text = (i / run + seed) % 3 != 0;
        s[i] = text ? "<item name=\"board\" x=\"12\" y=\"40\"/>\n"[i % 37] + (x % 7 == 0 ? 1 : 0)
                    : static_cast<char>(x);
    }
    return s;
}

// Writes the files into a staging folder, packs them with zip -P and shuffles the reading
// order with a fixed seed (the game asks for entries in no particular order).
bool MakeArchive(Archive& archive, const std::string& name, const std::vector<std::string>& files,
                 std::vector<std::string> contents) {
    const std::filesystem::path stage = g_folder / ("stage-" + name);
    for (size_t i = 0; i < files.size(); ++i) {
        std::filesystem::create_directories((stage / files[i]).parent_path());
        std::ofstream(stage / files[i], std::ios::binary) << contents[i];
        archive.totalBytes += contents[i].size();
    }
    archive.zip = g_folder / (name + ".zip");
    const std::string command = "cd '" + stage.string() + "' && zip -q -r -P " + kPassword + " '" +
                                archive.zip.string() + "' data";
    if (std::system(command.c_str()) != 0) return false;
    std::filesystem::remove_all(stage);
    std::vector<size_t> order(files.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (size_t i : order) {
        archive.names.push_back(pf::FromUtf8(files[i]));
        archive.contents.push_back(std::move(contents[i]));
    }
    std::printf("%s archive: %zu entries, %.1f MB unpacked, %.1f MB packed\n", name.c_str(), files.size(),
                archive.totalBytes / 1048576.0, std::filesystem::file_size(archive.zip) / 1048576.0);
    return true;
}

bool MakeArchives() {
    char pattern[] = "/tmp/ruv3-bench-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    g_folder = pattern;
    std::vector<std::string> files, contents;
    for (uint32_t i = 0; i < 48; ++i) {
        files.push_back("data/file" + std::to_string(i) + ".bin");
        contents.push_back(Content(1 << 20, i, 8192));
    }
    if (!MakeArchive(g_large, "large", files, std::move(contents))) return false;
    files.clear();
    contents.clear();
    std::mt19937 random(11);
    for (uint32_t i = 0; i < 10000; ++i) {
        files.push_back("data/set" + std::to_string(i / 500) + "/item" + std::to_string(i) + ".xml");
        contents.push_back(Content(40 + random() % 1461, i, 64));
    }
    return MakeArchive(g_small, "small", files, std::move(contents));
}

bool OpenArchive(pf::FileSystemWin32& fs, const Archive& archive) {
    fs.SetResourcePath(pf::FromUtf8(g_folder.string()));
    return fs.OpenArchive(pf::FromUtf8(archive.zip.string()), kPassword);
}

// Reads every entry and compares it with what was packed.
bool ReadAll(pf::FileSystemWin32& fs, const Archive& archive) {
    pf::FileBuffer buffer;
    for (size_t i = 0; i < archive.names.size(); ++i) {
        const std::string& expected = archive.contents[i];
        if (!fs.ReadResourceFile(buffer, archive.names[i]) || pf::ContentSize(buffer) != expected.size() ||
            std::memcmp(buffer.data(), expected.data(), expected.size()) != 0) {
            return false;
        }
    }
    return true;
}

void BM_LargeReadAll(benchmark::State& state) {
    pf::FileSystemWin32 fs;
    if (!OpenArchive(fs, g_large)) return state.SkipWithError("archive did not open");
    for (auto _ : state) {
        if (!ReadAll(fs, g_large)) return state.SkipWithError("an entry did not read back");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_large.totalBytes));
}
BENCHMARK(BM_LargeReadAll)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_SmallOpen(benchmark::State& state) {
    for (auto _ : state) {
        pf::FileSystemWin32 fs;
        if (!OpenArchive(fs, g_small)) return state.SkipWithError("archive did not open");
        int size = 0;
        if (!fs.GetResourceFileSize(g_small.names[0], size) || size != static_cast<int>(g_small.contents[0].size()))
            return state.SkipWithError("the index is wrong");
    }
}
BENCHMARK(BM_SmallOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_SmallOpenReadAll(benchmark::State& state) {
    for (auto _ : state) {
        pf::FileSystemWin32 fs;
        if (!OpenArchive(fs, g_small)) return state.SkipWithError("archive did not open");
        if (!ReadAll(fs, g_small)) return state.SkipWithError("an entry did not read back");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_small.totalBytes));
}
BENCHMARK(BM_SmallOpenReadAll)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

bool RunUnzip(const Archive& archive) {
    const std::string command = std::string("unzip -qq -P ") + kPassword + " -p '" + archive.zip.string() +
                                "' > /dev/null";
    return std::system(command.c_str()) == 0;
}

void Unzip(benchmark::State& state, const Archive& archive) {
    for (auto _ : state) {
        if (!RunUnzip(archive)) return state.SkipWithError("unzip failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * archive.totalBytes));
}
void BM_LargeUnzipPeer(benchmark::State& state) { Unzip(state, g_large); }
void BM_SmallUnzipPeer(benchmark::State& state) { Unzip(state, g_small); }
BENCHMARK(BM_LargeUnzipPeer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SmallUnzipPeer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The engine and unzip in rounds taken in turns, so that a change in the machine's load
// falls on both alike; prints the median of the rounds' ratios and the median times.
template <typename F>
void PrintInTurns(const char* what, int rounds, const Archive& archive, F ours) {
    bool ok = true;
    benchkit::InTurns turns;
    const size_t engine = turns.Add(what, 1, [&] { ok = ours() && ok; });
    const size_t unzip = turns.Add("unzip", 1, [&] { ok = RunUnzip(archive) && ok; });
    turns.Run(rounds);
    if (!ok) {
        std::printf("%s: a run failed\n", what);
        return;
    }
    turns.PrintWallRatio(engine, unzip, std::string(what) + " / unzip", 1.0);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!MakeArchives()) {
        std::fprintf(stderr, "could not make the archives (is zip installed?)\n");
        return 1;
    }
    pf::SetLogToStderr(false);
    benchkit::RunBenchmarks();

    pf::FileSystemWin32 large;
    if (!OpenArchive(large, g_large)) return 1;
    PrintInTurns("48 x 1 MB read all", 7, g_large, [&] { return ReadAll(large, g_large); });
    PrintInTurns("10,000 small entries open + read all", 15, g_small, [] {
        pf::FileSystemWin32 fs;
        return OpenArchive(fs, g_small) && ReadAll(fs, g_small);
    });
    const double open = 1e3 * benchkit::BestOf(15, [] {
        pf::FileSystemWin32 fs;
        if (!OpenArchive(fs, g_small)) std::abort();
    });
    benchkit::PrintAgainstGoal("10,000 small entries open alone, best of 15", open, "ms", 20);
    std::filesystem::remove_all(g_folder);
    benchmark::Shutdown();
    return 0;
}
