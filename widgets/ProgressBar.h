// A bar drawn as an "empty" cel with part of a "full" cel over it by a percentage, or a
// cel of the full anim picked by the percentage; it can follow SettingChanged events.
#pragma once

#include "content/ResAnim.h"
#include "scene/Actor.h"

enum ProgressBarType : int { ProgressDefault = 0, ProgressVertical = 1, ProgressHorizontal = 2, ProgressAnimation = 3 };

class ProgressBar : public Actor {
public:
    ProgressBar();
    ~ProgressBar() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::ProgressBar || Actor::IsKindOf(typeId); }

    // The anims' resource ids; "" without one.
    virtual std::wstring GetAnimEmpty() const;
    virtual std::wstring GetAnimFull() const;
    virtual float GetPercentage() const { return percentage_; }
    virtual bool GetHorizontal() const { return horizontal_; }
    virtual int GetSettingID() const { return settingID_; }
    virtual int GetBarType() const { return barType_; }
    virtual void SetAnimEmpty(ResAnim* anim) { animEmpty_ = anim; }
    virtual void LoadAnimEmpty(const std::wstring& id);
    virtual void SetAnimFull(ResAnim* anim) { animFull_ = anim; }
    virtual void LoadAnimFull(const std::wstring& id);
    virtual void SetPercentage(float percentage) { percentage_ = percentage; }
    virtual void SetHorizontal(bool horizontal) { horizontal_ = horizontal; }
    virtual void SetBarType(int type) { barType_ = type; }
    virtual void SetSettingID(int id) { settingID_ = id; }
    void SetCel(int cel) override { cel_ = cel; }
    int GetCel() const override { return cel_; }

    // The column of the full anim drawn for type Animation (n cels per row).
    static int AnimationCel(float percentage, int n);

    // The size of the empty anim's first cel when there is one.
    int GetHeight() const override;
    int GetWidth() const override;
    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void Draw(const RenderState& in) override;
    bool HandleEvent(const TreeState& state, pf::Event& e) override;

private:
    int cel_ = 0;
    my_intrusive_ptr<ResAnim> animEmpty_;  // counted: unloading resources cannot free them here
    my_intrusive_ptr<ResAnim> animFull_;
    bool horizontal_ = true;
    float percentage_ = 0;
    int settingID_ = 0;
    int barType_ = ProgressDefault;
};
