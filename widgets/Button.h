// The push button: an actor whose anim cels show its state (0 normal, 1 pressed, 2
// hovered, 3 disabled; a toggle shows its selected state in loop 1), that plays sounds by
// id, posts button events on the current root and calls a callback when clicked. Its own
// ButtonHandler turns presses and releases into Click and DoubleClick.
#pragma once

#include <string>

#include "scene/Actor.h"
#include "scene/ButtonHandler.h"
#include "scene/Callback.h"

class Button : public Actor, public ButtonKeyEquivalents {
public:
    Button();
    ~Button() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::Button || Actor::IsKindOf(typeId); }

    virtual std::wstring GetClickSound() const { return clickSound_; }
    virtual std::wstring GetRolloverSound() const { return rolloverSound_; }
    virtual bool GetToggle() const { return toggle_; }
    // 0 for an index outside 0..2.
    int GetKeyEquivalent(int index) const override;
    virtual Callback GetOnClick() const { return onClick_; }
    virtual void SetMouseDownClickSound(const std::wstring& id) { mouseDownClickSound_ = id; }
    virtual void SetClickSound(const std::wstring& id) { clickSound_ = id; }
    virtual void SetRolloverSound(const std::wstring& id) { rolloverSound_ = id; }
    virtual void SetToggle(bool b) { toggle_ = b; }
    virtual void SetOnClick(const Callback& cb) { onClick_ = cb; }
    // Any non-zero code switches the item's key events on (never off).
    virtual void SetKeyEquivalents(int key0, int key1, int key2);
    virtual void SetSendDoubleClick(bool b) { sendDoubleClick_ = b; }

    bool GetSendDoubleClick() const { return sendDoubleClick_; }
    // The one button that shows its hover cel, or null; never counted.
    static Button* GetHoveredButton() { return hoveredButton; }

    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void Click(int whichButton) override;
    void cleanup() override;
    void DoubleClick(int whichButton) override;
    bool HandleEvent(const TreeState& state, pf::Event& e) override;
    void OnRemovedFromParent(Item* parent) override;
    void UpdateDisplayState() override;
    void SetResAnim(ResAnim* r) override;

protected:
    // A toggle button's part of a click: flips the selected flag, ends the press, takes
    // the hover look when it became unselected, posts ButtonToggled.
    void ToggleOnClick();
    const std::wstring& GetMouseDownClickSound() const { return mouseDownClickSound_; }

private:
    // The anim's cels per loop; 0 without an anim.
    int CelCount() const;
    // Enabled, not pressed, under the mouse and not showing a selected non-toggle state.
    bool TakesHover(const TreeState& state);

    static Button* hoveredButton;

    std::wstring clickSound_;
    std::wstring mouseDownClickSound_;
    std::wstring rolloverSound_;
    bool toggle_ = false;
    int keyEquivalents_[kCount] = {0, 0, 0};
    bool sendDoubleClick_ = true;
    Callback onClick_;
};
