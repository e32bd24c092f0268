// Fog tiles and their billowing quads; the secret entrance's cells, shift, clip and mask.
#include <cmath>

#include "SceneFakes.h"
#include "game/FogTurbulenceActor.h"
#include "game/SecretEntranceActor.h"

namespace gamescenetest {
namespace {

using Fog = Clocked<FogTurbulenceActor>;

std::pair<int, int> TileOf(const FogTurbulenceActor& fog, int c, int r) {
    const auto& t = fog.GetTile(c, r);
    return t.visible ? std::make_pair(t.column, t.row) : std::make_pair(-1, -1);
}

TEST(FogTest, TilesCloseTheBorderOfTheFoggedArea) {
    my_intrusive_ptr<Fog> fog(new Fog);
    fog->AddCel(12, 10);  // alone: not drawn
    for (int c = 2; c <= 4; ++c)
        for (int r = 3; r <= 5; ++r) fog->AddCel(c, r);
    fog->AddCel(13, 0);  // outside the grid
    fog->AddCel(0, 11);
    fog->Init(40.0f, 3.0f, 5.0f);
    const std::vector<std::pair<std::pair<int, int>, std::pair<int, int>>> expected = {
        {{3, 4}, {1, 1}}, {{2, 3}, {0, 0}}, {{4, 3}, {2, 0}}, {{2, 5}, {0, 2}}, {{4, 5}, {2, 2}},
        {{3, 3}, {1, 0}}, {{2, 4}, {0, 1}}, {{4, 4}, {2, 1}}, {{3, 5}, {1, 2}}, {{12, 10}, {-1, -1}},
    };
    for (const auto& [cell, tile] : expected)
        EXPECT_EQ(TileOf(*fog, cell.first, cell.second), tile) << cell.first << "," << cell.second;
    EXPECT_EQ(TileOf(*fog, 12, 0), std::make_pair(-1, -1));
    EXPECT_TRUE(fog->GetBaseVertices().empty());  // no tile image: no quads
}

TEST(FogTest, MissingDiagonalsGiveInnerCorners) {
    // A 4 x 4 block without its top-left cell: cell (1, 1) misses only its upper-left
    // diagonal.
    my_intrusive_ptr<Fog> fog(new Fog);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            if (c || r) fog->AddCel(c, r);
    fog->Init(0.0f, 3.0f, 5.0f);
    EXPECT_EQ(TileOf(*fog, 1, 1), std::make_pair(3, 0));
    EXPECT_EQ(TileOf(*fog, 2, 2), std::make_pair(1, 1));
}

TEST(FogTest, QuadsBillowTogetherAndStayPutWithoutAmplitude) {
    MemoryDisplay display;
    auto tiles = AnimOf(Solid(200, 120, 0xFFFFFFFFu).get());
    my_intrusive_ptr<Fog> fog(new Fog);
    fog->SetResAnim(tiles.get());
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) fog->AddCel(c, r);
    fog->Init(0.0f, 3.0f, 5.0f);
    ASSERT_EQ(fog->GetBaseVertices().size(), 9u * 6);
    // The centre cell (1, 1) is the sixth quad in row order and shows tile (1, 1), half a
    // texel inside the tile, so that filtering never reaches into a neighbouring tile.
    const pf::DisplayVertex& centre = fog->GetBaseVertices()[4 * 6];
    EXPECT_FLOAT_EQ(centre.x, 40.0f);
    EXPECT_FLOAT_EQ(centre.u, 40.5f / 200.0f);
    EXPECT_FLOAT_EQ(centre.v, 40.5f / 120.0f);
    const pf::DisplayVertex& far = fog->GetBaseVertices()[4 * 6 + 5];
    EXPECT_FLOAT_EQ(far.x, 80.0f);
    EXPECT_FLOAT_EQ(far.u, 79.5f / 200.0f);
    EXPECT_FLOAT_EQ(far.v, 79.5f / 120.0f);

    RenderState rs;
    rs.display = &display;
    fog->SetAlpha(128);
    fog->ticks = 123456;
    fog->Draw(rs);
    ASSERT_EQ(display.draws.size(), 1u);
    EXPECT_EQ(display.draws[0].texture, tiles->GetSurface().get());
    for (size_t i = 0; i < fog->GetBaseVertices().size(); ++i) {
        EXPECT_EQ(display.draws[0].vertices[i].x, fog->GetBaseVertices()[i].x);
        EXPECT_EQ(display.draws[0].vertices[i].color, 0x80FFFFFFu);
    }

    fog->Init(40.0f, 3.0f, 5.0f);  // a second Init appends the quads again
    EXPECT_EQ(fog->GetBaseVertices().size(), 18u * 6);
    display.draws.clear();
    fog->Draw(rs);
    ASSERT_EQ(display.draws.size(), 1u);
    const auto& moved = display.draws[0].vertices;
    bool displaced = false;
    for (size_t i = 0; i < moved.size(); ++i) {
        const pf::DisplayVertex& base = fog->GetBaseVertices()[i];
        EXPECT_LE(std::fabs(moved[i].x - base.x), 40.0f + 1e-3f);
        EXPECT_LE(std::fabs(moved[i].y - base.y), 40.0f + 1e-3f);
        displaced = displaced || moved[i].x != base.x;
        // Corners shared by neighbouring quads move together.
        for (size_t j = 0; j < i; ++j)
            if (fog->GetBaseVertices()[j].x == base.x && fog->GetBaseVertices()[j].y == base.y) {
                EXPECT_EQ(moved[j].x, moved[i].x);
                EXPECT_EQ(moved[j].y, moved[i].y);
            }
    }
    EXPECT_TRUE(displaced);
}

class EntranceTest : public testing::Test {
protected:
    MemoryDisplay display;
    my_intrusive_ptr<SecretEntranceActor> entrance{new SecretEntranceActor};
    my_intrusive_ptr<pf::MemorySurface> source = Solid(100, 60, 0x80336699u);
    my_intrusive_ptr<ResAnim> image = AnimOf(source.get());

