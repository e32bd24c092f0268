// Shared fixtures of the scene tests: a display that records the state it is given, a
// surface that records its draws, spy items and a fixture that resets the scene globals.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "scene/Actor.h"
#include "scene/ClockHandler.h"
#include "scene/EvtHandler.h"
#include "scene/Item.h"
#include "scene/RootItem.h"
#include "shell/Clock.h"
#include "common/NullDisplay.h"
#include "shell/pixels/MemorySurface.h"

namespace scenetest {

// Records the calls the scene makes; everything else answers neutrally.
class RecordingDisplay : public testkit::NullDisplay {
public:
    std::vector<std::string> calls;
    pf::Rect clip;
    bool clipSet = false;
    int alpha = -1;
    pf::MatrixT world = pf::MatrixT::MakeIdentity();

    std::string Joined() const {
        std::string s;
        for (const auto& c : calls) s += c + ";";
        return s;
    }

    void SetColor(int r, int g, int b, int a) override {
        alpha = a;
        Record("color", r, g, b, a);
    }
    void SetBrightness(int r, int g, int b, int a) override { Record("bright", r, g, b, a); }
    void SetBlendMode(pf::BlendMode m) override { Record("blend", static_cast<int>(m)); }
    void SetTransform(const pf::MatrixT& m) override {
        world = m;
        Record("transform", static_cast<int>(m.m[3][0]), static_cast<int>(m.m[3][1]));
    }
    void SetClipRect(const pf::Rect* r) override {
        clipSet = r != nullptr;
        if (r) {
            clip = *r;
            Record("clip", r->x, r->y, r->width, r->height);
        } else {
            calls.push_back("clip(none)");
        }
    }

    template <typename... Args>
    void Record(const char* what, Args... args) {
        std::ostringstream s;
        s << what << "(";
        const char* sep = "";
        ((s << sep << args, sep = ","), ...);
        s << ")";
        calls.push_back(s.str());
    }
};

// A memory surface that records each draw (with its tag and the alpha in force).
class RecordingSurface : public pf::MemorySurface {
public:
    RecordingSurface(int w, int h, std::string tag) : pf::MemorySurface(w, h), tag_(std::move(tag)) {}
    void Draw(pf::Display* display, const pf::Rect*, const pf::Rect* dest) override {
        auto* rec = static_cast<RecordingDisplay*>(display);
        rec->Record(("draw " + tag_).c_str(), rec->alpha, dest ? dest->width : -1, dest ? dest->height : -1);
    }
    // Sets one A8R8G8B8 pixel.
    void SetPixel(int x, int y, uint32_t argb) {
        pf::PixelView v = GetView();
        auto* p = v.data + y * v.pitch + x * 4;
        p[0] = argb & 0xff;
        p[1] = (argb >> 8) & 0xff;
        p[2] = (argb >> 16) & 0xff;
        p[3] = argb >> 24;
    }

private:
    std::string tag_;
};

// An item that writes what happens to it into a shared journal and can run a hook.
class SpyItem : public Item {
public:
    SpyItem(std::vector<std::string>* journal, std::string tag) : journal_(journal), tag_(std::move(tag)) {
        SetName(std::wstring(tag_.begin(), tag_.end()));
    }
    std::function<void()> onCycle;
    std::function<bool(pf::Event&)> onEvent;
    std::function<void()> onDraw;
    std::function<void()> onRemoved;
    void Draw(const RenderState& rs) override {
        if (onDraw) onDraw();
        Item::Draw(rs);
    }
    void OnRemovedFromParent(Item* parent) override {
        if (onRemoved) onRemoved();
        Item::OnRemovedFromParent(parent);
    }
    void Cycle() override {
        journal_->push_back("cycle " + tag_);
        if (onCycle) onCycle();
        Item::Cycle();
    }
    bool HandleEvent(const TreeState& s, pf::Event& e) override {
        journal_->push_back("event " + tag_ + " " + std::to_string(e.GetType()));
        lastState = s;
        if (onEvent) return onEvent(e);
        return Item::HandleEvent(s, e);
    }
    void cleanup() override {
        journal_->push_back("cleanup " + tag_);
        Item::cleanup();
    }
    ~SpyItem() override { journal_->push_back("destroy " + tag_); }
    TreeState lastState;

private:
    std::vector<std::string>* journal_;
    std::string tag_;
};

// A handler that records its calls and answers with a programmable result.
class SpyHandler : public EvtHandler {
public:
    SpyHandler(std::vector<std::string>* journal, std::string tag) : journal_(journal), tag_(std::move(tag)) {}
    std::function<bool(pf::Event&)> onEvent;
    std::function<void()> onCycle;
    void Cycle() override {
        journal_->push_back("handler " + tag_);
        if (onCycle) onCycle();
    }
    bool HandleEvent(const TreeState& s, pf::Event& e) override {
        journal_->push_back("handle " + tag_ + " " + std::to_string(e.GetType()));
        lastState = s;
        return onEvent ? onEvent(e) : false;
    }
    TreeState lastState;

private:
    std::vector<std::string>* journal_;
    std::string tag_;
};

class SpyModifier : public Modifier {
public:
    SpyModifier(std::vector<std::string>* journal, std::string tag) : journal_(journal), tag_(std::move(tag)) {}
    int stepsLeft = 1000;
    std::function<void()> onCycle;
    void Cycle() override {
        journal_->push_back("modifier " + tag_);
        if (onCycle) onCycle();
        if (--stepsLeft <= 0) Finish();
    }

private:
    std::vector<std::string>* journal_;
    std::string tag_;
};

// Gives each test a fresh current root and a controllable clock.
class SceneTest : public ::testing::Test {
protected:
    static inline int now = 0;
    static int Now() { return now; }
    void SetUp() override {
        now = 100000;
        pf::SetNowMsSource(&SceneTest::Now);
        root = new RootItem;
        SetRootItem(root.get());
    }
    void TearDown() override {
        SetRootItem(nullptr);
        root.reset();
        pf::SetNowMsSource(nullptr);
    }
    template <typename T, typename... A>
    my_intrusive_ptr<T> Make(A&&... a) {
        return my_intrusive_ptr<T>(new T(std::forward<A>(a)...));
    }

    my_intrusive_ptr<RootItem> root;
    std::vector<std::string> journal;
};

inline pf::Event Button(int type, int x, int y, int button = pf::ButtonType::Left) {
    pf::Event e(type, 0);
    e.SetInt(pf::EventProperty::WHICH_BUTTON, button);
    e.SetInt(pf::EventProperty::MOUSE_X, x);
    e.SetInt(pf::EventProperty::MOUSE_Y, y);
    return e;
}

}  // namespace scenetest
