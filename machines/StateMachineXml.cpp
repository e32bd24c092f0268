// Reading a machine from XML, attaching and starting it, resolving its targets, and the
// starter behind Item::RunScript. The commands themselves: StateMachineCommands.cpp.
#include "machines/StateMachineXml.h"

#include <memory>

#include "content/ResourceManager.h"
#include "content/XmlData.h"
#include "scene/RootItem.h"
#include "shell/foundation/Log.h"

namespace {

// How many machines are loading one inside another right now.
int g_loadDepth = 0;
// Machines alive, and whether reaching the limit was logged since the count last fell.
int g_liveMachines = 0;
bool g_liveLimitLogged = false;

class LoadDepthScope {
public:
    LoadDepthScope() { ++g_loadDepth; }
    ~LoadDepthScope() { --g_loadDepth; }
    LoadDepthScope(const LoadDepthScope&) = delete;
    LoadDepthScope& operator=(const LoadDepthScope&) = delete;
};

}  // namespace

StateMachineXml::StateMachineXml() {
    SetName(L"StateMachineXml");
    ++g_liveMachines;
}

StateMachineXml::~StateMachineXml() {
    if (--g_liveMachines < MachineRun::kMaxLive) g_liveLimitLogged = false;
    if (Logs(0)) pf::DebugStream() << L"StateMachineXml " << GetName() << L" destroyed.";
}

int StateMachineXml::GetStateIndex(const std::wstring& name) const {
    for (size_t i = 0; i < states_.size(); ++i)
        if (states_[i]->GetName() == name) return static_cast<int>(i);
    return -1;
}

void StateMachineXml::Drop() {
    const my_intrusive_ptr<Item> hold = KeepAlive<Item>(this);
    if (GetParent()) RemoveAllDescendents(true);
}

void StateMachineXml::LoadFromResource(const std::wstring& xmlId, Item* parent, const std::wstring& cue) {
    ResourceManager* manager = GetResourceManager();
    if (!manager) {
        pf::DebugStream() << L"StateMachineXml " << GetName() << L": no resource manager to read " << xmlId
                          << L"; not started";
        Drop();
        return;
    }
    LoadFromXml(manager->GetXmlData(xmlId), parent, cue);
}

void StateMachineXml::LoadFromXml(XmlData* root, Item* parent, const std::wstring& cue) {
    const my_intrusive_ptr<Item> hold = KeepAlive<Item>(this);
    if (!root) {
        pf::DebugStream() << L"StateMachineXml " << GetName() << L": no XML to read; not started";
        Drop();
        return;
    }
    if (g_liveMachines > MachineRun::kMaxLive) {
        if (!g_liveLimitLogged) {
            g_liveLimitLogged = true;
            pf::DebugStream() << L"StateMachineXml " << GetName() << L" not started: " << MachineRun::kMaxLive
                              << L" machines are running already";
        }
        Drop();
        return;
    }
    // A machine started by the commands of another joins that machine's run, within bounds.
    StateMachine* starter = GetExecutingMachine();
    if (starter && starter != this) {
        MachineRun* run = starter->GetRun();
        if (run->started >= MachineRun::kMaxMachines || g_loadDepth >= MachineRun::kMaxNesting) {
            if (!run->reported) {
                run->reported = true;
                pf::DebugStream() << L"StateMachineXml " << GetName() << L" not started: "
                                  << (g_loadDepth >= MachineRun::kMaxNesting ? MachineRun::kMaxNesting
                                                                             : MachineRun::kMaxMachines)
                                  << L" machines already start one another (a machine that starts itself?)";
            }
            Drop();
            return;
        }
        ++run->started;
        JoinRun(run);
    } else if (!starter) {
        StartNewRun();
    }
    const LoadDepthScope depth;
    ReadAttributes(root);
    if (!AttachToParent(parent)) {
        Drop();
        return;
    }
    // Counted from here (its parent holds it): held until the load is over, as an init
    // element may end, delete or detach it when nothing else holds it yet.
    const my_intrusive_ptr<Item> loading = KeepAlive<Item>(this);
    LoadStates(root);
    // An init element may have finished the machine or taken it out of the tree.
    if (IsFinished() || !GetParent()) return;
    TStateMachine<Item>::Start(GetParent(), cue.empty() ? cueAttribute_ : cue);
}