    int AlphaAt(int x, int y) { return int(PixelAt(*entrance->GetCopy(), x, y) >> 24); }
};

TEST_F(EntranceTest, InitShowsAPrivateCopy) {
    entrance->Init(&display, image.get(), 2, 3);
    ASSERT_TRUE(entrance->GetCopy());
    EXPECT_NE(entrance->GetCopy().get(), source.get());
    EXPECT_EQ(entrance->GetSurface().get(), entrance->GetCopy().get());
    EXPECT_EQ(PixelAt(*entrance->GetCopy(), 99, 59), 0x80336699u);
    entrance->SetCellStatus(0, 0, true);
    EXPECT_EQ(AlphaAt(0, 0), 255);
    EXPECT_EQ(PixelAt(*source, 0, 0), 0x80336699u);  // the source is untouched
}

TEST_F(EntranceTest, CellsChangeOnlyInsideTheGridAndTheImage) {
    entrance->Init(&display, image.get(), 2, 3);
    entrance->SetCellStatus(3, 0, true);  // column outside the grid
    entrance->SetCellStatus(0, -1, true);
    EXPECT_EQ(AlphaAt(0, 0), 0x80);
    // The cell (2, 1) covers x 80..119 and y 40..79: only its part inside changes.
    entrance->SetCellStatus(2, 1, false);
    EXPECT_EQ(AlphaAt(80, 40), 0);
    EXPECT_EQ(AlphaAt(99, 59), 0);
    EXPECT_EQ(AlphaAt(79, 40), 0x80);
    // Shifted 20 to the left, the first column covers image x 0..19.
    entrance->SetShift(pf::Point(-20, 0));
    entrance->SetCellStatus(0, 0, true);
    EXPECT_EQ(AlphaAt(19, 0), 255);
    EXPECT_EQ(AlphaAt(20, 0), 0x80);
}

TEST_F(EntranceTest, CutReadsTheMaskFromWhereTheClipBegins) {
    // The mask's red is its column number, so the alpha shows which column was read.
    auto mask = AnimOf(Picture(40, 40, [](int x, int y) { return uint32_t(x + y) << 16; }).get());
    entrance->Init(&display, image.get(), 2, 3);
    entrance->Cut(-10, 0, mask.get());  // clipped on the left by 10
    EXPECT_EQ(AlphaAt(0, 0), 10);
    EXPECT_EQ(AlphaAt(29, 0), 39);
    entrance->Cut(90, 50, mask.get());  // clipped right and bottom: the mask from (0, 0)
    EXPECT_EQ(AlphaAt(90, 50), 0);
    EXPECT_EQ(AlphaAt(99, 59), 18);
    entrance->SetShift(pf::Point(5, 5));
    entrance->Cut(20, 10, mask.get());
    EXPECT_EQ(AlphaAt(25, 15), 0);
    entrance->Cut(1 << 30, 1 << 30, mask.get());  // far away: nothing
    entrance->Cut(0, 0, nullptr);
}

TEST_F(EntranceTest, MasksOfFewerBytesAPixelGiveTheirRed) {
    // Red in the left half of the mask, none in the right, stored in each narrow format.
    const auto red = Picture(40, 40, [](int x, int) { return x < 20 ? 0xFFFF0000u : 0xFF00FF00u; });
    for (pf::PixelFormat format : {pf::PixelFormat::R5G6B5, pf::PixelFormat::B8G8R8, pf::PixelFormat::A4R4G4B4,
                                   pf::PixelFormat::A1R5G5B5}) {
        my_intrusive_ptr<pf::MemorySurface> narrow(new pf::MemorySurface);
        narrow->Init(40, 40, pf::BytesPerPixel(format), format);
        pf::PixelView to = narrow->GetView();
        pf::ConvertView(red->GetView(), to);
        // Full red as the format holds it (248 in five bits).
        const int full = pf::ReadPixelColor(to.data, format).r;
        EXPECT_GE(full, 240);
        auto mask = AnimOf(narrow.get());
        entrance->Init(&display, image.get(), 2, 3);
        entrance->Cut(30, 10, mask.get());
        EXPECT_EQ(AlphaAt(30, 10), full) << int(format);
        EXPECT_EQ(AlphaAt(49, 49), full) << int(format);
        EXPECT_EQ(AlphaAt(50, 10), 0) << int(format);
        EXPECT_EQ(AlphaAt(69, 49), 0) << int(format);
        EXPECT_EQ(AlphaAt(70, 10), 0x80) << int(format);  // outside the area
    }
}

TEST_F(EntranceTest, NoSurfaceMeansNothingToChange) {
    entrance->Init(&display, nullptr, 2, 3);
    EXPECT_FALSE(entrance->GetCopy());
    display.failCreation = true;
    entrance->Init(&display, image.get(), 2, 3);
    EXPECT_FALSE(entrance->GetCopy());
    EXPECT_FALSE(entrance->GetSurface());
    entrance->SetCellStatus(0, 0, true);
    entrance->Cut(0, 0, image.get());
}

}  // namespace
}  // namespace gamescenetest
