#include "widgets/ProgressBar.h"

#include <algorithm>
#include <cmath>

#include "content/ResourceManager.h"
#include "shell/foundation/TextHelpers.h"

ProgressBar::ProgressBar() { SetName(L"ProgressBar"); }

ProgressBar::~ProgressBar() = default;

std::wstring ProgressBar::GetAnimEmpty() const { return animEmpty_ ? animEmpty_->GetId() : std::wstring(); }
std::wstring ProgressBar::GetAnimFull() const { return animFull_ ? animFull_->GetId() : std::wstring(); }

void ProgressBar::LoadAnimEmpty(const std::wstring& id) {
    ResourceManager* manager = GetResourceManager();
    SetAnimEmpty(manager ? manager->LoadAnim(id) : nullptr);
}

void ProgressBar::LoadAnimFull(const std::wstring& id) {
    ResourceManager* manager = GetResourceManager();
    SetAnimFull(manager ? manager->LoadAnim(id) : nullptr);
}

int ProgressBar::GetWidth() const {
    pf::Surface* e = animEmpty_ ? animEmpty_->getCel(0, 0) : nullptr;
    return e ? e->GetWidth() : Item::GetWidth();
}

int ProgressBar::GetHeight() const {
    pf::Surface* e = animEmpty_ ? animEmpty_->getCel(0, 0) : nullptr;
    return e ? e->GetHeight() : Item::GetHeight();
}

bool ProgressBar::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"animempty") {
        LoadAnimEmpty(value);
    } else if (key == L"animfull") {
        LoadAnimFull(value);
    } else if (key == L"horizontal" || key == L"orientation") {
        SetHorizontal(pf::ToBool(value));
    } else if (key == L"type") {
        const int type = pf::ToInt(value);
        SetBarType(type >= 1 && type <= 3 ? type : ProgressDefault);
    } else if (key == L"percentage") {
        SetPercentage(float(pf::ToInt(value)));
    } else if (key == L"settingID") {
        SetSettingID(pf::ToInt(value));
    } else {
        return Actor::SetProperty(key, value);
    }
    return true;
}

bool ProgressBar::HandleEvent(const TreeState& state, pf::Event& e) {
    if (e.GetType() == pf::EventType::SettingChanged && e.GetInt(pf::EventProperty::CLICK_ID) == settingID_)
        SetPercentage(float(e.GetInt(pf::EventProperty::USER_DATA_1)) / 10.0f);
    return Actor::HandleEvent(state, e);
}

int ProgressBar::AnimationCel(float percentage, int n) {
    if (n <= 0) return 0;
    if (!(percentage < 99.999f)) return n - 1;  // also a percentage that is not a number
    const float step = (percentage - 0.01f) * float(n) / 100.0f;
    if (step < 0) return 0;
    return std::min(int(step), n - 1);
}

namespace {
// percentage % of extent, kept within the cel (the source rectangle must not leave it).
int Part(float percentage, int extent) {
    const double v = double(percentage) * extent / 100.0;
    return std::isnan(v) ? 0 : int(std::clamp(v, 0.0, double(extent)));
}
}  // namespace

void ProgressBar::Draw(const RenderState& in) {
    RenderState out;
    if (!PrepareDraw(in, out)) return;
    pf::Display* display = out.display;
    pf::Surface* e = animEmpty_ ? animEmpty_->getCel(0, cel_) : nullptr;
    if (e && display) {
        const pf::Rect whole(0, 0, e->GetWidth(), e->GetHeight());
        e->Draw(display, nullptr, &whole);
    }
    pf::Surface* f = animFull_ ? animFull_->getCel(0, cel_) : nullptr;
    if (f && display && barType_ >= ProgressDefault && barType_ <= ProgressAnimation) {
        if (barType_ == ProgressAnimation) f = animFull_->getCel(0, AnimationCel(percentage_, animFull_->GetNumCels()));
        const int fw = f ? f->GetWidth() : 0, fh = f ? f->GetHeight() : 0;
        const pf::Point offset = e ? pf::Point((e->GetWidth() - fw) / 2, (e->GetHeight() - fh) / 2) : pf::Point();
        int w = fw, h = fh;
        if (barType_ != ProgressAnimation) {
            const bool horizontal = barType_ == ProgressHorizontal || (barType_ == ProgressDefault && horizontal_);
            (horizontal ? w : h) = Part(percentage_, horizontal ? fw : fh);
        }
        if (f && w > 0 && h > 0) {
            const pf::Rect source(0, 0, w, h), destination(offset.x, offset.y, w, h);
            f->Draw(display, &source, &destination);
        }
    }
    DrawChildren(out);
    CompleteDraw(in, out);
}
