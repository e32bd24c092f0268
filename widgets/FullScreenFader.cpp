#include "widgets/FullScreenFader.h"

#include "widgets/WidgetServices.h"
#include "scene/RootItem.h"
#include "scene/Tweens.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

FullScreenFader::FullScreenFader() {
    SetName(UniqueName(L"FullScreenFader"));
    SetColor(pf::Color(0, 0, 0, 255));
    SetAlpha(0);
    SetPriority(10000);
}

void FullScreenFader::StartFade(const std::wstring& cueTarget) {
    pf::DebugStream() << L"FSF endalpha = " << endAlpha_;
    my_intrusive_ptr<TimeController> controller(new TimeController);
    controller->Init(duration_, TimeController::Forward, 1, nullptr);
    my_intrusive_ptr<Modifier> fade((new Fader2)->Init(endAlpha_));
    AddModifier(fade.get(), controller.get());
    SetCue(cueTarget);
}

bool FullScreenFader::RunFadeCommand(Item* cueTarget) {
    if (cueTarget) SetCue(cueTarget->GetName());
    StartFade(GetCue());
    return true;
}

bool FullScreenFader::HandleCommand(const std::wstring& type, XmlData& element) {
    if (type != L"Fade") return ColorRect::HandleCommand(type, element);
    return RunFadeCommand(ResolveTarget(element, L"cue", nullptr));
}

void FullScreenFader::SetPosition(const pf::Point& /*p*/) {
    Item* parent = GetParent();
    if (!parent) return;
    const pf::Point origin = parent->GetRectInRoot().GetTopLeft();
    ColorRect::SetPosition(pf::Point(-origin.x, -origin.y));
}

bool FullScreenFader::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"duration") {
        SetDuration(pf::ToInt(value));
        return true;
    }
    if (key == L"endAlpha") {
        SetEndAlpha(pf::ToInt(value));
        return true;
    }
    return ColorRect::SetProperty(key, value);
}

void FullScreenFader::OnCue(Item* /*sender*/, int type, int data) {
    const std::wstring& cue = GetCue();
    if (cue.empty()) {
        pf::DebugStream() << L"FullScreenFader::_cue is empty: " << cue;
        return;
    }
    my_intrusive_ptr<FullScreenFader> self = KeepAlive(this);
    RootItem* root = GetRootItem();
    Item* target = root ? root->FindItem(cue) : nullptr;
    my_intrusive_ptr<Item> holdTarget = KeepAlive(target);
    if (!target) {
        pf::DebugStream() << L"Cue target not found! " << GetName() << L" is trying to cue " << cue;
        return;
    }
    if (passingCue_) {
        pf::DebugStream() << L"FullScreenFader: a cue to " << cue << L" came back to " << GetName()
                          << L" while passing it on; dropped";
        return;
    }
    passingCue_ = true;
    struct Passed {
        bool& flag;
        ~Passed() { flag = false; }
    } passed{passingCue_};
    target->OnCue(this, type, data);
}

void FullScreenFader::Cycle() {
    SetPosition(pf::Point(0, 0));
    Item::Cycle();
}
