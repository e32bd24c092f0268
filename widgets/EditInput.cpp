// Edit: keyboard and mouse input, and the caret.
#include <algorithm>

#include "widgets/CharClass.h"
#include "widgets/Edit.h"
#include "shell/Font.h"
#include "shell/foundation/KeyTables.h"
#include "sound/SoundPlayer.h"

namespace {
constexpr int kKeypadEnter = 271;
}  // namespace

bool Edit::HandleKeyDown(int key, bool& changed) {
    std::wstring text = GetText();
    const int n = int(text.size()), c = ClampedCaret();
    switch (key) {
        case pf::KeyType::Delete:
            if (c < n) {
                text.erase(size_t(c), 1);
                SetText(text);
                SetCaretPos(c);
                changed = true;
            }
            return true;
        case pf::KeyType::ArrowRight:
            if (c < n) SetCaretPos(c + 1);
            return true;
        case pf::KeyType::ArrowLeft:
            if (c >= 1) SetCaretPos(c - 1);
            return true;
        case pf::KeyType::Home:
            SetCaretPos(0);
            return true;
        case pf::KeyType::End:
            SetCaretPos(n);
            return true;
        default:
            return false;
    }
}

bool Edit::HandleKeyChar(int key, wchar_t ch, bool& changed) {
    std::wstring text = GetText();
    const int c = ClampedCaret();
    if (key == pf::KeyType::Backspace) {
        if (c > 0) {
            text.erase(size_t(c - 1), 1);
            SetText(text);
            SetCaretPos(c - 1);
            changed = true;
        }
        return true;
    }
    if (key == pf::KeyType::Return || key == kKeypadEnter) return false;
    if (IsControlChar(ch)) return false;
    const bool graph = IsGraphChar(ch);
    if (!(graph || IsSpaceChar(ch)) || !IsCharAllowed(ch)) return false;
    if (!CanInsertChar()) return true;
    if (graph) {
        if (SoundPlayer* player = SoundPlayer::Instance()) player->playSharedSound(L"sfxKeyClick");
    } else {
        ch = L' ';
    }
    text.insert(size_t(c), 1, ch);
    SetText(text);
    SetCaretPos(c + 1);
    changed = true;
    return true;
}

bool Edit::HandleEvent(const TreeState& state, pf::Event& e) {
    if (!IsEnabled()) return false;
    bool handled = false, changed = false;
    switch (e.GetType()) {
        case pf::EventType::Active:
            if (e.GetInt(pf::EventProperty::ACTIVE_STATE) == pf::ActiveState::InputFocus && focused_)
                SetCaretEnabled(e.GetInt(pf::EventProperty::ACTIVE_GAIN) != 0);
            return false;
        case pf::EventType::KeyDown: {
            const int now = GetTicks();
            if (int64_t(now) - GetLastKeyTime() < keyDownTimeout_) return false;
            SetLastKeyTime(now);
            handled = HandleKeyDown(e.GetInt(pf::EventProperty::KEY_SYM), changed);
            break;
        }
        case pf::EventType::KeyChar:
            handled = HandleKeyChar(e.GetInt(pf::EventProperty::KEY_SYM),
                                    wchar_t(uint16_t(e.GetInt(pf::EventProperty::KEY_UNICODE))), changed);
            break;
        case pf::EventType::MouseButtonUp:
            if (!e.IsClaimed() && HitTest(state)) {
                SetFocused(true);
                e.SetClaimed(true);
            }
            return false;
        case pf::EventType::EditFocus:
            focused_ = GetClickID() == e.GetInt(pf::EventProperty::CLICK_ID);
            SetEnableKeyEvents(focused_);
            RestartCaretBlink();
            return false;
        default:
            return false;
    }
    if (changed) {
        Post(pf::EventType::EditChanged);
        if (onChange_) onChange_();
    }
    if (!handled) return false;
    RestartCaretBlink();
    e.SetClaimed(true);
    return true;
}

void Edit::Draw(const RenderState& in) {
    TextBlock::Draw(in);
    const pf::Font* font = GetFontObject();
    if (!caretVisible_ || !focused_ || !font || !in.display) return;
    const std::wstring text = GetText();
    pf::Point before, whole;
    font->MeasureText(before, text.substr(0, size_t(ClampedCaret())), 0);
    int x = 0;
    switch (GetAlign()) {
        case 1: x = before.x; break;
        case 2:
            font->MeasureText(whole, text, 0);
            x = int(std::clamp<int64_t>(before.x + (int64_t(GetWidth()) - whole.x) / 2, INT32_MIN, INT32_MAX));
            break;
        case 3: x = GetWidth() - 1; break;
        default: break;
    }
    pf::Display* display = in.display;
    display->SetTransform(GetTransform() * in.world);
    display->SetBlendMode(GetBlend());
    const pf::Color colour = GetColor();
    display->SetColor(colour.r, colour.g, colour.b, GetAlpha());
    display->FillRect(pf::Rect(x, 0, 1, before.y));
}
