// A resource list of 200 PNG images read from an encrypted data.zip through the loading
// queue at 1, 2, 4 and 8 worker threads, side by side with decoding the same PNG bytes
// with plain libpng from memory, serially and on 4 threads. Printed, each as a ratio of
// times from rounds taken in turns (each the median of the rounds' own ratios):
// - the queue at 4 threads over libpng on the same 4 threads (goal <= 1.3);
// - the queue at 1 thread over one serial libpng decode of every image plus reading
//   every entry out of the archive (goal <= 1.5);
// - the queue at 8 threads over the queue at 4 (below 1 when 8 cores are free to it);
// - the serial parts beside them: the engine's decoder and the archive reads, each over
//   serial libpng, and each thread count's speed-up over serial libpng.
// The cores this process may run on and the load average before and after are printed
// with them, and so is the first load of the process, whose images' memory is new to it.
#include <benchmark/benchmark.h>
#include <png.h>
#include <sched.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "content/ResAnim.h"
#include "content/Resources.h"
#include "content/ThreadResourcesQueue.h"
#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "shell/FileSystem.h"
#include "shell/ImageLoaderDX.h"
#include "shell/ImageLoaderGDI.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/foundation/TextHelpers.h"
#include "tests/common/NullDisplay.h"

namespace {

const char kPassword[] = "Lr5Ke8Qy3Vn";
constexpr int kImages = 200;
constexpr int kSide = 240;  // not 256: the missing-image stand-in is 256 wide

struct Content {
    std::filesystem::path folder;
    std::vector<std::string> pngs;  // the same bytes the archive holds
} g_content;

// Textures are copies in memory, as a texture upload copies the pixels.
class MemoryDisplay : public testkit::NullDisplay {
public:
    pf::SurfacePtr CreateSurfaceFromImage(const pf::PixelView& image) override {
        return pf::SurfacePtr(new pf::MemorySurface(image));
    }
};

// Sprite-like pixels: smooth shapes with some grain, so the PNGs compress as art does.
void Paint(pf::MemorySurface& image, int index) {
    image.Init(kSide, kSide, 4, pf::PixelFormat::A8R8G8B8);
    pf::PixelView view = image.GetView();
    uint32_t x = 2463534242u + uint32_t(index) * 7919u;
    for (int py = 0; py < kSide; ++py)
        for (int px = 0; px < kSide; ++px) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            uint8_t* p = view.data + py * view.pitch + px * 4;
            const int dx = px - kSide / 2, dy = py - kSide / 2;
            const bool inside = dx * dx + dy * dy < (60 + index % 60) * (60 + index % 60);
            p[0] = uint8_t((px + index) & 0xF0) | uint8_t(x & 3);
            p[1] = uint8_t((py * 2 + index) & 0xF0);
            p[2] = inside ? 200 : uint8_t((px ^ py) & 0xE0);
            p[3] = inside ? 255 : uint8_t(px & 0x80 ? 255 : 0);
        }
}

bool MakeContent() {
    char pattern[] = "/tmp/ruv3-queue-bench-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    g_content.folder = pattern;
    std::filesystem::create_directories(g_content.folder / "stage/img");
    pf::ImageLoaderGDI writer;
    std::string list = "<resources><set path='img'/>";
    for (int i = 0; i < kImages; ++i) {
        pf::MemorySurface image;
        Paint(image, i);
        const std::string name = "i" + std::to_string(i) + ".png";
        const std::filesystem::path file = g_content.folder / "stage/img" / name;
        if (!writer.Save(pf::FromUtf8(file.string()).c_str(), 0, image.GetView())) return false;
        std::ifstream in(file, std::ios::binary);
        g_content.pngs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        list += "<image id='i" + std::to_string(i) + "' file='" + name + "' rect='0,0,240,240' cels='4' loops='4'/>";
    }
    std::ofstream(g_content.folder / "stage/list.xml") << list << "</resources>";
    const std::string command = "cd '" + (g_content.folder / "stage").string() + "' && zip -q -r -n .png -P " + kPassword +
                                " ../data.zip img list.xml";
    if (std::system(command.c_str()) != 0) return false;
    std::filesystem::remove_all(g_content.folder / "stage");
    size_t bytes = 0;
    for (const auto& png : g_content.pngs) bytes += png.size();
    std::printf("content: %d PNGs of %dx%d, %.1f MB of PNG, archive %.1f MB\n", kImages, kSide, kSide,
                bytes / 1048576.0, std::filesystem::file_size(g_content.folder / "data.zip") / 1048576.0);
    return true;
}

