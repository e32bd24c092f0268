// What the command elements of a state do.
#include <climits>

#include "content/ResourceManager.h"
#include "machines/StateMachineXml.h"
#include "content/XmlData.h"
#include "scene/RootItem.h"
#include "shell/Event.h"
#include "shell/foundation/Log.h"

namespace {

StateMachineItemFactory* g_itemFactory = nullptr;

void DumpLine(XmlData& element) { pf::DebugStream() << L"DUMP: " << element.ToXmlString(); }

const wchar_t* NameOf(const Item* item) { return item ? item->GetName().c_str() : L"(none)"; }

}  // namespace

void SetStateMachineItemFactory(StateMachineItemFactory* factory) { g_itemFactory = factory; }

void StateMachineXml::DoState(XmlData* state) {
    if (!state) return;
    const my_intrusive_ptr<Item> hold = KeepAlive<Item>(this);
    const my_intrusive_ptr<XmlData> keep = KeepAlive(state);
    const ExecutingMachineScope executing(this);
    if (Logs(2)) {
        pf::DebugStream log;
        log << L"STARTED " << GetName() << L" DoState ";
        if (Logs(3)) log << L"\n" << state->ToXmlString() << L"\n";
        log << L" (parent " << NameOf(GetParent()) << L")";
    }
    // The elements are copied out first: a command may run this state again.
    std::vector<my_intrusive_ptr<XmlData>> commands;
    for (my_intrusive_ptr<XmlData> e(state->FirstChild(L"")); e; e = state->NextChild()) commands.push_back(e);
    for (my_intrusive_ptr<XmlData>& element : commands) {
        if (Logs(10)) DumpLine(*element);
        const bool goOn = RunCommand(*element);
        element.reset();
        if (!goOn) return;
    }
    if (Logs(2)) pf::DebugStream() << L"FINISHED " << GetName() << L" DoState " << L" (parent " << NameOf(GetParent()) << L")";
}

bool StateMachineXml::RunCommand(XmlData& element) {
    const bool attached = GetParent() != nullptr;
    const std::wstring tag = element.GetTagName();
    if (tag == L"ChangeState") {
        int interval = 0;
        element.GetInt(L"interval", interval, 0);
        std::wstring next;
        element.GetString(L"nextState", next, L"");
        ChangeState(next.empty() ? -1 : GetStateIndex(next), interval);
    } else if (tag == L"AddModifier") {
        Item* target = ResolveTarget(element, L"target", GetItemSlot(0));
        Host()->AddModifierFromXml(element, target, ResolvedName(element, L"cue"));
    } else if (tag == L"AddItem") {
        AddItemCommand(element);
    } else if (tag == L"Command") {
        Host()->RunCommandFromXml(element, ResolveTarget(element, L"target", GetItemSlot(0)));
    } else if (tag == L"Cue") {
        CueCommand(element);
    } else if (tag == L"DeleteItem") {
        RemoveOrDelete(element, true);
    } else if (tag == L"Done") {
        Host()->SetProperties(element, this);
        Done();
    } else if (tag == L"NewItem") {
        NewItem(element);
    } else if (tag == L"PostEvent") {
        PostEventCommand(element);
    } else if (tag == L"RemoveItem") {
        RemoveOrDelete(element, false);
    } else if (tag == L"RunScript") {
        RunScriptCommand(element);
    } else if (tag == L"SetProperties") {
        Host()->SetProperties(element, ResolveTarget(element, L"target", GetItemSlot(0)));
    } else if (tag == L"Define") {
        if (ResourceManager* manager = GetResourceManager())
            manager->Define(&element);
        else
            pf::DebugStream() << L"StateMachineXml " << GetName() << L": no resource manager for Define";
    } else {
        pf::DebugStream() << tag << L":unknown StateMachineXml element";
        DumpLine(element);
    }
    // A machine that is done, or was taken out of the tree with its parent, stops here.
    return !IsFinished() && !(attached && !GetParent());
}

std::wstring StateMachineXml::ResolvedName(XmlData& element, const std::wstring& attribute) {
    Item* item = ResolveTarget(element, attribute, nullptr);
    return item ? item->GetName() : std::wstring();
}