void StateMachineXml::ReadAttributes(XmlData* root) {
    if (!root) return;
    root->GetString(L"parent", parentName_, L"");
    root->GetString(L"cue", cueAttribute_, L"");
    if (!cueAttribute_.empty()) SetName(cueAttribute_);
}

bool StateMachineXml::AttachToParent(Item* parent) {
    if (!parent) {
        RootItem* root = CurrentRootItem.get();
        if (!root) {
            pf::DebugStream() << L"StateMachineXml " << GetName() << L": no parent item and no root item; not started";
            return false;
        }
        Item* named = parentName_.empty() ? nullptr : root->FindItem(parentName_);
        parent = named ? named : root;
    }
    const my_intrusive_ptr<Item> keep = KeepAlive(parent);
    parent->AddItem(this);
    if (GetParent() != parent) {
        pf::DebugStream() << L"StateMachineXml " << GetName() << L" cannot be attached to '" << parent->GetName()
                          << L"'; not started";
        return false;
    }
    return true;
}

void StateMachineXml::LoadStates(XmlData* root) {
    if (!root) return;
    // Held for the whole load, whoever calls it: an init element may free the machine.
    const my_intrusive_ptr<Item> hold = KeepAlive<Item>(this);
    Host()->SetProperties(*root, this);
    // Every child is copied out before any runs: an init element may reach the XML cache.
    std::vector<my_intrusive_ptr<XmlData>> children;
    for (my_intrusive_ptr<XmlData> child(root->FirstChild(L"")); child; child = root->NextChild())
        children.push_back(child);
    for (const my_intrusive_ptr<XmlData>& child : children) {
        const std::wstring tag = child->GetTagName();
        std::wstring name;
        if (tag == L"state") {
            child->GetString(L"name", name, L"unnamed machine state");
            child->SetName(name);
            states_.push_back(child);
        } else if (tag == L"init") {
            child->GetString(L"name", name, L"StateMachine init state");
            child->SetName(name);
            DoState(child.get());
            if (IsFinished() || !GetParent()) return;
        }
    }
}

bool StateMachineXml::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"state") {
        ChangeState(GetStateIndex(value), 0);
        return true;
    }
    return StateMachine::SetProperty(key, value);
}

Item* StateMachineXml::ResolveTarget(XmlData& element, const std::wstring& attribute, Item* fallback) {
    std::wstring text;
    element.GetString(attribute, text, L"");
    if (text.empty()) return fallback;
    if (text == L"$this") return this;
    if (text == L"$parent") return GetParent();
    // Exactly "$item" and one digit names a slot; any other text is a child's name.
    if (text.size() == 6 && text.compare(0, 5, L"$item") == 0 && text[5] >= L'0' && text[5] <= L'9')
        return GetItemSlot(text[5] - L'0');
    Item* parent = GetParent();
    Item* child = parent ? parent->GetChildByName(text) : nullptr;
    return child ? child : fallback;
}

void StateMachineXml::RunCurrentState() {
    const int current = GetState();
    if (current < 0 || static_cast<size_t>(current) >= states_.size()) {
        Done();
        return;
    }
    DoState(states_[static_cast<size_t>(current)].get());
}

void StateMachineXml::Done() {
    if (Logs(2)) pf::DebugStream() << L"StateMachineXml " << GetName() << L" done";
    StateMachine::Done();
}

void StateMachineXml::Start(Item* parent, const std::wstring& cue) { LoadFromResource(xmlId_, parent, cue); }

Item* StateMachineXml::Host() {
    Item* parent = GetParent();
    return parent ? parent : this;
}

// ---------------------------------------------------------------- starter

void StartStateMachine(Item* owner, const std::wstring& xmlId, const std::wstring& cue) {
    const my_intrusive_ptr<StateMachineXml> machine(new StateMachineXml);
    machine->SetName(xmlId);
    machine->SetXmlId(xmlId);
    machine->SetAutoDelete(true);
    machine->LoadFromResource(xmlId, owner, cue);
}

void InstallStateMachineStarter() { SetStateMachineStarter(&StartStateMachine); }
