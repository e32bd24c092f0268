// Fixtures of the time and input-handler tests: a fake platform clock with a fresh root
// item, an item with a settable time, a modifier that records its steps and a clickable
// test client.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "scene/ButtonHandler.h"
#include "scene/Item.h"
#include "scene/Modifier.h"
#include "scene/RootItem.h"
#include "scene/SceneTestSupport.h"
#include "shell/Clock.h"

namespace timetest {

// An item whose time is set by the test.
class TickItem : public Item {
public:
    int ticks = 0;
    int GetTicks() const override { return ticks; }
};

// Records each Action, Finish and Cycle; optional hooks run inside them.
class RecordingModifier : public Modifier {
public:
    struct Step {
        float value, shifted;
    };
    std::vector<Step> actions;
    int finishes = 0;
    int cycles = 0;
    std::function<void()> onAction;
    std::function<void()> onCycle;

    void Action(float value, float shifted) override {
        actions.push_back({value, shifted});
        if (onAction) onAction();
    }
    void Cycle() override {
        ++cycles;
        if (onCycle) onCycle();
    }
    void Finish() override {
        ++finishes;
        Modifier::Finish();
    }
};

// A client that is hit inside its own rectangle (position, size), counts clicks and offers
// key equivalents like a button.
class TestButton : public Item, public ButtonKeyEquivalents {
public:
    explicit TestButton(bool isButton = true) : isButton_(isButton) { SetSize(pf::Point(100, 50)); }
    int keys[kCount] = {0, 0, 0};
    std::vector<int> clicks, doubleClicks;
    std::function<void()> onClickHook;

    bool IsKindOf(int typeId) const override {
        return (isButton_ && typeId == TypeId::Button) || Item::IsKindOf(typeId);
    }
    int GetKeyEquivalent(int index) const override { return index >= 0 && index < kCount ? keys[index] : 0; }
    bool HitTest(const TreeState& s) override {
        return GetInternalRect().PointIn(pf::Point(static_cast<int>(s.mouse.x), static_cast<int>(s.mouse.y)));
    }
    void Click(int button) override {
        clicks.push_back(button);
        if (onClickHook) onClickHook();
    }
    void DoubleClick(int button) override { doubleClicks.push_back(button); }

private:
    bool isButton_;
};

// A fresh current root and a platform clock the test moves (`now`), as the scene tests
// use them.
class TimeTest : public scenetest::SceneTest {
protected:
    // Cycles the root: items, deferred deletes, then the posted events.
    void Frame() { root->Cycle(); }
};

inline pf::Event MouseEvent(int type, int x, int y, int button = pf::ButtonType::Left) {
    pf::Event e(type, 0);
    if (type != pf::EventType::MouseMotion) e.SetInt(pf::EventProperty::WHICH_BUTTON, button);
    e.SetInt(pf::EventProperty::MOUSE_X, x);
    e.SetInt(pf::EventProperty::MOUSE_Y, y);
    return e;
}

inline pf::Event KeyEvent(int sym) {
    pf::Event e(pf::EventType::KeyDown, 0);
    e.SetInt(pf::EventProperty::KEY_SYM, sym);
    return e;
}

}  // namespace timetest
