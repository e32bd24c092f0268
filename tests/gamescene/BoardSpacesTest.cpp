// The board's cells and plates as the display receives them: one call per image, the cell
// rectangles, the per-cell alpha and the cases that draw nothing.
#include "SceneFakes.h"
#include "game/BoardSpacesActor.h"

namespace gamescenetest {
namespace {

class BoardSpacesTest : public testing::Test {
protected:
    MemoryDisplay display;
    my_intrusive_ptr<BoardSpacesActor> board{new BoardSpacesActor};
    my_intrusive_ptr<ResAnim> back = AnimOf(Solid(300, 100, 0xFFFFFFFFu).get());

    void Draw(int parentAlpha = 255) {
        display.draws.clear();
        RenderState rs;
        rs.display = &display;
        rs.alpha = parentAlpha;
        board->Draw(rs);
    }
    static uint8_t Alpha(const pf::DisplayVertex& v) { return uint8_t(v.color >> 24); }
};

TEST_F(BoardSpacesTest, ANewBoardDrawsNothingButItsChildren) {
    struct Child : Item {
        int draws = 0;
        void Draw(const RenderState&) override { ++draws; }
    };
    my_intrusive_ptr<Child> child(new Child);
    board->AddItem(child.get());
    Draw();
    EXPECT_TRUE(display.draws.empty());
    EXPECT_EQ(child->draws, 1);
}

TEST_F(BoardSpacesTest, CellsCoverTheirPieceOfTheBackground) {
    board->SetBackAnim(back.get(), 3, 2);
    EXPECT_EQ(board->GetCellWidth(), 100);
    EXPECT_EQ(board->GetCellHeight(), 50);
    board->SetSpaceOpacity(2, 1, 255);
    Draw();
    ASSERT_EQ(display.draws.size(), 1u);
    const DrawCall& call = display.draws[0];
    ASSERT_EQ(call.vertices.size(), 6u);
    EXPECT_EQ(call.triangles, 2);
    EXPECT_EQ(call.texture, back->GetSurface().get());
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (const auto& v : call.vertices) {
        minX = std::min(minX, v.x), maxX = std::max(maxX, v.x), minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
        EXPECT_FLOAT_EQ(v.u * 300.0f, v.x);  // source = destination
        EXPECT_FLOAT_EQ(v.v * 100.0f, v.y);
        EXPECT_EQ(v.color, 0xFFFFFFFFu);
    }
    EXPECT_EQ(pf::Rect(int(minX), int(minY), int(maxX - minX), int(maxY - minY)), pf::Rect(200, 50, 100, 50));
}

TEST_F(BoardSpacesTest, CellAlphaTakesTheActorsAlphaTwiceAndHidesZeroCells) {
    board->SetBackAnim(back.get(), 3, 1);
    board->SetAlpha(128);
    board->SetSpaceOpacity(0, 0, 255);
    board->SetSpaceOpacity(1, 0, 128);
    board->SetSpaceOpacity(2, 0, 1);  // 64 x 1 / 255 truncates to 0: not drawn
    Draw();
    ASSERT_EQ(display.draws.size(), 1u);
    ASSERT_EQ(display.draws[0].vertices.size(), 12u);
    EXPECT_EQ(Alpha(display.draws[0].vertices[0]), 64);
    EXPECT_EQ(Alpha(display.draws[0].vertices[6]), 32);
}

TEST_F(BoardSpacesTest, PlatesDrawInOneCallPerStripFromTheirCel) {
    auto first = AnimOf(Solid(400, 50, 0xFF0000FFu).get());
    auto second = AnimOf(Solid(200, 50, 0xFF00FF00u).get());
    board->SetBackAnim(back.get(), 3, 2);
    board->SetPlatesAnim(first.get(), second.get());
    board->SetPlate(0, 0, 1);
    board->SetCel(0, 0, 3);
    board->SetPlate(1, 1, 1);
    board->SetPlate(2, 1, 2);
    board->SetSpaceOpacity(2, 1, 200);
    board->SetPlate(2, 0, 3);  // no such strip
    Draw();
    ASSERT_EQ(display.draws.size(), 3u);  // background (one cell), first strip, second strip
    EXPECT_EQ(display.draws[1].texture, first->GetSurface().get());
    ASSERT_EQ(display.draws[1].vertices.size(), 12u);
    // Cel 3 of a 100-wide cell starts at u = 300 / 400; the opacity-0 cell's plate is drawn,
    // transparent.
    EXPECT_FLOAT_EQ(display.draws[1].vertices[0].u, 0.75f);
    EXPECT_EQ(Alpha(display.draws[1].vertices[0]), 0);
    EXPECT_EQ(display.draws[2].texture, second->GetSurface().get());
    ASSERT_EQ(display.draws[2].vertices.size(), 6u);
    EXPECT_EQ(Alpha(display.draws[2].vertices[0]), 200);
}

TEST_F(BoardSpacesTest, SettersIgnoreCellsOutsideTheGrid) {
    board->SetBackAnim(back.get(), 3, 2);
    board->SetCel(3, 0, 9);
    board->SetPlate(0, 2, 1);
    board->SetSpaceOpacity(0xFFFFFFFFu, 0xFFFFFFFFu, 1);
    for (unsigned c = 0; c < 3; ++c)
        for (unsigned r = 0; r < 2; ++r) {
            const BoardCell* cell = board->GetBoardCell(c, r);
            ASSERT_TRUE(cell);
            EXPECT_EQ(cell->cel | cell->plate | cell->opacity, 0);
        }
    EXPECT_EQ(board->GetBoardCell(3, 0), nullptr);
}

TEST_F(BoardSpacesTest, RegriddingKeepsValuesByIndexAndBadGridsAreRefused) {
    board->SetBackAnim(back.get(), 3, 2);
    board->SetSpaceOpacity(1, 1, 77);  // index 4
    board->SetBackAnim(back.get(), 2, 3);
    EXPECT_EQ(board->GetBoardCell(0, 2)->opacity, 77);
    // Empty grids and grids whose cell count overflows are refused: the board stays.
    board->SetBackAnim(back.get(), 0, 5);
    board->SetBackAnim(back.get(), 0x10000u, 0x10000u);  // 2^32 cells: 0 in 32 bits
    EXPECT_EQ(board->GetColumns(), 2u);
    EXPECT_EQ(board->GetRows(), 3u);
    board->SetSpaceOpacity(1, 2, 9);
    Draw();
    EXPECT_EQ(display.draws.size(), 1u);
    // A null anim clears the picture and keeps the grid.
    board->SetBackAnim(nullptr, 7, 7);
    EXPECT_FALSE(board->GetSurface());
    EXPECT_EQ(board->GetColumns(), 2u);
    Draw();
    EXPECT_TRUE(display.draws.empty());
}

TEST_F(BoardSpacesTest, PlateStripsAreHeldWhileSet) {
    board->SetBackAnim(back.get(), 1, 1);
    board->SetPlate(0, 0, 1);
    {
        auto strip = AnimOf(Solid(40, 40, 0xFFFFFFFFu).get());
        board->SetPlatesAnim(strip.get(), nullptr);
    }
    Draw();  // the strip is still there to draw from
    EXPECT_EQ(display.draws.size(), 1u);
}

}  // namespace
}  // namespace gamescenetest
