// The time curves against values computed independently (curves_oracle.py, Python's math
// module), the end clamp, NaN, cloning and the base curve inside a controller.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "scene/TimeCurves.h"
#include "time/TimeTestSupport.h"

namespace {

using Curve = my_intrusive_ptr<TimeShift>;
Curve Acc(int m) { return Curve(new Accelerate(m)); }
Curve Dec(int m) { return Curve(new Decelerate(m)); }
Curve Delay(float d) { return Curve(new DelayLinear(d)); }
Curve Crest() { return Curve(new ::Crest); }
Curve Trough() { return Curve(new ::Trough); }
Curve Over() { return Curve(new OverShoot); }
Curve Pend(double swings) {
    auto* p = new Pendulum;
    p->SetNumSwings(swings);
    return Curve(p);
}

struct CurveRow {
    const char* name;
    Curve curve;
    double expected[10];
};

TEST(TimeCurves, MatchIndependentlyComputedValues) {
    const double kT[] = {-0.25, 0.0, 0.1, 0.25, 0.5, 0.75, 0.9, 0.999, 1.0, 1.5};
    const CurveRow rows[] = {
        {"Acc(0)", Acc(0), {0.07613376441903541, 1.0730859534291426e-09, 0.012303688869199525, 0.076098308416689631, 0.29284408353452829, 0.61724166823179405, 0.84347859833904804, 0.99833659717728862, 1, 1}},
        {"Acc(1)", Acc(1), {0.0625, 0, 0.010000000000000002, 0.0625, 0.25, 0.5625, 0.81000000000000005, 0.99800100000000003, 1, 1}},
        {"Acc(2)", Acc(2), {-0.015625, 0, 0.0010000000000000002, 0.015625, 0.125, 0.421875, 0.72900000000000009, 0.997002999, 1, 1}},
        {"Acc(3)", Acc(3), {0.00390625, 0, 0.00010000000000000002, 0.00390625, 0.0625, 0.31640625, 0.65610000000000002, 0.99600599600100004, 1, 1}},
        {"Acc(7)", Acc(7), {0.0625, 0, 0.010000000000000002, 0.0625, 0.25, 0.5625, 0.81000000000000005, 0.99800100000000003, 1, 1}},
        {"Dec(0)", Dec(0), {-0.3826727322450213, 0, 0.15642988939503458, 0.3826727322450213, 0.70709040200144146, 0.92386623558096459, 0.98768181734000227, 0.99999869253160467, 1, 1}},
        {"Dec(1)", Dec(1), {-0.5625, 0, 0.18999999999999995, 0.4375, 0.75, 0.9375, 0.98999999999999999, 0.99999899999999997, 1, 1}},
        {"Dec(2)", Dec(2), {-0.953125, 0, 0.27099999999999991, 0.578125, 0.875, 0.984375, 0.999, 0.99999999900000003, 1, 1}},
        {"Dec(3)", Dec(3), {-1.44140625, 0, 0.34389999999999998, 0.68359375, 0.9375, 0.99609375, 0.99990000000000001, 0.99999999999900002, 1, 1}},
        {"Dec(-1)", Dec(-1), {-0.5625, 0, 0.18999999999999995, 0.4375, 0.75, 0.9375, 0.98999999999999999, 0.99999899999999997, 1, 1}},
        {"Delay(0.0f)", Delay(0.0f), {0, 0, 0.10000000000000001, 0.25, 0.5, 0.75, 0.90000000000000002, 0.999, 1, 1}},
        {"Delay(0.5f)", Delay(0.5f), {0, 0, 0, 0, 0, 0.5, 0.80000000000000004, 0.998, 1, 1}},
        {"Delay(0.9f)", Delay(0.9f), {0, 0, 0, 0, 0, 0, 2.3841852248020174e-07, 0.99000000238418517, 1, 1}},
        {"Crest()", Crest(), {1.0308731532502047, -0.0015949456438052456, 0.2404320458908496, 0.37975259316818261, 0.5, 0.62024740683181745, 0.75956795410915046, 0.99743560255149033, 1.0015949456438054, 0.3754962837935566}},
        {"Trough()", Trough(), {-0.040850952368381876, 0.00038169104069823989, 0.02959791716194593, 0.10688251070106836, 0.5, 0.89311748929893164, 0.97040208283805407, 0.99937787620925556, 0.99961830895930182, 1.062259059752108}},
        {"Over()", Over(), {-0.98700000000000021, 0, 0.31248000000000009, 0.69299999999999984, 1.0919999999999999, 1.1970000000000001, 1.1188799999999999, 1.0093416480000001, 1.008, -0.25199999999999917}},
        {"Pend(1.5)", Pend(1.5), {1.8837811018340762, 1.0730859534291426e-09, 0.47100676552677256, 1.5303178015010812, 1.0000463267948303, 0.82319464378530272, 1.0587620331759198, 1.0009999533799006, 1, 1}},
        {"Pend(3.0)", Pend(3.0), {1.000231633973157, 1.0730859534291426e-09, 1.2781073642334857, 1.0000694901922453, 1.4999999865864255, 0.99990734641232804, 1.0309448744634699, 0.99900018737174356, 1, 1}},
    };
    for (const CurveRow& row : rows) {
        for (size_t i = 0; i < std::size(kT); ++i) {
            EXPECT_NEAR(row.curve->Shift(kT[i]), row.expected[i], 1e-12)
                << row.name << " at t = " << kT[i];
        }
    }
}

TEST(TimeCurves, ClampedCurvesAnswerOneForNaNAndPastTheEnd) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Curve& c : {Acc(0), Acc(1), Acc(2), Acc(3), Dec(0), Dec(1), Dec(3), Delay(0.5f), Pend(1.5)}) {
        EXPECT_EQ(c->Shift(nan), 1.0);
        EXPECT_EQ(c->Shift(1.0), 1.0);
        EXPECT_EQ(c->Shift(inf), 1.0);
        EXPECT_EQ(c->Shift(std::nextafter(1.0, 2.0)), 1.0);
    }
    // The S-curves and the overshoot are not clamped at either end.
    EXPECT_NEAR(Over()->Shift(1.0), 1.2 * 0.84, 1e-12);
    EXPECT_TRUE(std::isnan(Crest()->Shift(nan)));
}

