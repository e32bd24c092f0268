// The image effects against their numbers, an independent Python reference of the colour
// kernels and ImageMagick's colour matrix; sizes, margins and the cases that change nothing.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "SceneFakes.h"
#include "common/Oracle.h"
#include "common/TestSupport.h"
#include "game/EffectKernels.h"
#include "game/ImageEffects.h"
#include "scene/Actor.h"
#include "shell/Random.h"

namespace gamescenetest {
namespace {

class ImageEffectsTest : public testing::Test {
protected:
    MemoryDisplay display;
    my_intrusive_ptr<Actor> actor{new Actor};

    void Show(const my_intrusive_ptr<pf::MemorySurface>& s) { actor->SetSurface(s.get()); }
    pf::Surface& Shown() { return *actor->GetSurface(); }
};

TEST_F(ImageEffectsTest, DesaturateGivesTheWeightedGreyJustBelowWhite) {
    Show(Picture(2, 1, [](int x, int) { return x == 0 ? 0xFFFFFFFFu : 0x8064C832u; }));
    game::Desaturate(&display, actor.get());
    EXPECT_EQ(PixelAt(Shown(), 0, 0), 0xFFFEFEFEu);  // white -> 254
    EXPECT_EQ(PixelAt(Shown(), 1, 0), 0x80A7A7A7u);  // (100, 200, 50) -> 167, alpha kept
}

TEST_F(ImageEffectsTest, SepiaClampsRedAndGreenOfWhite) {
    Show(Solid(4, 4, 0xFFFFFFFFu));
    game::CreateSepia(&display, actor.get(), 1, nullptr);
    EXPECT_EQ(PixelAt(Shown(), 3, 3), 0xFFFFFFEEu);  // (255, 255, 238)
}

TEST_F(ImageEffectsTest, ColorMatrixClampsNegativeResultsAtZero) {
    const float invert[9] = {-1, 0, 0, 0, -1, 0, 0, 0, -1};
    my_intrusive_ptr<pf::MemorySurface> s = Solid(1, 1, 0xFF102030u);
    pf::PixelView v = s->GetView();
    game::ColorMatrixView(invert, v, v);
    EXPECT_EQ(PixelAt(*s, 0, 0), 0xFF000000u);
}

TEST_F(ImageEffectsTest, BlurMatchesTheKernelNumbersAndClearsTheAnimation) {
    auto anim = AnimOf(Solid(9, 9, 0).get());
    actor->SetResAnim(anim.get());
    actor->SetSurface(Picture(9, 9, [](int x, int y) { return x == 4 && y == 4 ? 0xFF808080u : 0u; }).get());
    game::CreateBlur(&display, actor.get(), 2, 1);
    EXPECT_EQ(actor->GetResAnim(), nullptr);
    EXPECT_EQ(PixelAt(Shown(), 4, 4), 0x381C1C1Cu);  // (28, 28, 28, 56)
    EXPECT_EQ(PixelAt(Shown(), 5, 4), 0x190C0C0Cu);  // (12, 12, 12, 25)
}

TEST_F(ImageEffectsTest, DownscaleSizesAndCanvases) {
    struct Case {
        const char* what;
        int w, h;
        std::function<void()> run;
        int expectW, expectH;
    };
    const std::vector<Case> cases = {
        {"blur halves 101 x 60", 101, 60, [&] { game::CreateBlur(&display, actor.get(), 1, 2); }, 50, 30},
        {"downscale below 1 counts as 1", 7, 5, [&] { game::CreateSepia(&display, actor.get(), -3, nullptr); }, 7, 5},
        {"glow adds g + b + 1 on every side", 40, 20,
         [&] { game::CreateOuterGlow(&display, actor.get(), 3, 2, pf::Color(255, 0, 0, 255), 1); }, 52, 32},
        {"negative radii count as 0", 10, 10,
         [&] { game::CreateOuterGlow(&display, actor.get(), -5, -7, pf::Color(255, 0, 0, 255), 1); }, 12, 12},
    };
    for (const Case& c : cases) {
        Show(Solid(c.w, c.h, 0xFF808080u));
        c.run();
        EXPECT_EQ(Shown().GetWidth(), c.expectW) << c.what;
        EXPECT_EQ(Shown().GetHeight(), c.expectH) << c.what;
    }
}

TEST_F(ImageEffectsTest, GlowCoversThePlacedPictureAndFadesOutside) {
    Show(Solid(1, 1, 0xFFFFFFFFu));
    game::CreateOuterGlow(&display, actor.get(), 3, 0, pf::Color(10, 20, 30, 255), 1);
    ASSERT_EQ(Shown().GetWidth(), 9);
    auto alpha = [&](int dx, int dy) { return int(PixelAt(Shown(), 4 + dx, 4 + dy) >> 24); };
    EXPECT_EQ(PixelAt(Shown(), 4, 4), 0xFF0A141Eu);  // the glow colour, not the picture
    EXPECT_EQ(alpha(2, 1), 255);
    EXPECT_EQ(alpha(-2, 2), 244);
    EXPECT_EQ(alpha(3, 0), 183);
    EXPECT_EQ(alpha(-3, 1), 132);
    EXPECT_EQ(alpha(3, -2), 10);
    EXPECT_EQ(alpha(4, 4), 0);

    Show(Solid(1, 1, 0x64FFFFFFu));  // source alpha 100
    game::CreateOuterGlow(&display, actor.get(), 3, 0, pf::Color(10, 20, 30, 255), 1);
    EXPECT_EQ(alpha(0, 0), 144);

    Show(Solid(40, 20, 0xFFFFFFFFu));
    game::CreateOuterGlow(&display, actor.get(), 3, 2, pf::Color(255, 255, 255, 255), 1);
    for (int y = 6; y < 26; ++y)
        for (int x = 6; x < 46; ++x) ASSERT_EQ(PixelAt(Shown(), x, y) >> 24, 255u) << x << "," << y;
}

TEST_F(ImageEffectsTest, NothingChangesWithoutAPictureOrANewSurface) {
    game::Desaturate(&display, actor.get());
    game::CreateBlur(&display, actor.get(), 2, 1);
    EXPECT_FALSE(actor->GetSurface());

    auto s = Solid(4, 4, 0xFF112233u);
    Show(s);
    display.failCreation = true;
    game::Desaturate(&display, actor.get());
    EXPECT_EQ(actor->GetSurface().get(), s.get());
    display.failCreation = false;
    // A downscale larger than the picture leaves nothing to show: no surface is made, and
    // the script's mistake is logged once.
    {
        testkit::LogCapture log;
        game::CreateSepia(&display, actor.get(), 5, nullptr);
        EXPECT_EQ(actor->GetSurface().get(), s.get());
        ASSERT_EQ(log.Lines().size(), 1u) << log.Text();
        EXPECT_TRUE(log.Contains("createSepia: a downscale of 5 leaves nothing of a 4 x 4 picture")) << log.Text();
    }
    // Out-of-range canvases are refused, not asked of the display.
    {
        testkit::LogCapture log;
        game::CreateOuterGlow(&display, actor.get(), 1 << 30, 1 << 30, pf::Color(), 1);
        EXPECT_EQ(actor->GetSurface().get(), s.get());
        ASSERT_EQ(log.Lines().size(), 1u) << log.Text();
        EXPECT_TRUE(log.Contains("createOuterGlow: a canvas of 4294967302 x 4294967302 is larger")) << log.Text();
    }
}

// Records the canvas asked for and makes none, so huge canvases cost nothing.
struct AskedDisplay : MemoryDisplay {
    std::vector<std::pair<int, int>> asked;
    my_intrusive_ptr<pf::Surface> CreateSurface(int w, int h, pf::PixelFormat) override {
        asked.emplace_back(w, h);
        return nullptr;
    }
};

TEST_F(ImageEffectsTest, GlowCanvasKeepsTheWholeMarginOrIsNotAskedFor) {
    constexpr int kMax = 2147483647;
    struct Case {
        int glow, blur, side;  // side: of the square picture
        int expect;            // side of the canvas asked for; 0: none asked
    } cases[] = {
        {5000, 0, 1, 10003},         // radii past the kernels still widen the canvas
        {0, 8190, 2, 16384},         // the widest canvas made
        {0, 8191, 2, 0},             // one pixel past it
        {kMax, 0, 1, 0},             // radii summing past int
        {kMax, kMax, 1, 0},
        {-kMax - 1, -kMax - 1, 3, 5},  // negative radii count as 0
    };
    for (const Case& c : cases) {
        AskedDisplay asking;
        Show(Solid(c.side, c.side, 0xFFFFFFFFu));
        game::CreateOuterGlow(&asking, actor.get(), c.glow, c.blur, pf::Color(1, 2, 3, 255), 1);
        const std::vector<std::pair<int, int>> expected =
            c.expect ? std::vector<std::pair<int, int>>{{c.expect, c.expect}} : std::vector<std::pair<int, int>>{};
        EXPECT_EQ(asking.asked, expected) << c.glow << " " << c.blur;
    }
}

TEST_F(ImageEffectsTest, NonArgbSourcesAreConvertedFirst) {
    // Each source pixel is (100, 200, 50) or white in its own layout; grey 167 or 254.
    struct Case {
        pf::PixelFormat format;
        std::vector<uint8_t> pixel;  // the bytes of one pixel
        uint32_t grey;
    } cases[] = {
        {pf::PixelFormat::B8G8R8, {100, 200, 50}, 0xFFA7A7A7u},            // bytes r, g, b: opaque
        {pf::PixelFormat::X8R8G8B8, {50, 200, 100, 0x12}, 0xFFA7A7A7u},    // the unused byte is no alpha
        {pf::PixelFormat::A8B8G8R8, {100, 200, 50, 0x80}, 0x80A7A7A7u},
        {pf::PixelFormat::A8, {0x80}, 0x80FEFEFEu},                         // white of that alpha
    };
    for (const Case& c : cases) {
        my_intrusive_ptr<pf::MemorySurface> s(new pf::MemorySurface);
        const int bpp = int(c.pixel.size());
        s->Init(3, 2, bpp, c.format);
        pf::PixelView v = s->GetView();
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) std::copy(c.pixel.begin(), c.pixel.end(), v.data + y * v.pitch + x * bpp);
        actor->SetSurface(s.get());
        game::Desaturate(&display, actor.get());
        ASSERT_NE(actor->GetSurface().get(), s.get()) << int(c.format);
        for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(Shown(), x, 1), c.grey) << int(c.format) << " at " << x;
    }
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> Bytes(const pf::PixelView& v) {
    std::vector<uint8_t> out;
    for (int y = 0; y < v.height; ++y) out.insert(out.end(), v.data + y * v.pitch, v.data + y * v.pitch + v.width * 4);
    return out;
}

TEST(ColourKernelsTest, MatchAnIndependentReferenceByteForByte) {
    RUV3_REQUIRE_PROGRAM("/usr/bin/python3.11");
    testkit::TempDir dir;
    const int w = 64, h = 48;
    pf::SeedRand(7);
    auto src = Picture(w, h, [](int, int) { return pf::rand32b(); });
    const std::string in = (dir.Path() / "in.raw").string();
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(Bytes(src->GetView()).data()), w * h * 4);
    const float m[9] = {0.5f, 0.3f, 0.25f, 1.1f, -0.2f, 0.4f, 0.131f, 0.534f, 0.272f};
    std::ostringstream cmd;
    cmd << "/usr/bin/python3.11 " << RUV3_SOURCE_DIR << "/tests/gamescene/effects_reference.py " << w << " " << h << " "
        << in << " " << dir.Path() / "grey.raw" << " " << dir.Path() / "matrix.raw";
    for (float f : m) cmd << " " << f;
    ASSERT_EQ(testkit::RunCommand(cmd.str()), 0);

