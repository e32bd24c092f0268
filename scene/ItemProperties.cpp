// Items configured from text: property keys and references to other items, XML elements
// and properties files, state-machine commands, target names, scripts and unique names.
#include <algorithm>
#include <memory>

#include "content/ResourceManager.h"
#include "content/XmlData.h"
#include "scene/Item.h"
#include "scene/Lifetime.h"
#include "scene/ModifierFactory.h"
#include "scene/RootItem.h"
#include "scene/TimeShift.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

using pf::Point;
using pf::Rect;

namespace {

// The properties files being applied, outermost first: a file met again is a cycle.
std::vector<std::wstring> g_includeChain;
constexpr size_t kMaxIncludeDepth = 16;

class IncludeScope {
public:
    explicit IncludeScope(const std::wstring& source) { g_includeChain.push_back(source); }
    ~IncludeScope() { g_includeChain.pop_back(); }
    IncludeScope(const IncludeScope&) = delete;
    IncludeScope& operator=(const IncludeScope&) = delete;
};

StateMachineStarter g_stateMachineStarter = nullptr;
int g_uniqueNameCounter = 0;

// "The first number of the text", as a whole number.
int FirstNumber(const std::wstring& text) { return pf::TruncateToInt(pf::ToDouble(text)); }

}  // namespace

void SetStateMachineStarter(StateMachineStarter starter) { g_stateMachineStarter = starter; }

// ---------------------------------------------------------------- properties

bool Item::SetProperty(const std::wstring& key, const std::wstring& value) {
    Item* const ref = ResolveValueReference(value);
    // Held while it is read: its getters may run script code.
    const my_intrusive_ptr<Item> hold = KeepAlive(ref);
    if (key == L"clipRect") {
        SetClipRect(ref ? Rect(ref->GetX(), ref->GetY(), ref->GetWidth(), ref->GetHeight()) : pf::ToRect(value));
    } else if (key == L"IgnoreTransparency") {
        SetIgnoreTransparency(pf::ToBool(value));
    } else if (key == L"modal") {
        SetModal(pf::ToBool(value));
    } else if (key == L"size") {
        SetSize(ref ? ref->GetSize() : pf::ToPoint(value));
    } else if (key == L"name") {
        SetName(value);
    } else if (key == L"x") {
        SetPosition(Point(ref ? ref->GetX() : FirstNumber(value), GetY()));
    } else if (key == L"y") {
        SetPosition(Point(GetX(), ref ? ref->GetY() : FirstNumber(value)));
    } else if (key == L"position") {
        SetPosition(ref ? ref->GetPosition() : pf::ToPoint(value));
    } else if (key == L"priority") {
        SetPriority(ref ? ref->GetPriority() : pf::ToInt(value));
    } else if (key == L"visible") {
        SetVisible(ref ? ref->IsVisible() : pf::ToBool(value));
    } else if (key == L"enabled") {
        SetEnabled(ref ? ref->IsEnabled() : pf::ToBool(value));
    } else if (key == L"selected") {
        SetSelected(pf::ToBool(value));
    } else if (key == L"clickID") {
        SetClickID(pf::ToInt(value));
    } else if (key == L"height") {
        SetHeight(ref ? ref->GetHeight() : pf::ToInt(value));
    } else if (key == L"width") {
        SetWidth(ref ? ref->GetWidth() : pf::ToInt(value));
    } else if (key == L"verbose") {
        SetVerbose(FirstNumber(value));
        return false;
    } else {
        return false;
    }
    return true;
}

Item* Item::ResolveValueReference(const std::wstring& value) {
    if (value.size() <= 3 || value.compare(0, 2, L"=(") != 0 || value.back() != L')') return nullptr;
    const std::wstring name = value.substr(2, value.size() - 3);
    if (Item* found = FindItem(name)) return found;
    if (Item* parent = GetParent()) {
        const my_intrusive_ptr<Item> hold = KeepAlive(parent);
        if (Item* found = parent->FindItem(ExpandName(name))) return found;
        return parent->ResolveValueReference(value);
    }
    RootItem* root = CurrentRootItem.get();
    return root ? root->FindItem(name) : nullptr;
}

