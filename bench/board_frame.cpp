// A frame of the game board at 800 x 600 on the software device: the board's 8 x 6 cells
// over an 800 x 600 background with plates from two strips on half of them, and the
// billowing fog over it, drawn through the display between a clear and a present. Prints
// the frame time and its ratio to a bare clear and present of the same size.
//
// The figures come from rounds taken in turns, the frame against its floors: a memcpy of
// the 800 x 600 frame (the background alone covers every pixel of it, so no frame writes
// less) and the bare clear and present. The presented pixels are checked before and after the rounds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "game/BoardSpacesActor.h"
#include "game/FogTurbulenceActor.h"
#include "scene/RenderState.h"
#include "scene/ResAnim.h"
#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/Surface.h"
#include "shell/render/PresentTarget.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr unsigned kColumns = 8, kRows = 6;

// The fog's time moves on by a frame of 60 Hz per draw, so every frame billows anew.
class TimedFog : public FogTurbulenceActor {
public:
    int ticks = 0;
    int GetTicks() const override { return ticks; }
};

struct Board {
    pf::HeadlessDisplayPlatform platform;
    pf::DisplayDX display{&platform};
    my_intrusive_ptr<ResAnim> back{new ResAnim}, firstPlates{new ResAnim}, secondPlates{new ResAnim}, fogTiles{new ResAnim};
    my_intrusive_ptr<Item> root{new Item};
    my_intrusive_ptr<BoardSpacesActor> board{new BoardSpacesActor};
    my_intrusive_ptr<TimedFog> fog{new TimedFog};

    Board() {
        if (!display.Init(kWidth, kHeight, false, false, false)) {
            std::fprintf(stderr, "the software display did not start\n");
            std::exit(1);
        }
        Load(back, kWidth, kHeight, 0xFF406080u);
        Load(firstPlates, 4 * 100, 100, 0xC0C08040u);
        Load(secondPlates, 2 * 100, 100, 0xC04080C0u);
        Load(fogTiles, 5 * FogTurbulenceActor::kCell, 3 * FogTurbulenceActor::kCell, 0xA0E0E0E0u);

        board->SetBackAnim(back.get(), kColumns, kRows);
        board->SetPlatesAnim(firstPlates.get(), secondPlates.get());
        for (unsigned r = 0; r < kRows; ++r)
            for (unsigned c = 0; c < kColumns; ++c) {
                board->SetSpaceOpacity(c, r, uint8_t(128 + (c * 16 + r * 8) % 128));
                if ((c + r) % 2 == 0) {
                    board->SetPlate(c, r, uint8_t(1 + c % 2));
                    board->SetCel(c, r, uint8_t(r % 2));
                }
            }
        // The fog covers the grid except a clearing in the middle.
        fog->SetResAnim(fogTiles.get());
        for (int c = 0; c < FogTurbulenceActor::kColumns; ++c)
            for (int r = 0; r < FogTurbulenceActor::kRows; ++r)
                if (std::abs(c - 6) + std::abs(r - 5) > 3) fog->AddCel(c, r);
        fog->Init(8.0f, 3.0f, 5.0f);
        fog->SetPosition(pf::Point(140, 80));
        root->AddItem(board.get());
        root->AddItem(fog.get());
    }

    void Load(my_intrusive_ptr<ResAnim>& anim, int w, int h, uint32_t argb) {
        std::vector<uint32_t> pixels(size_t(w) * size_t(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels[size_t(y) * size_t(w) + size_t(x)] = argb ^ (uint32_t(x * 3 + y) & 0x3Fu) * 0x010101u;
        pf::PixelView v;
        v.Set(w, h, 4, w * 4, pf::PixelFormat::A8R8G8B8, reinterpret_cast<uint8_t*>(pixels.data()));
        if (!anim->SetSurface(&display, display.CreateSurfaceFromImage(v), 1, 1)) {
            std::fprintf(stderr, "could not make a %d x %d texture\n", w, h);
            std::exit(1);
        }
    }

    void Frame() {
        fog->ticks += 16;
        display.BeginFrame(nullptr);
        display.Clear(0, 0, 0, 255);
        RenderState rs;
        rs.display = &display;
        root->Draw(rs);
        display.EndFrame();
    }
    void Bare() {
        display.BeginFrame(nullptr);
        display.Clear(0, 0, 0, 255);
        display.EndFrame();
    }
};

Board& TheBoard() {
    static Board board;
    return board;
}

void BM_BoardFrame(benchmark::State& state) {
    for (auto _ : state) TheBoard().Frame();
}
BENCHMARK(BM_BoardFrame)->Unit(benchmark::kMillisecond);

void BM_BareFrame(benchmark::State& state) {
    for (auto _ : state) TheBoard().Bare();
}
BENCHMARK(BM_BareFrame)->Unit(benchmark::kMillisecond);

// A frame that shows nothing would be fast: the presented frame must show the board where
// no fog is (the clearing's middle) and differ from the bare frame's black.
bool Draws(Board& b) {
    auto* target = dynamic_cast<pf::MemoryPresentTarget*>(b.display.GetPresentTarget());
    if (!target || b.fog->GetBaseVertices().empty()) return false;
    b.Frame();
    const uint32_t board = target->Pixel(kWidth / 2, kHeight / 2), fogged = target->Pixel(150, 90);
    b.Bare();
    const uint32_t black = target->Pixel(kWidth / 2, kHeight / 2);
    std::printf("presented pixels: board 0x%08X, fog 0x%08X, bare 0x%08X\n", board, fogged, black);
    return (board & 0xFFFFFFu) != (black & 0xFFFFFFu) && fogged != board;
}

// The frame in turns with a memcpy of the frame and a bare clear and present.
bool InTurns(Board& b) {
    benchkit::FrameCopy copy(size_t(kWidth) * kHeight * 4);
    benchkit::InTurns turns;
    constexpr int kFrames = 10, kRounds = 15;
    const size_t frame = turns.Add("frame", kFrames, [&] { b.Frame(); });
    const size_t bare = turns.Add("bare", kFrames, [&] { b.Bare(); });
    const size_t floor = turns.Add("memcpy", kFrames, copy);
    turns.Run(kRounds);
    if (!Draws(b)) {
        std::fprintf(stderr, "the board or the fog stopped drawing during the rounds\n");
        return false;
    }
    std::printf("board with fog at %d x %d, in turns (median of %d rounds of %d frames; floor: a memcpy of the "
                "%d x %d frame, %.2f MB): frame %.3f ms (%.0f fps), bare clear + present %.3f ms\n",
                kWidth, kHeight, kRounds, kFrames, kWidth, kHeight, double(copy.Bytes()) / 1048576.0,
                turns.Wall(frame) * 1e3, 1.0 / turns.Wall(frame), turns.Wall(bare) * 1e3);
    turns.PrintWallRatio(frame, floor, "board frame / memcpy of the 800x600 frame");
    turns.PrintWallRatio(bare, floor, "bare clear + present / memcpy of the 800x600 frame");
    turns.PrintWallRatio(frame, bare, "board frame / bare clear + present");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    Board& b = TheBoard();
    if (!Draws(b)) {
        std::fprintf(stderr, "the board or the fog has nothing to draw\n");
        return 1;
    }
    benchkit::RunBenchmarks();
    const bool ok = InTurns(b);
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
