// Pressing and clicking: keeps the client's pressed state, calls its Click or DoubleClick
// on a release over it, and turns the key equivalents of a button into click events.
#pragma once

#include "scene/RollOverHandler.h"

// What a button offers its handler for the keyboard: up to three key codes (SDL 1.2 key
// symbols, 0 for none) that act as a click. The button widget implements it.
class ButtonKeyEquivalents {
public:
    static constexpr int kCount = 3;
    virtual ~ButtonKeyEquivalents() = default;
    virtual int GetKeyEquivalent(int index) const = 0;
};

class ButtonHandler : public RollOverHandler {
public:
    ButtonHandler() { SetName(L"ButtonHandler"); }

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::ButtonHandler || RollOverHandler::IsKindOf(typeId);
    }

    virtual Callback GetOnClick() const { return onClick_; }
    virtual Callback GetOnPressDown() const { return onPressDown_; }
    virtual Callback GetOnPressUp() const { return onPressUp_; }
    // The mouse button the handler answers to; 0 = any.
    virtual int GetMouseButton() const { return mouseButton_; }
    virtual void SetOnClick(const Callback& cb) { onClick_ = cb; }
    virtual void SetOnPressDown(const Callback& cb) { onPressDown_ = cb; }
    virtual void SetOnPressUp(const Callback& cb) { onPressUp_ = cb; }
    virtual void SetMouseButton(int button) { mouseButton_ = button; }
    // Sets the client's pressed state; on a change calls onPressDown or onPressUp.
    // (It stands in for Item's SetPressed: on a handler, pressing means its client.)
    void SetPressed(bool b) override;

    void OnKeyDown(const TreeState& state, pf::Event& e) override;
    void OnMouseDown(const TreeState& state, pf::Event& e) override;
    void OnMouseUp(const TreeState& state, pf::Event& e) override;

protected:
    // False when a button filter is set and the event is for another button.
    bool PassesFilter(const pf::Event& e) const;

private:
    Callback onPressDown_;
    Callback onPressUp_;
    Callback onClick_;
    int mouseButton_ = 0;
};
