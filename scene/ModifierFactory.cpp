#include "scene/ModifierFactory.h"

#include <cwctype>

#include "content/XmlData.h"
#include "scene/Cyclers.h"
#include "scene/TimeCurves.h"
#include "shell/foundation/Log.h"

namespace {
my_intrusive_ptr<ModifierFactory> g_factory;
}

ModifierFactory* GetModifierFactory() { return g_factory.get(); }
void SetModifierFactory(ModifierFactory* factory) { g_factory = factory; }

Modifier* ModifierFactory::CreateModifier(XmlData& element) {
    std::wstring type;
    if (!element.GetString(L"type", type, L"")) {
        // An attribute written type="" is there but empty: that one is logged.
        std::vector<std::wstring> names;
        element.GetAttributeNames(names);
        bool present = false;
        for (const auto& n : names) present = present || n == L"type";
        if (!present) return nullptr;
    }
    if (type == L"MoveTo") return nullptr;
    if (type == L"Cycler") return new Cycler(element);
    pf::DebugStream() << L"Could not create an modifier of type " << type;
    return nullptr;
}

TimeShift* ModifierFactory::CreateTimeShift(const std::wstring& name) {
    if (name.empty()) return nullptr;
    std::wstring lower = name;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    if (lower == L"accelerate") return new Accelerate(1);
    if (lower == L"decelerate") return new Decelerate(1);
    pf::DebugStream() << L"Could not create TimeShift " << name;
    return nullptr;
}
