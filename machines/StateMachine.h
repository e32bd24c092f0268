// The state bookkeeping of a machine that lives in the scene tree: current, next and
// delayed state, the cue sent when it is done, and ten item slots. The tree's cycle
// advances it; a subclass says what running a state means.
#pragma once

#include <array>
#include <string>

#include "scene/Item.h"
#include "scene/Lifetime.h"

// Machines started one from another without a pause in between (no cue from outside, no
// timed change) form one run. A run is bounded, so a machine that starts itself, or two
// that start each other, stop with one log line instead of filling the stack or the tree.
class MachineRun : public RefCounter {
public:
    static constexpr int kMaxMachines = 256;
    static constexpr int kMaxNesting = 16;
    // Machines alive at once, over all runs.
    static constexpr int kMaxLive = 1024;
    int started = 1;
    bool reported = false;
};

// The process-wide machine debug switch (off): when on, machines write every log line
// whatever their verbosity.
void SetStateMachineDebug(bool on);
bool GetStateMachineDebug();

template <class T>
class TStateMachine : public T {
public:
    static constexpr int kSlots = 10;

    TStateMachine();
    ~TStateMachine() override;

    bool IsKindOf(int typeId) const override { return typeId == TypeId::TStateMachine || T::IsKindOf(typeId); }

    virtual bool GetAutoDelete() const { return autoDelete_; }
    // Null for an index outside 0-9, a slot never set, or an item that is gone.
    virtual Item* GetItemSlot(int index) const;
    virtual int GetState() const { return current_; }
    virtual int GetDelayedState() const { return delayed_; }
    virtual int GetCueData() const { return cueData_; }
    virtual void SetAutoDelete(bool b) { autoDelete_ = b; }
    virtual void SetCueData(int data) { cueData_ = data; }
    // The slot names the item without holding it.
    virtual void SetItemSlot(int index, Item* item);
    virtual void CancelDelayedChange() { deadline_ = 0; }
    // delayMs < 1: state (-1: the one after the current) is entered in the next cycle;
    // otherwise state is entered once the parent's clock reaches now + delayMs.
    virtual void ChangeState(int state, int delayMs);
    virtual void RunCurrentState() = 0;
    // Cues the cue target, then leaves the tree (an auto-deleting machine is released as
    // soon as the code running it returns).
    virtual void Done();
    virtual void Restart(const std::wstring& cue, int state);
    virtual void Start(Item* parent, const std::wstring& cue);
    virtual void Finish() { Done(); }

    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void OnCue(Item* sender, int type, int data) override;
    void Cycle() override;

    // Whether an auto-deleting machine is done (it runs nothing more).
    bool IsFinished() const { return finished_; }
    int GetNextState() const { return next_; }
    bool IsChangePending() const { return pending_; }
    // The run the machine belongs to: the one of the machine whose commands started it,
    // or a fresh one once a cue from outside or a timed change wakes it.
    MachineRun* GetRun() const { return run_.get(); }

protected:
    // Whether log lines of a level above `level` are written.
    bool Logs(int level) const { return GetStateMachineDebug() || this->GetVerbose() > level; }
    // The clock of the parent (own clock without one).
    int ParentTicks() const;
    void JoinRun(MachineRun* run) { run_ = run; }
    void StartNewRun() { run_ = new MachineRun; }
    void SetFinished(bool b) { finished_ = b; }

private:
    bool autoDelete_ = true;
    int cueData_ = 0;
    int deadline_ = 0;
    int delayed_ = -1;
    std::array<WeakRef<Item>, kSlots> slots_;
    int next_ = -1;
    int current_ = -1;
    bool pending_ = false;
    bool finished_ = false;
    my_intrusive_ptr<MachineRun> run_;
};

// Adds nothing to TStateMachine<Item>.
class StateMachine : public TStateMachine<Item> {};

// The machine whose commands are running now (innermost), or null.
StateMachine* GetExecutingMachine();

// Marks a machine as the one executing commands for the life of the object.
class ExecutingMachineScope {
public:
    explicit ExecutingMachineScope(StateMachine* machine);
    ~ExecutingMachineScope();
    ExecutingMachineScope(const ExecutingMachineScope&) = delete;
    ExecutingMachineScope& operator=(const ExecutingMachineScope&) = delete;

private:
    StateMachine* outer_;
};
