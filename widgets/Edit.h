// The single-line text field: a text block with a blinking caret, keyboard editing,
// character filters, limits on length and width, a key-repeat throttle, a key-click sound
// and focus by click id through EditFocus events. Changes made by typing post EditChanged
// and call onChange.
#pragma once

#include <climits>
#include <string>

#include "widgets/TextBlock.h"
#include "scene/Callback.h"

class Edit : public TextBlock {
public:
    Edit();
    ~Edit() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::Edit || TextBlock::IsKindOf(typeId); }

    virtual int GetCaretPos() const { return caretPos_; }
    virtual std::wstring GetAllowedChars() const { return allowedChars_; }
    virtual std::wstring GetDisallowedChars() const { return disallowedChars_; }
    virtual bool IsFocused() const { return focused_; }
    virtual int GetMaxChars() const { return maxChars_; }
    virtual int GetMaxWidth() const { return maxWidth_; }
    virtual void SetAllowedChars(const std::wstring& chars) { allowedChars_ = chars; }
    virtual void SetDisallowedChars(const std::wstring& chars) { disallowedChars_ = chars; }
    // Any negative limit means no limit.
    virtual void SetMaxChars(int n) { maxChars_ = n; }
    virtual void SetMaxWidth(int pixels) { maxWidth_ = pixels; }
    // Whether one more character fits the limits (the width check needs a font).
    virtual bool CanInsertChar() const;
    virtual void SetCaretEnabled(bool enabled);
    virtual bool IsCharAllowed(wchar_t ch) const;
    // Stores the index as given; editing clamps it to the text.
    virtual void SetCaretPos(int pos) { caretPos_ = pos; }
    virtual void SetFocused(bool focused);
    virtual void SetCaretVisible(bool visible);
    virtual Callback GetOnChange() const { return onChange_; }
    virtual void SetOnChange(const Callback& callback) { onChange_ = callback; }
    virtual void RestartCaretBlink();

    bool IsCaretVisible() const { return caretVisible_; }
    int GetKeyDownTimeout() const { return keyDownTimeout_; }
    void SetKeyDownTimeout(int ms) { keyDownTimeout_ = ms; }
    // The game time of the last accepted key-down, shared by all edits.
    static int GetLastKeyTime();
    static void SetLastKeyTime(int ticks);

    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    Item* Clone(void* context) const override;
    void Cycle() override;
    void cleanup() override;
    void Draw(const RenderState& in) override;
    bool HandleEvent(const TreeState& state, pf::Event& e) override;
    // Cut to maxChars characters and maxWidth pixels first.
    void SetText(const std::wstring& text) override;

private:
    // The caret index inside the text.
    int ClampedCaret() const;
    // Key-down keys: true when handled; `changed` when the text changed.
    bool HandleKeyDown(int key, bool& changed);
    bool HandleKeyChar(int key, wchar_t ch, bool& changed);
    void Post(int type) const;

    bool caretEnabled_ = true;
    bool caretVisible_ = false;
    bool focused_ = false;
    int lastBlink_ = -1;
    int blinkInterval_ = 500;
    int caretPos_ = 0;
    std::wstring allowedChars_;
    std::wstring disallowedChars_;
    int maxChars_ = INT_MAX;
    int maxWidth_ = -1;
    int keyDownTimeout_ = 20;
    Callback onChange_;
};
