// The game's modifiers stepped by hand over a clock of the test's own, and its curves.
#include <cmath>

#include "SceneFakes.h"
#include "game/BoardSpacesActor.h"
#include "game/GameCurves.h"
#include "game/GameModifiers.h"
#include "scene/Actor.h"
#include "shell/Random.h"
#include "shell/foundation/TextHelpers.h"

namespace gamescenetest {
namespace {

using ClockedItem = Clocked<Item>;

TEST(FallModifierTest, FallsOnTheClientsClockAndFinishesBelowZero) {
    my_intrusive_ptr<ClockedItem> piece(new ClockedItem);
    my_intrusive_ptr<FallModifier> fall(new FallModifier);
    EXPECT_EQ(fall->GetName(), L"FallModifier");
    fall->SetClient(piece.get());
    fall->Init(pf::Point(100, 200), 50.0f, 100.0f, 0.0f, true);
    fall->Start();
    EXPECT_EQ(piece->GetPosition(), pf::Point(100, 150));
    piece->ticks = 1000;
    fall->Cycle();  // the first step only takes the time
    EXPECT_EQ(piece->GetPosition(), pf::Point(100, 150));
    piece->ticks += 250;
    fall->Cycle();
    EXPECT_EQ(piece->GetPosition(), pf::Point(100, 175));
    piece->ticks += 250;
    fall->Cycle();  // the offset is exactly 0: not finished
    EXPECT_EQ(piece->GetPosition(), pf::Point(100, 200));
    EXPECT_FALSE(fall->IsDone());
    piece->ticks += 10;
    fall->Cycle();
    EXPECT_TRUE(fall->IsDone());
    EXPECT_EQ(piece->GetPosition(), pf::Point(100, 200));
}

TEST(FallModifierTest, SpeedGrowsWithAccelerationAndRisingPiecesComeUp) {
    my_intrusive_ptr<ClockedItem> piece(new ClockedItem);
    my_intrusive_ptr<FallModifier> fall(new FallModifier);
    fall->SetClient(piece.get());
    fall->Init(pf::Point(0, 100), 30.0f, 5.0f, 10.0f, false);
    fall->Start();
    EXPECT_EQ(piece->GetPosition(), pf::Point(0, 130));
    piece->ticks = 1;
    fall->Cycle();
    piece->ticks += 2000;
    fall->Cycle();
    EXPECT_FLOAT_EQ(fall->GetFallSpeed(), 25.0f);
    EXPECT_EQ(piece->GetPosition(), pf::Point(0, 180));  // 30 + 2 x 25 below the rest
    // Without a client nothing moves and nothing breaks.
    my_intrusive_ptr<FallModifier> lone(new FallModifier);
    lone->Start();
    lone->Cycle();
    EXPECT_FALSE(lone->IsDone());
}

TEST(FallModifierTest, OffsetsBeyondTheIntRangeStartAtItsEnd) {
    const float nan = std::nanf("");
    struct Case {
        pf::Point rest;
        float offset;
        bool fromAbove;
        int y;
        bool doneAfterAStep;  // an offset that is not a number ends the fall at once
    } cases[] = {
        {pf::Point(3, 0), 1e10f, true, -2147483647, false},
        {pf::Point(3, 0), 1e10f, false, 2147483647, false},
        {pf::Point(3, -2147483647 - 1), 1e10f, true, -2147483647 - 1, false},
        {pf::Point(3, 2147483647), 5.0f, false, 2147483647, false},
        {pf::Point(3, 40), nan, true, 40, true},
        {pf::Point(3, 40), -1e30f, true, 2147483647, true},
    };
    for (const Case& c : cases) {
        my_intrusive_ptr<ClockedItem> piece(new ClockedItem);
        my_intrusive_ptr<FallModifier> fall(new FallModifier);
        fall->SetClient(piece.get());
        fall->Init(c.rest, c.offset, 1.0f, 0.0f, c.fromAbove);
        fall->Start();
        EXPECT_EQ(piece->GetPositionF().x, 3.0f);
        EXPECT_EQ(piece->GetPositionF().y, float(c.y)) << c.offset << " " << c.fromAbove;
        piece->ticks = 1000;
        fall->Cycle();
        piece->ticks += 100;
        fall->Cycle();
        EXPECT_EQ(fall->IsDone(), c.doneAfterAStep) << c.offset << " " << c.fromAbove;
        if (c.doneAfterAStep) {
            EXPECT_EQ(piece->GetPositionF().y, float(c.rest.y));
        }
    }
}

TEST(QuiverTest, PiecesShakeByDistanceAndGoBack) {
    my_intrusive_ptr<Item> client(new Item);
    Item::ItemList pieces;
    for (pf::Point p : {pf::Point(100, 100), pf::Point(100 + 270, 100), pf::Point(150, 100), pf::Point(5, 5)}) {
        pieces.push_back(my_intrusive_ptr<Item>(new Item));
        pieces.back()->SetPosition(p);
    }
    pieces[3]->SetEnabled(false);
    my_intrusive_ptr<PirnelsQuiverEffect> quiver(new PirnelsQuiverEffect);
    quiver->SetClient(client.get());
    quiver->Init(20.0f, pieces, pf::Point(100, 100));
    EXPECT_EQ(quiver->GetItemCount(), 3u);
    pf::SeedRand(3);
    bool moved = false;
    for (int i = 0; i < 20; ++i) {
        quiver->Action(0.25f, 0.25f);
        const pf::Point p = pieces[0]->GetPosition();
        EXPECT_LE(std::abs(p.x - 100), 8);  // 20 x 0.5 x 0.75
        EXPECT_LE(std::abs(p.y - 100), 8);
        moved = moved || p != pf::Point(100, 100);
        EXPECT_EQ(pieces[1]->GetPosition(), pf::Point(370, 100));  // 270 away: still
    }
    EXPECT_TRUE(moved);
    quiver->Action(1.0f, 1.0f);
    EXPECT_EQ(pieces[0]->GetPosition(), pf::Point(100, 100));
    pieces[2]->SetPositionF(pf::VectorT2(151.7f, 98.2f));
    quiver->Finish();
    EXPECT_EQ(pieces[2]->GetPosition(), pf::Point(150, 100));
    EXPECT_EQ(pieces[2]->GetPositionF().x, 150.0f);
    EXPECT_TRUE(quiver->IsDone());
}

TEST(QuiverTest, ShakenPiecesStayValidWhileTheEffectHoldsThem) {
    // A piece that tells when it is released.
    struct Piece : Item {
        explicit Piece(bool& gone) : gone(gone) {}
        ~Piece() override { gone = true; }
        bool& gone;
    };
    bool gone = false;
    my_intrusive_ptr<Item> client(new Item);
    my_intrusive_ptr<PirnelsQuiverEffect> quiver(new PirnelsQuiverEffect);
    quiver->SetClient(client.get());
    Item* piece = nullptr;
    {
        Item::ItemList pieces{my_intrusive_ptr<Item>(new Piece(gone))};
        piece = pieces[0].get();
        piece->SetPosition(pf::Point(7, 9));
        quiver->Init(10.0f, pieces, pf::Point(7, 9));
    }
    // The script dropped its list: the effect alone holds the piece, which still shakes
    // within the damped amplitude (10 x 0.5 x 0.5) and goes back to where it was.
    ASSERT_FALSE(gone);
    EXPECT_EQ(piece->GetRefCount(), 1);
    pf::SeedRand(5);
    bool moved = false;
    for (int i = 0; i < 20; ++i) {
        quiver->Action(0.5f, 0.5f);
        const pf::VectorT2 p = piece->GetPositionF();
        EXPECT_LE(std::fabs(p.x - 7.0f), 2.5f);
        EXPECT_LE(std::fabs(p.y - 9.0f), 2.5f);
        moved = moved || p.x != 7.0f || p.y != 9.0f;
    }
    EXPECT_TRUE(moved);
    quiver->Finish();
    EXPECT_EQ(piece->GetPosition(), pf::Point(7, 9));
    EXPECT_FALSE(gone);
    // Released with the effect, not before and not never.
    quiver.reset();
    EXPECT_TRUE(gone);
}

TEST(QuiverTest, BoardShakesAroundItsStartWithinTheDampedAmplitude) {
    my_intrusive_ptr<Item> board(new Item);
    board->SetPosition(pf::Point(40, 60));
    my_intrusive_ptr<BoardQuiverEffect> quiver(new BoardQuiverEffect);
    quiver->SetClient(board.get());
    quiver->Init(10.0f);
    quiver->Start();
    for (float value : {0.0f, 0.3f, 0.9f}) {
        for (int i = 0; i < 20; ++i) {
            quiver->Action(value, value);
            const pf::VectorT2 p = board->GetPositionF();
            EXPECT_LE(std::fabs(p.x - 40.0f), 5.0f * (1.0f - value) + 1e-4f);
            EXPECT_LE(std::fabs(p.y - 60.0f), 5.0f * (1.0f - value) + 1e-4f);
        }
    }
    quiver->Action(1.0f, 1.0f);
    EXPECT_EQ(board->GetPosition(), pf::Point(40, 60));
}

TEST(ShimmerTest, RunsThePlateCelsOnceAndFinishesAtCelZero) {
    my_intrusive_ptr<BoardSpacesActor> board(new BoardSpacesActor);
    auto back = AnimOf(Solid(80, 40, 0xFFFFFFFFu).get());
    board->SetBackAnim(back.get(), 2, 1);
    my_intrusive_ptr<SpaceShimmerModifier> shimmer(new SpaceShimmerModifier);
    shimmer->SetClient(board.get());
    shimmer->Init(1, 0, 4);
    shimmer->Start();
    std::vector<int> seen;
    for (float v : {0.0f, 0.26f, 0.5f, 0.76f}) {
        shimmer->Action(v, v);
        seen.push_back(board->GetBoardCell(1, 0)->cel);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(shimmer->IsDone());
    shimmer->Action(1.0f, 1.0f);
    EXPECT_EQ(board->GetBoardCell(1, 0)->cel, 0);
    EXPECT_TRUE(shimmer->IsDone());

    // Another client class is left alone.
    my_intrusive_ptr<Actor> plain(new Actor);
    my_intrusive_ptr<SpaceShimmerModifier> other(new SpaceShimmerModifier);
    other->SetClient(plain.get());
    other->Action(1.0f, 1.0f);
    EXPECT_FALSE(other->IsDone());
}

// A modifier that finishes itself in the step its controller ends in: onDone runs once.
TEST(SelfFinishingTest, OnDoneRunsOnceWhenTheControllerEndsInTheSameStep) {
    using ClockedBoard = Clocked<BoardSpacesActor>;
    my_intrusive_ptr<ClockedBoard> board(new ClockedBoard);
    auto back = AnimOf(Solid(80, 40, 0xFFFFFFFFu).get());
    board->SetBackAnim(back.get(), 2, 1);
    my_intrusive_ptr<SpaceShimmerModifier> shimmer(new SpaceShimmerModifier);
    shimmer->Init(1, 0, 4);
    my_intrusive_ptr<FallModifier> fall(new FallModifier);
    fall->Init(pf::Point(0, 50), 10.0f, 100.0f, 0.0f, true);  // below 0 after 100 ms
    for (Modifier* m : std::initializer_list<Modifier*>{shimmer.get(), fall.get()}) {
        int done = 0;
        m->SetOnDone(Callback([&done] { ++done; }));
        my_intrusive_ptr<TimeController> tc(new TimeController);
        tc->Init(150, TimeController::Forward, 1, nullptr);
        board->ticks = 1000;
        board->AddModifier(m, tc.get());
        for (int i = 0; i < 4; ++i) {
            board->ticks += 150;
            board->Cycle();
        }
        EXPECT_TRUE(m->IsDone()) << pf::ToUtf8(m->GetName());
        EXPECT_EQ(done, 1) << pf::ToUtf8(m->GetName());
    }
    EXPECT_EQ(board->GetBoardCell(1, 0)->cel, 0);
    EXPECT_EQ(board->GetPosition(), pf::Point(0, 50));
}

TEST(ColorBlendTest, ColourAndBrightnessMoveToTheirTargets) {
    my_intrusive_ptr<Actor> actor(new Actor);
    my_intrusive_ptr<ColorModifier> colour(new ColorModifier);
    EXPECT_EQ(colour->GetTargetColor(), pf::Color(128, 128, 128, 255));
    colour->SetClient(actor.get());
    colour->Start();
    colour->Action(0.0f, 0.5f);
    EXPECT_EQ(actor->GetColor(), pf::Color(191, 191, 191, 255));
    colour->Action(0.0f, 1.0f);
    EXPECT_EQ(actor->GetColor(), pf::Color(128, 128, 128, 255));
    colour->Action(0.0f, std::nanf(""));  // not a number: the start colour
    EXPECT_EQ(actor->GetColor(), pf::Color(255, 255, 255, 255));

    EXPECT_EQ(BrightnessModifier().GetTargetColor(), pf::Color(0, 0, 0, 255));
    EXPECT_EQ(ColorModifier(pf::Color(1, 2, 3, 4)).GetTargetColor(), pf::Color(1, 2, 3, 4));
    my_intrusive_ptr<BrightnessModifier> bright(new BrightnessModifier(pf::Color(200, 100, 50, 255)));
    EXPECT_EQ(bright->GetName(), L"BrightnessModifier");
    bright->SetClient(actor.get());
    bright->Start();
    bright->Action(0.0f, 0.5f);
    const pf::Color b = actor->GetBrightness();
    EXPECT_EQ(pf::Color(b.r, b.g, b.b, 255), pf::Color(100, 50, 25, 255));
}

TEST(GameCurvesTest, ShapesAndEnds) {
    TimeShiftStartSlow start;
    TimeShiftEndSlow end;
    FallTimeShift fall;
    EXPECT_NEAR(start.Shift(0.9), 0.5, 1e-9);
    EXPECT_NEAR(end.Shift(0.1), 0.5, 1e-9);
    EXPECT_NEAR(fall.Shift(0.6), 2.0 - std::log10(40.0), 1e-9);
    EXPECT_NEAR(fall.Shift(0.8), 0.7, 0.005);
    for (TimeShift* curve : std::initializer_list<TimeShift*>{&start, &end, &fall}) {
        EXPECT_EQ(curve->Shift(0.0), 0.0);
        EXPECT_EQ(curve->Shift(1.0), 1.0);
        double last = 0.0;
        for (int i = 0; i <= 100; ++i) {
            const double v = curve->Shift(i / 100.0);
            EXPECT_GE(v, last - 1e-12);
            last = v;
        }
        EXPECT_EQ(curve->Shift(2.0), 1.0);  // outside 0..1: the nearest end, never NaN
        EXPECT_EQ(curve->Shift(-1.0), 0.0);
    }
}

}  // namespace
}  // namespace gamescenetest