    pf::MemorySurface grey(w, h), matrix(w, h);
    pf::PixelView gv = grey.GetView(), mv = matrix.GetView();
    game::DesaturateView(src->GetView(), gv);
    game::ColorMatrixView(m, src->GetView(), mv);
    EXPECT_EQ(Bytes(gv), ReadBytes((dir.Path() / "grey.raw").string()));
    EXPECT_EQ(Bytes(mv), ReadBytes((dir.Path() / "matrix.raw").string()));
}

TEST(ColourKernelsTest, AgreeWithImageMagicksColourMatrix) {
    RUV3_REQUIRE_PROGRAM("convert");
    testkit::TempDir dir;
    const int w = 32, h = 32;
    pf::SeedRand(11);
    auto src = Picture(w, h, [](int, int) { return pf::rand32b() | 0xFF000000u; });
    const std::string in = (dir.Path() / "in.bgra").string(), out = (dir.Path() / "out.bgra").string();
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(Bytes(src->GetView()).data()), w * h * 4);
    // ImageMagick rounds where the kernel truncates: one level apart at most.
    const std::string sepia = "'0.393 0.769 0.189 0.349 0.686 0.168 0.272 0.534 0.131'";
    const std::string cmd = "convert -size 32x32 -depth 8 bgra:" + in + " -color-matrix " + sepia + " -depth 8 bgra:" + out;
    ASSERT_EQ(testkit::RunCommand(cmd), 0);
    const std::vector<uint8_t> expected = ReadBytes(out);
    pf::MemorySurface mine(w, h);
    pf::PixelView mv = mine.GetView();
    game::ColorMatrixView(nullptr, src->GetView(), mv);
    const std::vector<uint8_t> got = Bytes(mv);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) ASSERT_LE(std::abs(int(got[i]) - int(expected[i])), 1) << i;
}

}  // namespace
}  // namespace gamescenetest
