#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/Event.h"
#include "shell/Exception.h"

using pf::Event;
using pf::EventProperty;
using pf::EventType;
using pf::Point;

namespace {

// Every event type the selectors treat differently, with distinct data in every slot.
Event Sample(int type) { return Event(type, 11, 22, 33, 44, 55, 66); }

struct GetIntCase {
    int selector;
    int active, keyDown, motion, buttonDown, buttonUp, wheel, click;
};

// Expected GetInt per selector for Active, KeyDown, MouseMotion, MouseButtonDown,
// MouseButtonUp, MouseWheel and ButtonClick events built by Sample.
const GetIntCase kGetIntCases[] = {
    {EventProperty::ACTIVE_GAIN, 11, 11, 11, 11, 11, 11, 11},
    {EventProperty::ACTIVE_STATE, 22, 22, 22, 22, 22, 22, 22},
    {EventProperty::KEY_SCANCODE, 33, 33, 33, 33, 33, 33, 33},
    {EventProperty::KEY_SYM, 44, 44, 44, 44, 44, 44, 44},
    {EventProperty::KEY_MOD, 55, 55, 55, 55, 55, 55, 55},
    {EventProperty::KEY_UNICODE, 66, 66, 66, 66, 66, 66, 66},
    {EventProperty::MMOTION_X, 0, 0, 33, 44, 44, 0, 0},
    {EventProperty::MMOTION_Y, 0, 0, 44, 55, 55, 0, 0},
    {EventProperty::MMOTION_XY, -1, -1, -1, -1, -1, -1, -1},
    {EventProperty::MMOTION_RX, 55, 55, 55, 55, 55, 55, 55},
    {EventProperty::MMOTION_RY, 66, 66, 66, 66, 66, 66, 66},
    {EventProperty::MMOTION_RXRY, -1, -1, -1, -1, -1, -1, -1},
    {EventProperty::WHICH_BUTTON, 22, 22, 22, 22, 22, 22, 22},
    {EventProperty::MOUSE_WHEEL_DELTA, 11, 11, 11, 11, 11, 11, 11},
    {EventProperty::MOUSE_X, 0, 0, 33, 44, 44, 0, 0},
    {EventProperty::MOUSE_Y, 0, 0, 44, 55, 55, 0, 0},
    {EventProperty::MOUSE_XY, -1, -1, -1, -1, -1, -1, -1},
    {EventProperty::CLICK_ID, 11, 11, 11, 11, 11, 11, 11},
    {EventProperty::USER_DATA_1, 22, 22, 22, 22, 22, 22, 22},
    {EventProperty::USER_DATA_2, 33, 33, 33, 33, 33, 33, 33},
    {39, 11, 11, 11, 11, 11, 11, 11},
    {20, -1, -1, -1, -1, -1, -1, -1},
    {-1, -1, -1, -1, -1, -1, -1, -1},
    {38, -1, -1, -1, -1, -1, -1, -1},
};

const int kTypes[] = {EventType::Active,        EventType::KeyDown,
                      EventType::MouseMotion,   EventType::MouseButtonDown,
                      EventType::MouseButtonUp, EventType::MouseWheel,
                      EventType::ButtonClick};

int Expected(const GetIntCase& c, int typeIndex) {
    const int row[] = {c.active, c.keyDown, c.motion, c.buttonDown, c.buttonUp, c.wheel, c.click};
    return row[typeIndex];
}

}  // namespace

TEST(EventProperties, GetIntOverSelectorsAndTypes) {
    for (const GetIntCase& c : kGetIntCases) {
        for (int t = 0; t < 7; ++t) {
            Event e = Sample(kTypes[t]);
            EXPECT_EQ(e.GetInt(c.selector), Expected(c, t))
                << "selector " << c.selector << " type " << kTypes[t];
        }
    }
}

// SetInt writes exactly the slot GetInt reads (when GetInt reads a slot), and nothing else.
TEST(EventProperties, SetIntWritesTheSlotGetIntReads) {
    for (const GetIntCase& c : kGetIntCases) {
        for (int t = 0; t < 7; ++t) {
            Event e = Sample(kTypes[t]);
            Event before = e;
            e.SetInt(c.selector, 999);
            int expected = Expected(c, t);
            int changed = 0;
            for (int i = 0; i < Event::kDataCount; ++i)
                if (e.GetData(i) != before.GetData(i)) ++changed;
            bool readsSlot = expected != -1 && !(expected == 0 && c.selector != EventProperty::KEY_UNICODE);
            if (c.selector == EventProperty::KEY_UNICODE) {
                // Reads data[6] (non-zero here), writes data[6].
                EXPECT_EQ(e.GetData(6), 999);
                EXPECT_EQ(changed, 1);
            } else if (readsSlot) {
                EXPECT_EQ(e.GetInt(c.selector), 999) << "selector " << c.selector << " type " << kTypes[t];
                EXPECT_EQ(changed, 1) << "selector " << c.selector << " type " << kTypes[t];
            } else {
                EXPECT_EQ(changed, 0) << "selector " << c.selector << " type " << kTypes[t];
            }
            EXPECT_EQ(e.GetType(), kTypes[t]);
        }
    }
}

