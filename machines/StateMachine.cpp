#include "machines/StateMachine.h"

#include <climits>
#include <cstdint>

#include "scene/RootItem.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

namespace {

bool g_machineDebug = false;
StateMachine* g_executing = nullptr;

// state + 1 without running past the largest index.
int After(int state) { return state == INT_MAX ? INT_MAX : state + 1; }

}  // namespace

void SetStateMachineDebug(bool on) { g_machineDebug = on; }
bool GetStateMachineDebug() { return g_machineDebug; }

StateMachine* GetExecutingMachine() { return g_executing; }

ExecutingMachineScope::ExecutingMachineScope(StateMachine* machine) : outer_(g_executing) { g_executing = machine; }
ExecutingMachineScope::~ExecutingMachineScope() { g_executing = outer_; }

template <class T>
TStateMachine<T>::TStateMachine() : run_(new MachineRun) {
    this->SetName(L"StateMachine");
}

template <class T>
TStateMachine<T>::~TStateMachine() = default;

template <class T>
Item* TStateMachine<T>::GetItemSlot(int index) const {
    if (index < 0 || index >= kSlots) return nullptr;
    return slots_[static_cast<size_t>(index)].get();
}

template <class T>
void TStateMachine<T>::SetItemSlot(int index, Item* item) {
    if (index < 0 || index >= kSlots) {
        pf::DebugStream() << L"StateMachine '" << this->GetName() << L"': no item slot " << index;
        return;
    }
    slots_[static_cast<size_t>(index)] = WeakRef<Item>(item);
}

template <class T>
int TStateMachine<T>::ParentTicks() const {
    const Item* parent = this->GetParent();
    return parent ? parent->GetTicks() : this->GetTicks();
}

template <class T>
void TStateMachine<T>::ChangeState(int state, int delayMs) {
    if (delayMs < 1) {
        next_ = state == -1 ? After(current_) : state;
        pending_ = true;
        return;
    }
    delayed_ = state;
    // 0 means "no deadline": a sum that lands there (or past the int range) is moved.
    const int64_t at = int64_t(ParentTicks()) + delayMs;
    deadline_ = at > INT_MAX ? INT_MAX : (at < 1 ? 1 : static_cast<int>(at));
}

template <class T>
void TStateMachine<T>::Done() {
    const my_intrusive_ptr<Item> hold = KeepAlive<Item>(this);
    const std::wstring cue = this->GetCue();
    if (!cue.empty()) {
        RootItem* root = CurrentRootItem.get();
        Item* target = root ? root->FindItem(cue) : nullptr;
        if (target) {
            const my_intrusive_ptr<Item> keep = KeepAlive(target);
            target->OnCue(this, 0, cueData_);
        } else {
            pf::DebugStream() << L"Cue target not found! " << this->GetName() << L" is trying to cue " << cue;
        }
    }
    // An auto-deleting machine runs nothing more; the holds of the code that runs it
    // release it once that code returns.
    if (autoDelete_) finished_ = true;
    this->RemoveAllDescendents(true);
}

template <class T>
void TStateMachine<T>::Restart(const std::wstring& cue, int state) {
    this->SetCue(cue);
    current_ = state;
    ChangeState(0, 0);
}

template <class T>
void TStateMachine<T>::Start(Item* parent, const std::wstring& cue) {
    deadline_ = 0;
    delayed_ = next_ = current_ = -1;
    finished_ = false;
    this->SetCue(cue);
    if (parent) parent->AddItem(this);
    ChangeState(-1, 0);
}

template <class T>
bool TStateMachine<T>::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"autoDelete") {
        autoDelete_ = pf::ToBool(value);
    } else if (key == L"cueData") {
        cueData_ = pf::ToInt(value);
    } else if (key == L"state") {
        ChangeState(pf::ToInt(value), 0);
    } else {
        return T::SetProperty(key, value);
    }
    return true;
}

template <class T>
void TStateMachine<T>::OnCue(Item* /*sender*/, int /*type*/, int /*data*/) {
    if (finished_) return;
    // A cue from a machine at work continues that machine's run; any other starts a new one.
    if (StateMachine* executing = GetExecutingMachine())
        run_ = executing->GetRun();
    else
        StartNewRun();
    ChangeState(After(current_), 0);
}

template <class T>
void TStateMachine<T>::Cycle() {
    const my_intrusive_ptr<Item> hold = KeepAlive<Item>(this);
    T::Cycle();
    if (finished_) return;
    if (deadline_ > 0 && ParentTicks() >= deadline_) {
        deadline_ = 0;
        const int state = delayed_;
        delayed_ = -1;
        StartNewRun();
        ChangeState(state, 0);
    }
    if (pending_) {
        current_ = next_;
        pending_ = false;
        RunCurrentState();
    }
}

template class TStateMachine<Item>;
