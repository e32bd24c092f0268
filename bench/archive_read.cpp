// Reading every entry of an encrypted archive of some tens of MB through the file system,
// side by side with `unzip -P <pw> -p archive > /dev/null` on the same archive. Prints
// the ratio of the two times (below 1: faster than unzip).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/common/BenchSupport.h"
#include "shell/FileSystem.h"
#include "shell/Log.h"
#include "shell/TextHelpers.h"

namespace {

const char kPassword[] = "Qw7Lp2Xr9Tn4Vb6Mz1Kd";
constexpr int kFiles = 48;
constexpr size_t kFileSize = 1 << 20;

struct Archive {
    std::filesystem::path folder;
    std::filesystem::path zip;
    std::vector<std::wstring> names;
    size_t totalBytes = 0;
};

Archive g_archive;

// Game-like content: text runs (compressible) alternating with noise (image-like data).
std::string Content(int index) {
    std::string s(kFileSize, '\0');
    uint32_t x = 2463534242u + static_cast<uint32_t>(index);
    for (size_t i = 0; i < s.size(); ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        const bool text = (i / 8192 + static_cast<size_t>(index)) % 3 != 0;
        s[i] = text ? "<item name=\"board\" x=\"12\" y=\"40\"/>\n"[i % 37] + (x % 7 == 0 ? 1 : 0)
                    : static_cast<char>(x);
    }
    return s;
}

bool MakeArchive() {
    char pattern[] = "/tmp/ruv3-bench-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    g_archive.folder = pattern;
    std::filesystem::create_directories(g_archive.folder / "stage/data");
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "data/file" + std::to_string(i) + ".bin";
        std::ofstream(g_archive.folder / "stage" / name, std::ios::binary) << Content(i);
        g_archive.names.push_back(pf::FromUtf8(name));
        g_archive.totalBytes += kFileSize;
    }
    g_archive.zip = g_archive.folder / "data.zip";
    const std::string command = "cd '" + (g_archive.folder / "stage").string() + "' && zip -q -r -P " + kPassword +
                                " '" + g_archive.zip.string() + "' data";
    if (std::system(command.c_str()) != 0) return false;
    std::filesystem::remove_all(g_archive.folder / "stage");
    std::printf("archive: %d entries, %.1f MB unpacked, %.1f MB packed\n", kFiles, g_archive.totalBytes / 1048576.0,
                std::filesystem::file_size(g_archive.zip) / 1048576.0);
    return true;
}

void BM_FileSystemReadAll(benchmark::State& state) {
    pf::FileSystemWin32 fs;
    fs.SetResourcePath(pf::FromUtf8(g_archive.folder.string()));
    if (!fs.OpenArchive(pf::FromUtf8(g_archive.zip.string()), kPassword)) {
        state.SkipWithError("archive did not open");
        return;
    }
    pf::FileBuffer buffer;
    for (auto _ : state) {
        for (const auto& name : g_archive.names) {
            if (!fs.ReadResourceFile(buffer, name) || pf::ContentSize(buffer) != kFileSize) {
                state.SkipWithError("entry did not read");
                return;
            }
            benchmark::DoNotOptimize(buffer.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_archive.totalBytes));
}
BENCHMARK(BM_FileSystemReadAll)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_UnzipPeer(benchmark::State& state) {
    const std::string command =
        std::string("unzip -qq -P ") + kPassword + " -p '" + g_archive.zip.string() + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("unzip failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_archive.totalBytes));
}
BENCHMARK(BM_UnzipPeer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!MakeArchive()) {
        std::fprintf(stderr, "could not make the archive (is zip installed?)\n");
        return 1;
    }
    pf::SetLogToStderr(false);
    benchkit::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double ours = reporter.times["BM_FileSystemReadAll/min_time:2.000/real_time"];
    const double peer = reporter.times["BM_UnzipPeer/min_time:2.000/real_time"];
    if (ours > 0 && peer > 0) std::printf("ratio file system / unzip: %.2f\n", ours / peer);
    std::filesystem::remove_all(g_archive.folder);
    benchmark::Shutdown();
    return 0;
}