TEST(TimeCurves, DelayLinearAtAndAboveOneIsNeverADivisionByZero) {
    // A delay of 1 or more leaves nothing to rise over: 0 below the end, 1 at it.
    for (float d : {1.0f, 2.0f}) {
        EXPECT_EQ(Delay(d)->Shift(0.99), 0.0);
        EXPECT_EQ(Delay(d)->Shift(1.0), 1.0);
    }
}

TEST(TimeCurves, OnlyAccelerateClones) {
    auto acc = Acc(3);
    Curve copy(acc->Clone());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), acc.get());
    EXPECT_EQ(copy->GetMagnitude(), 3);
    EXPECT_NE(dynamic_cast<Accelerate*>(copy.get()), nullptr);
    for (const Curve& c : {Dec(3), Delay(0.5f), Crest(), Trough(), Over(), Pend(1.5)}) EXPECT_EQ(c->Clone(), nullptr);
    Curve base(new TimeShift);
    EXPECT_EQ(base->Clone(), nullptr);
    EXPECT_TRUE(base->IsKindOf(TypeId::TimeShift));
    EXPECT_TRUE(Pend(1.5)->IsKindOf(TypeId::TimeShift));
    EXPECT_FALSE(base->IsKindOf(TypeId::Item));
}

class TimeShiftInController : public timetest::TimeTest {};

TEST_F(TimeShiftInController, ShiftedValueComesFromTheCurve) {
    // The base curve answers 0 for every step; a curve's output reaches Action narrowed
    // to float while the plain value stays as mapped.
    auto item = Make<timetest::TickItem>();
    for (auto [curve, expectShifted] : {std::pair<Curve, float>{Curve(new TimeShift), 0.0f},
                                        std::pair<Curve, float>{Dec(1), 0.75f}}) {
        auto m = Make<timetest::RecordingModifier>();
        auto tc = Make<TimeController>();
        tc->Init(1000, TimeController::Forward, -1, curve.get());
        item->ticks = 1000;
        item->AddModifier(m.get(), tc.get());
        item->ticks = 1500;
        item->Cycle();
        ASSERT_EQ(m->actions.size(), 2u);
        EXPECT_FLOAT_EQ(m->actions[1].value, 0.5f);
        EXPECT_FLOAT_EQ(m->actions[1].shifted, expectShifted);
        item->RemoveAllModifiers();
    }
}

}  // namespace