void StateMachineXml::CueCommand(XmlData& element) {
    Item* fallback = nullptr;
    if (!GetCue().empty())
        if (RootItem* root = CurrentRootItem.get()) fallback = root->FindItem(GetCue());
    Item* target = ResolveTarget(element, L"target", fallback);
    if (!target) {
        std::wstring text;
        element.GetString(L"target", text, GetCue());
        pf::DebugStream() << L"Cue target not found! " << GetName() << L" is trying to cue " << text;
        return;
    }
    int type = 0, data = 0;
    element.GetInt(L"type", type, 0);
    element.GetInt(L"data", data, 0);
    const my_intrusive_ptr<Item> keep = KeepAlive(target);
    target->OnCue(this, type, data);
}

void StateMachineXml::PostEventCommand(XmlData& element) {
    int type = pf::EventType::ButtonClick, code = 0, data1 = 0, data2 = 0;
    element.GetInt(L"type", type, pf::EventType::ButtonClick);
    element.GetInt(L"code", code, 0);
    element.GetInt(L"data1", data1, 0);
    element.GetInt(L"data2", data2, 0);
    const my_intrusive_ptr<RootItem> root = CurrentRootItem;
    if (!root) {
        pf::DebugStream() << L"StateMachineXml " << GetName() << L": no root item to post event " << type << L" to";
        return;
    }
    root->PostEvent(type, code, data1, data2, L"", L"", L"");
}

void StateMachineXml::AddItemCommand(XmlData& element) {
    // The item: as the parent resolves "target"; its new parent: as the machine resolves
    // "parent" (default: the machine's parent).
    Item* item = Host()->ResolveTarget(element, L"target", nullptr);
    if (!item) {
        pf::DebugStream() << L"Could not find item to add.";
        return;
    }
    const my_intrusive_ptr<Item> keepItem = KeepAlive(item);
    Item* newParent = ResolveTarget(element, L"parent", GetParent());
    if (!newParent) return;
    const my_intrusive_ptr<Item> keepParent = KeepAlive(newParent);
    newParent->AddItem(item);
    std::wstring name;
    element.GetString(L"name", name, L"");
    if (!name.empty()) item->SetName(name);
    newParent->SetProperties(element, item);
}

void StateMachineXml::RemoveOrDelete(XmlData& element, bool destroy) {
    Item* parent = GetParent();
    Item* target = parent ? parent->ResolveTarget(element, L"target", nullptr) : nullptr;
    if (!target) return;
    // Held: the lists below may hold its last references.
    const my_intrusive_ptr<Item> keep = KeepAlive(target);
    if (Item* owner = target->GetParent()) {
        const my_intrusive_ptr<Item> keepOwner = KeepAlive(owner);
        owner->DetachObject(target);
        owner->RemoveItem(target);
    }
    // Destroyed: emptied now, freed when the last reference (this hold, or a script's) goes.
    if (destroy) target->RemoveAllDescendents(true);
}

void StateMachineXml::RunScriptCommand(XmlData& element) {
    Item* target = ResolveTarget(element, L"target", GetParent());
    std::wstring script;
    element.GetString(L"script", script, L"");
    if (script.empty()) DumpLine(element);
    if (!target) return;
    const my_intrusive_ptr<Item> keep = KeepAlive(target);
    target->RunScript(script, ResolvedName(element, L"cue"));
}

void StateMachineXml::NewItem(XmlData& element) {
    my_intrusive_ptr<Item> item(g_itemFactory ? g_itemFactory->CreateItem(element) : nullptr);
    if (!item) {
        DumpLine(element);
        return;
    }
    Item* target = ResolveTarget(element, L"target", GetParent());
    if (!target) return;
    const my_intrusive_ptr<Item> keep = KeepAlive(target);
    target->AddItem(item.get());
    target->AttachObject(item.get());
    std::wstring name;
    element.GetString(L"name", name, L"");
    item->SetName(name);
    Host()->SetProperties(element, item.get());
    std::vector<my_intrusive_ptr<XmlData>> children;
    for (my_intrusive_ptr<XmlData> c(element.FirstChild(L"")); c; c = element.NextChild()) children.push_back(c);
    int n = 0;
    for (const my_intrusive_ptr<XmlData>& child : children) {
        const my_intrusive_ptr<StateMachineXml> nested(new StateMachineXml);
        nested->SetName(item->GetName() + L":" + std::to_wstring(++n));
        if (Logs(0)) pf::DebugStream() << L"running nested \"" << nested->GetName() << L"\"";
        nested->SetAutoDelete(true);
        nested->LoadFromXml(child.get(), item.get(), L"");
    }
}