void Item::SetProperties(XmlData& element, Item* target) {
    if (!target) return;
    const my_intrusive_ptr<Item> holdSelf = KeepAlive(this);
    const my_intrusive_ptr<Item> holdTarget = KeepAlive(target);
    std::vector<std::wstring> names;
    element.GetAttributeNames(names);
    for (const std::wstring& name : names) {
        std::wstring value;
        element.GetString(name, value, L"");
        if (name != L"properties") {
            if (!value.empty()) target->SetProperty(name, value);
            continue;
        }
        if (value.empty()) continue;
        if (std::find(g_includeChain.begin(), g_includeChain.end(), value) != g_includeChain.end()) {
            pf::DebugStream() << L"Properties file " << value << L" includes itself; not applied again";
            continue;
        }
        if (g_includeChain.size() >= kMaxIncludeDepth) {
            pf::DebugStream() << L"Properties file " << value << L" is nested too deeply; not applied";
            continue;
        }
        ResourceManager* manager = GetResourceManager();
        XmlData* data = manager ? manager->GetXmlData(value) : nullptr;
        if (!data) {
            pf::DebugStream() << L"Properties file " << value << L" not found for '" << target->GetName() << L"'";
            continue;
        }
        IncludeScope scope(value);
        SetProperties(*data, target);
    }
}

void Item::SetPropertiesFromXml(XmlData* data, const std::wstring& path) {
    if (!data) return;
    std::unique_ptr<XmlData> element(data->GetElement(path));
    if (element) SetProperties(*element, this);
}

void Item::SetPropertiesFromResource(const std::wstring& source) {
    const size_t colon = source.find(L':');
    const std::wstring file = source.substr(0, colon);
    const std::wstring path = colon == std::wstring::npos ? std::wstring() : source.substr(colon + 1);
    ResourceManager* manager = GetResourceManager();
    XmlData* data = manager ? manager->GetXmlData(file) : nullptr;
    std::unique_ptr<XmlData> element(data ? data->GetElement(path) : nullptr);
    if (!element) {
        pf::DebugStream() << L"Properties " << source << L" not found for '" << GetName() << L"'";
        return;
    }
    IncludeScope scope(file);
    SetProperties(*element, this);
}

// ---------------------------------------------------------------- commands

bool Item::HandleCommand(const std::wstring& type, XmlData& element) {
    if (type == L"CenterInParent") {
        bool x = true, y = true;
        element.GetBool(L"x", x, true);
        element.GetBool(L"y", y, true);
        CenterInParent(x, y);
    } else if (type == L"RemoveItem") {
        // Held: leaving the parent may drop the last reference to this item.
        const my_intrusive_ptr<Item> hold = KeepAlive(this);
        RemoveAllDescendents(true);
    } else if (type == L"StopModifiers") {
        StopModifiers();
    } else {
        return false;
    }
    return true;
}

void Item::RunCommandFromXml(XmlData& element, Item* target) {
    if (!target) return;
    const my_intrusive_ptr<Item> hold = KeepAlive(target);
    std::wstring type;
    element.GetString(L"type", type, L"");
    target->HandleCommand(type, element);
}

void Item::AddModifierFromXml(XmlData& element, Item* target, const std::wstring& cue) {
    ModifierFactory* factory = GetModifierFactory();
    if (!factory) {
        pf::DebugStream() << L"AddModifierFromXml: no modifier factory for '" << GetName() << L"'";
        return;
    }
    // Held counted: the hook it goes to keeps its own references, or none.
    const my_intrusive_ptr<Modifier> modifier(factory->CreateModifier(element));
    if (!modifier) return;
    modifier->SetCue(cue);
    if (!target) return;
    const my_intrusive_ptr<Item> hold = KeepAlive(target);
    std::wstring shift;
    element.GetString(L"timeShift", shift, L"");
    target->AddModifierByTimeShiftName(modifier.get(), shift);
}

void Item::AddModifierByTimeShiftName(Modifier* m, const std::wstring& name) {
    ModifierFactory* factory = GetModifierFactory();
    const my_intrusive_ptr<TimeShift> curve(factory ? factory->CreateTimeShift(name) : nullptr);
    AddModifierWithTimeShift(m, curve.get());
}

Item* Item::ResolveTarget(XmlData& element, const std::wstring& attribute, Item* fallback) {
    std::wstring name;
    element.GetString(attribute, name, L"");
    if (name.empty()) return fallback;
    if (name == L"$this") return this;
    if (name == L"$parent") return GetParent();
    Item* child = FindChildByName(name);
    return child ? child : fallback;
}

void Item::RunScript(const std::wstring& xmlId, const std::wstring& cue) {
    if (!g_stateMachineStarter) {
        pf::DebugStream() << L"RunScript: no state machines to run " << xmlId << L" on '" << GetName() << L"'";
        return;
    }
    const my_intrusive_ptr<Item> hold = KeepAlive(this);
    g_stateMachineStarter(this, xmlId, cue);
}

std::wstring Item::UniqueName(const std::wstring& text) {
    return std::to_wstring(++g_uniqueNameCounter) + text;
}