// The archive opened as the game opens it, with the services a loading queue needs.
struct QueueSetup {
    pf::FileSystemWin32 fs;
    pf::ImageLoaderDX loader;
    MemoryDisplay display;
    ResourceServices services{&loader, &fs, &display};
    bool open = false;
    QueueSetup() {
        fs.SetResourcePath(pf::FromUtf8(g_content.folder.string()));
        open = fs.OpenArchive(pf::FromUtf8((g_content.folder / "data.zip").string()), kPassword);
    }
    // The list loaded through a queue of `threads` workers; empty when all went well,
    // else what failed.
    const char* Load(int threads) {
        ThreadResourcesQueue queue(services);
        Resources list(services);
        if (!list.load(L"list.xml", &queue) || list.GetCount() != kImages) return "list did not load";
        queue.SetThreadsCount(threads);
        queue.Start();
        while (queue.GetRunningThreads() > 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        // Every image decoded for real (not the missing-image stand-in).
        for (int i = 0; i < kImages; ++i) {
            ResAnim* anim = list.getAnimByIndex(unsigned(i));
            const pf::SurfacePtr surface = anim->GetSurface();
            if (!anim->IsLoaded() || !surface || surface->GetWidth() != kSide || anim->GetWidth() != kSide / 4)
                return "an image did not load";
        }
        return "";
    }
};

// Plain libpng decoding every image once, serially from memory; false when it failed on one.
bool LibpngSerial(std::vector<uint8_t>& pixels) {
    for (const std::string& png : g_content.pngs) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return false;
        image.format = PNG_FORMAT_BGRA;
        if (image.width != kSide || !png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
            png_image_free(&image);
            return false;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    return true;
}

// The peer of the queue at 4 threads: plain libpng decoding the same bytes from memory on
// 4 threads, each a quarter of the images into surfaces of its own.
// Decodes every image once, `pixels.size()` threads taking every n-th; false when libpng
// failed on one.
bool LibpngThreads(std::vector<std::vector<uint8_t>>& pixels) {
    const size_t threads = pixels.size();
    std::vector<int> failed(threads, 0);
    std::vector<std::thread> workers;
    for (size_t t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (size_t i = t; i < g_content.pngs.size(); i += threads) {
                const std::string& png = g_content.pngs[i];
                png_image image{};
                image.version = PNG_IMAGE_VERSION;
                if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
                    failed[t] = 1;
                    return;
                }
                image.format = PNG_FORMAT_BGRA;
                if (image.width != kSide || !png_image_finish_read(&image, nullptr, pixels[t].data(), 0, nullptr)) {
                    png_image_free(&image);
                    failed[t] = 1;
                    return;
                }
                benchmark::DoNotOptimize(pixels[t].data());
            }
        });
    for (auto& w : workers) w.join();
    for (int f : failed)
        if (f) return false;
    return true;
}

// The parts of the queue's work, serially on one thread: the engine's decoder over the
// same PNG bytes from memory, and reading them out of the encrypted archive.
bool EngineDecodeSerial(pf::ImageLoaderDX& loader) {
    for (const std::string& png : g_content.pngs) {
        pf::MemorySurface image;
        if (!loader.Load(image, png.data(), int(png.size()), pf::PixelFormat::A8R8G8B8) || image.GetWidth() != kSide)
            return false;
        benchmark::DoNotOptimize(image.GetView().data);
    }
    return true;
}

