// Builds modifiers from XML elements (by their "type") and time curves by name.
#pragma once

#include <string>

#include "shell/foundation/Base.h"

class Modifier;
class TimeShift;
class XmlData;

class ModifierFactory : public Base {
public:
    ModifierFactory() : Base(L"ModifierFactory") {}

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::ModifierFactory || Base::IsKindOf(typeId);
    }
    // A new modifier, or null: no "type" and "MoveTo" silently, other types with a log line.
    virtual Modifier* CreateModifier(XmlData& element);
    // "accelerate" or "decelerate" in any case; "" silently null, other names logged.
    virtual TimeShift* CreateTimeShift(const std::wstring& name);
};

// The one factory, held counted (null until the game makes it).
ModifierFactory* GetModifierFactory();
void SetModifierFactory(ModifierFactory* factory);
