// A black rectangle over the whole screen that fades its alpha to a target when told and
// passes the cues it receives on to a named item.
#pragma once

#include "widgets/ColorRect.h"

class FullScreenFader : public ColorRect {
public:
    FullScreenFader();

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::FullScreenFader || ColorRect::IsKindOf(typeId);
    }

    virtual void SetDuration(int ms) { duration_ = ms; }
    virtual int GetEndAlpha() const { return endAlpha_; }
    virtual void SetEndAlpha(int alpha) { endAlpha_ = alpha; }
    // Adds a fade from the current alpha to the end alpha over the duration; cueTarget
    // becomes the name the fader passes its cues to.
    virtual void StartFade(const std::wstring& cueTarget);
    virtual void Start() { StartFade(std::wstring()); }

    int GetDuration() const { return duration_; }
    // The "Fade" command: a cue target item (may be null) makes its name the cue, then
    // the fade starts with the cue.
    bool RunFadeCommand(Item* cueTarget);

    // Ignores p: keeps the fader's top-left at the root's origin.
    void SetPosition(const pf::Point& p) override;
    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    // "Fade": the element's "cue" names the cue target ("$this", "$parent" or a child).
    bool HandleCommand(const std::wstring& type, XmlData& element) override;
    void OnCue(Item* sender, int type, int data) override;
    void Cycle() override;
    int SetAlpha(int a) override { return Actor::SetAlpha(a); }

private:
    int duration_ = 500;
    int endAlpha_ = 128;
    // Set while a cue passes through: a cue that comes back (a cue naming the fader
    // itself, or faders naming each other) stops here instead of looping.
    bool passingCue_ = false;
};