// The like-for-like peer of the queue at 4 threads: the engine's decoder on 4 threads over
// the same bytes from memory, with the PNG sums left out as the queue leaves them out for
// archive entries; what remains between the two is reading, decrypting and queueing.
bool EngineDecodeThreadsUnsummed(pf::ImageLoaderDX& loader, int threads) {
    std::vector<int> failed(size_t(threads), 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (size_t i = size_t(t); i < g_content.pngs.size(); i += size_t(threads)) {
                const std::string& png = g_content.pngs[i];
                pf::MemorySurface image;
                if (!loader.Load(image, png.data(), int(png.size()), pf::PixelFormat::A8R8G8B8,
                                 pf::FormatChecksums::AlreadyVerified) ||
                    image.GetWidth() != kSide) {
                    failed[size_t(t)] = 1;
                    return;
                }
                benchmark::DoNotOptimize(image.GetView().data);
            }
        });
    for (auto& w : workers) w.join();
    for (int f : failed)
        if (f) return false;
    return true;
}

bool ArchiveReadSerial(pf::FileSystemWin32& fs) {
    for (int i = 0; i < kImages; ++i) {
        pf::FileBuffer bytes;
        if (!fs.ReadResourceFile(bytes, L"img/i" + std::to_wstring(i) + L".png") ||
            pf::ContentSize(bytes) != g_content.pngs[size_t(i)].size())
            return false;
        benchmark::DoNotOptimize(bytes.data());
    }
    return true;
}

void BM_QueueFromArchive(benchmark::State& state) {
    QueueSetup setup;
    if (!setup.open) return state.SkipWithError("archive did not open");
    for (auto _ : state) {
        if (const char* failed = setup.Load(int(state.range(0))); *failed) return state.SkipWithError(failed);
    }
    state.SetItemsProcessed(state.iterations() * kImages);
}
BENCHMARK(BM_QueueFromArchive)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

void BM_LibpngSerialFromMemory(benchmark::State& state) {
    std::vector<uint8_t> pixels(size_t(kSide) * kSide * 4);
    for (auto _ : state) {
        if (!LibpngSerial(pixels)) return state.SkipWithError("libpng could not decode an image");
    }
    state.SetItemsProcessed(state.iterations() * kImages);
}
BENCHMARK(BM_LibpngSerialFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

void BM_LibpngThreadsFromMemory(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> pixels(size_t(state.range(0)), std::vector<uint8_t>(size_t(kSide) * kSide * 4));
    for (auto _ : state) {
        if (!LibpngThreads(pixels)) return state.SkipWithError("libpng could not decode an image");
    }
    state.SetItemsProcessed(state.iterations() * kImages);
}
BENCHMARK(BM_LibpngThreadsFromMemory)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

void BM_EngineDecodeSerialFromMemory(benchmark::State& state) {
    pf::ImageLoaderDX loader;
    for (auto _ : state) {
        if (!EngineDecodeSerial(loader)) return state.SkipWithError("the engine could not decode an image");
    }
    state.SetItemsProcessed(state.iterations() * kImages);
}
BENCHMARK(BM_EngineDecodeSerialFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

void BM_ArchiveReadSerial(benchmark::State& state) {
    QueueSetup setup;
    if (!setup.open) return state.SkipWithError("archive did not open");
    for (auto _ : state) {
        if (!ArchiveReadSerial(setup.fs)) return state.SkipWithError("an archive entry did not read");
    }
    state.SetItemsProcessed(state.iterations() * kImages);
}
BENCHMARK(BM_ArchiveReadSerial)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// The processors this process may run on (taskset narrows them).
int UsableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return int(std::thread::hardware_concurrency());
    return CPU_COUNT(&set);
}

// The machine's load average over the last minute, as the system counts it.
std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one.empty() ? "unknown" : one + " " + five + " " + fifteen;
}

