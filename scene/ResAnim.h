// What the scene needs of an image resource (an anim of loops x cels) and of the resource
// manager's anim lookup. The resource layer supplies the classes and installs the lookup.
#pragma once

#include <functional>
#include <string>

#include "scene/Base.h"

namespace pf {
class Surface;
}

class ResAnim : public Base {
public:
    ResAnim() : Base(L"ResAnim") {}

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::ResAnim || typeId == TypeId::Base;
    }
    virtual int GetNumCels() const = 0;
    virtual int GetNumLoops() const = 0;
    // The surface of one cel; null when the cel does not exist.
    virtual pf::Surface* getCel(int loop, int cel) = 0;
    // The resource id the anim was loaded under.
    virtual std::wstring GetId() const = 0;
};

// Loads an anim by resource id, null when it cannot; installed by the resource manager.
using AnimLoader = std::function<ResAnim*(const std::wstring& id)>;
void SetAnimLoader(AnimLoader loader);
// The installed loader's answer; null when none is installed.
ResAnim* LoadAnim(const std::wstring& id);
