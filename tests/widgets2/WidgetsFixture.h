// Shared set-up of the text and control widget tests: a font with made-up metrics (each
// character a page cell of its own, advances of the test's choosing, optional page and
// outline page), font resources holding it, a scene root, and event builders.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/NullDisplay.h"
#include "common/SoundRequests.h"
#include "content/ResFont.h"
#include "content/Resources.h"
#include "scene/RootItem.h"
#include "shell/Clock.h"
#include "shell/Event.h"
#include "shell/Font.h"
#include "shell/pixels/MemorySurface.h"
#include "sound/SoundPlayer.h"

namespace widgettest {

// Characters laid out 16 to a row of 16 x 16 cells; advance = width unless given.
class FakeFont : public pf::Font {
public:
    // widths: the advance of each character; other characters are missing from the font.
    explicit FakeFont(const std::map<wchar_t, int>& widths, int size = 16, bool withPage = true,
                      bool withOutline = false)
        : pf::Font(Base(size)) {
        int i = 0;
        for (const auto& [ch, w] : widths) {
            pf::CharDesc d;
            d.x = (i % 16) * 16, d.y = (i / 16) * 16, d.width = w, d.height = 12;
            d.xoffset = 0, d.yoffset = 2, d.xadvance = w;
            chars_[uint32_t(ch)] = d;
            ++i;
        }
        if (withPage) page_ = new pf::MemorySurface(256, 256);
        if (withOutline) outlinePage_ = new pf::MemorySurface(256, 256);
        loaded_ = true;
    }
    void MeasureText(pf::Point& size, const std::wstring& text, int spacing) const override {
        size = pf::MeasureWithCharMap(chars_, text, spacing, GetSize(), true);  // kerned, as drawn
    }
    const pf::CharDesc* GetCharDesc(wchar_t ch) const override {
        auto it = chars_.find(uint32_t(ch));
        return it == chars_.end() ? nullptr : &it->second;
    }
    void Kern(wchar_t first, wchar_t second, int amount) { chars_[uint32_t(second)].kerning[uint32_t(first)] = amount; }

private:
    static pf::FontBase Base(int size) {
        pf::FontBase b;
        b.id = L"fake";
        b.size = size;
        return b;
    }
    pf::CharMap chars_;
};

// The widths of the wrapping cases: "one" and "two" 25, " " 5, "three" 35, others 10.
inline std::map<wchar_t, int> WordWidths() {
    std::map<wchar_t, int> w{{L'o', 9}, {L'n', 8}, {L'e', 8}, {L't', 8}, {L'w', 8}, {L'h', 6}, {L'r', 5}, {L' ', 5}};
    for (wchar_t c : std::wstring(L"abcdfgijklmpqsuvxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-}{=/.,!?'"))
        w.emplace(c, 10);
    return w;
}

// A counted font resource owning the font.
inline my_intrusive_ptr<ResFont> MakeResFont(pf::Font* font, const std::wstring& id = L"fake") {
    my_intrusive_ptr<ResFont> r(new ResFont);
    r->SetId(id);
    r->SetData(font);
    return r;
}

// Records which shared sounds were asked for.
using testkit::SoundRequests;

// Lies under everything else and writes down the engine events that reach it.
class EventSpy : public Item {
public:
    std::vector<std::string> seen;
    bool HandleEvent(const TreeState&, pf::Event& e) override {
        if (e.GetType() >= pf::EventType::ButtonClick)
            seen.push_back(std::to_string(e.GetType()) + ":" + std::to_string(e.GetInt(pf::EventProperty::CLICK_ID)));
        return false;
    }
};

inline int fakeNow = 1000;
inline int FakeNow() { return fakeNow; }

// A scene root installed as the current one, a controllable clock and a key-click
// recorder as the global sound player.
class SceneTest : public testing::Test {
protected:
    void SetUp() override {
        fakeNow = 1000;
        pf::SetNowMsSource(&FakeNow);
        root = new RootItem;
        SetRootItem(root.get());
        root->SetSize(pf::Point(800, 600));
        spy = new EventSpy;
        spy->SetPriority(-1000);
        root->AddItem(spy.get());
        sounds = std::make_unique<SoundRequests>();
        player.setSharedSoundResources(sounds.get());
        SoundPlayer::SetInstance(&player);
    }
    void TearDown() override {
        SoundPlayer::SetInstance(nullptr);
        root->RemoveAllDescendents(false);
        SetRootItem(nullptr);
        root = nullptr;
        pf::SetNowMsSource(nullptr);
    }
    // Delivers the posted events; their types and codes as "type:code".
    std::vector<std::string> Deliver() {
        spy->seen.clear();
        root->DispatchPostedEvents();
        return spy->seen;
    }
    static pf::Event Key(int type, int sym, int unicode = 0) {
        pf::Event e(type);
        e.SetInt(pf::EventProperty::KEY_SYM, sym);
        if (unicode) e.SetInt(pf::EventProperty::KEY_UNICODE, unicode);
        return e;
    }
    static pf::Event Mouse(int type, int x, int y) {
        pf::Event e(type);
        e.SetInt(pf::EventProperty::MOUSE_X, x);
        e.SetInt(pf::EventProperty::MOUSE_Y, y);
        if (type != pf::EventType::MouseMotion) e.SetInt(pf::EventProperty::WHICH_BUTTON, pf::ButtonType::Left);
        return e;
    }

    my_intrusive_ptr<RootItem> root;
    std::unique_ptr<SoundRequests> sounds;
    SoundPlayer player{nullptr};
    my_intrusive_ptr<EventSpy> spy;
};

}  // namespace widgettest
