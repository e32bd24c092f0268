// The top of a scene: pause switch, posted-event queue, deferred deletes, double-click
// synthesis, and the entry points of the frame (ProcessEvent, Cycle, Render).
#pragma once

#include <deque>
#include <vector>

#include "scene/Actor.h"
#include "shell/Event.h"

namespace pf {
class EventSystem;
}

class RootItem : public Actor {
public:
    RootItem();
    ~RootItem() override;

    virtual bool IsPaused() const { return paused_; }
    virtual void SetPaused(bool p) { paused_ = p; }
    virtual void SetDoubleClickEnabled(bool b) { doubleClickEnabled_ = b; }
    virtual void ScheduleDelete(Item* item);
    virtual void Render(pf::Display& display);
    virtual bool ProcessEvent(pf::Event& e);
    virtual bool PostEvent(int type, int code, int data1, int data2, const std::wstring& s1,
                           const std::wstring& s2, const std::wstring& s3);
    virtual void DispatchPostedEvents();

    void Cycle() override;
    std::wstring LookupText(const std::wstring& key) const override { return key; }
    void ConnectEventManager() override;

    int GetDoubleClickInterval() const { return doubleClickInterval_; }
    size_t GetPostedEventCount() const { return posted_.size(); }
    size_t GetScheduledDeleteCount() const { return deletes_.size(); }

private:
    bool paused_ = false;
    int doubleClickInterval_ = 500;
    std::deque<pf::Event> posted_;
    // An item asked to be deleted: held counted unless nothing counted it when it was
    // scheduled (its owner deletes it; the root only detaches and cleans it up).
    struct ScheduledDelete {
        my_intrusive_ptr<Item> held;
        WeakRef<Item> item;
    };
    std::vector<ScheduledDelete> deletes_;
    pf::Event lastRelease_;
    int lastReleaseTime_ = 0;
    bool doubleClickEnabled_ = false;
};

// The scene's current root item; every item finds "the root" through it.
extern my_intrusive_ptr<RootItem> CurrentRootItem;
void SetRootItem(RootItem* root);
RootItem* GetRootItem();

// Asked to queue a mouse motion at the position of a button release, for a release whose
// source event system is set; installed by the application (it posts only on its main
// thread).
using ButtonUpMotionPoster = void (*)(pf::EventSystem* source, const pf::Event& release);
void SetButtonUpMotionPoster(ButtonUpMotionPoster poster);
