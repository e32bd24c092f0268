// An item whose subtree runs in fixed steps of game time: each frame it cycles once per
// step its fixed clock has due, the clock reading one step later after each.
#pragma once

#include "scene/FixedClockHandler.h"
#include "scene/Item.h"

class FixedCycleItem : public Item {
public:
    // Replaces any clock handler with its own fixed clock.
    FixedCycleItem();

    void Cycle() override;

    FixedClockHandler* GetFixedClock() const { return clock_.get(); }

private:
    // Counted like any handler: scripts can hold it beyond the item.
    my_intrusive_ptr<FixedClockHandler> clock_;
};
