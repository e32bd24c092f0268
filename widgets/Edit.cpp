#include "widgets/Edit.h"

#include <algorithm>

#include "widgets/CharClass.h"
#include "scene/RootItem.h"
#include "shell/Clock.h"
#include "shell/Font.h"
#include "shell/foundation/TextHelpers.h"

namespace {
int lastKeyTime = 0;
}  // namespace

int Edit::GetLastKeyTime() { return lastKeyTime; }
void Edit::SetLastKeyTime(int ticks) { lastKeyTime = ticks; }

Edit::Edit() {
    SetName(L"Edit");
    SetText(L"");
    SetIgnoreTransparency(true);
    SetFocused(true);
}

Edit::~Edit() = default;

Item* Edit::Clone(void*) const { return nullptr; }

void Edit::cleanup() {
    onChange_ = Callback();
    Item::cleanup();
}

void Edit::Post(int type) const {
    // No scene (yet): nobody could receive it.
    if (CurrentRootItem) CurrentRootItem->PostEvent(type, GetClickID(), 0, 0, L"", L"", L"");
}

void Edit::SetFocused(bool focused) {
    if (focused) {
        Post(pf::EventType::EditFocus);
        SetCaretEnabled(true);
        focused_ = true;
    } else {
        focused_ = false;
        SetCaretEnabled(false);
        SetEnableKeyEvents(false);
    }
}

void Edit::SetCaretEnabled(bool enabled) {
    SetCaretVisible(enabled);
    caretEnabled_ = enabled;
}

void Edit::SetCaretVisible(bool visible) {
    if (caretEnabled_) caretVisible_ = visible;
}

void Edit::RestartCaretBlink() {
    lastBlink_ = pf::NowMs();
    SetCaretVisible(true);
}

void Edit::Cycle() {
    if (!focused_) {
        SetCaretVisible(false);
    } else {
        const int now = pf::NowMs();
        if (int64_t(lastBlink_) + blinkInterval_ < now) {
            lastBlink_ = now;
            SetCaretVisible(!caretVisible_);
        }
    }
    Item::Cycle();
}

bool Edit::IsCharAllowed(wchar_t ch) const {
    if (!allowedChars_.empty() && allowedChars_.find(ch) == std::wstring::npos) return false;
    const bool refused = disallowedChars_.find(ch) != std::wstring::npos;
    if (IsSpaceChar(ch)) return !refused;
    return IsGraphChar(ch) && !refused;
}

bool Edit::CanInsertChar() const {
    const std::wstring text = GetText();
    if (maxChars_ >= 0 && int64_t(text.size()) >= maxChars_) return false;
    const pf::Font* font = GetFontObject();
    if (maxWidth_ >= 0 && font) {
        pf::Point m, whole;
        font->MeasureText(m, L"M", 0);
        font->MeasureText(whole, text, 0);
        if (int64_t(whole.x) >= int64_t(maxWidth_) - m.x) return false;
    }
    return true;
}

void Edit::SetText(const std::wstring& text) {
    std::wstring result = text;
    if (maxChars_ >= 0 && result.size() > size_t(maxChars_)) result.resize(size_t(maxChars_));
    if (const pf::Font* font = GetFontObject(); maxWidth_ >= 0 && font) {
        // A long text is first cut near the limit by halving (width grows with length),
        // so trimming it does not measure it once per character it loses.
        auto fits = [&](size_t n) {
            pf::Point size;
            font->MeasureText(size, result.substr(0, n), 0);
            return size.x <= maxWidth_;
        };
        if (!fits(result.size())) {
            size_t fitting = 0, tooWide = result.size();
            while (tooWide - fitting > 1) {
                const size_t mid = fitting + (tooWide - fitting) / 2;
                (fits(mid) ? fitting : tooWide) = mid;
            }
            result.resize(tooWide);
        }
        for (pf::Point size;; result.pop_back()) {
            font->MeasureText(size, result, 0);
            if (size.x <= maxWidth_ || result.empty()) break;
        }
    }
    if (int64_t(result.size()) < caretPos_) SetCaretPos(int(result.size()));
    TextBlock::SetText(result);
}

int Edit::ClampedCaret() const { return std::clamp(caretPos_, 0, int(GetText().size())); }

bool Edit::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"keyDownTimeout") {
        keyDownTimeout_ = WToI(value);
    } else if (key == L"allowedChars") {
        SetAllowedChars(value);
    } else if (key == L"disallowedChars") {
        SetDisallowedChars(value);
    } else if (key == L"maxChars") {
        SetMaxChars(WToI(value));
    } else if (key == L"maxCharsWidth") {
        SetMaxWidth(WToI(value));
    } else {
        return TextBlock::SetProperty(key, value);
    }
    return true;
}