// Every part in rounds taken in turns: serial libpng, the engine's decoder, the archive
// reads, both of libpng and the reads, the queue at each thread count and libpng on 4
// threads; false when one failed.
bool InTurns() {
    QueueSetup setup;
    if (!setup.open) return false;
    pf::ImageLoaderDX loader;
    std::vector<uint8_t> serialPixels(size_t(kSide) * kSide * 4);
    std::vector<std::vector<uint8_t>> pixels(4, std::vector<uint8_t>(size_t(kSide) * kSide * 4));
    bool ok = true;
    benchkit::InTurns turns;
    const size_t serial = turns.Add("serial libpng", 1, [&] { ok &= LibpngSerial(serialPixels); });
    const size_t decoder = turns.Add("engine decoder", 1, [&] { ok &= EngineDecodeSerial(loader); });
    const size_t archive = turns.Add("archive reads", 1, [&] { ok &= ArchiveReadSerial(setup.fs); });
    const size_t readAndDecode = turns.Add("archive reads and serial libpng", 1, [&] {
        ok &= ArchiveReadSerial(setup.fs);
        ok &= LibpngSerial(serialPixels);
    });
    std::vector<std::pair<int, size_t>> queues;
    for (const int threads : {1, 2, 4, 8})
        queues.emplace_back(threads, turns.Add("queue", 1, [&setup, &ok, threads] { ok &= !*setup.Load(threads); }));
    const size_t queue1 = queues[0].second, queue4 = queues[2].second, queue8 = queues[3].second;
    const size_t libpng = turns.Add("libpng", 1, [&] { ok &= LibpngThreads(pixels); });
    const size_t unsummed = turns.Add("engine decoder, sums off", 1, [&] { ok &= EngineDecodeThreadsUnsummed(loader, 4); });
    constexpr int kRounds = 21;
    turns.Run(kRounds);
    if (!ok) return false;
    turns.PrintWallRatio(decoder, serial, "engine decoder over serial libpng, same bytes from memory");
    turns.PrintWallRatio(archive, serial, "reading the entries from the encrypted archive / a serial libpng decode");
    turns.PrintWallRatio(queue4, libpng, "queue at 4 threads over libpng on 4 threads (time, in turns)", 1.3);
    turns.PrintWallRatio(queue1, readAndDecode, "queue at 1 thread over reading every entry + serial libpng", 1.5);
    const int cores = UsableCores();
    if (cores >= 8) {
        turns.PrintWallRatio(queue8, queue4, "queue at 8 threads over 4 threads, on " + std::to_string(cores) + " cores",
                             1.0);
    } else {
        turns.PrintWallRatio(queue8, queue4, "queue at 8 threads over 4 threads (only " + std::to_string(cores) +
                                                 " cores here: no goal)");
    }
    std::printf("  (medians of %d rounds taken in turns: the queue from the archive %.1f ms, libpng from memory "
                "%.1f ms)\n",
                kRounds, turns.Wall(queue4) * 1e3, turns.Wall(libpng) * 1e3);
    std::printf("  (from the archive the engine's decoder does not sum a PNG's chunk CRCs and Adler-32 again: the\n"
                "  archive has checked the entry's CRC-32 over every byte; libpng and the engine decoder from\n"
                "  memory above sum them; the same decode without the sums, for a like-for-like figure:)\n");
    turns.PrintWallRatio(queue4, unsummed, "queue at 4 threads over the engine decoder on 4 threads, sums off");
    for (const auto& [threads, queue] : queues)
        turns.PrintWallRatio(serial, queue, "speed-up over serial libpng at " + std::to_string(threads) + " thread(s)");
    return true;
}

// The first list the process loads: its images' memory is new to the process, not memory
// an earlier list freed.
bool FirstLoad(int threads) {
    QueueSetup setup;
    const auto start = std::chrono::steady_clock::now();
    if (!setup.open || *setup.Load(threads)) return false;
    std::printf("first load of the process at %d threads: %.1f ms (its images' memory is new to the process)\n",
                threads, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * 1e3);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    pf::SetLogToStderr(false);
    if (!MakeContent()) {
        std::fprintf(stderr, "could not make the content (is zip installed?)\n");
        return 1;
    }
    std::printf("cores usable: %d; load average before: %s\n", UsableCores(), LoadAverage().c_str());
    bool ok = FirstLoad(4);
    benchkit::RunBenchmarks();
    ok = ok && InTurns();
    std::printf("load average after: %s\n", LoadAverage().c_str());
    if (!ok) std::fprintf(stderr, "an image did not load or decode in the rounds taken in turns\n");
    std::filesystem::remove_all(g_content.folder);
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