TEST(EventProperties, KeyUnicodeFallsBackToTheKeyCode) {
    Event withChar(EventType::KeyDown, 0, 1, 30, 97, 0, 'a');
    Event withoutChar(EventType::KeyDown, 0, 1, 30, 97, 0, 0);
    EXPECT_EQ(withChar.GetInt(EventProperty::KEY_UNICODE), 'a');
    EXPECT_EQ(withoutChar.GetInt(EventProperty::KEY_UNICODE), 97);
}

TEST(EventProperties, GetPointOverSelectorsAndTypes) {
    struct Case {
        int type, selector;
        Point expected;
    } cases[] = {
        {EventType::MouseMotion, EventProperty::MOUSE_XY, {33, 44}},
        {EventType::MouseMotion, EventProperty::MMOTION_XY, {33, 44}},
        {EventType::MouseButtonDown, EventProperty::MOUSE_XY, {44, 55}},
        {EventType::MouseButtonUp, EventProperty::MMOTION_XY, {44, 55}},
        {EventType::KeyDown, EventProperty::MOUSE_XY, {0, 0}},
        {EventType::MouseWheel, EventProperty::MMOTION_XY, {0, 0}},
        {EventType::MouseMotion, EventProperty::MMOTION_RXRY, {55, 66}},
        {EventType::KeyDown, EventProperty::MMOTION_RXRY, {55, 66}},
        {EventType::MouseMotion, EventProperty::MOUSE_X, {0, 0}},
        {EventType::MouseMotion, EventProperty::CLICK_ID, {0, 0}},
        {EventType::MouseMotion, 77, {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sample(c.type).GetPoint(c.selector), c.expected)
            << "type " << c.type << " selector " << c.selector;
}

TEST(EventRecord, StateAndMouseClassification) {
    struct Case {
        int type, state;
        bool mouse;
    } cases[] = {
        {EventType::Active, 22, false},       {EventType::KeyDown, 22, false},
        {EventType::KeyChar, 22, false},      {EventType::MouseMotion, 22, true},
        {EventType::MouseButtonDown, 33, true}, {EventType::MouseButtonUp, 33, true},
        {EventType::MouseWheel, 0, false},    {EventType::ButtonClick, 0, false},
        {EventType::None, 0, false},
    };
    for (const Case& c : cases) {
        Event e = Sample(c.type);
        EXPECT_EQ(e.GetState(), c.state) << "type " << c.type;
        EXPECT_EQ(e.isMouseEvent(), c.mouse) << "type " << c.type;
    }
}

TEST(EventRecord, CopiesEveryFieldAndBoundsIndices) {
    Event e = Sample(EventType::ButtonClick);
    e.SetClaimed(true);
    e.SetString(0, L"zero");
    e.SetString(2, L"two");
    e.SetString(3, L"ignored");
    e.SetString(-1, L"ignored");
    e.SetData(7, 5);
    Event copy = e;
    EXPECT_TRUE(copy == e);
    EXPECT_TRUE(copy.IsClaimed());
    EXPECT_EQ(copy.GetString(0), L"zero");
    EXPECT_EQ(copy.GetString(1), L"");
    EXPECT_EQ(copy.GetString(2), L"two");
    EXPECT_EQ(copy.GetString(3), L"");
    EXPECT_EQ(copy.GetData(7), 0);
    copy.SetString(1, L"x");
    EXPECT_FALSE(copy == e);
}

TEST(ExceptionRecord, KeepsItsOwnCopyOfTheText) {
    char buffer[16];
    std::strcpy(buffer, "boom");
    pf::Exception e(buffer, pf::ExceptionType::User, pf::ExceptionBox::Always);
    std::strcpy(buffer, "gone");
    EXPECT_STREQ(e.GetText(), "boom");
    EXPECT_EQ(e.GetType(), 0);
    EXPECT_EQ(e.GetBox(), 1);
    pf::Exception quit(nullptr, pf::ExceptionType::Quit);
    EXPECT_EQ(quit.GetText(), nullptr);
    EXPECT_EQ(quit.GetBox(), -1);
}
